// The bytes of the encrypted container: header layouts, cascades, stage
// passwords, FastMode salts and the algorithm trailer that file writers put
// after single-cipher containers. All multi-byte integers are little-endian.
//
// Header version 2 (one cipher), 84 bytes:
//    0  4  magic "QVF1"            28 16  IV
//    4  1  version = 2             44  4  header-only byte count (0 = all)
//    5  1  cipher code             48 32  HMAC-SHA256 tag
//    6  1  mode: 1 FastMode salt,  80  4  header size = 84
//          2 random salt
//    7  1  reserved, 0
//    8  4  PBKDF2 iteration count
//   12 16  salt
//
// Header version 3 (cascade of 2 or 3 ciphers), 150 bytes:
//    0  4  magic "QVF1"            14 48  salts of stages 1, 2, 3
//    4  1  version = 3             62 48  IVs of stages 1, 2, 3
//    5  1  stage count (2 or 3)   110  4  header-only byte count (0 = all)
//    6  3  codes of stages 1-3    114 32  HMAC-SHA256 tag
//          (0xFF: unused)         146  4  header size = 150
//    9  1  mode (as version 2)
//   10  4  PBKDF2 iteration count
// An unused third stage has code 0xFF and zero salt and IV.
//
// The body follows: the plain data at the same offsets, bytes 0 to E-1
// encrypted (E = the header-only count, or the whole body when it is 0,
// clamped to the body), the rest stored plain. The tag is the HMAC, keyed
// with stage 1's MAC key, of the header with its tag field zeroed followed by
// the stored body.
#pragma once

#include <cstdint>
#include <string>

#include "base/Stream.h"
#include "engine/QEncTypes.h"

namespace QEncFormat {

constexpr std::uint8_t Magic[4] = {'Q', 'V', 'F', '1'};
constexpr int HeaderSizeV2 = 84;
constexpr int HeaderSizeV3 = 150;
constexpr int MaxHeaderSize = HeaderSizeV3;
constexpr int MaxStages = 3;
constexpr int SaltSize = 16;
constexpr int IvSize = 16;
constexpr int TagSize = 32;
constexpr int MacKeySize = 32;
constexpr std::uint8_t ModeFastSalt = 1;
constexpr std::uint8_t ModeRandomSalt = 2;
constexpr std::uint8_t UnusedStageCode = 0xFF;
// No writer stores more (the component's counts are ints); a reader refuses
// more before it spends any time on key derivation.
constexpr std::uint32_t MaxIterations = 2147483647u;
// PBKDF2 takes at most this many bytes of a stage password.
constexpr int PasswordCut = 200;
constexpr int MarkerSize = 7;

namespace V2 {
constexpr int Version = 4, Code = 5, Mode = 6, Reserved = 7, Iterations = 8, Salt = 12, Iv = 28,
              HeaderOnly = 44, Tag = 48, Size = 80;
}
namespace V3 {
constexpr int Version = 4, StageCount = 5, Codes = 6, Mode = 9, Iterations = 10, Salts = 14, Ivs = 62,
              HeaderOnly = 110, Tag = 114, Size = 146;
}

}  // namespace QEncFormat

// The ciphers of a container, stage 1 first.
struct TQEncCascade {
  int StageCount = 0;
  int Codes[QEncFormat::MaxStages] = {qeaNone, qeaNone, qeaNone};

  int Version() const { return StageCount == 1 ? 2 : 3; }
  int HeaderSize() const { return StageCount == 1 ? QEncFormat::HeaderSizeV2 : QEncFormat::HeaderSizeV3; }
};

// Stage 1 must be a cipher (0-3). Algorithm2 = qeaNone gives one stage and
// then Algorithm3 must be qeaNone too; otherwise Algorithm2 must be a cipher
// and Algorithm3 is qeaNone (two stages) or a cipher (three). The same cipher
// may appear in several stages. False for anything else.
bool ParseCascade(int algorithm1, int algorithm2, int algorithm3, TQEncCascade& cascade);

// 32 for ChaCha20, 16 for the other ciphers.
int CipherKeyLength(int code);

// The fields of a header, either side of its bytes.
struct TQEncHeader {
  TQEncCascade Cascade;
  std::uint8_t Mode = QEncFormat::ModeRandomSalt;
  std::uint32_t Iterations = 0;
  std::uint8_t Salts[QEncFormat::MaxStages][QEncFormat::SaltSize] = {};
  std::uint8_t Ivs[QEncFormat::MaxStages][QEncFormat::IvSize] = {};
  std::uint32_t HeaderOnlyCount = 0;
  std::uint8_t Tag[QEncFormat::TagSize] = {};

