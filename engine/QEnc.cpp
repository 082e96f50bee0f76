#include "engine/QEnc.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <deque>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "base/Platform.h"
#include "base/SysUtils.h"
#include "base/Thread.h"
#include "base/Wipe.h"
#include "engine/ConstantTime.h"
#include "engine/CtrCore.h"
#include "engine/Hmac.h"
#include "engine/KeyCache.h"
#include "engine/QEncContainer.h"
#include "engine/QEncStages.h"
#include "engine/QEncWorkerThread.h"
#include "engine/Random.h"

namespace {

using namespace QEncFormat;

const char* const kErrorTexts[] = {
    "",
    "The encryption component is currently busy.",
    "An input or output stream is missing.",
    "No password was provided.",
    "The encryption algorithm is unknown or unsupported.",
    "The stream position is invalid.",
    "The encryption salt could not be generated.",
    "The encryption nonce could not be generated.",
    "The operation was canceled.",
    "The data is invalid or is not encrypted.",
    "The password is incorrect or the encrypted data was modified.",
    "No input file was specified.",
    "No output file was specified.",
    "The specified file could not be found.",
    "Directories are not supported for this operation.",
    "The encryption header could not be read.",
    "The encryption header is invalid.",
    "The encrypted data uses an unsupported header version.",
    "The encryption header size is invalid.",
    "The encrypted data length is invalid.",
    "The encryption algorithm marker could not be written.",
    "The encryption operation failed.",
    "The decryption operation failed.",
    "The temporary file could not be renamed.",
    "The encrypted data could not be verified.",
    "The file attributes could not be read.",
    "The secure random number generator could not be initialized.",
    "The file could not be opened.",
    "The file size could not be determined.",
    "The file could not be read completely.",
    "The file position could not be changed.",
    "Secure random data could not be generated.",
    "The file could not be written completely.",
    "The background operation could not be started.",
    "An unknown encryption error occurred.",
};
static_assert(sizeof kErrorTexts / sizeof kErrorTexts[0] == ErrUnknown + 1);

constexpr int kMinIterations = 5000;
constexpr int kMinBufferSize = 512;
constexpr std::uint32_t kProgressInterval = 80;

// Reads until count bytes arrived or the stream has no more; returns how
// many were read. A stream may hand out less than asked before its end, and
// the chunks must have their full size for the keystream offsets to match.
std::int64_t ReadFully(TStream& stream, std::uint8_t* buffer, std::int64_t count) {
  std::int64_t done = 0;
  while (done < count) {
    const std::int64_t got = stream.Read(buffer + done, count - done);
    if (got <= 0) break;
    done += got;
  }
  return done;
}

// Writes all count bytes; false as soon as the stream takes none.
bool WriteFully(TStream& stream, const std::uint8_t* buffer, std::int64_t count) {
  std::int64_t done = 0;
  while (done < count) {
    const std::int64_t put = stream.Write(buffer + done, count - done);
    if (put <= 0 || put > count - done) return false;
    done += put;
  }
  return true;
}

// The progress events count in ints: beyond 2 GiB the position is scaled so
// that it still runs from 0 to the maximum.
int ProgressMax(std::int64_t total) { return total > INT_MAX ? INT_MAX : static_cast<int>(total); }
int ProgressPosition(std::int64_t position, std::int64_t total) {
  if (total <= INT_MAX) return static_cast<int>(position);
  return static_cast<int>(static_cast<double>(position) / static_cast<double>(total) * INT_MAX);
}

// Wipes an HMAC context on every way out of an operation.
struct TMacGuard {
  THmacSha256Context Context;
  ~TMacGuard() { HmacSha256Wipe(Context); }
};

// The chunk buffer of one operation, wiped before it is released. Its
// memory is shared with the HMAC helper thread, which may still be reading
// a piece it was too late for when the operation ends; the last of the two
// to let go wipes it.
struct TChunkBuffer {
  struct TMemory {
    std::unique_ptr<std::uint8_t[]> Data;
    std::int64_t Length = 0;
    ~TMemory() {
      if (Data) WipeBytes(Data.get(), static_cast<std::size_t>(Length));
    }
  };
  std::shared_ptr<TMemory> Memory;
};

// The start of the chunk that holds position, chunks being counted from the
// start of their part of the body (the encrypted part, or the plain tail).
std::int64_t ChunkStart(std::int64_t position, std::int64_t phaseStart, std::int64_t chunk) {
  return phaseStart + (position - phaseStart) / chunk * chunk;
}

// Feeds the spans of an operation to its HMAC, either at once or on a helper
// thread that hashes them in order while the caller reads, ciphers and
// writes the next ones. A span handed over stays in use until Busy says it
// is no longer; Settle makes the oldest spans done, Drain all of them.
//
// The caller never waits for the helper. When it needs a span done before
// the helper got to it, it takes the hashing over: the helper publishes its
// progress every few KiB, the caller goes on from there, and whatever the
// helper hashed after that is dropped; then the helper carries on with the
// spans after those. So on an idle machine the helper takes nearly all the
// hashing, and on a busy one, where it may wait a long time for its turn to
// run, the spans queued meanwhile let it catch up whenever it does run, and
// what it cannot catch up with is hashed on the caller's thread.
class TMacFeeder {
 public:
  // At most `depth` spans are in hand at a time.
  TMacFeeder(THmacSha256Context& mac, bool threaded, int depth, std::shared_ptr<TChunkBuffer::TMemory> memory,
             const std::function<void()>& step)
      : mac_(mac) {
    if (!threaded) return;
    try {
      shared_ = std::make_shared<TShared>();
      shared_->Spans.resize(static_cast<std::size_t>(depth));
      shared_->Chain = mac;
      shared_->Memory = std::move(memory);
      shared_->Step = step;
      shared_->CallerProcessor = Platform::CurrentProcessor();
      thread_ = std::thread(Run, shared_);
    } catch (...) {
      // No thread: every span is hashed at once.
      shared_.reset();
    }
  }
  // The helper is told to stop, dropping whatever it is hashing (the
  // operation has drained what it needs, or failed), and left to end on
  // its own: on a busy machine it may take a while to be scheduled even for
  // that, and the operation need not wait. What it may still touch (the
  // buffer's memory and its own copies of the HMAC state) it shares with
  // the feeder, and the last of the two to let go wipes it.
  ~TMacFeeder() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(shared_->Mutex);
      shared_->Stop.store(true);
      shared_->Generation.store(shared_->Generation.load() + 1);
    }
    shared_->Changed.notify_all();
    thread_.detach();
  }
  TMacFeeder(const TMacFeeder&) = delete;
  TMacFeeder& operator=(const TMacFeeder&) = delete;

  // Hands a span over; with the helper there must be fewer than `depth`
  // spans in hand (see Busy and Settle).
  void Feed(const std::uint8_t* data, std::int64_t length) {
    if (!thread_.joinable()) {
      HmacSha256Update(mac_, data, length);
      return;
    }
    TShared& sh = *shared_;
    {
      std::lock_guard<std::mutex> lock(sh.Mutex);
      sh.Spans[sh.Slot(sh.Queued)] = {data, length};
      sh.Queued.store(sh.Queued.load() + 1);
    }
    if (sh.Sleeping.load()) sh.Changed.notify_all();
  }

  // Returns once every span handed over is hashed into the HMAC.
  void Drain() {
    if (!thread_.joinable()) return;
    Settle(0);
    std::lock_guard<std::mutex> lock(shared_->Mutex);
    mac_ = shared_->Chain;
  }

  // Whether the span that starts at data is in hand: handed over and not
  // yet hashed. Without the lock: the caller alone writes the spans, and
  // Done only grows.
  bool InHand(const std::uint8_t* data) const {
    if (!thread_.joinable() || data == nullptr) return false;
    TShared& sh = *shared_;
    for (std::uint64_t s = sh.Done.load(); s < sh.Queued.load(); ++s)
      if (sh.Spans[sh.Slot(s)].Data == data) return true;
    return false;
  }

  // Whether the memory of the span that starts at data is still in use:
  // the span is in hand, or the helper is still reading it after it was
  // taken over.
  bool Busy(const std::uint8_t* data) const {
    return thread_.joinable() && data != nullptr && (shared_->Inside.load() == data || InHand(data));
  }

  // Hashes on this thread whatever the helper has not of every span in
  // hand but the newest `keep`; the helper then goes on with those.
  void Settle(std::uint64_t keep) {
    if (!thread_.joinable()) return;
    TShared& sh = *shared_;
    THmacSha256Context state;
    std::int64_t skip = 0;
    std::uint64_t first = 0, upTo = 0;
    {
      std::lock_guard<std::mutex> lock(sh.Mutex);
      const std::uint64_t queued = sh.Queued.load();
      upTo = queued > keep ? queued - keep : 0;
      first = sh.Done.load();
      if (first >= upTo) return;
      // Whatever step the helper is in is dropped.
      sh.Generation.store(sh.Generation.load() + 1);
      state = sh.Chain;
      skip = sh.Hashed;
      sh.CallerHolds.store(true);
    }
    // The spans are read without the lock: only this thread writes them.
    for (std::uint64_t s = first; s < upTo; ++s) {
      const TSpan& span = sh.Spans[sh.Slot(s)];
      HmacSha256Update(state, span.Data + skip, span.Length - skip);
      skip = 0;
    }
    {
      std::lock_guard<std::mutex> lock(sh.Mutex);
      sh.Chain = state;
      sh.Done.store(upTo);
      sh.Hashed = 0;
      sh.CallerHolds.store(false);
    }
    HmacSha256Wipe(state);
    if (sh.Sleeping.load()) sh.Changed.notify_all();
  }

 private:
  // Bytes the helper hashes between two reports of its progress: the most
  // it hashes in vain when a span is taken over.
  static constexpr std::int64_t kStep = 16 << 10;
  // When the helper finds nothing to do it spins for a moment (the next
  // span is usually that close), then keeps giving its processor away but
  // stays ready, and sleeps only after that. On a machine whose processors
  // are all busy, a helper woken from sleep is slow to get a turn again;
  // one that stays ready keeps its share of a processor. The caller rarely
  // takes longer than this between two spans unless it waits on a slow disk
  // or the progress handler. The clock is read every kSpins pauses.
  static constexpr int kSpins = 64;
  static constexpr auto kSpinning = std::chrono::microseconds(200);
  static constexpr auto kAwake = std::chrono::milliseconds(2);

  struct TSpan {
    const std::uint8_t* Data = nullptr;
    std::int64_t Length = 0;
  };

  // What the feeder and its helper share; everything but the atomics under
  // Mutex. The spans handed over are counted in Queued, those hashed in
  // Done; Chain is the HMAC after Done spans and Hashed bytes of the next.
  struct TShared {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<TSpan> Spans;  // a ring, by count modulo its size
    std::atomic<std::uint64_t> Queued{0};
    std::atomic<std::uint64_t> Done{0};
    std::int64_t Hashed = 0;
    THmacSha256Context Chain;
    // Set while the caller hashes spans it took over.
    std::atomic<bool> CallerHolds{false};
    // Changes whenever the caller takes over: a helper step begun before
    // is dropped.
    std::atomic<std::uint64_t> Generation{0};
    std::atomic<bool> Stop{false};
    std::atomic<bool> Sleeping{false};
    // The start of the span whose bytes the helper is reading right now.
    std::atomic<const std::uint8_t*> Inside{nullptr};
    std::shared_ptr<TChunkBuffer::TMemory> Memory;
    std::function<void()> Step;
    // Where the caller ran when the helper was started.
    int CallerProcessor = -1;

    std::size_t Slot(std::uint64_t span) const { return static_cast<std::size_t>(span % Spans.size()); }
    // Whether the helper has a span to hash; without the lock, only a hint.
    bool Work() const { return Done.load() < Queued.load() && !CallerHolds.load(); }
    ~TShared() { HmacSha256Wipe(Chain); }
  };

  // Waits, spinning, then ready, then asleep, until there is work or the
  // helper is to stop; returns with the lock held.
  static void Await(TShared& sh, std::unique_lock<std::mutex>& lock) {
    const auto since = std::chrono::steady_clock::now();
    bool yielding = false;
    for (int i = 1; !sh.Work() && !sh.Stop.load(); ++i) {
      if (yielding) {
        std::this_thread::yield();
      } else {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
      }
      if (yielding || i % kSpins == 0) {
        const auto waited = std::chrono::steady_clock::now() - since;
        if (waited >= kAwake) break;
        yielding = waited >= kSpinning;
      }
    }
    lock.lock();
    if (sh.Work() || sh.Stop.load()) return;
    sh.Sleeping.store(true);
    sh.Changed.wait(lock, [&] { return sh.Work() || sh.Stop.load(); });
    sh.Sleeping.store(false);
  }

  static void Run(std::shared_ptr<TShared> shared) {
    TShared& sh = *shared;
    // The helper keeps off the caller's processor. When every processor is
    // busy, a new thread is often started on the caller's, and the two then
    // take turns there instead of running side by side, which is slower
    // than hashing on the caller's thread alone.
    Platform::AvoidProcessor(sh.CallerProcessor);
    THmacSha256Context work;
    std::unique_lock<std::mutex> lock(sh.Mutex, std::defer_lock);
    for (;;) {
      Await(sh, lock);
      if (sh.Stop.load()) break;
      const std::uint64_t generation = sh.Generation.load();
      const TSpan span = sh.Spans[sh.Slot(sh.Done.load())];
      std::int64_t done = sh.Hashed;
      work = sh.Chain;
      lock.unlock();

      while (done < span.Length) {
        const std::int64_t n = std::min(kStep, span.Length - done);
        // Announced before the span is looked at again, so that either the
        // caller sees the helper reading, or the helper sees the span taken
        // over and leaves its bytes alone.
        sh.Inside.store(span.Data);
        if (sh.Generation.load() != generation) {
          sh.Inside.store(nullptr);
          break;
        }
        if (sh.Step) sh.Step();
        HmacSha256Update(work, span.Data + done, n);
        sh.Inside.store(nullptr);
        done += n;
        std::lock_guard<std::mutex> hold(sh.Mutex);
        if (sh.Generation.load() != generation) break;
        sh.Chain = work;
        sh.Hashed = done;
        if (done == span.Length) {
          sh.Done.store(sh.Done.load() + 1);
          sh.Hashed = 0;
        }
      }
      // What was hashed of a span taken over is dropped. The working state
      // holds the keyed HMAC state: it is wiped, and so is what the hashing
      // left of it on the stack.
      HmacSha256Wipe(work);
      CtrCore::BurnStack<4096>();
    }
  }

  THmacSha256Context& mac_;
  std::shared_ptr<TShared> shared_;
  std::thread thread_;
};

