// The container writer and reader of TQEnc: round trips for every cipher and
// cascade, the header's fields and their error codes, tampering, FastMode
// and the key cache, chunking with and without CompatibilityMode, failing
// streams, cancellation, and known-answer containers whose bytes were
// computed by an independent implementation of the format.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/Hmac.h"
#include "engine/KeyCache.h"
#include "engine/QEnc.h"
#include "engine/QEncContainer.h"
#include "engine/Sha256.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;
using QEncFormat::HeaderSizeV2;
using QEncFormat::HeaderSizeV3;

const char kKey[] = "correct horse";
const char kName[] = "vault.qvl";

// A fresh engine with test settings: random salts, the smallest iteration
// count the setters allow, offsets that run on across chunks.
void Configure(TQEnc& q) {
  q.SetKey(kKey);
  q.SetFastMode(false);
  q.SetIterations(5000);
  q.SetFastIterations(5000);
  q.SetCompatibilityMode(false);
}

void SetCascade(TQEnc& q, const TCascadeCase& c) {
  q.SetAlgorithm(c.A1);
  q.SetAlgorithm2(c.A2);
  q.SetAlgorithm3(c.A3);
}

Bytes Encrypt(TQEnc& q, const Bytes& plain, const std::string& name = kName) {
  TMemoryStream in, out;
  Fill(in, plain);
  EXPECT_TRUE(q.EncryptStreamCore(&in, &out, name, name)) << TQEnc::ErrorToString(q.LastError());
  return Contents(out);
}

bool Decrypt(TQEnc& q, const Bytes& container, Bytes& plain, const std::string& name = kName) {
  TMemoryStream in, out;
  Fill(in, container);
  q.ClearError();
  const bool ok = q.DecryptStreamCore(&in, &out, name, name, static_cast<std::int64_t>(container.size()));
  plain = Contents(out);
  return ok;
}

TQEncError DecryptError(TQEnc& q, const Bytes& container, std::int64_t length = -1) {
  TMemoryStream in, out;
  Fill(in, container);
  q.ClearError();
  const bool ok =
      q.DecryptStreamCore(&in, &out, kName, kName, length < 0 ? static_cast<std::int64_t>(container.size()) : length);
  if (ok) return ErrNone;
  EXPECT_NE(q.LastError(), ErrNone);
  return q.LastError();
}