  int Version() const { return Cascade.Version(); }
  int Size() const { return Cascade.HeaderSize(); }
  int TagOffset() const { return Cascade.StageCount == 1 ? QEncFormat::V2::Tag : QEncFormat::V3::Tag; }
  // Writes Size() bytes: reserved bytes zero, unused stages 0xFF with zero
  // salt and IV, the tag field as held in Tag.
  void Store(std::uint8_t* out) const;
};

// Reads a header of the given version (2 or 3) from its raw bytes, checking
// in this order: the magic (ErrInvalidHeader), the header size field
// (ErrInvalidHeaderSize), for version 3 the stage count 2 or 3
// (ErrInvalidHeader), each used stage's cipher code 0-3
// (ErrUnknownAlgorithm), and an iteration count of at most MaxIterations
// (ErrInvalidHeader). The reserved byte and the bytes of an unused stage are
// not checked. ErrUnsupportedHeaderVersion for any other version.
TQEncError ParseHeader(const std::uint8_t* raw, int version, TQEncHeader& header);

// What the recognisers look at: the magic, the size field and, for version
// 3, the stage count.
bool HeaderShapeValid(const std::uint8_t* raw, int version);

// The version byte of a container at the stream's position without moving
// it: at least 5 bytes must remain and the first four be the magic. -1 when
// there is no version (fewer bytes, no magic, or a stream error).
int PeekContainerVersion(TStream& stream);

// The password of stage `stage` (counted from 1): for version 2 the
// effective password itself, for version 3 password + "|QENC3-STAGE|" + stage
// + "|ALG|" + code.
std::string StagePassword(const std::string& password, int version, int stage, int code);

// The name whose file-name part picks a FastMode salt: the key name for
// version 2, key name + "|QENC3-STAGE|" + stage for version 3.
std::string FastModeSaltName(const std::string& keyName, int version, int stage);

// FNV-1a, 32 bits (offset basis 0x811C9DC5, prime 16777619).
std::uint32_t Fnv1a32(const void* data, std::size_t length);

// The FastMode salt: the first 16 bytes of HMAC-SHA256(key = the stage
// password, message = the stage password + "|" + decimal B), where B is the
// FNV-1a of ExtractFileName(saltName) (of saltName itself when that part is
// empty) modulo 50.
void FastModeSalt(const std::string& stagePassword, const std::string& saltName,
                  std::uint8_t salt[QEncFormat::SaltSize]);

// ---- The algorithm trailer ----
//
// File writers append "$$$B$$$", "$$$C$$$" or "$$$T$$$" after a version 2
// container of Blowfish, ChaCha20 or Twofish: none after AES and none after a
// cascade. The trailer lies outside the container and its tag.

// The 7 marker bytes of a cipher code 1-3, or nullptr for any other code.
const char* AlgorithmMarker(int code);

// Which marker the last 7 bytes of the stream are (Blowfish, ChaCha20,
// Twofish), qeaNone for none or on any error. Looks at the bytes only,
// whatever precedes them. The position is kept.
TQEncAlgorithm StreamAlgorithmMarker(TStream& stream);
// The same for a file; qeaNone when it is missing or cannot be read.
TQEncAlgorithm FileAlgorithmMarker(const std::string& fileName);

// The length of the container that starts at the stream's position and runs
// to its end: everything that remains, less 7 when it is a trailer. The last
// 7 bytes count as a trailer only when the container's header is version 2
// with cipher code 1-3 and they are that code's marker, so a cascade or an
// AES container whose stored body happens to end in a marker keeps all its
// bytes. The position is kept; a stream that cannot tell its position or size
// throws.
std::int64_t ContainerLengthWithoutTrailer(TStream& stream);

// Shortens the file by its trailer, as ContainerLengthWithoutTrailer
// recognises one at the start of the file. True when there was none.
bool CutAlgorithmMarker(const std::string& fileName);

// Appends the marker of cipher code 1-3 to a file that a writer has just
// filled with a container; true only when all 7 bytes were written. For any
// other code nothing is appended and the result is true. Nothing is ever cut
// first: the end of a fresh container is body, never an older trailer.
bool WriteAlgorithmMarker(const std::string& fileName, int code);