// How an operation's data passes through its buffer. On one thread a piece
// is one chunk of BufferSize bytes. With the HMAC on the helper thread, the
// buffer holds kDepth pieces, each being read, ciphered and written or
// waiting to be hashed (and, in a decryption, deciphered), and a spare
// one. A piece is at least `minimum` bytes (several chunks when they are
// small), so that the threads meet seldom, and at least a kDepth-th of a
// chunk, so that a large BufferSize costs little more memory than on one
// thread.
class TPieces {
 public:
  static constexpr int kDepth = 6;

  TPieces(TChunkBuffer& buffer, int chunk, bool threaded, std::int64_t minimum)
      : Size(threaded ? std::max<std::int64_t>(minimum, (chunk + kDepth - 1) / kDepth) : chunk),
        count_(threaded ? kDepth : 1) {
    buffer.Memory = std::make_shared<TChunkBuffer::TMemory>();
    buffer.Memory->Length = (threaded ? count_ + 1 : 1) * Size;
    buffer.Memory->Data.reset(new std::uint8_t[static_cast<std::size_t>(buffer.Memory->Length)]);
    data_ = buffer.Memory->Data.get();
  }

  // A piece whose memory is free, and not `held` by the caller either. The
  // pieces are used in turn, so the one handed out is the one the helper
  // has had longest to finish with; when every piece is in hand, the oldest
  // is hashed here.
  template <class Held>
  std::uint8_t* Free(TMacFeeder& feeder, Held held) {
    if (count_ == 1) return data_;
    for (int round = 0;; ++round) {
      for (int i = 0; i < count_; ++i) {
        std::uint8_t* const piece = data_ + ((next_ + i) % count_) * Size;
        if (!held(piece) && !feeder.Busy(piece)) {
          next_ = (next_ + i + 1) % count_;
          return piece;
        }
      }
      if (round < 2) {
        // The oldest piece may be the one the helper is still reading when
        // it is taken over: then the next oldest is taken over as well.
        feeder.Settle(static_cast<std::uint64_t>(count_ - 1 - round));
      } else {
        // Not reached: the helper reads at most one piece.
        std::this_thread::yield();
      }
    }
  }

