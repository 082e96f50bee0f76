#include "base/Thread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "base/MainThreadWake.h"

namespace MainThread {
namespace {

struct Call {
  std::function<void()> fn;
  std::exception_ptr error;
  bool done = false;
};

struct Queue {
  std::mutex lock;
  std::condition_variable arrived;  // the main thread waits for calls
  std::condition_variable finished; // workers wait for their call
  std::deque<std::shared_ptr<Call>> calls;
  std::thread::id main = std::this_thread::get_id();
};

Queue& TheQueue() {
  static Queue q;
  return q;
}

// The thread that initialises statics is the program's main thread.
const bool registered = (TheQueue(), true);

}  // namespace

void SetCurrent() {
  std::lock_guard<std::mutex> g(TheQueue().lock);
  TheQueue().main = std::this_thread::get_id();
}

bool IsCurrent() {
  std::lock_guard<std::mutex> g(TheQueue().lock);
  return TheQueue().main == std::this_thread::get_id();
}

void Synchronize(const std::function<void()>& fn) {
  if (IsCurrent()) {
    fn();
    return;
  }
  auto call = std::make_shared<Call>();
  call->fn = fn;
  Queue& q = TheQueue();
  {
    std::lock_guard<std::mutex> g(q.lock);
    q.calls.push_back(call);
  }
  q.arrived.notify_all();
  WakeMainThread();
  std::unique_lock<std::mutex> g(q.lock);
  q.finished.wait(g, [&] { return call->done; });
  if (call->error) std::rethrow_exception(call->error);
}

bool CheckSynchronize(int timeoutMs) {
  Queue& q = TheQueue();
  std::unique_lock<std::mutex> g(q.lock);
  if (q.main != std::this_thread::get_id()) return false;
  if (q.calls.empty() && timeoutMs > 0)
    q.arrived.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return !q.calls.empty(); });
  bool ran = false;
  while (!q.calls.empty()) {
    auto call = q.calls.front();
    q.calls.pop_front();
    g.unlock();
    try {
      call->fn();
    } catch (...) {
      call->error = std::current_exception();
    }
    g.lock();
    call->done = true;
    ran = true;
    q.finished.notify_all();
  }
  return ran;
}

}  // namespace MainThread

TThread::~TThread() {
  if (thread_.joinable()) {
    if (std::this_thread::get_id() == thread_.get_id()) {
      thread_.detach();
    } else {
      WaitFor();
    }
  }
}

bool TThread::Start() {
  if (thread_.joinable()) return false;
  try {
    thread_ = std::thread([this] {
      try {
        Execute();
      } catch (...) {
        // Execute reports its own failures; nothing may escape a thread.
      }
      finished_.store(true);
      MainThread::WakeMainThread();
    });
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

void TThread::WaitFor() {
  if (!thread_.joinable()) return;
  if (MainThread::IsCurrent()) {
    while (!finished_.load()) MainThread::CheckSynchronize(5);
  }
  thread_.join();
}
