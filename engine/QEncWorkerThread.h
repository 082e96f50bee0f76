// The thread of one background job of a TQEnc: encrypting a file,
// decrypting a file or deleting a file securely. It runs the same
// synchronous operation a caller on the main thread would, with the
// component's worker reference set so that every event goes to the main
// thread, and finishes the job there.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "base/Thread.h"

class TQEnc;

class TQEncWorkerThread : public TThread {
 public:
  enum : std::uint8_t { JobEncrypt = 0, JobDecrypt = 1, JobDeleteSecure = 2 };

  TQEncWorkerThread(TQEnc* component, std::uint8_t job, const std::string& inputFile,
                    const std::string& outputFile, int wipes, int oversizeWipes, int oversizeFactor);
  ~TQEncWorkerThread() override;

  // True when called on this thread while it runs its job.
  bool IsCurrentThread() const { return id_.load() == std::this_thread::get_id(); }
  bool Result() const { return result_.load(); }
  // True while the job's completion (clearing Busy, the done event) runs on
  // the main thread: the component is then past every use of it.
  bool Completing() const { return completing_.load(); }

  // Keeps a thread whose component is gone until it has returned; threads
  // kept so are released by later calls and at the end of the program.
  static void Orphan(std::unique_ptr<TQEncWorkerThread> thread);

 protected:
  void Execute() override;

 private:
  TQEnc* component_;
  std::uint8_t job_;
  std::string inputFile_;
  std::string outputFile_;
  int wipes_;
  int oversizeWipes_;
  int oversizeFactor_;
  std::atomic<bool> result_{false};
  std::atomic<bool> completing_{false};
  std::atomic<std::thread::id> id_{};
};