std::uint32_t Le32(const Bytes& b, int at) {
  return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
         (std::uint32_t(b[at + 3]) << 24);
}
void SetLe32(Bytes& b, int at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Seals a container whose header a test has edited: derives stage 1's MAC
// key from the header's own salt and count and writes the new tag.
void Reseal(Bytes& c, const std::string& password) {
  const int version = c[4];
  TQEncHeader h;
  ASSERT_EQ(ParseHeader(c.data(), version, h), ErrNone);
  TQEncStageKeyRequest r;
  r.StagePassword = StagePassword(password, version, 1, h.Cascade.Codes[0]);
  r.Salt = h.Salts[0];
  r.Iterations = h.Iterations;
  r.CipherKeyLength = CipherKeyLength(h.Cascade.Codes[0]);
  TQEncKeyCacheEntry k;
  ASSERT_TRUE(DeriveStageKeys(&r, 1, &k));
  std::memset(c.data() + h.TagOffset(), 0, 32);
  std::uint8_t tag[32];
  HmacSha256(k.MacKey, 32, c.data(), static_cast<std::int64_t>(c.size()), tag);
  std::memcpy(c.data() + h.TagOffset(), tag, 32);
}

// ---- Round trips ----

struct TRoundTrip {
  TCascadeCase Cascade;
  bool HeaderOnly;
};

class RoundTrip : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(RoundTrip, DecryptsToThePlainDataAndReportsTheCascade) {
  const TRoundTrip& p = GetParam();
  TQEnc writer;
  Configure(writer);
  SetCascade(writer, p.Cascade);
  writer.SetBufferSize(512);  // several chunks, the last one short
  writer.SetHeaderOnly(p.HeaderOnly);
  writer.SetHeaderOnlyKB(1);
  const Bytes plain = Pattern(p.HeaderOnly ? 5000 : 3000);
  const Bytes c = Encrypt(writer, plain);

  const int stages = StageCount(p.Cascade);
  const int headerSize = stages == 1 ? HeaderSizeV2 : HeaderSizeV3;
  ASSERT_EQ(c.size(), plain.size() + static_cast<std::size_t>(headerSize));
  EXPECT_EQ(c[4], stages == 1 ? 2 : 3);
  const std::uint32_t count = Le32(c, stages == 1 ? QEncFormat::V2::HeaderOnly : QEncFormat::V3::HeaderOnly);
  EXPECT_EQ(count, p.HeaderOnly ? 1024u : 0u);
  // Header-only: the first 1,024 bytes encrypted, the rest stored plain.
  const std::size_t encrypted = p.HeaderOnly ? 1024 : plain.size();
  EXPECT_NE(0, std::memcmp(c.data() + headerSize, plain.data(), encrypted));
  EXPECT_TRUE(std::equal(c.begin() + headerSize + static_cast<std::ptrdiff_t>(encrypted), c.end(),
                         plain.begin() + static_cast<std::ptrdiff_t>(encrypted)));

  // A reader with other settings learns the cascade from the header.
  TQEnc reader;
  reader.SetKey(kKey);
  reader.SetCompatibilityMode(false);
  reader.SetAlgorithm(qeaBlowfishCTR);
  reader.SetAlgorithm2(qeaBlowfishCTR);
  reader.SetAlgorithm3(qeaBlowfishCTR);
  Bytes back;
  ASSERT_TRUE(Decrypt(reader, c, back)) << TQEnc::ErrorToString(reader.LastError());
  EXPECT_EQ(back, plain);
  EXPECT_EQ(reader.Algorithm(), p.Cascade.A1);
  EXPECT_EQ(reader.Algorithm2(), p.Cascade.A2);
  EXPECT_EQ(reader.Algorithm3(), p.Cascade.A3);
  EXPECT_FALSE(reader.FastMode());
  EXPECT_EQ(reader.Iterations(), 5000);
}

std::vector<TRoundTrip> RoundTrips() {
  std::vector<TRoundTrip> v;
  for (const TCascadeCase& c : Cascades())
    for (bool headerOnly : {false, true}) v.push_back({c, headerOnly});
  return v;
}

INSTANTIATE_TEST_SUITE_P(Cascades, RoundTrip, ::testing::ValuesIn(RoundTrips()),
                         [](const ::testing::TestParamInfo<TRoundTrip>& i) {
                           return std::string(i.param.Cascade.Name) + (i.param.HeaderOnly ? "_HeaderOnly" : "_Whole");
                         });

TEST(QEncStream, HeaderOnlyInputShorterThanTheLimitIsEncryptedWholeWithItsLengthAsCount) {
  TQEnc q;
  Configure(q);
  q.SetHeaderOnly(true);
  q.SetHeaderOnlyKB(1);
  const Bytes plain = Pattern(700);
  const Bytes c = Encrypt(q, plain);
  EXPECT_EQ(Le32(c, QEncFormat::V2::HeaderOnly), 700u);
  Bytes back;
  ASSERT_TRUE(Decrypt(q, c, back));
  EXPECT_EQ(back, plain);
}

// A limit of 4 GiB or more: the count is computed in 64 bits, so a limit
// whose 32-bit product would wrap to 0 (meaning "all") still ends at the
// input's length.
TEST(QEncStream, HeaderOnlyLimitIsComputedIn64Bits) {
  for (int kb : {4194304, 4194305, INT_MAX}) {
    TQEnc q;
    Configure(q);
    q.SetHeaderOnly(true);
    q.SetHeaderOnlyKB(kb);
    const Bytes plain = Pattern(3000);
    const Bytes c = Encrypt(q, plain);
    EXPECT_EQ(Le32(c, QEncFormat::V2::HeaderOnly), 3000u) << kb;
    Bytes back;
    ASSERT_TRUE(Decrypt(q, c, back));
    EXPECT_EQ(back, plain);
  }
}

// An input as long as it says, full of zeros, with no storage behind it.
class TZeroStream : public TStream {
 public:
  explicit TZeroStream(std::int64_t size) : size_(size) {}
  std::int64_t Read(void* buffer, std::int64_t count) override {
    const std::int64_t n = std::min(count, size_ - pos_);
    if (n <= 0) return 0;
    std::memset(buffer, 0, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
  }
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    pos_ = (origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_) + offset;
    return pos_;
  }
  std::int64_t Size() override { return size_; }
  void SetSize(std::int64_t) override {}

 private:
  std::int64_t size_;
  std::int64_t pos_ = 0;
};

// Beyond 4 GiB the count is held at the largest value its field stores: the
// header (written before the body) shows it, and the write that fails right
// after it ends the operation quickly.
TEST(QEncStream, HeaderOnlyCountIsClampedToTheField) {
  TQEnc q;
  Configure(q);
  q.SetHeaderOnly(true);
  q.SetHeaderOnlyKB(INT_MAX);
  TZeroStream in(std::int64_t(5) << 30);
  TFailingStream out;
  out.WriteBudget = HeaderSizeV2;
  EXPECT_FALSE(q.EncryptStreamCore(&in, &out, kName, kName));
  EXPECT_EQ(q.LastError(), ErrEncryptFailed);
  const Bytes header = out.Data();
  ASSERT_EQ(header.size(), static_cast<std::size_t>(HeaderSizeV2));
  EXPECT_EQ(Le32(header, QEncFormat::V2::HeaderOnly), 0xFFFFFFFFu);
}

TEST(QEncStream, EmptyInputGivesAHeaderOnlyContainerThatTheReaderRefuses) {
  for (const TCascadeCase& c : {Cascades()[0], Cascades()[7]}) {
    TQEnc q;
    Configure(q);
    SetCascade(q, c);
    const Bytes container = Encrypt(q, {});
    ASSERT_EQ(container.size(), static_cast<std::size_t>(StageCount(c) == 1 ? HeaderSizeV2 : HeaderSizeV3));
    EXPECT_EQ(DecryptError(q, container), ErrInvalidEncryptedData);
  }
}

TEST(QEncStream, ContainerSitsAtTheStreamPositions) {
  TQEnc q;
  Configure(q);
  const Bytes plain = Pattern(1000);
  TMemoryStream in, out;
  const Bytes prefix = {'x', 'y', 'z'};
  Fill(in, prefix);
  in.Seek(0, soEnd);
  in.Write(plain.data(), 1000);
  in.SetPosition(3);  // encrypt from here to the end
  out.Write("head", 4);
  ASSERT_TRUE(q.EncryptStreamCore(&in, &out, kName, kName));
  EXPECT_EQ(out.Size(), 4 + HeaderSizeV2 + 1000);
  EXPECT_EQ(out.Position(), out.Size());
  EXPECT_EQ(0, std::memcmp(out.Memory(), "head", 4));

  // Read it back from the middle of a longer stream.
  out.Write("tail", 4);
  out.SetPosition(4);
  TMemoryStream plainOut;
  ASSERT_TRUE(q.DecryptStreamCore(&out, &plainOut, kName, kName, HeaderSizeV2 + 1000));
  EXPECT_EQ(Contents(plainOut), plain);
  EXPECT_EQ(out.Position(), 4 + HeaderSizeV2 + 1000);
}

// ---- Preconditions of the writer ----

TEST(QEncStream, WriterPreconditions) {
  struct TCase {
    const char* Name;
    TQEncAlgorithm A1, A2, A3;
    const char* Key;
    bool NoInput, NoOutput;
    TQEncError Expected;
  } cases[] = {
      {"no input", qeaAES128CTR, qeaNone, qeaNone, kKey, true, false, ErrMissingStream},
      {"no output", qeaAES128CTR, qeaNone, qeaNone, kKey, false, true, ErrMissingStream},
      {"empty key", qeaAES128CTR, qeaNone, qeaNone, "", false, false, ErrEmptyKey},
      {"unknown", qeaUnknown, qeaNone, qeaNone, kKey, false, false, ErrUnknownAlgorithm},
      {"none first", qeaNone, qeaNone, qeaNone, kKey, false, false, ErrUnknownAlgorithm},
      {"gap", qeaAES128CTR, qeaNone, qeaChaCha20, kKey, false, false, ErrUnknownAlgorithm},
      {"unknown third", qeaAES128CTR, qeaChaCha20, qeaUnknown, kKey, false, false, ErrUnknownAlgorithm},
      {"out of range", static_cast<TQEncAlgorithm>(9), qeaNone, qeaNone, kKey, false, false, ErrUnknownAlgorithm},
  };
  for (const TCase& c : cases) {
    TQEnc q;
    Configure(q);
    q.SetKey(c.Key);
    q.SetAlgorithm(c.A1);
    q.SetAlgorithm2(c.A2);
    q.SetAlgorithm3(c.A3);
    TMemoryStream in, out;
    Fill(in, Pattern(100));
    EXPECT_FALSE(q.EncryptStreamCore(c.NoInput ? nullptr : &in, c.NoOutput ? nullptr : &out, kName, kName))
        << c.Name;
    EXPECT_EQ(q.LastError(), c.Expected) << c.Name;
    EXPECT_EQ(out.Size(), 0) << c.Name;
  }
}

TEST(QEncStream, InputPositionBeyondItsEndIsRefused) {
  TQEnc q;
  Configure(q);
  TMemoryStream in, out;
  Fill(in, Pattern(10));
  in.SetPosition(20);
  EXPECT_FALSE(q.EncryptStreamCore(&in, &out, kName, kName));
  EXPECT_EQ(q.LastError(), ErrInvalidStreamPosition);
}

TEST(QEncStream, RandomSourceFailures) {
  struct TCase {
    bool FastMode;
    int Stages;
    int FailCall;
    TQEncError Expected;
  } cases[] = {
      {false, 1, 0, ErrSaltGenerationFailed}, {false, 1, 1, ErrNonceGenerationFailed},
      {false, 3, 4, ErrSaltGenerationFailed}, {false, 3, 5, ErrNonceGenerationFailed},
      {true, 1, 0, ErrNonceGenerationFailed}, {true, 3, 2, ErrNonceGenerationFailed},
  };
  for (const TCase& c : cases) {
    TTestQEnc q;
    Configure(q);
    q.SetFastMode(c.FastMode);
    SetCascade(q, c.Stages == 1 ? Cascades()[0] : Cascades()[7]);
    q.FailCall = c.FailCall;
    TMemoryStream in, out;
    Fill(in, Pattern(100));
    EXPECT_FALSE(q.EncryptStreamCore(&in, &out, kName, kName));
    EXPECT_EQ(q.LastError(), c.Expected) << c.FailCall;
    EXPECT_EQ(out.Size(), 0);
  }
}

// ---- The header's fields ----

TEST(QEncStream, HeaderFieldsAndTheirErrors) {
  TQEnc q;
  Configure(q);
  const Bytes v2 = Encrypt(q, Pattern(64));
  SetCascade(q, {"TC", qeaTwofishCTR, qeaChaCha20, qeaNone});
  const Bytes v3 = Encrypt(q, Pattern(64));
  ASSERT_EQ(v2.size(), 84u + 64u);
  ASSERT_EQ(v3.size(), 150u + 64u);

  struct TCase {
    const char* Name;
    bool V3;
    void (*Edit)(Bytes&);
    TQEncError Expected;
  } cases[] = {
      {"v2 intact", false, [](Bytes&) {}, ErrNone},
      {"v3 intact", true, [](Bytes&) {}, ErrNone},
      {"v2 size 83", false, [](Bytes& b) { SetLe32(b, 80, 83); }, ErrInvalidHeaderSize},
      {"v2 size 85", false, [](Bytes& b) { SetLe32(b, 80, 85); }, ErrInvalidHeaderSize},
      {"v2 size 150", false, [](Bytes& b) { SetLe32(b, 80, 150); }, ErrInvalidHeaderSize},
      {"v3 size 149", true, [](Bytes& b) { SetLe32(b, 146, 149); }, ErrInvalidHeaderSize},
      {"v3 size 84", true, [](Bytes& b) { SetLe32(b, 146, 84); }, ErrInvalidHeaderSize},
      {"version 4", false, [](Bytes& b) { b[4] = 4; }, ErrUnsupportedHeaderVersion},
      {"version 1", false, [](Bytes& b) { b[4] = 1; }, ErrUnsupportedHeaderVersion},
      {"no magic", false, [](Bytes& b) { b[3] = '2'; }, ErrUnsupportedHeaderVersion},
      {"v3 no magic", true, [](Bytes& b) { b[0] = 'q'; }, ErrUnsupportedHeaderVersion},
      {"v3 stage count 1", true, [](Bytes& b) { b[5] = 1; }, ErrInvalidHeader},
      {"v3 stage count 4", true, [](Bytes& b) { b[5] = 4; }, ErrInvalidHeader},
      {"v3 stage count 0", true, [](Bytes& b) { b[5] = 0; }, ErrInvalidHeader},
      {"v2 code 4", false, [](Bytes& b) { b[5] = 4; }, ErrUnknownAlgorithm},
      {"v2 code 255", false, [](Bytes& b) { b[5] = 255; }, ErrUnknownAlgorithm},
      {"v3 stage 2 code 5", true, [](Bytes& b) { b[7] = 5; }, ErrUnknownAlgorithm},
      {"v3 stage count 3 over unused code", true, [](Bytes& b) { b[5] = 3; }, ErrUnknownAlgorithm},
      // The reserved byte and an unused stage are not checked, but the tag
      // covers them.
      {"v2 reserved byte", false, [](Bytes& b) { b[7] = 1; }, ErrWrongPassword},
      {"v3 unused stage code", true, [](Bytes& b) { b[8] = 0; }, ErrWrongPassword},
      {"v3 unused salt", true, [](Bytes& b) { b[14 + 32] ^= 1; }, ErrWrongPassword},
      // No writer stores a count above 2^31 - 1; the reader refuses one
      // before spending any time on it.
      {"v2 count 2^31", false, [](Bytes& b) { SetLe32(b, 8, 0x80000000u); }, ErrInvalidHeader},
      {"v2 count 2^32-1", false, [](Bytes& b) { SetLe32(b, 8, 0xFFFFFFFFu); }, ErrInvalidHeader},
      {"v3 count 2^32-1", true, [](Bytes& b) { SetLe32(b, 10, 0xFFFFFFFFu); }, ErrInvalidHeader},
      {"v2 header only", false, [](Bytes& b) { b.resize(84); }, ErrInvalidEncryptedData},
      {"v3 header only", true, [](Bytes& b) { b.resize(150); }, ErrInvalidEncryptedData},
      {"v3 cut into the header", true, [](Bytes& b) { b.resize(149); }, ErrInvalidEncryptedData},
      {"four bytes", false, [](Bytes& b) { b.resize(4); }, ErrUnsupportedHeaderVersion},
      {"nothing", false, [](Bytes& b) { b.clear(); }, ErrUnsupportedHeaderVersion},
      {"body cut", false, [](Bytes& b) { b.pop_back(); }, ErrWrongPassword},
      {"body longer", false, [](Bytes& b) { b.push_back(0); }, ErrWrongPassword},
  };
  for (const TCase& c : cases) {
    Bytes b = c.V3 ? v3 : v2;
    c.Edit(b);
    EXPECT_EQ(DecryptError(q, b), c.Expected) << c.Name;
  }

  // A length that promises more than the stream holds.
  Bytes cut(v2.begin(), v2.begin() + 50);
  EXPECT_EQ(DecryptError(q, cut, 200), ErrHeaderReadFailed);
}

TEST(QEncStream, ReaderPreconditions) {
  TQEnc q;
  Configure(q);
  const Bytes c = Encrypt(q, Pattern(10));
  TMemoryStream in, out;
  Fill(in, c);
  EXPECT_FALSE(q.DecryptStreamCore(nullptr, &out, kName, kName, 94));
  EXPECT_EQ(q.LastError(), ErrMissingStream);
  EXPECT_FALSE(q.DecryptStreamCore(&in, nullptr, kName, kName, 94));
  EXPECT_EQ(q.LastError(), ErrMissingStream);
  q.SetKey("");
  EXPECT_FALSE(q.DecryptStreamCore(&in, &out, kName, kName, 94));
  EXPECT_EQ(q.LastError(), ErrEmptyKey);
  q.SetKey("another horse");
  EXPECT_EQ(DecryptError(q, c), ErrWrongPassword);
}

// A single bit flipped anywhere in a container makes it fail: a field
// the reader checks reports that check's code, everything else, the tag
// included, the wrong-password code.
TEST(QEncStream, EveryFlippedBitIsDetected) {
  for (bool v3 : {false, true}) {
    TQEnc q;
    Configure(q);
    q.SetCompatibilityMode(true);
    if (v3) SetCascade(q, {"CA", qeaChaCha20, qeaAES128CTR, qeaNone});
    const Bytes good = Encrypt(q, Pattern(16));
    const int iterationsAt = v3 ? QEncFormat::V3::Iterations : QEncFormat::V2::Iterations;
    const int saltsAt = v3 ? QEncFormat::V3::Salts : QEncFormat::V2::Salt;
    const int sizeAt = v3 ? QEncFormat::V3::Size : QEncFormat::V2::Size;
    for (int byte = 0; byte < static_cast<int>(good.size()); ++byte) {
      for (int bit = 0; bit < 8; ++bit) {
        // Each flip of a salt or the count costs a key derivation: one bit
        // of every salt byte (a different one each time), and no counts of
        // millions of iterations.
        if (byte >= saltsAt && byte < saltsAt + (v3 ? 48 : 16) && bit != byte % 8) continue;
        if (byte >= iterationsAt && byte < iterationsAt + 4) {
          const int countBit = (byte - iterationsAt) * 8 + bit;
          if (countBit > 12 && countBit != 31) continue;
        }
        Bytes b = good;
        b[static_cast<std::size_t>(byte)] ^= static_cast<std::uint8_t>(1 << bit);
        const TQEncError e = DecryptError(q, b);
        const std::string where = std::string(v3 ? "v3" : "v2") + " byte " + std::to_string(byte) + " bit " +
                                  std::to_string(bit);
        TQEncError expected = ErrWrongPassword;
        if (byte < 4) {
          expected = ErrUnsupportedHeaderVersion;
        } else if (byte == 4) {
          const int version = b[4];
          expected = version == 2 || version == 3 ? (b.size() <= 150 ? ErrInvalidEncryptedData : ErrInvalidHeaderSize)
                                                  : ErrUnsupportedHeaderVersion;
        } else if (byte >= sizeAt && byte < sizeAt + 4) {
          expected = ErrInvalidHeaderSize;
        } else if (byte == iterationsAt + 3 && bit == 7) {
          expected = ErrInvalidHeader;
        } else if (!v3 && byte == QEncFormat::V2::Code) {
          expected = b[byte] <= 3 ? ErrWrongPassword : ErrUnknownAlgorithm;
        } else if (v3 && byte == QEncFormat::V3::StageCount) {
          expected = b[byte] == 3 ? ErrUnknownAlgorithm : ErrInvalidHeader;
        } else if (v3 && (byte == QEncFormat::V3::Codes || byte == QEncFormat::V3::Codes + 1)) {
          expected = b[byte] <= 3 ? ErrWrongPassword : ErrUnknownAlgorithm;
        }
        ASSERT_EQ(e, expected) << where;
      }
    }
  }
}

// ---- What a read copies into the component ----

TEST(QEncStream, ReadCopiesModeAndCountWithoutTheSettersFloors) {
  struct TCase {
    std::uint8_t Mode;
    std::uint32_t Count;
    bool FastMode;
  } cases[] = {
      {1, 7000, true}, {2, 7000, false}, {1, 1000, true}, {2, 1000, false},
      {7, 20000, true}, {7, 5000, false}, {0, 20000, true},
  };
  TQEnc writer;
  Configure(writer);
  const Bytes base = Encrypt(writer, Pattern(40));
  for (const TCase& c : cases) {
    Bytes b = base;
    b[QEncFormat::V2::Mode] = c.Mode;
    SetLe32(b, QEncFormat::V2::Iterations, c.Count);
    Reseal(b, kKey);
    TQEnc reader;
    reader.SetKey(kKey);
    reader.SetCompatibilityMode(false);
    reader.SetFastMode(!c.FastMode);
    // Another count gives other cipher keys: the bytes that come out are
    // not the plain data, but the tag, resealed, matches.
    Bytes back;
    ASSERT_TRUE(Decrypt(reader, b, back)) << int(c.Mode) << " " << c.Count;
    EXPECT_EQ(reader.FastMode(), c.FastMode) << int(c.Mode) << " " << c.Count;
    if (c.FastMode) {
      EXPECT_EQ(reader.FastIterations(), static_cast<int>(c.Count));
      EXPECT_EQ(reader.Iterations(), 200000);
    } else {
      EXPECT_EQ(reader.Iterations(), static_cast<int>(c.Count));
      EXPECT_EQ(reader.FastIterations(), 20000);
    }
  }
}

TEST(QEncStream, FailedReadLeavesTheSettings) {
  TQEnc writer;
  Configure(writer);
  SetCascade(writer, Cascades()[7]);
  const Bytes c = Encrypt(writer, Pattern(40));
  TQEnc reader;
  reader.SetKey("wrong");
  Bytes back;
  EXPECT_FALSE(Decrypt(reader, c, back));
  EXPECT_EQ(reader.LastError(), ErrWrongPassword);
  EXPECT_EQ(reader.Algorithm(), qeaAES128CTR);
  EXPECT_EQ(reader.Algorithm2(), qeaNone);
  EXPECT_TRUE(reader.FastMode());
  EXPECT_EQ(reader.Iterations(), 200000);
}

// ---- FastMode and the key cache ----

TEST(QEncStream, FastModeGivesTheSameSaltFreshIVsAndHitsTheCache) {
  for (const TCascadeCase& cascade : {Cascades()[0], Cascades()[7]}) {
    TQEnc q;
    Configure(q);
    SetCascade(q, cascade);
    q.SetFastMode(true);
    q.ClearKeyCache();
    const Bytes first = Encrypt(q, Pattern(100, 1));
    const std::size_t entries = TQEncKeyCache::Count();
    EXPECT_EQ(entries, static_cast<std::size_t>(StageCount(cascade)));
    const Bytes second = Encrypt(q, Pattern(300, 2));
    EXPECT_EQ(TQEncKeyCache::Count(), entries) << "the second encryption derived keys again";
    const bool v3 = StageCount(cascade) > 1;
    const int salts = v3 ? QEncFormat::V3::Salts : QEncFormat::V2::Salt;
    const int ivs = v3 ? QEncFormat::V3::Ivs : QEncFormat::V2::Iv;
    const int span = 16 * StageCount(cascade);
    EXPECT_EQ(0, std::memcmp(first.data() + salts, second.data() + salts, span));
    EXPECT_NE(0, std::memcmp(first.data() + ivs, second.data() + ivs, 16));
    EXPECT_EQ(first[v3 ? QEncFormat::V3::Mode : QEncFormat::V2::Mode], 1);

    // Another file name falls in another salt bucket.
    const Bytes other = Encrypt(q, Pattern(100, 1), "other.qvl");
    EXPECT_NE(0, std::memcmp(first.data() + salts, other.data() + salts, 16));

    // The reader hits the cache too, and learns FastMode and its count.
    const std::size_t before = TQEncKeyCache::Count();
    TQEnc reader;
    reader.SetKey(kKey);
    reader.SetCompatibilityMode(false);
    reader.SetFastMode(false);
    Bytes back;
    ASSERT_TRUE(Decrypt(reader, second, back));
    EXPECT_EQ(back, Pattern(300, 2));
    EXPECT_EQ(TQEncKeyCache::Count(), before);
    EXPECT_TRUE(reader.FastMode());
    EXPECT_EQ(reader.FastIterations(), 5000);
  }
}

TEST(QEncStream, RandomSaltsDifferAndEveryEncryptionDerives) {
  TQEnc q;
  Configure(q);
  q.ClearKeyCache();
  const Bytes a = Encrypt(q, Pattern(10));
  const Bytes b = Encrypt(q, Pattern(10));
  EXPECT_NE(0, std::memcmp(a.data() + 12, b.data() + 12, 16));
  EXPECT_EQ(a[QEncFormat::V2::Mode], 2);
  EXPECT_EQ(TQEncKeyCache::Count(), 2u);
  q.ClearKeyCache();
  EXPECT_EQ(TQEncKeyCache::Count(), 0u);
}

// ---- Chunks and CompatibilityMode ----

TEST(QEncStream, ChunkSizesWithCompatibilityModeOff) {
  TQEnc writer;
  Configure(writer);
  writer.SetBufferSize(512);
  SetCascade(writer, Cascades()[7]);
  const Bytes plain = Pattern(2000);
  const Bytes c = Encrypt(writer, plain);
  for (int size : {512, 700, 4096, 8192}) {
    TQEnc reader;
    reader.SetKey(kKey);
    reader.SetCompatibilityMode(false);
    reader.SetBufferSize(size);
    Bytes back;
    ASSERT_TRUE(Decrypt(reader, c, back)) << size;
    EXPECT_EQ(back, plain) << size;
  }
}

// With CompatibilityMode every chunk restarts the keystreams, so data
// longer than one buffer reads back only with the buffer size it was
// written with; nothing in the container records it, and the tag, taken
// over the stored bytes, still matches.
TEST(QEncStream, ChunkSizesWithCompatibilityModeOn) {
  TQEnc writer;
  Configure(writer);
  writer.SetCompatibilityMode(true);
  writer.SetBufferSize(512);
  SetCascade(writer, Cascades()[4]);
  Bytes plain = Pattern(2000);
  std::copy(plain.begin(), plain.begin() + 512, plain.begin() + 512);  // chunks 1 and 2 alike
  const Bytes c = Encrypt(writer, plain);
  const auto body = c.begin() + HeaderSizeV3;
  EXPECT_TRUE(std::equal(body, body + 512, body + 512)) << "each chunk starts the keystream again";

  TQEnc same;
  same.SetKey(kKey);
  same.SetBufferSize(512);
  Bytes back;
  ASSERT_TRUE(Decrypt(same, c, back));
  EXPECT_EQ(back, plain);

  for (bool compatibility : {true, false}) {
    TQEnc other;
    other.SetKey(kKey);
    other.SetCompatibilityMode(compatibility);
    other.SetBufferSize(compatibility ? 1024 : 512);
    ASSERT_TRUE(Decrypt(other, c, back));
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 512, plain.begin()));
    EXPECT_NE(back, plain);
  }
}

