// Worker threads and the synchronous call to the main thread.
//
// A worker hands work to the main thread with Synchronize: the call blocks
// the worker until the main thread has run the function. The main thread
// runs waiting calls in CheckSynchronize; on Windows a hidden window's
// messages do that, so every message loop (modal ones included) services
// them, and natively whoever waits on a worker drains the queue itself.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "base/Component.h"

namespace MainThread {

// Marks the calling thread as the main thread (done automatically for the
// thread that initialises the program's statics).
void SetCurrent();
bool IsCurrent();

// Runs fn on the main thread and waits for it. On the main thread it simply
// calls fn. An exception thrown by fn is passed back to the caller.
void Synchronize(const std::function<void()>& fn);

// Main thread: runs every waiting call. With timeoutMs > 0 it first waits up
// to that long for one to arrive. Returns true when it ran at least one.
bool CheckSynchronize(int timeoutMs = 0);

}  // namespace MainThread

class TThread : public TObject {
 public:
  TThread() = default;
  // A derived class must call WaitFor() in its own destructor: by the time
  // this one runs, Execute's object is already gone. This one waits too, as
  // a last resort.
  ~TThread() override;

  // Starts Execute on a new thread. False when the thread cannot be created.
  bool Start();
  // Waits for Execute to return, servicing main-thread calls meanwhile when
  // called on the main thread (so a worker blocked in Synchronize can finish).
  void WaitFor();
  bool Finished() const { return finished_.load(); }
  bool Started() const { return thread_.joinable(); }

  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

 protected:
  virtual void Execute() = 0;
  static void Synchronize(const std::function<void()>& fn) { MainThread::Synchronize(fn); }

 private:
  std::thread thread_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> terminated_{false};
};
