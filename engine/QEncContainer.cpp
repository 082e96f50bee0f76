#include "engine/QEncContainer.h"

#include <cstring>
#include <memory>

#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "engine/Hmac.h"

namespace {

using namespace QEncFormat;

bool IsCipher(int code) { return code >= qeaAES128CTR && code <= qeaTwofishCTR; }

std::uint32_t LoadLE32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

void StoreLE32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

const char kMarkers[3][MarkerSize + 1] = {"$$$B$$$", "$$$C$$$", "$$$T$$$"};

}  // namespace

bool ParseCascade(int algorithm1, int algorithm2, int algorithm3, TQEncCascade& cascade) {
  cascade = TQEncCascade();
  if (!IsCipher(algorithm1)) return false;
  if (algorithm2 == qeaNone) {
    if (algorithm3 != qeaNone) return false;
    cascade.StageCount = 1;
  } else {
    if (!IsCipher(algorithm2)) return false;
    if (algorithm3 == qeaNone)
      cascade.StageCount = 2;
    else if (IsCipher(algorithm3))
      cascade.StageCount = 3;
    else
      return false;
  }
  cascade.Codes[0] = algorithm1;
  if (cascade.StageCount >= 2) cascade.Codes[1] = algorithm2;
  if (cascade.StageCount == 3) cascade.Codes[2] = algorithm3;
  return true;
}

int CipherKeyLength(int code) { return code == qeaChaCha20 ? 32 : 16; }

void TQEncHeader::Store(std::uint8_t* out) const {
  std::memset(out, 0, static_cast<std::size_t>(Size()));
  std::memcpy(out, Magic, sizeof Magic);
  if (Cascade.StageCount == 1) {
    out[V2::Version] = 2;
    out[V2::Code] = static_cast<std::uint8_t>(Cascade.Codes[0]);
    out[V2::Mode] = Mode;
    StoreLE32(out + V2::Iterations, Iterations);
    std::memcpy(out + V2::Salt, Salts[0], SaltSize);
    std::memcpy(out + V2::Iv, Ivs[0], IvSize);
    StoreLE32(out + V2::HeaderOnly, HeaderOnlyCount);
    std::memcpy(out + V2::Tag, Tag, TagSize);
    StoreLE32(out + V2::Size, HeaderSizeV2);
    return;
  }
  out[V3::Version] = 3;
  out[V3::StageCount] = static_cast<std::uint8_t>(Cascade.StageCount);
  for (int s = 0; s < MaxStages; ++s) {
    const bool used = s < Cascade.StageCount;
    out[V3::Codes + s] = used ? static_cast<std::uint8_t>(Cascade.Codes[s]) : UnusedStageCode;
    if (!used) continue;
    std::memcpy(out + V3::Salts + s * SaltSize, Salts[s], SaltSize);
    std::memcpy(out + V3::Ivs + s * IvSize, Ivs[s], IvSize);
  }
  out[V3::Mode] = Mode;
  StoreLE32(out + V3::Iterations, Iterations);
  StoreLE32(out + V3::HeaderOnly, HeaderOnlyCount);
  std::memcpy(out + V3::Tag, Tag, TagSize);
  StoreLE32(out + V3::Size, HeaderSizeV3);
}

TQEncError ParseHeader(const std::uint8_t* raw, int version, TQEncHeader& header) {
  header = TQEncHeader();
  if (version != 2 && version != 3) return ErrUnsupportedHeaderVersion;
  if (std::memcmp(raw, Magic, sizeof Magic) != 0) return ErrInvalidHeader;
  if (version == 2) {
    if (LoadLE32(raw + V2::Size) != HeaderSizeV2) return ErrInvalidHeaderSize;
    if (raw[V2::Code] > qeaTwofishCTR) return ErrUnknownAlgorithm;
    header.Cascade.StageCount = 1;
    header.Cascade.Codes[0] = raw[V2::Code];
    header.Mode = raw[V2::Mode];
    header.Iterations = LoadLE32(raw + V2::Iterations);
    std::memcpy(header.Salts[0], raw + V2::Salt, SaltSize);
    std::memcpy(header.Ivs[0], raw + V2::Iv, IvSize);
    header.HeaderOnlyCount = LoadLE32(raw + V2::HeaderOnly);
    std::memcpy(header.Tag, raw + V2::Tag, TagSize);
  } else {
    if (LoadLE32(raw + V3::Size) != HeaderSizeV3) return ErrInvalidHeaderSize;
    const int stages = raw[V3::StageCount];
    if (stages != 2 && stages != 3) return ErrInvalidHeader;
    for (int s = 0; s < stages; ++s)
      if (raw[V3::Codes + s] > qeaTwofishCTR) return ErrUnknownAlgorithm;
    header.Cascade.StageCount = stages;
    for (int s = 0; s < stages; ++s) {
      header.Cascade.Codes[s] = raw[V3::Codes + s];
      std::memcpy(header.Salts[s], raw + V3::Salts + s * SaltSize, SaltSize);
      std::memcpy(header.Ivs[s], raw + V3::Ivs + s * IvSize, IvSize);
    }
    header.Mode = raw[V3::Mode];
    header.Iterations = LoadLE32(raw + V3::Iterations);
    header.HeaderOnlyCount = LoadLE32(raw + V3::HeaderOnly);
    std::memcpy(header.Tag, raw + V3::Tag, TagSize);
  }
  if (header.Iterations > MaxIterations) return ErrInvalidHeader;
  return ErrNone;
}