TEST(QEncStream, CompatibilityModeChangesNothingWithinOneBuffer) {
  Bytes containers[2];
  for (bool compatibility : {false, true}) {
    TTestQEnc q;
    Configure(q);
    q.Scripted = true;
    q.SetCompatibilityMode(compatibility);
    SetCascade(q, Cascades()[7]);
    containers[compatibility] = Encrypt(q, Pattern(8192));
  }
  EXPECT_EQ(containers[0], containers[1]);
}

// ---- Failing streams ----

struct TFailCase {
  const char* Name;
  TCascadeCase Cascade;
  bool HeaderOnly;
  TFailingStream::TFailure Failure;
  bool MacThread;
};

class FailingStreams : public ::testing::TestWithParam<TFailCase> {
 protected:
  void SetUp() override {
    Configure(q_);
    q_.Scripted = true;  // thousands of runs: no system random source each time
    q_.SetMacThread(GetParam().MacThread);
    q_.SetMacPieceSize(700);  // pieces that end inside a chunk
    SetCascade(q_, GetParam().Cascade);
    q_.SetFastMode(true);  // one derivation, then the cache
    q_.SetBufferSize(512);
    q_.SetHeaderOnly(GetParam().HeaderOnly);
    q_.SetHeaderOnlyKB(1);
    plain_ = Pattern(1300);
    container_ = Encrypt(q_, plain_);
  }
  // Every budget from 0 to total; with the helper thread, which costs a
  // thread start per run, every 7th and the last few.
  std::vector<std::int64_t> Budgets(std::int64_t total) const {
    std::vector<std::int64_t> v;
    const std::int64_t step = GetParam().MacThread ? 7 : 1;
    for (std::int64_t n = 0; n <= total; ++n)
      if (n % step == 0 || n + 3 > total) v.push_back(n);
    return v;
  }
  TTestQEnc q_;
  Bytes plain_;
  Bytes container_;
};

