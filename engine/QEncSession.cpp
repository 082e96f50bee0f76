// The operations of TQEnc beside the container: the session key, the Base64
// text front ends, secure deletion and the background jobs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "base/Platform.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "engine/KeyDerivation.h"
#include "engine/QEnc.h"
#include "engine/QEncBase64.h"
#include "engine/QEncContainer.h"
#include "engine/QEncWorkerThread.h"
#include "engine/SecureDelete.h"

namespace {

const char kSessionSalt[] = "Tq4-Morrow-Salt9";  // 16 bytes, the same for every vault
constexpr std::uint32_t kSessionMinIterations = 5000;
constexpr std::int64_t kWipeBlock = 1048576;
constexpr std::uint32_t kDeleteProgressInterval = 80;

}  // namespace

// ---- Session key ----

std::string TQEnc::DeriveSessionKey(const std::string& password) {
  ResetCancel();
  if (password.empty()) return std::string();
  std::uint32_t iterations = static_cast<std::uint32_t>(iterations_);
  if (iterations < kSessionMinIterations) iterations = kSessionMinIterations;
  std::uint8_t key[32];
  // One output block: one chain, run on this thread and told of its rounds.
  TPbkdf2Job job;
  job.Password = password.data();
  job.PasswordLength = static_cast<std::int64_t>(password.size());
  job.Salt = kSessionSalt;
  job.SaltLength = 16;
  job.Iterations = iterations;
  job.Out = key;
  job.OutLength = sizeof key;
  bool stopped = false;
  if (!Pbkdf2HmacSha256Many(&job, 1, TPbkdf2Threads::Automatic, KeyProgress(), &stopped)) {
    WipeBytes(key, sizeof key);
    if (stopped) DoError(ErrCanceled);
    return std::string();
  }
  static const char digits[] = "0123456789ABCDEF";
  std::string text(64, '\0');
  for (int i = 0; i < 32; ++i) {
    text[static_cast<std::size_t>(2 * i)] = digits[key[i] >> 4];
    text[static_cast<std::size_t>(2 * i + 1)] = digits[key[i] & 15];
  }
  WipeBytes(key, sizeof key);
  return text;
}

void TQEnc::ClearSessionKey() {
  WipeString(key_);
  ClearKeyCache();
}

// ---- Base64 text ----

std::string TQEnc::EncryptText(const std::string& text, const std::string& name, int lineWidth) {
  const std::string container = EncryptString(text, name);
  if (container.empty()) return std::string();
  const std::string encoded = Base64Encode(container);
  if (lineWidth <= 0 || encoded.size() <= static_cast<std::size_t>(lineWidth)) return encoded;
  const std::size_t width = static_cast<std::size_t>(lineWidth);
  std::string out;
  out.reserve(encoded.size() + encoded.size() / width * 2);
  for (std::size_t i = 0; i < encoded.size(); i += width) {
    if (i > 0) out += "\r\n";
    out.append(encoded, i, width);
  }
  return out;
}

std::string TQEnc::DecryptText(const std::string& text, const std::string& name) {
  const std::string bytes = Base64Decode(text);
  if (bytes.empty()) {
    // Text with nothing to decode is not a container: say so rather than
    // leave an old code or none.
    ClearError();
    DoError(ErrInvalidEncryptedData);
    return std::string();
  }
  return DecryptString(bytes, name);
}

bool TQEnc::IsEncryptedText(const std::string& text) {
  try {
    const std::string bytes = Base64Decode(text);
    if (bytes.size() < static_cast<std::size_t>(QEncFormat::HeaderSizeV2)) return false;
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    stream.SetPosition(0);
    return IsEncryptedStream(&stream);
  } catch (...) {
    return false;
  }
}

TQEncAlgorithm TQEnc::DetectTextAlgorithm(const std::string& text) {
  try {
    const std::string bytes = Base64Decode(text);
    if (bytes.size() < static_cast<std::size_t>(QEncFormat::HeaderSizeV2)) return qeaUnknown;
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    stream.SetPosition(0);
    return DetectStreamAlgorithm(&stream);
  } catch (...) {
    return qeaUnknown;
  }
}

// ---- Secure deletion ----

