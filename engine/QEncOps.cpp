// The operations of TQEnc around the container routines: names, streams,
// strings, files, verification and recognition.
#include <algorithm>
#include <cstring>
#include <memory>

#include "base/Platform.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "engine/ConstantTime.h"
#include "engine/Hmac.h"
#include "engine/QEnc.h"
#include "engine/QEncContainer.h"
#include "engine/QEncStages.h"
#include "engine/SecureDelete.h"

namespace {

using namespace QEncFormat;

constexpr unsigned kReadDenyWrite = fmOpenRead | fmShareDenyWrite;

// Puts the three algorithm properties back whatever happens.
class TAlgorithmGuard {
 public:
  TAlgorithmGuard(TQEnc& engine) : engine_(engine), a1_(engine.Algorithm()), a2_(engine.Algorithm2()),
                                   a3_(engine.Algorithm3()) {}
  ~TAlgorithmGuard() {
    engine_.SetAlgorithm(a1_);
    engine_.SetAlgorithm2(a2_);
    engine_.SetAlgorithm3(a3_);
  }

 private:
  TQEnc& engine_;
  TQEncAlgorithm a1_, a2_, a3_;
};

std::string MemoryText(TMemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

void FillMemory(TMemoryStream& stream, const std::string& data) {
  if (!data.empty()) stream.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
  stream.SetPosition(0);
}

// Makes room in output, once, for the plain data of the container of
// containerLength bytes at the input's position, when its first bytes name a
// container version: the body is the container less its header. Anything
// else is left to the reader to refuse. The input's position is kept.
void ReservePlain(TStream& input, std::int64_t containerLength, TMemoryStream& output) {
  const int version = PeekContainerVersion(input);
  const int headerSize = version == 2 ? HeaderSizeV2 : version == 3 ? HeaderSizeV3 : 0;
  if (headerSize > 0 && containerLength > headerSize) output.SetCapacity(containerLength - headerSize);
}

// Two paths that name the same file. Compared without regard to case, as
// the Windows file system does, so that no spelling of the input passes
// for a different output.
bool SamePath(const std::string& a, const std::string& b) {
  return SameText(Platform::FullPathName(a), Platform::FullPathName(b));
}

// The input-file checks of the file operations; ErrNone when it may be used.
TQEncError CheckInputFile(const std::string& file) {
  if (file.empty()) return ErrEmptyInputFile;
  if (Platform::DirectoryExists(file)) return ErrDirectoryNotSupported;
  if (!Platform::FileExists(file)) return ErrFileNotFound;
  return ErrNone;
}

// Removes a partial output of this call, clearing a read-only attribute
// first.
void RemovePartial(const std::string& file) {
  SecureDeleteIo::SetNormalAttributes(file);
  Platform::RemoveFile(file);
}

bool IsSingleCipher(TQEncAlgorithm a2, TQEncAlgorithm a3) { return a2 == qeaNone && a3 == qeaNone; }

}  // namespace

// ---- Names ----

std::string TQEnc::PlainNameForEncryptedFile(const std::string& file) const {
  const std::string name = ExtractFileName(file);
  const std::string& prefix = encryptedPrefix_;
  if (useEncryptedPrefix_ && !prefix.empty() && name.size() >= prefix.size() &&
      name.compare(0, prefix.size(), prefix) == 0)
    return name.substr(prefix.size());
  return name;
}

std::string TQEnc::BuildOutputEncryptName(const std::string& file) const {
  return ExtractFilePath(file) + (useEncryptedPrefix_ ? encryptedPrefix_ : std::string()) + ExtractFileName(file);
}

std::string TQEnc::BuildOutputDecryptName(const std::string& file) const {
  return ExtractFilePath(file) + PlainNameForEncryptedFile(file);
}

// ---- Streams ----

bool TQEnc::EncryptStream(TStream* input, TStream* output, const std::string& name) {
  ClearError();
  lastOutputFile_.clear();
  ResetCancel();
  // A job of a worker keeps its Busy.
  const bool wasBusy = Busy();
  SetBusy(true);
  bool result = false;
  try {
    result = EncryptStreamCore(input, output, name, name);
  } catch (...) {
    DoError(ErrEncryptFailed);
    result = false;
  }
  SetBusy(wasBusy);
  return result;
}

bool TQEnc::EncryptStream(TStream* input, TStream* output, TQEncAlgorithm algorithm1, TQEncAlgorithm algorithm2,
                          TQEncAlgorithm algorithm3, const std::string& name) {
  TQEncCascade cascade;
  if (!ParseCascade(algorithm1, algorithm2, algorithm3, cascade)) {
    ClearError();
    DoError(ErrUnknownAlgorithm);
    return false;
  }
  TAlgorithmGuard guard(*this);
  algorithm_ = algorithm1;
  algorithm2_ = algorithm2;
  algorithm3_ = algorithm3;
  return EncryptStream(input, output, name);
}

bool TQEnc::DecryptStream(TStream* input, TStream* output, const std::string& name) {
  ClearError();
  lastOutputFile_.clear();
  ResetCancel();
  const bool wasBusy = Busy();
  SetBusy(true);
  bool result = false;
  try {
    const std::int64_t length = input != nullptr ? input->Size() - input->Position() : 0;
    result = DecryptStreamCore(input, output, name, name, length);
  } catch (...) {
    DoError(ErrDecryptFailed);
    result = false;
  }
  SetBusy(wasBusy);
  return result;
}

// ---- Strings ----

std::string TQEnc::EncryptString(const std::string& text, const std::string& name) {
  try {
    TMemoryStream input, output;
    FillMemory(input, text);
    TQEncCascade cascade;
    if (ParseCascade(algorithm_, algorithm2_, algorithm3_, cascade))
      output.SetCapacity(cascade.HeaderSize() + input.Size());
    if (!EncryptStream(&input, &output, name)) {
      // A cancellation answered before any work ends the core without a
      // code; the caller must not read that as success.
      if (LastError() == ErrNone) DoError(ErrCanceled);
      return std::string();
    }
    return MemoryText(output);
  } catch (...) {
    DoError(ErrEncryptFailed);
    return std::string();
  }
}

std::string TQEnc::EncryptString(const std::string& text, TQEncAlgorithm algorithm1, TQEncAlgorithm algorithm2,
                                 TQEncAlgorithm algorithm3, const std::string& name) {
  TQEncCascade cascade;
  if (!ParseCascade(algorithm1, algorithm2, algorithm3, cascade)) {
    ClearError();
    DoError(ErrUnknownAlgorithm);
    return std::string();
  }
  TAlgorithmGuard guard(*this);
  algorithm_ = algorithm1;
  algorithm2_ = algorithm2;
  algorithm3_ = algorithm3;
  return EncryptString(text, name);
}

std::string TQEnc::DecryptString(const std::string& data, const std::string& name) {
  try {
    TMemoryStream input, output;
    FillMemory(input, data);
    ReservePlain(input, input.Size(), output);
    if (!DecryptStream(&input, &output, name)) {
      if (LastError() == ErrNone) DoError(ErrCanceled);
      return std::string();
    }
    return MemoryText(output);
  } catch (...) {
    DoError(ErrDecryptFailed);
    return std::string();
  }
}

bool TQEnc::EncryptStringToFile(const std::string& text, const std::string& file, const std::string& keyName) {
  ClearError();
  lastOutputFile_ = file;
  ResetCancel();
  if (file.empty()) {
    DoError(ErrEmptyOutputFile);
    return false;
  }
  const std::string name = keyName.empty() ? PlainNameForEncryptedFile(file) : keyName;
  // What would fail inside the writer is refused before the file is touched.
  TQEncCascade cascade;
  if (key_.empty()) {
    DoError(ErrEmptyKey);
    return false;
  }
  if (!ParseCascade(algorithm_, algorithm2_, algorithm3_, cascade)) {
    DoError(ErrUnknownAlgorithm);
    return false;
  }
  const TQEncAlgorithm single = IsSingleCipher(algorithm2_, algorithm3_) ? algorithm_ : qeaNone;

  bool created = false;
  bool result = false;
  try {
    TMemoryStream input;
    FillMemory(input, text);
    {
      TFileStream output(file, fmCreate);
      created = true;
      result = EncryptStreamCore(&input, &output, name, file);
    }
    if (result && single != qeaNone && !WriteAlgorithmMarker(file, single)) {
      DoError(ErrAlgorithmMarkerFailed);
      result = false;
    }
  } catch (...) {
    if (LastError() == ErrNone) DoError(ErrEncryptFailed);
    result = false;
  }
  // Only a file this call created or emptied is removed.
  if (!result && created) RemovePartial(file);
  return result;
}

std::string TQEnc::DecryptFileToString(const std::string& file) {
  ClearError();
  ResetCancel();
  try {
    TFileStream input(file, kReadDenyWrite);
    const std::int64_t length = ContainerLengthWithoutTrailer(input);
    TMemoryStream output;
    ReservePlain(input, length, output);
    if (!DecryptStreamCore(&input, &output, PlainNameForEncryptedFile(file), file, length)) {
      if (LastError() == ErrNone) DoError(ErrCanceled);
      return std::string();
    }
    return MemoryText(output);
  } catch (...) {
    if (LastError() == ErrNone) DoError(ErrDecryptFailed);
    return std::string();
  }
}

// ---- Files ----

bool TQEnc::PrepareFileOperation(TQEncOperation operation, bool onWorker, const std::string& inputFile,
                                 const std::string& outputFile, std::string& output) {
  if (!onWorker) {
    if (Busy()) {
      DoError(ErrBusy);
      return false;
    }
    ClearError();
    lastOutputFile_.clear();
    ResetCancel();
  }
  const TQEncError inputError = CheckInputFile(inputFile);
  if (inputError != ErrNone) {
    DoError(inputError);
    return false;
  }
  if (!outputFile.empty())
    output = outputFile;
  else
    output = operation == qeoEncrypt ? BuildOutputEncryptName(inputFile) : BuildOutputDecryptName(inputFile);
  lastOutputFile_ = output;
  return true;
}

bool TQEnc::RunFileOperation(TQEncOperation operation, bool onWorker, const std::string& inputFile,
                             const std::string& output,
                             bool (TQEnc::*body)(const std::string&, const std::string&)) {
  if (!DoFileBegin(operation, inputFile, output)) return false;
  if (!onWorker) SetBusy(true);
  const bool result = (this->*body)(inputFile, output);
  if (!onWorker) {
    SetBusy(false);
    DoFileDone(operation, inputFile, output, result);
  }
  return result;
}

bool TQEnc::EncryptFile(const std::string& inputFile, const std::string& outputFile) {
  const bool onWorker = OnWorker();
  std::string output;
  if (!PrepareFileOperation(qeoEncrypt, onWorker, inputFile, outputFile, output)) return false;
  // Encrypting a file onto itself would destroy it: refused before anything
  // is opened.
  if (SamePath(output, inputFile)) {
    DoError(ErrEncryptFailed);
    return false;
  }
  return RunFileOperation(qeoEncrypt, onWorker, inputFile, output, &TQEnc::EncryptFileBody);
}

bool TQEnc::EncryptFileBody(const std::string& inputFile, const std::string& output) {
  DoStatus("Encrypting " + ExtractFileName(inputFile));
  TQEncCascade cascade;
  if (key_.empty()) {
    DoError(ErrEmptyKey);
    return false;
  }
  if (!ParseCascade(algorithm_, algorithm2_, algorithm3_, cascade)) {
    DoError(ErrUnknownAlgorithm);
    return false;
  }
  const TQEncAlgorithm single = IsSingleCipher(algorithm2_, algorithm3_) ? algorithm_ : qeaNone;
  bool created = false;
  bool result = false;
  try {
    {
      TFileStream input(inputFile, kReadDenyWrite);
      TFileStream out(output, fmCreate);
      created = true;
      result = EncryptStreamCore(&input, &out, ExtractFileName(inputFile), inputFile);
    }
    if (result && single != qeaNone && !WriteAlgorithmMarker(output, single)) {
      DoError(ErrAlgorithmMarkerFailed);
      result = false;
    }
  } catch (...) {
    if (LastError() == ErrNone) DoError(ErrEncryptFailed);
    result = false;
  }
  if (!result && created) RemovePartial(output);
  return result;
}

bool TQEnc::EncryptFile(const std::string& inputFile, const std::string& outputFile, TQEncAlgorithm algorithm1,
                        TQEncAlgorithm algorithm2, TQEncAlgorithm algorithm3) {
  TQEncCascade cascade;
  if (!ParseCascade(algorithm1, algorithm2, algorithm3, cascade)) {
    ClearError();
    DoError(ErrUnknownAlgorithm);
    return false;
  }
  TAlgorithmGuard guard(*this);
  algorithm_ = algorithm1;
  algorithm2_ = algorithm2;
  algorithm3_ = algorithm3;
  return EncryptFile(inputFile, outputFile);
}

bool TQEnc::DecryptFile(const std::string& inputFile, const std::string& outputFile) {
  const bool onWorker = OnWorker();
  std::string output;
  if (!PrepareFileOperation(qeoDecrypt, onWorker, inputFile, outputFile, output)) return false;
  if (SamePath(output, inputFile) || SamePath(output + ".tmp", inputFile)) {
    DoError(ErrDecryptFailed);
    return false;
  }
  return RunFileOperation(qeoDecrypt, onWorker, inputFile, output, &TQEnc::DecryptFileBody);
}

bool TQEnc::DecryptFileBody(const std::string& inputFile, const std::string& output) {
  DoStatus("Decrypting " + ExtractFileName(inputFile));
  if (key_.empty()) {
    DoError(ErrEmptyKey);
    return false;
  }
  const std::string temporary = output + ".tmp";
  bool created = false;
  bool result = false;
  try {
    {
      TFileStream input(inputFile, kReadDenyWrite);
      const std::int64_t length = ContainerLengthWithoutTrailer(input);
      TFileStream out(temporary, fmCreate);
      created = true;
      result = DecryptStreamCore(&input, &out, PlainNameForEncryptedFile(inputFile), inputFile, length);
    }
    // One replacing move: the old output stays until the new one is whole.
    if (result && !Platform::MoveFileReplacing(temporary, output)) {
      DoError(ErrFileRenameFailed);
      result = false;
    }
  } catch (...) {
    if (LastError() == ErrNone) DoError(ErrDecryptFailed);
    result = false;
  }
  if (!result && created) RemovePartial(temporary);
  return result;
}

// ---- Verification ----

bool TQEnc::VerifyEncryptedFile(const std::string& sourceFile, const std::string& encryptedFile,
                                int compareLimit) {
  ClearError();
  if (Busy()) {
    DoError(ErrBusy);
    return false;
  }
  // Each condition is checked on both names before the next one, so a pair
  // reports the first condition either name fails.
  const auto both = [&](auto&& failing) { return failing(sourceFile) || failing(encryptedFile); };
  TQEncError inputError = ErrNone;
  if (both([](const std::string& f) { return f.empty(); }))
    inputError = ErrEmptyInputFile;
  else if (both([](const std::string& f) { return !Platform::FileExists(f) && !Platform::DirectoryExists(f); }))
    inputError = ErrFileNotFound;
  else if (both([](const std::string& f) { return Platform::DirectoryExists(f); }))
    inputError = ErrDirectoryNotSupported;
  if (inputError != ErrNone) {
    DoError(inputError);
    return false;
  }
  const std::int64_t limit = compareLimit < 0 ? 0 : compareLimit;
  SetBusy(true);
  DoStatus("Verifying " + ExtractFileName(encryptedFile));

  bool result = false;
  auto fail = [&](TQEncError error) {
    DoError(error);
    return false;
  };
  TQEncStages stages;
  THmacSha256Context mac{};
  std::unique_ptr<std::uint8_t[]> plain, stored;
  const std::int64_t chunk = bufferSize_;
  try {
    result = [&]() -> bool {
      TFileStream source(sourceFile, kReadDenyWrite);
      TFileStream encrypted(encryptedFile, kReadDenyWrite);
      const std::int64_t sourceSize = source.Size();
      const std::int64_t length = ContainerLengthWithoutTrailer(encrypted);
      if (key_.empty()) return fail(ErrEmptyKey);
      const int version = PeekContainerVersion(encrypted);
      if (version != 2 && version != 3) return fail(ErrUnsupportedHeaderVersion);
      const int headerSize = version == 2 ? HeaderSizeV2 : HeaderSizeV3;
      if (length <= headerSize) return fail(ErrHeaderReadFailed);
      std::uint8_t raw[MaxHeaderSize];
      encrypted.ReadBuffer(raw, headerSize);
      TQEncHeader header;
      const TQEncError headerError = ParseHeader(raw, version, header);
      if (headerError != ErrNone) return fail(headerError);
      const std::int64_t bodyLength = length - headerSize;
      if (bodyLength != sourceSize) return fail(ErrVerificationFailed);
      const std::int64_t encryptedEnd =
          header.HeaderOnlyCount != 0 ? std::min<std::int64_t>(header.HeaderOnlyCount, bodyLength) : bodyLength;

      {
        TSecureString password(EffectiveKey(ExtractFileName(sourceFile)));
        bool stopped = false;
        if (!stages.Derive(header, password.str(), KeyProgress(), &stopped))
          return fail(stopped ? ErrCanceled : ErrVerificationFailed);
      }
      std::memset(raw + header.TagOffset(), 0, TagSize);
      HmacSha256Init(mac, stages.MacKey(), MacKeySize);
      HmacSha256Update(mac, raw, headerSize);
      stored.reset(new std::uint8_t[static_cast<std::size_t>(chunk)]);
      plain.reset(new std::uint8_t[static_cast<std::size_t>(chunk)]);
      for (std::int64_t done = 0; done < bodyLength;) {
        const std::int64_t want = std::min(chunk, bodyLength - done);
        if (encrypted.Read(stored.get(), want) != want) return fail(ErrFileReadFailed);
        HmacSha256Update(mac, stored.get(), want);
        done += want;
      }
      std::uint8_t tag[TagSize];
      HmacSha256Final(mac, tag);
      if (!ConstantTimeEqual(tag, header.Tag, TagSize)) return fail(ErrWrongPassword);

      const std::int64_t n = std::min(limit, sourceSize);
      encrypted.SetPosition(headerSize);
      for (std::int64_t position = 0; position < n;) {
        std::int64_t want = std::min(chunk, n - position);
        if (position < encryptedEnd) want = std::min(want, encryptedEnd - position);
        if (source.Read(plain.get(), want) != want || encrypted.Read(stored.get(), want) != want)
          return fail(ErrFileReadFailed);
        if (position < encryptedEnd)
          stages.Decrypt(stored.get(), want, compatibilityMode_ ? position % chunk : position, false);
        if (std::memcmp(plain.get(), stored.get(), static_cast<std::size_t>(want)) != 0)
          return fail(ErrVerificationFailed);
        position += want;
      }
      return true;
    }();
  } catch (...) {
    if (LastError() == ErrNone) DoError(ErrVerificationFailed);
    result = false;
  }
  if (!result && LastError() == ErrNone) DoError(ErrVerificationFailed);
  HmacSha256Wipe(mac);
  if (plain) WipeBytes(plain.get(), static_cast<std::size_t>(chunk));
  if (stored) WipeBytes(stored.get(), static_cast<std::size_t>(chunk));
  SetBusy(false);
  return result;
}

// ---- Recognition ----

namespace {

// The header bytes of a container at the stream's position, position kept:
// the version (2 or 3) when enough bytes remain and the shape is valid,
// otherwise -1.
int ReadHeaderShape(TStream& stream, std::uint8_t* raw) {
  const std::int64_t start = stream.Position();
  int result = -1;
  try {
    const int version = PeekContainerVersion(stream);
    const int size = version == 2 ? HeaderSizeV2 : version == 3 ? HeaderSizeV3 : 0;
    if (size > 0 && stream.Size() - start >= size) {
      stream.ReadBuffer(raw, size);
      if (HeaderShapeValid(raw, version)) result = version;
    }
  } catch (...) {
    result = -1;
  }
  stream.SetPosition(start);
  return result;
}

}  // namespace

bool TQEnc::IsEncryptedStream(TStream* stream) {
  if (stream == nullptr) return false;
  try {
    std::uint8_t raw[MaxHeaderSize];
    return ReadHeaderShape(*stream, raw) > 0;
  } catch (...) {
    return false;
  }
}

bool TQEnc::IsEncryptedFile(const std::string& file) {
  if (!Platform::FileExists(file)) return false;
  try {
    TFileStream stream(file, kReadDenyWrite);
    if (IsEncryptedStream(&stream)) return true;
  } catch (...) {
    // Unreadable: the trailer decides.
  }
  return FileAlgorithmMarker(file) != qeaNone;
}

TQEncAlgorithm TQEnc::DetectStreamAlgorithm(TStream* stream) {
  if (stream == nullptr) return qeaUnknown;
  try {
    std::uint8_t raw[MaxHeaderSize];
    const int version = ReadHeaderShape(*stream, raw);
    int code = -1;
    if (version == 2) code = raw[V2::Code];
    if (version == 3) code = raw[V3::Codes];
    return code >= qeaAES128CTR && code <= qeaTwofishCTR ? static_cast<TQEncAlgorithm>(code) : qeaUnknown;
  } catch (...) {
    return qeaUnknown;
  }
}

TQEncAlgorithm TQEnc::DetectFileAlgorithm(const std::string& file) {
  if (!Platform::FileExists(file)) return qeaUnknown;
  try {
    TFileStream stream(file, kReadDenyWrite);
    const TQEncAlgorithm a = DetectStreamAlgorithm(&stream);
    if (a != qeaUnknown) return a;
  } catch (...) {
  }
  const TQEncAlgorithm marker = FileAlgorithmMarker(file);
  return marker == qeaNone ? qeaUnknown : marker;
}

std::string TQEnc::AlgorithmToString(TQEncAlgorithm algorithm) {
  switch (algorithm) {
    case qeaNone: return "None";
    case qeaAES128CTR: return "AES-128";
    case qeaBlowfishCTR: return "Blowfish";
    case qeaChaCha20: return "ChaCha20";
    case qeaTwofishCTR: return "Twofish";
    default: return "Unknown";
  }
}
