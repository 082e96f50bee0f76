#include "engine/QEncWorkerThread.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "engine/QEnc.h"

namespace {

struct TOrphans {
  std::mutex Lock;
  std::vector<std::unique_ptr<TQEncWorkerThread>> Threads;
};

TOrphans& Orphans() {
  static TOrphans orphans;
  return orphans;
}

}  // namespace

void TQEncWorkerThread::Orphan(std::unique_ptr<TQEncWorkerThread> thread) {
  TOrphans& o = Orphans();
  std::lock_guard<std::mutex> lock(o.Lock);
  o.Threads.erase(std::remove_if(o.Threads.begin(), o.Threads.end(),
                                 [](const std::unique_ptr<TQEncWorkerThread>& t) { return t->Finished(); }),
                  o.Threads.end());
  if (thread) o.Threads.push_back(std::move(thread));
}

TQEncWorkerThread::TQEncWorkerThread(TQEnc* component, std::uint8_t job, const std::string& inputFile,
                                     const std::string& outputFile, int wipes, int oversizeWipes,
                                     int oversizeFactor)
    : component_(component),
      job_(job),
      inputFile_(inputFile),
      outputFile_(outputFile),
      wipes_(wipes),
      oversizeWipes_(oversizeWipes),
      oversizeFactor_(oversizeFactor) {}

TQEncWorkerThread::~TQEncWorkerThread() { WaitFor(); }

void TQEncWorkerThread::Execute() {
  if (component_ == nullptr) return;
  TQEnc& c = *component_;
  result_.store(false);
  id_.store(std::this_thread::get_id());
  c.worker_.store(this);  // from here on every event goes to the main thread

  bool result = false;
  try {
    switch (job_) {
      case JobEncrypt: result = c.EncryptFile(inputFile_, outputFile_); break;
      case JobDecrypt: result = c.DecryptFile(inputFile_, outputFile_); break;
      default: result = c.DeleteFileSecure(inputFile_, wipes_, oversizeWipes_, oversizeFactor_); break;
    }
  } catch (...) {
    try {
      c.DoError(ErrUnknown);
    } catch (...) {
    }
    result = false;
  }
  result_.store(result);

  // The completion runs on the main thread: with the worker reference
  // cleared first, the done event fires there directly, Busy already false.
  // Nothing here touches the component after the done event: its handler
  // may destroy it.
  try {
    Synchronize([&] {
      completing_.store(true);
      c.worker_.store(nullptr);
      c.SetBusy(false);
      switch (job_) {
        case JobEncrypt: c.DoFileDone(qeoEncrypt, inputFile_, c.LastOutputFile(), result); break;
        case JobDecrypt: c.DoFileDone(qeoDecrypt, inputFile_, c.LastOutputFile(), result); break;
        default: c.DoDeleteFileDone(inputFile_, result); break;
      }
    });
  } catch (...) {
    // A done handler threw; the component was already idle.
  }
  id_.store(std::thread::id());
  completing_.store(false);
}