  std::uint8_t* Free(TMacFeeder& feeder) {
    return Free(feeder, [](const std::uint8_t*) { return false; });
  }

  // Where a decryption deciphers a piece the helper may still be reading
  // after its hashing was taken over.
  std::uint8_t* Spare() const { return data_ + count_ * Size; }

  const std::int64_t Size;

 private:
  const int count_;
  std::uint8_t* data_ = nullptr;
  int next_ = 0;
};

bool UseMacThread(std::int64_t bytes, std::int64_t from) {
  return bytes >= from && std::thread::hardware_concurrency() > 1;
}

}  // namespace

TQEnc::TQEnc(TComponent* owner) : TComponent(owner) {}

TQEnc::~TQEnc() {
  // A running job is cancelled and waited for; waiting on the main thread
  // keeps servicing the job's main-thread calls, so it can reach its end.
  // Its remaining events are not fired: their handlers may belong to owners
  // that are already being torn down.
  if (!threads_.empty()) {
    destroying_.store(true);
    Cancel();
    for (auto& thread : threads_) {
      if (thread->Completing()) {
        // Destroyed from the job's own done handler: the thread waits for
        // that handler to return, so it cannot be waited for here. It no
        // longer uses the component and is kept until it has returned.
        TQEncWorkerThread::Orphan(std::move(thread));
        continue;
      }
      thread->WaitFor();
    }
    threads_.clear();
  }
  WipeString(key_);
}