void TQEnc::ResolveDeleteArguments(int& wipes, int& oversizeWipes, int& oversizeFactor) const {
  if (wipes < 0) wipes = secureDeleteWipes_;
  if (oversizeWipes < 0) oversizeWipes = secureDeleteWipes_;
  if (oversizeFactor < 0) oversizeFactor = std::max(1, secureDeleteOversizePercent_ / 100);
}

bool TQEnc::DeleteFileSecure(const std::string& file, int wipes, int oversizeWipes, int oversizeFactor) {
  const bool onWorker = OnWorker();
  if (!onWorker) {
    if (Busy()) {
      DoError(ErrBusy);
      return false;
    }
    ClearError();
    ResetCancel();
    SetBusy(true);
  }
  bool result = false;
  try {
    DoStatus("Secure deleting " + ExtractFileName(file));
    ResolveDeleteArguments(wipes, oversizeWipes, oversizeFactor);
    result = DeleteFileSecureCore(file, wipes, oversizeWipes, oversizeFactor);
  } catch (...) {
    try {
      DoError(ErrUnknown);
    } catch (...) {
    }
    result = false;
  }
  if (!onWorker) {
    SetBusy(false);
    DoDeleteFileDone(file, result);
  }
  return result;
}

bool TQEnc::DeleteFileSecureCore(const std::string& file, int wipes, int oversizeWipes, int oversizeFactor) {
  namespace io = SecureDeleteIo;
  auto fail = [&](TQEncError error) {
    DoError(error);
    return false;
  };
  if (file.empty()) return fail(ErrEmptyInputFile);
  switch (io::Query(file)) {
    case io::TKind::Missing: return fail(ErrFileNotFound);
    case io::TKind::Unreadable: return fail(ErrFileAttributeFailed);
    case io::TKind::Directory: return fail(ErrDirectoryNotSupported);
    case io::TKind::File: break;
  }
  wipes = std::max(wipes, 0);
  oversizeWipes = std::max(oversizeWipes, 0);
  oversizeFactor = std::max(oversizeFactor, 1);
  const int passCount = wipes + oversizeWipes;
  io::SetNormalAttributes(file);

  io::TRandom random = 0;
  if (!io::RandomOpen(random)) return fail(ErrRandomGeneratorFailed);
  io::THandle handle = io::OpenExclusive(file);
  if (handle == io::InvalidHandle) {
    io::RandomClose(random);
    return fail(ErrFileOpenFailed);
  }

  std::unique_ptr<std::uint8_t[]> block;
  std::int64_t blockSize = 0;
  TQEncError error = ErrNone;
  [&] {
    std::int64_t size = 0;
    if (!io::FileSize(handle, size)) {
      error = ErrFileSizeFailed;
      return;
    }
    // size x factor, held within 64 bits.
    const std::int64_t oversize = size > 0 && oversizeFactor > std::numeric_limits<std::int64_t>::max() / size
                                      ? std::numeric_limits<std::int64_t>::max()
                                      : size * oversizeFactor;
    double total = static_cast<double>(size) * wipes + static_cast<double>(oversize) * oversizeWipes;
    if (total < 1) total = 1;
    if (!DoDeleteFileProgress(file, 0, 100, 0, passCount)) {
      error = ErrCanceled;
      return;
    }
    int lastPercent = 0;
    std::uint32_t lastTick = CurrentTick();
    double written = 0;
    blockSize = std::min<std::int64_t>(kWipeBlock, std::max(size, oversize));
    if (blockSize > 0) block.reset(new std::uint8_t[static_cast<std::size_t>(blockSize)]);
    for (int pass = 1; pass <= passCount; ++pass) {
      const std::int64_t passBytes = pass <= wipes ? size : oversize;
      if (!io::Rewind(handle)) {
        error = ErrSeekFailed;
        return;
      }
      for (std::int64_t done = 0; done < passBytes;) {
        if (CancelRequested()) {
          error = ErrCanceled;
          return;
        }
        const std::uint32_t n = static_cast<std::uint32_t>(std::min(blockSize, passBytes - done));
        if (!io::RandomFill(random, block.get(), n)) {
          error = ErrRandomDataFailed;
          return;
        }
        if (io::Write(handle, block.get(), n) != static_cast<std::int64_t>(n)) {
          error = ErrFileWriteFailed;
          return;
        }
        done += n;
        written += n;
        const int percent = static_cast<int>(std::clamp(written * 100.0 / total, 0.0, 100.0));
        const std::uint32_t now = CurrentTick();
        if (percent != lastPercent || static_cast<std::uint32_t>(now - lastTick) > kDeleteProgressInterval) {
          lastPercent = percent;
          lastTick = now;
          if (!DoDeleteFileProgress(file, percent, 100, pass, passCount)) {
            error = ErrCanceled;
            return;
          }
        }
      }
      if (!io::Flush(handle)) {
        error = ErrFileWriteFailed;
        return;
      }
    }
    if (!io::Rewind(handle)) {
      error = ErrSeekFailed;
      return;
    }
    if (!io::CutHere(handle) || !io::Flush(handle)) {
      error = ErrFileWriteFailed;
      return;
    }
    DoDeleteFileProgress(file, 100, 100, passCount, passCount);  // its answer is ignored
  }();
  io::Close(handle);
  io::RandomClose(random);
  if (block) WipeBytes(block.get(), static_cast<std::size_t>(blockSize));
  if (error != ErrNone) return fail(error);

  // The name goes before the file: a temporary name of no meaning, unless
  // that name is taken, when the file is removed under its own.
  char name[48];
  std::snprintf(name, sizeof name, "~qenc_%08X_%08X_%08X.tmp", static_cast<unsigned>(CurrentTick()),
                static_cast<unsigned>(io::ProcessId()), static_cast<unsigned>(io::ThreadId()));
  const std::string temporary = ExtractFilePath(file) + name;
  bool removed;
  if (io::Query(temporary) == io::TKind::Missing && io::Rename(file, temporary)) {
    io::SetNormalAttributes(temporary);
    removed = io::Remove(temporary);
  } else {
    io::SetNormalAttributes(file);
    removed = io::Remove(file);
  }
  if (!removed) return fail(ErrFileWriteFailed);
  return true;
}