bool HeaderShapeValid(const std::uint8_t* raw, int version) {
  if (std::memcmp(raw, Magic, sizeof Magic) != 0) return false;
  if (version == 2) return LoadLE32(raw + V2::Size) == HeaderSizeV2;
  if (version == 3)
    return LoadLE32(raw + V3::Size) == HeaderSizeV3 && (raw[V3::StageCount] == 2 || raw[V3::StageCount] == 3);
  return false;
}

int PeekContainerVersion(TStream& stream) {
  try {
    const std::int64_t start = stream.Position();
    if (stream.Size() - start < 5) return -1;
    std::uint8_t head[5];
    const std::int64_t got = stream.Read(head, sizeof head);
    stream.SetPosition(start);
    if (got != 5 || std::memcmp(head, Magic, sizeof Magic) != 0) return -1;
    return head[4];
  } catch (...) {
    return -1;
  }
}

std::string StagePassword(const std::string& password, int version, int stage, int code) {
  if (version == 2) return password;
  std::string p;
  p.reserve(password.size() + 32);
  p += password;
  p += "|QENC3-STAGE|";
  p += std::to_string(stage);
  p += "|ALG|";
  p += std::to_string(code);
  return p;
}

std::string FastModeSaltName(const std::string& keyName, int version, int stage) {
  if (version == 2) return keyName;
  return keyName + "|QENC3-STAGE|" + std::to_string(stage);
}

std::uint32_t Fnv1a32(const void* data, std::size_t length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint32_t h = 0x811C9DC5u;
  for (std::size_t i = 0; i < length; ++i) {
    h ^= p[i];
    h *= 16777619u;
  }
  return h;
}

void FastModeSalt(const std::string& stagePassword, const std::string& saltName, std::uint8_t salt[SaltSize]) {
  std::string part = ExtractFileName(saltName);
  if (part.empty()) part = saltName;
  const std::uint32_t bucket = Fnv1a32(part.data(), part.size()) % 50u;
  std::string message = stagePassword + "|" + std::to_string(bucket);
  std::uint8_t tag[HmacSha256TagSize];
  HmacSha256(stagePassword.data(), static_cast<std::int64_t>(stagePassword.size()), message.data(),
             static_cast<std::int64_t>(message.size()), tag);
  std::memcpy(salt, tag, SaltSize);
  WipeBytes(tag, sizeof tag);
  WipeString(message);
}

const char* AlgorithmMarker(int code) {
  if (code >= qeaBlowfishCTR && code <= qeaTwofishCTR) return kMarkers[code - 1];
  return nullptr;
}

namespace {

// The marker (qeaBlowfishCTR … qeaTwofishCTR) in the last 7 bytes of the
// stream, qeaNone for none. May throw; the position is restored on success.
TQEncAlgorithm MarkerAtEnd(TStream& stream) {
  const std::int64_t start = stream.Position();
  const std::int64_t size = stream.Size();
  if (size < MarkerSize) return qeaNone;
  char tail[MarkerSize];
  stream.SetPosition(size - MarkerSize);
  const std::int64_t got = stream.Read(tail, MarkerSize);
  stream.SetPosition(start);
  if (got != MarkerSize) return qeaNone;
  for (int code = qeaBlowfishCTR; code <= qeaTwofishCTR; ++code)
    if (std::memcmp(tail, kMarkers[code - 1], MarkerSize) == 0) return static_cast<TQEncAlgorithm>(code);
  return qeaNone;
}

// The length of the trailer (0 or 7) after the container at the position.
std::int64_t TrailerLength(TStream& stream) {
  const std::int64_t start = stream.Position();
  if (stream.Size() - start < 6 + MarkerSize) return 0;
  std::uint8_t head[6];
  const std::int64_t got = stream.Read(head, sizeof head);
  stream.SetPosition(start);
  if (got != 6 || std::memcmp(head, Magic, sizeof Magic) != 0 || head[V2::Version] != 2) return 0;
  const int code = head[V2::Code];
  if (code < qeaBlowfishCTR || code > qeaTwofishCTR) return 0;
  return MarkerAtEnd(stream) == code ? MarkerSize : 0;
}

}  // namespace

TQEncAlgorithm StreamAlgorithmMarker(TStream& stream) {
  try {
    return MarkerAtEnd(stream);
  } catch (...) {
    return qeaNone;
  }
}

TQEncAlgorithm FileAlgorithmMarker(const std::string& fileName) {
  try {
    if (!Platform::FileExists(fileName)) return qeaNone;
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    return MarkerAtEnd(f);
  } catch (...) {
    return qeaNone;
  }
}

std::int64_t ContainerLengthWithoutTrailer(TStream& stream) {
  const std::int64_t start = stream.Position();
  const std::int64_t remaining = stream.Size() - start;
  std::int64_t trailer = 0;
  try {
    trailer = TrailerLength(stream);
  } catch (...) {
    stream.SetPosition(start);
    trailer = 0;
  }
  return remaining - trailer;
}

bool CutAlgorithmMarker(const std::string& fileName) {
  try {
    TFileStream f(fileName, fmOpenReadWrite | fmShareExclusive);
    const std::int64_t trailer = TrailerLength(f);
    if (trailer == 0) return true;
    f.SetSize(f.Size() - trailer);
    return true;
  } catch (...) {
    return false;
  }
}

bool WriteAlgorithmMarker(const std::string& fileName, int code) {
  const char* marker = AlgorithmMarker(code);
  if (marker == nullptr) return true;
  try {
    TFileStream f(fileName, fmOpenWrite | fmShareExclusive);
    f.Seek(0, soEnd);
    return f.Write(marker, MarkerSize) == MarkerSize;
  } catch (...) {
    return false;
  }
}