bool TQEnc::OnWorker() const {
  const TQEncWorkerThread* worker = worker_.load();
  return worker != nullptr && worker->IsCurrentThread();
}

// ---- Properties ----

void TQEnc::SetCompatibilityMode(bool value) {
  if (value == compatibilityMode_) return;
  compatibilityMode_ = value;
}

void TQEnc::SetSecureDeleteWipes(int value) {
  if (value < 1) value = 1;
  if (value == secureDeleteWipes_) return;
  secureDeleteWipes_ = value;
}

void TQEnc::SetSecureDeleteOversizePercent(int value) {
  if (value < 100) value = 100;
  if (value == secureDeleteOversizePercent_) return;
  secureDeleteOversizePercent_ = value;
}

void TQEnc::SetKey(const std::string& value) {
  if (value == key_) return;
  WipeString(key_);
  key_ = value;
}

void TQEnc::SetAlgorithm(TQEncAlgorithm value) {
  if (value == algorithm_) return;
  algorithm_ = value;
}

void TQEnc::SetAlgorithm2(TQEncAlgorithm value) {
  if (value == algorithm2_) return;
  algorithm2_ = value;
}

void TQEnc::SetAlgorithm3(TQEncAlgorithm value) {
  if (value == algorithm3_) return;
  algorithm3_ = value;
}

void TQEnc::SetHeaderOnly(bool value) {
  if (value == headerOnly_) return;
  headerOnly_ = value;
}

void TQEnc::SetHeaderOnlyKB(int value) {
  if (value < 1) value = 1;
  if (value == headerOnlyKB_) return;
  headerOnlyKB_ = value;
}

void TQEnc::SetFastMode(bool value) {
  if (value == fastMode_) return;
  fastMode_ = value;
}

void TQEnc::SetUseFileNameInKey(bool value) {
  if (value == useFileNameInKey_) return;
  useFileNameInKey_ = value;
}

void TQEnc::SetUseEncryptedPrefix(bool value) {
  if (value == useEncryptedPrefix_) return;
  useEncryptedPrefix_ = value;
}

void TQEnc::SetEncryptedPrefix(const std::string& value) {
  const std::string v = value.empty() ? std::string("$") : value;
  if (v == encryptedPrefix_) return;
  encryptedPrefix_ = v;
}

void TQEnc::SetIterations(int value) {
  if (value < kMinIterations) value = kMinIterations;
  if (value == iterations_) return;
  iterations_ = value;
}