TEST_P(FailingStreams, WriterOutput) {
  // The header is written twice: first with the tag zeroed, then sealed.
  const auto total = static_cast<std::int64_t>(container_.size()) +
                     (StageCount(GetParam().Cascade) == 1 ? HeaderSizeV2 : HeaderSizeV3);
  for (std::int64_t n : Budgets(total)) {
    TMemoryStream in;
    Fill(in, plain_);
    TFailingStream out;
    out.WriteBudget = n;
    out.Failure = GetParam().Failure;
    const bool ok = q_.EncryptStreamCore(&in, &out, kName, kName);
    ASSERT_EQ(ok, n == total) << "write budget " << n;
    if (!ok) {
      ASSERT_EQ(q_.LastError(), ErrEncryptFailed) << "write budget " << n;
    }
  }
}

TEST_P(FailingStreams, WriterInput) {
  for (std::int64_t n : Budgets(static_cast<std::int64_t>(plain_.size()))) {
    TFailingStream in(plain_);
    in.ReadBudget = n;
    in.Failure = GetParam().Failure;
    TMemoryStream out;
    const bool ok = q_.EncryptStreamCore(&in, &out, kName, kName);
    ASSERT_EQ(ok, n == static_cast<std::int64_t>(plain_.size())) << "read budget " << n;
    if (!ok) {
      ASSERT_EQ(q_.LastError(), ErrEncryptFailed) << "read budget " << n;
    }
  }
}