// ---- Background jobs ----

bool TQEnc::StartJob(int job, const std::string& inputFile, const std::string& outputFile, int wipes,
                     int oversizeWipes, int oversizeFactor) {
  if (Busy() || worker_.load() != nullptr) {
    DoError(ErrBusy);
    return false;
  }
  ClearError();
  if (job != TQEncWorkerThread::JobDeleteSecure) {
    lastOutputFile_.clear();
    ResetProgressRecord();
  }
  ResetCancel();
  SetBusy(true);
  if (job == TQEncWorkerThread::JobDeleteSecure) ResolveDeleteArguments(wipes, oversizeWipes, oversizeFactor);
  try {
    // Threads of earlier jobs that have returned are released. One still
    // returning from its completion (a done handler starting the next job)
    // is kept until a later start or the destructor.
    threads_.erase(std::remove_if(threads_.begin(), threads_.end(),
                                  [](const std::unique_ptr<TQEncWorkerThread>& t) { return t->Finished(); }),
                   threads_.end());
    std::unique_ptr<TQEncWorkerThread> thread(new TQEncWorkerThread(
        this, static_cast<std::uint8_t>(job), inputFile, outputFile, wipes, oversizeWipes, oversizeFactor));
    threads_.reserve(threads_.size() + 1);
    if (!thread->Start()) throw std::bad_alloc();
    threads_.push_back(std::move(thread));
  } catch (...) {
    SetBusy(false);
    DoError(ErrAsyncStartFailed);
    return false;
  }
  return true;
}

bool TQEnc::EncryptFileAsync(const std::string& inputFile, const std::string& outputFile) {
  return StartJob(TQEncWorkerThread::JobEncrypt, inputFile, outputFile, 0, 0, 0);
}

bool TQEnc::DecryptFileAsync(const std::string& inputFile, const std::string& outputFile) {
  return StartJob(TQEncWorkerThread::JobDecrypt, inputFile, outputFile, 0, 0, 0);
}

bool TQEnc::DeleteFileSecureAsync(const std::string& file, int wipes, int oversizeWipes, int oversizeFactor) {
  return StartJob(TQEncWorkerThread::JobDeleteSecure, file, std::string(), wipes, oversizeWipes,
                  oversizeFactor);
}