void TQEnc::SetFastIterations(int value) {
  if (value < kMinIterations) value = kMinIterations;
  if (value == fastIterations_) return;
  fastIterations_ = value;
}

void TQEnc::SetBufferSize(int value) {
  if (value < kMinBufferSize) value = kMinBufferSize;
  if (value == bufferSize_) return;
  bufferSize_ = value;
}

// ---- Errors, cancellation, names ----

void TQEnc::ClearKeyCache() { TQEncKeyCache::Clear(); }

std::string TQEnc::ErrorToString(TQEncError error) {
  const int e = static_cast<int>(error);
  if (e < ErrNone || e > ErrUnknown) return kErrorTexts[ErrUnknown];
  return kErrorTexts[e];
}

std::string TQEnc::EffectiveKey(const std::string& name) const {
  if (!useFileNameInKey_) return key_;
  std::string part = ExtractFileName(name);
  if (part.empty()) part = name;
  if (part.empty()) return key_;
  part += '|';
  part += key_;
  return part;
}

// ---- Reporting ----
//
// On this component's worker every event is run on the main thread through
// the blocking main-thread call; there the same method fires it directly.

void TQEnc::DoError(TQEncError error) {
  if (OnWorker()) {
    MainThread::Synchronize([&] { DoError(error); });
    return;
  }
  lastError_.store(error);
  if (OnError && !destroying_.load()) OnError(this, error);
}

void TQEnc::DoStatus(const std::string& statusText) {
  if (OnWorker()) {
    MainThread::Synchronize([&] { DoStatus(statusText); });
    return;
  }
  if (OnStatus && !destroying_.load()) OnStatus(this, statusText);
}

template <typename TFire>
bool TQEnc::FireCancelable(bool hasHandler, const TFire& fire) {
  if (hasHandler && !destroying_.load()) {
    bool cancel = CancelRequested();
    fire(cancel);
    if (cancel) Cancel();
  }
  return !CancelRequested();
}

bool TQEnc::DoProgress(TQEncOperation operation, const std::string& fileName, int position, int max) {
  if (OnWorker()) {
    if (!ProgressDue(position, max)) return !CancelRequested();
    bool result = false;
    MainThread::Synchronize([&] { result = DoProgress(operation, fileName, position, max); });
    return result;
  }
  return FireCancelable(static_cast<bool>(OnProgress),
                        [&](bool& cancel) { OnProgress(this, operation, fileName, position, max, cancel); });
}

bool TQEnc::DoFileBegin(TQEncOperation operation, const std::string& inputFile, const std::string& outputFile) {
  if (OnWorker()) {
    bool result = false;
    MainThread::Synchronize([&] { result = DoFileBegin(operation, inputFile, outputFile); });
    return result;
  }
  return FireCancelable(static_cast<bool>(OnFileBegin),
                        [&](bool& cancel) { OnFileBegin(this, operation, inputFile, outputFile, cancel); });
}

void TQEnc::DoFileDone(TQEncOperation operation, const std::string& inputFile, const std::string& outputFile,
                       bool success) {
  if (OnWorker()) {
    MainThread::Synchronize([&] { DoFileDone(operation, inputFile, outputFile, success); });
    return;
  }
  if (OnFileDone && !destroying_.load()) OnFileDone(this, operation, inputFile, outputFile, success);
}

bool TQEnc::DoDeleteFileProgress(const std::string& fileName, int position, int max, int pass, int passCount) {
  if (OnWorker()) {
    bool result = false;
    MainThread::Synchronize([&] { result = DoDeleteFileProgress(fileName, position, max, pass, passCount); });
    return result;
  }
  return FireCancelable(static_cast<bool>(OnDeleteFileProgress), [&](bool& cancel) {
    OnDeleteFileProgress(this, fileName, position, max, pass, passCount, cancel);
  });
}

bool TQEnc::DoKeyProgress(int position, int max) {
  if (OnWorker()) {
    bool result = false;
    MainThread::Synchronize([&] { result = DoKeyProgress(position, max); });
    return result;
  }
  return FireCancelable(static_cast<bool>(OnKeyProgress),
                        [&](bool& cancel) { OnKeyProgress(this, position, max, cancel); });
}

TPbkdf2Progress TQEnc::KeyProgress() {
  constexpr int kMax = 1000;
  constexpr std::uint32_t kInterval = 40;
  struct TLast {
    int Position = -1;
    std::uint32_t Tick = 0;
  };
  auto last = std::make_shared<TLast>();
  return [this, last](std::uint64_t done, std::uint64_t total) {
    const int position = total == 0 ? kMax : static_cast<int>(std::min<std::uint64_t>(done * kMax / total, kMax));
    const std::uint32_t now = CurrentTick();
    if (OnKeyProgress && (position != last->Position || static_cast<std::uint32_t>(now - last->Tick) >= kInterval)) {
      last->Position = position;
      last->Tick = now;
      return DoKeyProgress(position, kMax);
    }
    return !CancelRequested();
  };
}

void TQEnc::DoDeleteFileDone(const std::string& fileName, bool success) {
  if (OnWorker()) {
    MainThread::Synchronize([&] { DoDeleteFileDone(fileName, success); });
    return;
  }
  if (OnDeleteFileDone && !destroying_.load()) OnDeleteFileDone(this, fileName, success);
}