TEST_P(FailingStreams, ReaderInput) {
  // The reader peeks at the first 5 bytes before it reads the header.
  const auto total = static_cast<std::int64_t>(container_.size()) + 5;
  for (std::int64_t n : Budgets(total)) {
    TFailingStream in(container_);
    in.ReadBudget = n;
    in.Failure = GetParam().Failure;
    TMemoryStream out;
    q_.ClearError();
    const bool ok = q_.DecryptStreamCore(&in, &out, kName, kName, static_cast<std::int64_t>(container_.size()));
    ASSERT_EQ(ok, n == total) << "read budget " << n;
    if (!ok) {
      ASSERT_NE(q_.LastError(), ErrNone) << "read budget " << n;
    }
  }
}

TEST_P(FailingStreams, ReaderOutput) {
  for (std::int64_t n : Budgets(static_cast<std::int64_t>(plain_.size()))) {
    TMemoryStream in;
    Fill(in, container_);
    TFailingStream out;
    out.WriteBudget = n;
    out.Failure = GetParam().Failure;
    const bool ok = q_.DecryptStreamCore(&in, &out, kName, kName, static_cast<std::int64_t>(container_.size()));
    ASSERT_EQ(ok, n == static_cast<std::int64_t>(plain_.size())) << "write budget " << n;
    if (!ok) {
      ASSERT_EQ(q_.LastError(), ErrDecryptFailed) << "write budget " << n;
      ASSERT_EQ(in.Position(), 0) << "the input goes back to where it started";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, FailingStreams,
    ::testing::Values(TFailCase{"A_Short", Cascades()[0], false, TFailingStream::TFailure::Short, false},
                      TFailCase{"A_Throw", Cascades()[0], false, TFailingStream::TFailure::Throw, false},
                      TFailCase{"TAC_HeaderOnly_Short", Cascades()[7], true, TFailingStream::TFailure::Short, false},
                      TFailCase{"TAC_HeaderOnly_Throw", Cascades()[7], true, TFailingStream::TFailure::Throw, false},
                      TFailCase{"A_Short_MacThread", Cascades()[0], false, TFailingStream::TFailure::Short, true},
                      TFailCase{"TAC_HeaderOnly_Throw_MacThread", Cascades()[7], true,
                                TFailingStream::TFailure::Throw, true}),
    [](const ::testing::TestParamInfo<TFailCase>& i) { return std::string(i.param.Name); });

// ---- The HMAC on a helper thread ----

// An engine for comparing runs with and without the helper thread: the same
// scripted random bytes and one key derivation for every run.
void ConfigureHelperRun(TTestQEnc& q, const TCascadeCase& cascade, bool thread, std::int64_t pieceSize) {
  Configure(q);
  SetCascade(q, cascade);
  q.Scripted = true;
  q.SetFastMode(true);
  q.SetMacThread(thread);
  q.SetMacPieceSize(pieceSize);
}

// Large data has its HMAC computed beside the cipher, in pieces of a part
// of a chunk or of several chunks that need not end where a chunk ends; the
// container, the plain data and the progress events are the same as with
// everything on one thread, at every size around the chunk and piece
// boundaries.
TEST(QEncStream, HelperThreadGivesTheSameBytesAndEvents) {
  const std::vector<TCascadeCase> cascades = {Cascades()[0], Cascades()[1], Cascades()[7]};
  for (const TCascadeCase& cascade : cascades)
    for (bool headerOnly : {false, true})
      for (bool compatibility : {false, true})
        for (int bufferSize : {512, 513, 1000})
          for (std::int64_t pieceSize : {0, 700})
          for (std::size_t size : {0, 1, 255, 256, 257, 511, 512, 513, 1025, 1300, 3000}) {
            const std::string what = std::string(cascade.Name) + (headerOnly ? " header-only" : "") +
                                     (compatibility ? " compatibility" : "") + " buffer " +
                                     std::to_string(bufferSize) + " piece " + std::to_string(pieceSize) +
                                     " size " + std::to_string(size);
            Bytes containers[2], plains[2];
            std::vector<int> events[2][2];
            for (bool thread : {false, true}) {
              TTestQEnc q;
              ConfigureHelperRun(q, cascade, thread, pieceSize);
              q.SetHeaderOnly(headerOnly);
              q.SetHeaderOnlyKB(1);
              q.SetCompatibilityMode(compatibility);
              q.SetBufferSize(bufferSize);
              int op = 0;
              q.OnProgress = [&](TObject*, TQEncOperation, const std::string&, int position, int, bool&) {
                events[thread][op].push_back(position);
              };
              containers[thread] = Encrypt(q, Pattern(size));
              op = 1;
              if (size > 0) {
                ASSERT_TRUE(Decrypt(q, containers[thread], plains[thread])) << what;
              }
            }
            ASSERT_EQ(containers[1], containers[0]) << what;
            ASSERT_EQ(plains[1], plains[0]) << what;
            if (size > 0) {
              ASSERT_EQ(plains[1], Pattern(size)) << what;
            }
            ASSERT_EQ(events[1][0], events[0][0]) << what;
            ASSERT_EQ(events[1][1], events[0][1]) << what;
          }
}

// When every piece is in hand, the caller takes the hashing of the oldest
// over from the helper thread and goes on from as far as the helper got (and
// takes the next one over too when the helper is still reading the oldest);
// no piece the helper may read is filled again. Whoever hashed what, the
// container and the plain data are those of one thread: with pieces of a
// few hashing steps and of many, and with the helper held in the middle of
// pieces (by a test hook, or by every processor being kept busy) or falling
// asleep while a progress handler takes its time.
TEST(QEncStream, HelperThreadTakenBackMidPieceGivesTheSameBytes) {
  enum TCondition { Plain, HelperHeld, AllBusy, SlowHandler };
  const Bytes plain = Pattern(std::size_t(2) << 20, 7);
  for (const TCascadeCase& cascade : {Cascades()[0], Cascades()[7]})
    for (std::int64_t pieceSize : {std::int64_t(40) << 10, std::int64_t(256) << 10})
      for (TCondition condition : {Plain, HelperHeld, AllBusy, SlowHandler}) {
        const std::string what = std::string(cascade.Name) + " piece " + std::to_string(pieceSize) +
                                 " condition " + std::to_string(condition);
        std::atomic<bool> stop{false};
        std::vector<std::thread> spinners;
        if (condition == AllBusy)
          for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            spinners.emplace_back([&stop] {
              volatile std::uint64_t x = 1;
              while (!stop.load(std::memory_order_relaxed)) x = x * 6364136223846793005u + 1;
            });
        Bytes containers[2], back;
        for (bool thread : {false, true}) {
          TTestQEnc q;
          ConfigureHelperRun(q, cascade, thread, pieceSize);
          q.SetBufferSize(8192);
          if (condition == HelperHeld) {
            // Owns what it uses: the helper may still be in it when the
            // operation has returned.
            auto steps = std::make_shared<std::atomic<int>>(0);
            q.SetMacHelperStep([steps] {
              if (steps->fetch_add(1) % 3 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
          }
          int chunks = 0;
          if (condition == SlowHandler)
            q.OnProgress = [&chunks](TObject*, TQEncOperation, const std::string&, int, int, bool&) {
              if (++chunks % 97 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
            };
          containers[thread] = Encrypt(q, plain);
          if (thread) {
            EXPECT_TRUE(Decrypt(q, containers[thread], back)) << what;
          }
        }
        stop.store(true);
        for (std::thread& t : spinners) t.join();
        ASSERT_EQ(containers[1], containers[0]) << what;
        ASSERT_TRUE(back == plain) << what;
      }
}

TEST(QEncStream, HelperThreadStopsAfterTheCancelledChunk) {
  for (TQEncOperation op : {qeoEncrypt, qeoDecrypt})
  for (std::int64_t pieceSize : {0, 700, 1 << 18}) {
    std::int64_t sizes[2];
    for (bool thread : {false, true}) {
      TTestQEnc q;
      Configure(q);
      q.SetMacThread(thread);
      q.SetMacPieceSize(pieceSize);
      q.SetBufferSize(512);
      const Bytes c = Encrypt(q, Pattern(3000));
      q.OnProgress = [](TObject*, TQEncOperation, const std::string&, int position, int, bool& cancel) {
        if (position == 1024) cancel = true;
      };
      TMemoryStream in, out;
      Fill(in, op == qeoEncrypt ? Pattern(3000) : c);
      const bool ok = op == qeoEncrypt
                          ? q.EncryptStreamCore(&in, &out, kName, kName)
                          : q.DecryptStreamCore(&in, &out, kName, kName, static_cast<std::int64_t>(c.size()));
      EXPECT_FALSE(ok);
      EXPECT_EQ(q.LastError(), ErrCanceled);
      sizes[thread] = out.Size();
    }
    EXPECT_EQ(sizes[0], op == qeoEncrypt ? HeaderSizeV2 + 1024 : 1024);
    EXPECT_EQ(sizes[1], sizes[0]) << "piece " << pieceSize;
  }
}

// ---- Progress and cancellation ----

TEST(QEncStream, ProgressRunsFromZeroToTheMaximum) {
  for (TQEncOperation op : {qeoEncrypt, qeoDecrypt}) {
    TQEnc q;
    Configure(q);
    q.SetBufferSize(512);
    const Bytes plain = Pattern(1300);
    const Bytes c = Encrypt(q, plain);
    std::vector<int> positions;
    q.OnProgress = [&](TObject* sender, TQEncOperation o, const std::string& file, int position, int max,
                       bool& cancel) {
      EXPECT_EQ(sender, &q);
      EXPECT_EQ(o, op);
      EXPECT_EQ(file, "shown.qvl");
      EXPECT_EQ(max, 1300);
      EXPECT_FALSE(cancel);
      positions.push_back(position);
    };
    TMemoryStream in, out;
    if (op == qeoEncrypt) {
      Fill(in, plain);
      ASSERT_TRUE(q.EncryptStreamCore(&in, &out, kName, "shown.qvl"));
    } else {
      Fill(in, c);
      ASSERT_TRUE(q.DecryptStreamCore(&in, &out, kName, "shown.qvl", static_cast<std::int64_t>(c.size())));
    }
    EXPECT_EQ(positions, (std::vector<int>{0, 512, 1024, 1300, 1300}));
  }
}

TEST(QEncStream, CancelAtTheFirstProgressEndsWithoutAnErrorCode) {
  for (TQEncOperation op : {qeoEncrypt, qeoDecrypt}) {
    TQEnc q;
    Configure(q);
    const Bytes c = Encrypt(q, Pattern(100));
    int errors = 0;
    q.OnError = [&](TObject*, TQEncError) { ++errors; };
    q.OnProgress = [](TObject*, TQEncOperation, const std::string&, int, int, bool& cancel) { cancel = true; };
    TMemoryStream in, out;
    Fill(in, op == qeoEncrypt ? Pattern(100) : c);
    q.ClearError();
    const bool ok = op == qeoEncrypt ? q.EncryptStreamCore(&in, &out, kName, kName)
                                     : q.DecryptStreamCore(&in, &out, kName, kName, static_cast<std::int64_t>(c.size()));
    EXPECT_FALSE(ok);
    EXPECT_EQ(q.LastError(), ErrNone);
    EXPECT_EQ(errors, 0);
    EXPECT_TRUE(q.CancelRequested());
    EXPECT_EQ(out.Size(), 0);
  }
}

TEST(QEncStream, CancelAfterAChunkEndsWithErrCanceled) {
  for (TQEncOperation op : {qeoEncrypt, qeoDecrypt}) {
    TQEnc q;
    Configure(q);
    q.SetBufferSize(512);
    const Bytes c = Encrypt(q, Pattern(3000));
    std::vector<TQEncError> errors;
    q.OnError = [&](TObject*, TQEncError e) { errors.push_back(e); };
    q.OnProgress = [](TObject*, TQEncOperation, const std::string&, int position, int, bool& cancel) {
      if (position == 1024) cancel = true;
    };
    TMemoryStream in, out;
    Fill(in, op == qeoEncrypt ? Pattern(3000) : c);
    const bool ok = op == qeoEncrypt ? q.EncryptStreamCore(&in, &out, kName, kName)
                                     : q.DecryptStreamCore(&in, &out, kName, kName, static_cast<std::int64_t>(c.size()));
    EXPECT_FALSE(ok);
    EXPECT_EQ(errors, std::vector<TQEncError>{ErrCanceled});
    EXPECT_EQ(q.LastError(), ErrCanceled);
    // Stopped after the chunk that reported 1,024.
    EXPECT_EQ(out.Size(), op == qeoEncrypt ? HeaderSizeV2 + 1024 : 1024);
  }
}

TEST(QEncStream, CancelFromAnotherPlaceBeforeTheRunStopsAtTheFirstChunk) {
  TQEnc q;
  Configure(q);
  q.Cancel();
  TMemoryStream in, out;
  Fill(in, Pattern(100));
  EXPECT_FALSE(q.EncryptStreamCore(&in, &out, kName, kName));
  EXPECT_EQ(q.LastError(), ErrNone);  // answered at the first progress event
}

// ---- Names in the key ----

TEST(QEncStream, UseFileNameInKeyBindsTheContainerToItsName) {
  TQEnc q;
  Configure(q);
  q.SetUseFileNameInKey(true);
  const Bytes c = Encrypt(q, Pattern(50), "C:\\Vaults\\vault.qvl");
  Bytes back;
  EXPECT_TRUE(Decrypt(q, c, back, "D:\\elsewhere\\vault.qvl"));
  EXPECT_FALSE(Decrypt(q, c, back, "C:\\Vaults\\renamed.qvl"));
  EXPECT_EQ(q.LastError(), ErrWrongPassword);
  q.SetUseFileNameInKey(false);
  EXPECT_FALSE(Decrypt(q, c, back, "C:\\Vaults\\vault.qvl"));
}

// PBKDF2 sees only the first 200 bytes of a stage password: a file name in
// front of the key must never push key bytes out of that window.
TEST(QEncStream, UseFileNameInKeyRefusesANameThatWouldCutTheKey) {
  const std::string key = "0123456789";  // 10 bytes
  struct TCase {
    std::size_t NameLength;
    bool Allowed;
  } cases[] = {{189, true}, {190, false}, {199, false}, {250, false}};
  for (const TCase& c : cases) {
    TQEnc q;
    Configure(q);
    q.SetKey(key);
    q.SetUseFileNameInKey(true);
    const std::string name = std::string(c.NameLength, 'n');  // name + "|" + key
    TMemoryStream in, out;
    Fill(in, Pattern(50));
    EXPECT_EQ(q.EncryptStreamCore(&in, &out, name, name), c.Allowed) << c.NameLength;
    if (!c.Allowed) {
      EXPECT_EQ(q.LastError(), ErrEncryptFailed);
      EXPECT_EQ(out.Size(), 0);
    }
  }
  // Without a name in the key a long key is cut as before.
  TQEnc q;
  Configure(q);
  q.SetKey(std::string(250, 'k'));
  TMemoryStream in, out;
  Fill(in, Pattern(50));
  EXPECT_TRUE(q.EncryptStreamCore(&in, &out, kName, kName));
}

// A container whose effective password is longer than 200 bytes still
// reads with the name in the key: the reader cuts as the writer did.
TEST(QEncStream, UseFileNameInKeyStillReadsLongEffectivePasswords) {
  const std::string name = std::string(195, 'n');
  TQEnc writer;
  Configure(writer);
  writer.SetKey(name + "|" + kKey);
  const Bytes c = Encrypt(writer, Pattern(50), name);
  TQEnc reader;
  reader.SetKey(kKey);
  reader.SetCompatibilityMode(false);
  reader.SetUseFileNameInKey(true);
  Bytes back;
  ASSERT_TRUE(Decrypt(reader, c, back, name));
  EXPECT_EQ(back, Pattern(50));
  reader.SetKey("correct horse, and more");  // differs only past the cut
  EXPECT_TRUE(Decrypt(reader, c, back, name));
}

// ---- Known-answer containers ----
//
// Bytes computed by an independent implementation of the format (Python's
// hashlib and the "cryptography" package) with the same password, name,
// salts and IVs; the engine's random source hands out 00 01 02 … in order:
// stage 1 salt then IV, stage 2 salt then IV (FastMode: IVs only).

struct TKnownAnswer {
  const char* Name;
  TCascadeCase Cascade;
  bool FastMode;
  bool Compatibility;
  int BufferSize;
  int HeaderOnlyKB;  // 0: off
  const char* KeyName;
  Bytes Plain;
  const char* ContainerHex;   // the whole container, or its header when Sha256Hex is set
  const char* Sha256Hex;      // SHA-256 of the whole container
  std::size_t Size;
};

std::vector<TKnownAnswer> KnownAnswers() {
  const std::string p1 = "Vaultline known-answer container, v2 AES.\n";
  const std::string p3 = "Blowfish in FastMode, compatibility on.";
  Bytes plain2(1030);
  for (std::size_t i = 0; i < plain2.size(); ++i) plain2[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return {
      {"v2 AES, random salt", {"A", qeaAES128CTR, qeaNone, qeaNone}, false, false, 8192, 0, "vault.qvl",
       Bytes(p1.begin(), p1.end()),
       "515646310200020088130000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F00000000A9385EBA"
       "D0FCF8CCF3D7EB0A3F251BC24BA73B4036B9D857FB310A03ACAE341554000000B8C194FC80F8C1D40BB6C0F97D606A1502EF1890"
       "C3C5827DD495C829048F8F4C5A62F40698A77B361544",
       nullptr, 126},
      {"v3 ChaCha20+AES, header-only, compatibility, 512-byte chunks",
       {"CA", qeaChaCha20, qeaAES128CTR, qeaNone}, false, true, 512, 1, "vault.qvl", plain2,
       "5156463103020200FF0288130000000102030405060708090A0B0C0D0E0F202122232425262728292A2B2C2D2E2F000000000000"
       "00000000000000000000101112131415161718191A1B1C1D1E1F303132333435363738393A3B3C3D3E3F00000000000000000000"
       "000000000000" "00040000" "9A07777990D5FA7EF1546CBD9D0D9E2E9A726084B1CB9D7371F5CD069000BFB3" "96000000",
       "DB96FB6F1F28F3408022D54FA70B886CDCEC072FFD44D4330C3E29F0F49412AB", 1180},
      {"v2 Blowfish, FastMode salt, compatibility", {"B", qeaBlowfishCTR, qeaNone, qeaNone}, true, true, 8192, 0,
       "C:\\Vaults\\vault.qvl", Bytes(p3.begin(), p3.end()),
       "5156463102010100881300000DE38B29891B7CFDB713F2553CC3E1CC000102030405060708090A0B0C0D0E0F000000003E859B05"
       "664F088D377DDB7F629B7B8260BE5BFC5C72C90CD7811DB311EC37EB54000000A24BA601221A257D80C8745982D36BD2BB1A3599"
       "C79AC79097334A90FA2B74674FBB83BB489EDD",
       nullptr, 123},
  };
}

TEST(QEncStream, KnownAnswerContainers) {
  for (const TKnownAnswer& k : KnownAnswers()) {
    TTestQEnc q;
    Configure(q);
    q.Scripted = true;
    SetCascade(q, k.Cascade);
    q.SetFastMode(k.FastMode);
    q.SetCompatibilityMode(k.Compatibility);
    q.SetBufferSize(k.BufferSize);
    q.SetHeaderOnly(k.HeaderOnlyKB > 0);
    if (k.HeaderOnlyKB > 0) q.SetHeaderOnlyKB(k.HeaderOnlyKB);
    const Bytes c = Encrypt(q, k.Plain, k.KeyName);
    ASSERT_EQ(c.size(), k.Size) << k.Name;
    if (k.Sha256Hex == nullptr) {
      EXPECT_EQ(ToHex(c), k.ContainerHex) << k.Name;
    } else {
      const std::size_t headerBytes = std::strlen(k.ContainerHex) / 2;
      EXPECT_EQ(ToHex(c.data(), headerBytes), k.ContainerHex) << k.Name;
      std::uint8_t digest[32];
      Sha256(c.data(), static_cast<std::int64_t>(c.size()), digest);
      EXPECT_EQ(ToHex(digest, 32), k.Sha256Hex) << k.Name;
    }
    // And the fixed bytes read back.
    TQEnc reader;
    reader.SetKey(kKey);
    reader.SetCompatibilityMode(k.Compatibility);
    reader.SetBufferSize(k.BufferSize);
    Bytes back;
    ASSERT_TRUE(Decrypt(reader, c, back, k.KeyName)) << k.Name;
    EXPECT_EQ(back, k.Plain) << k.Name;
  }
}

}  // namespace