bool TQEnc::ProgressDue(int position, int max) {
  int percent = 0;
  if (max >= 1) {
    const std::int64_t p = static_cast<std::int64_t>(position) * 100 / max;
    percent = static_cast<int>(std::clamp<std::int64_t>(p, 0, 100));
  }
  const std::uint32_t now = CurrentTick();
  const bool due = position <= 0 || (max >= 1 && position >= max) || percent != lastProgressPercent_ ||
                   static_cast<std::uint32_t>(now - lastProgressTick_) >= kProgressInterval;
  if (due) {
    lastProgressPercent_ = percent;
    lastProgressTick_ = now;
  }
  return due;
}

void TQEnc::ResetProgressRecord() {
  lastProgressPercent_ = -1;
  lastProgressTick_ = 0;
}

bool TQEnc::GenerateRandom(std::uint8_t* buffer, int count) { return RandomBytes(buffer, count); }

std::uint32_t TQEnc::CurrentTick() { return Platform::TickCount(); }

// ---- The container writer ----

bool TQEnc::EncryptStreamCore(TStream* input, TStream* output, const std::string& keyName,
                              const std::string& progressName) {
  bool reported = false;
  // Reports exactly one code per operation, even if an OnError handler throws.
  auto fail = [&](TQEncError error) {
    if (!reported) {
      reported = true;
      try {
        DoError(error);
      } catch (...) {
      }
    }
    return false;
  };

  if (input == nullptr || output == nullptr) return fail(ErrMissingStream);
  if (key_.empty()) return fail(ErrEmptyKey);
  TQEncCascade cascade;
  if (!ParseCascade(algorithm_, algorithm2_, algorithm3_, cascade)) return fail(ErrUnknownAlgorithm);

  TSecureString password;
  TQEncStages stages;
  TMacGuard mac;
  TChunkBuffer buffer;
  try {
    const std::int64_t inputStart = input->Position();
    const std::int64_t outputStart = output->Position();
    const std::int64_t remaining = input->Size() - inputStart;
    if (remaining < 0) return fail(ErrInvalidStreamPosition);
    const int progressMax = ProgressMax(remaining);
    if (!DoProgress(qeoEncrypt, progressName, 0, progressMax)) return false;

    password.str() = EffectiveKey(keyName);
    // PBKDF2 sees only the first 200 bytes of a stage password. A long file
    // name in front of the key would push key bytes out of that window and
    // leave the file protected by less than the whole key: refuse.
    if (useFileNameInKey_ && password.str().size() > static_cast<std::size_t>(PasswordCut))
      return fail(ErrEncryptFailed);

    // The count stored must be the count used: computed in 64 bits and held
    // within the 32-bit field before a byte is encrypted.
    std::int64_t headerOnly = 0;
    if (headerOnly_) {
      headerOnly = std::min<std::int64_t>(static_cast<std::int64_t>(headerOnlyKB_) * 1024, remaining);
      headerOnly = std::min<std::int64_t>(headerOnly, 0xFFFFFFFF);
    }

    TQEncHeader header;
    header.Cascade = cascade;
    header.Mode = fastMode_ ? ModeFastSalt : ModeRandomSalt;
    header.Iterations = static_cast<std::uint32_t>(fastMode_ ? fastIterations_ : iterations_);
    header.HeaderOnlyCount = static_cast<std::uint32_t>(headerOnly);
    const int version = cascade.Version();
    for (int s = 0; s < cascade.StageCount; ++s) {
      if (fastMode_) {
        TSecureString stagePassword(StagePassword(password.str(), version, s + 1, cascade.Codes[s]));
        FastModeSalt(stagePassword.str(), FastModeSaltName(keyName, version, s + 1), header.Salts[s]);
      } else if (!GenerateRandom(header.Salts[s], SaltSize)) {
        return fail(ErrSaltGenerationFailed);
      }
      if (!GenerateRandom(header.Ivs[s], IvSize)) return fail(ErrNonceGenerationFailed);
    }
    bool stopped = false;
    if (!stages.Derive(header, password.str(), KeyProgress(), &stopped))
      return fail(stopped ? ErrCanceled : ErrEncryptFailed);

    std::uint8_t raw[MaxHeaderSize];
    const int headerSize = header.Size();
    header.Store(raw);  // the tag field is still zero
    if (!WriteFully(*output, raw, headerSize)) return fail(ErrEncryptFailed);
    HmacSha256Init(mac.Context, stages.MacKey(), MacKeySize);
    HmacSha256Update(mac.Context, raw, headerSize);

    const int chunk = bufferSize_;
    const bool threaded = UseMacThread(remaining, macThreadFrom_);
    TPieces pieces(buffer, chunk, threaded, macPieceSize_);
    TMacFeeder feeder(mac.Context, threaded, TPieces::kDepth, buffer.Memory, macHelperStep_);

    // The encrypted part, then (header-only) the plain tail. Each chunk is
    // read, enciphered at its offsets and written in one or more segments
    // (cut where a piece ends); its progress event follows its last segment.
    // A piece goes to the HMAC once its last segment is written.
    std::int64_t position = 0;
    bool ended = false;
    auto pump = [&](std::int64_t phaseStart, std::int64_t end, bool encrypt) {
      bool stop = false;
      while (!stop && !ended && !CancelRequested() && position < end) {
        std::uint8_t* const base = pieces.Free(feeder);
        std::int64_t filled = 0;
        while (filled < pieces.Size && position < end) {
          const std::int64_t chunkStart = ChunkStart(position, phaseStart, chunk);
          const std::int64_t chunkEnd = std::min<std::int64_t>(chunkStart + chunk, end);
          const std::int64_t want = std::min(chunkEnd - position, pieces.Size - filled);
          std::uint8_t* const p = base + filled;
          const std::int64_t got = ReadFully(*input, p, want);
          if (got > 0) {
            if (encrypt) stages.Encrypt(p, got, compatibilityMode_ ? position - chunkStart : position, false);
            if (!WriteFully(*output, p, got)) return false;
            filled += got;
            position += got;
          }
          if (got < want) ended = true;
          if ((position == chunkEnd || ended) && position > chunkStart &&
              !DoProgress(qeoEncrypt, progressName, ProgressPosition(position, remaining), progressMax))
            stop = true;
          if (stop || ended) break;
        }
        if (filled > 0) feeder.Feed(base, filled);
      }
      return true;
    };
    if (!pump(0, headerOnly > 0 ? headerOnly : remaining, true)) return fail(ErrEncryptFailed);
    if (headerOnly > 0 && !pump(headerOnly, remaining, false)) return fail(ErrEncryptFailed);
    feeder.Drain();

    if (CancelRequested()) return fail(ErrCanceled);
    // Input that ended before the size it announced gives no container.
    if (position != remaining) return fail(ErrEncryptFailed);

    HmacSha256Final(mac.Context, header.Tag);
    std::memcpy(raw + header.TagOffset(), header.Tag, TagSize);
    const std::int64_t outputEnd = output->Position();
    output->SetPosition(outputStart);
    if (!WriteFully(*output, raw, headerSize)) return fail(ErrEncryptFailed);
    output->SetPosition(outputEnd);
    DoProgress(qeoEncrypt, progressName, progressMax, progressMax);
    return true;
  } catch (...) {
    return fail(ErrEncryptFailed);
  }
}

// ---- The container reader ----

bool TQEnc::DecryptStreamCore(TStream* input, TStream* output, const std::string& keyName,
                              const std::string& progressName, std::int64_t containerLength) {
  bool reported = false;
  auto fail = [&](TQEncError error) {
    if (!reported) {
      reported = true;
      try {
        DoError(error);
      } catch (...) {
      }
    }
    return false;
  };

  if (input == nullptr || output == nullptr) return fail(ErrMissingStream);
  if (key_.empty()) return fail(ErrEmptyKey);

  std::int64_t inputStart = -1;
  // Failures past the header put the input back where it was.
  auto failRestoring = [&](TQEncError error) {
    try {
      if (inputStart >= 0) input->SetPosition(inputStart);
    } catch (...) {
    }
    return fail(error);
  };

  TSecureString password;
  TQEncStages stages;
  TMacGuard mac;
  TChunkBuffer buffer;
  try {
    inputStart = input->Position();
    const int version = PeekContainerVersion(*input);
    int headerSize = 0;
    if (version == 2)
      headerSize = HeaderSizeV2;
    else if (version == 3)
      headerSize = HeaderSizeV3;
    else
      return fail(ErrUnsupportedHeaderVersion);
    if (containerLength <= headerSize) return fail(ErrInvalidEncryptedData);
    std::uint8_t raw[MaxHeaderSize];
    if (ReadFully(*input, raw, headerSize) != headerSize) return fail(ErrHeaderReadFailed);
    TQEncHeader header;
    const TQEncError headerError = ParseHeader(raw, version, header);
    if (headerError != ErrNone) return fail(headerError);

    const std::int64_t bodyLength = containerLength - headerSize;
    if (bodyLength < 0) return fail(ErrInvalidEncryptedLength);
    const std::int64_t encryptedEnd =
        header.HeaderOnlyCount != 0 ? std::min<std::int64_t>(header.HeaderOnlyCount, bodyLength) : bodyLength;
    const int progressMax = ProgressMax(bodyLength);
    if (!DoProgress(qeoDecrypt, progressName, 0, progressMax)) return false;

    password.str() = EffectiveKey(keyName);
    bool stopped = false;
    if (!stages.Derive(header, password.str(), KeyProgress(), &stopped))
      return failRestoring(stopped ? ErrCanceled : ErrDecryptFailed);
    std::memset(raw + header.TagOffset(), 0, TagSize);
    HmacSha256Init(mac.Context, stages.MacKey(), MacKeySize);
    HmacSha256Update(mac.Context, raw, headerSize);

    const int chunk = bufferSize_;
    const bool threaded = UseMacThread(bodyLength, macThreadFrom_);
    TPieces pieces(buffer, chunk, threaded, macPieceSize_);
    TMacFeeder feeder(mac.Context, threaded, TPieces::kDepth, buffer.Memory, macHelperStep_);

    // A piece is read (a chunk at a time at most) and handed to the HMAC;
    // then its chunks are deciphered in place, written and reported. With
    // the helper thread that waits until the piece is hashed: up to a few
    // pieces wait, in order, and when that many are waiting the oldest is
    // hashed here.
    struct TPiece {
      std::uint8_t* Data;
      std::int64_t Start, Length, PhaseStart, PhaseEnd;
      bool Decrypt, Short;
    };
    // False when a write fails. A cancellation answered to a chunk's
    // progress event drops the rest of the piece.
    auto finish = [&](const TPiece& p) {
      // A piece whose hashing was taken over while the helper was reading
      // it is deciphered a chunk at a time in the spare piece. (The helper
      // never comes back to a piece once it has left it.)
      const bool read = p.Decrypt && feeder.Busy(p.Data);
      const std::int64_t stop = p.Start + p.Length;
      for (std::int64_t at = p.Start; at < stop;) {
        const std::int64_t chunkStart = ChunkStart(at, p.PhaseStart, chunk);
        const std::int64_t chunkEnd = std::min<std::int64_t>(chunkStart + chunk, p.PhaseEnd);
        const std::int64_t n = std::min(chunkEnd, stop) - at;
        std::uint8_t* d = p.Data + (at - p.Start);
        if (p.Decrypt) {
          if (read) {
            std::memcpy(pieces.Spare(), d, static_cast<std::size_t>(n));
            d = pieces.Spare();
          }
          stages.Decrypt(d, n, compatibilityMode_ ? at - chunkStart : at, false);
        }
        // A plain output cut short must not pass for a whole one.
        if (!WriteFully(*output, d, n)) return false;
        at += n;
        if ((at == chunkEnd || (at == stop && p.Short)) &&
            !DoProgress(qeoDecrypt, progressName, ProgressPosition(at, bodyLength), progressMax))
          break;
      }
      return true;
    };
    // Deciphers, in order, the waiting pieces whose hash is done. Those
    // still waiting when the operation is cancelled are dropped: the output
    // ends after the chunk whose progress event asked to stop.
    std::deque<TPiece> waiting;
    auto finishHashed = [&] {
      while (!waiting.empty() && !CancelRequested()) {
        if (feeder.InHand(waiting.front().Data)) {
          if (waiting.size() < static_cast<std::size_t>(TPieces::kDepth - 1)) break;
          feeder.Settle(waiting.size() - 1);
        }
        if (!finish(waiting.front())) return false;
        waiting.pop_front();
      }
      return true;
    };
    auto isWaiting = [&](const std::uint8_t* piece) {
      return std::any_of(waiting.begin(), waiting.end(), [&](const TPiece& p) { return p.Data == piece; });
    };
    std::int64_t position = 0;
    bool ended = false;
    auto pump = [&](std::int64_t phaseStart, std::int64_t end, bool decrypt) {
      while (!ended && !CancelRequested() && position < end) {
        std::uint8_t* const base = pieces.Free(feeder, isWaiting);
        TPiece current{base, position, 0, phaseStart, end, decrypt, false};
        while (current.Length < pieces.Size && position < end) {
          const std::int64_t chunkEnd = std::min<std::int64_t>(ChunkStart(position, phaseStart, chunk) + chunk, end);
          const std::int64_t want = std::min(chunkEnd - position, pieces.Size - current.Length);
          const std::int64_t got = ReadFully(*input, base + current.Length, want);
          if (got > 0) {
            current.Length += got;
            position += got;
          }
          if (got < want) {
            ended = true;
            break;
          }
        }
        if (current.Length == 0) break;
        current.Short = ended;
        feeder.Feed(base, current.Length);
        if (threaded) {
          waiting.push_back(current);
          if (!finishHashed()) return false;
        } else if (!finish(current)) {
          return false;
        }
      }
      return true;
    };
    if (!pump(0, encryptedEnd, true) || !pump(encryptedEnd, bodyLength, false)) return failRestoring(ErrDecryptFailed);
    feeder.Drain();
    if (!finishHashed()) return failRestoring(ErrDecryptFailed);

    std::uint8_t tag[TagSize];
    HmacSha256Final(mac.Context, tag);
    if (CancelRequested()) return fail(ErrCanceled);
    if (!ConstantTimeEqual(tag, header.Tag, TagSize)) return fail(ErrWrongPassword);

    DoProgress(qeoDecrypt, progressName, progressMax, progressMax);
    algorithm_ = static_cast<TQEncAlgorithm>(header.Cascade.Codes[0]);
    algorithm2_ = header.Cascade.StageCount >= 2 ? static_cast<TQEncAlgorithm>(header.Cascade.Codes[1]) : qeaNone;
    algorithm3_ = header.Cascade.StageCount >= 3 ? static_cast<TQEncAlgorithm>(header.Cascade.Codes[2]) : qeaNone;
    if (header.Mode == ModeFastSalt)
      fastMode_ = true;
    else if (header.Mode == ModeRandomSalt)
      fastMode_ = false;
    else
      fastMode_ = header.Iterations == 20000;
    // The header's count as it stands (at most MaxIterations, so it fits).
    if (fastMode_)
      fastIterations_ = static_cast<int>(header.Iterations);
    else
      iterations_ = static_cast<int>(header.Iterations);
    return true;
  } catch (...) {
    return failRestoring(ErrDecryptFailed);
  }
}
