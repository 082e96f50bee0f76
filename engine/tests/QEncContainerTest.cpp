// The container's building blocks: cascades, header fields, stage
// passwords, FastMode salts and the algorithm trailer on files.

#include <gtest/gtest.h>

#include <string>

#include "base/Stream.h"
#include "base/tests/TestUtil.h"
#include "engine/QEnc.h"
#include "engine/QEncContainer.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;

TEST(QEncContainer, CascadeParse) {
  struct TCase {
    int A1, A2, A3;
    bool Valid;
    int Stages;
  } cases[] = {
      {qeaAES128CTR, qeaNone, qeaNone, true, 1},
      {qeaTwofishCTR, qeaNone, qeaNone, true, 1},
      {qeaTwofishCTR, qeaAES128CTR, qeaNone, true, 2},
      {qeaTwofishCTR, qeaAES128CTR, qeaChaCha20, true, 3},
      {qeaAES128CTR, qeaAES128CTR, qeaAES128CTR, true, 3},  // the same cipher twice is allowed
      {qeaNone, qeaNone, qeaNone, false, 0},
      {qeaUnknown, qeaNone, qeaNone, false, 0},
      {qeaAES128CTR, qeaNone, qeaAES128CTR, false, 0},  // a gap
      {qeaAES128CTR, qeaUnknown, qeaNone, false, 0},
      {qeaAES128CTR, qeaChaCha20, qeaUnknown, false, 0},
      {-1, qeaNone, qeaNone, false, 0},
      {6, qeaNone, qeaNone, false, 0},
      {qeaAES128CTR, 6, qeaNone, false, 0},
  };
  for (const TCase& c : cases) {
    TQEncCascade cascade;
    EXPECT_EQ(ParseCascade(c.A1, c.A2, c.A3, cascade), c.Valid) << c.A1 << c.A2 << c.A3;
    if (!c.Valid) continue;
    EXPECT_EQ(cascade.StageCount, c.Stages);
    EXPECT_EQ(cascade.Version(), c.Stages == 1 ? 2 : 3);
    EXPECT_EQ(cascade.HeaderSize(), c.Stages == 1 ? 84 : 150);
    EXPECT_EQ(cascade.Codes[0], c.A1);
  }
}

TEST(QEncContainer, CipherKeyLengths) {
  EXPECT_EQ(CipherKeyLength(qeaAES128CTR), 16);
  EXPECT_EQ(CipherKeyLength(qeaBlowfishCTR), 16);
  EXPECT_EQ(CipherKeyLength(qeaChaCha20), 32);
  EXPECT_EQ(CipherKeyLength(qeaTwofishCTR), 16);
}

// Every field at its offset, little-endian, unused stage bytes 0xFF and 0.
TEST(QEncContainer, HeaderLayout) {
  TQEncHeader h;
  ASSERT_TRUE(ParseCascade(qeaChaCha20, qeaTwofishCTR, qeaNone, h.Cascade));
  h.Mode = 1;
  h.Iterations = 0x01020304;
  for (int s = 0; s < 3; ++s)
    for (int i = 0; i < 16; ++i) {
      h.Salts[s][i] = static_cast<std::uint8_t>(0x40 + s * 16 + i);
      h.Ivs[s][i] = static_cast<std::uint8_t>(0x80 + s * 16 + i);
    }
  h.HeaderOnlyCount = 0xA0B0C0D0;
  for (int i = 0; i < 32; ++i) h.Tag[i] = static_cast<std::uint8_t>(0xE0 + (i & 15));
  Bytes raw(150);
  h.Store(raw.data());
  std::string expected =
      "51564631" "03" "02" "0203FF" "01" "04030201"
      "404142434445464748494A4B4C4D4E4F" "505152535455565758595A5B5C5D5E5F" "00000000000000000000000000000000"
      "808182838485868788898A8B8C8D8E8F" "909192939495969798999A9B9C9D9E9F" "00000000000000000000000000000000"
      "D0C0B0A0" "E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEFE0E1E2E3E4E5E6E7E8E9EAEBECEDEEEF" "96000000";
  EXPECT_EQ(ToHex(raw), expected);

  TQEncHeader back;
  ASSERT_EQ(ParseHeader(raw.data(), 3, back), ErrNone);
  EXPECT_EQ(back.Cascade.StageCount, 2);
  EXPECT_EQ(back.Cascade.Codes[0], qeaChaCha20);
  EXPECT_EQ(back.Cascade.Codes[1], qeaTwofishCTR);
  EXPECT_EQ(back.Iterations, 0x01020304u);
  EXPECT_EQ(back.HeaderOnlyCount, 0xA0B0C0D0u);
  EXPECT_EQ(back.TagOffset(), 114);

  TQEncHeader one;
  ASSERT_TRUE(ParseCascade(qeaTwofishCTR, qeaNone, qeaNone, one.Cascade));
  one.Mode = 2;
  one.Iterations = 200000;
  for (int i = 0; i < 16; ++i) {
    one.Salts[0][i] = static_cast<std::uint8_t>(i);
    one.Ivs[0][i] = static_cast<std::uint8_t>(0x10 + i);
  }
  Bytes raw2(84);
  one.Store(raw2.data());
  EXPECT_EQ(ToHex(raw2),
            "51564631" "02" "03" "02" "00" "400D0300" "000102030405060708090A0B0C0D0E0F"
            "101112131415161718191A1B1C1D1E1F" "00000000"
            "0000000000000000000000000000000000000000000000000000000000000000" "54000000");
  EXPECT_EQ(one.TagOffset(), 48);
}

TEST(QEncContainer, HeaderShapeAsTheRecognisersSeeIt) {
  TQEncHeader h;
  ASSERT_TRUE(ParseCascade(qeaAES128CTR, qeaChaCha20, qeaNone, h.Cascade));
  Bytes raw(150);
  h.Store(raw.data());
  EXPECT_TRUE(HeaderShapeValid(raw.data(), 3));
  raw[6] = 9;  // a cipher code is not part of the shape
  EXPECT_TRUE(HeaderShapeValid(raw.data(), 3));
  raw[5] = 4;
  EXPECT_FALSE(HeaderShapeValid(raw.data(), 3));
  EXPECT_FALSE(HeaderShapeValid(raw.data(), 2));
  EXPECT_FALSE(HeaderShapeValid(raw.data(), 4));
}

TEST(QEncContainer, PeekVersionKeepsThePosition) {
  struct TCase {
    std::string Data;
    int Expected;
  } cases[] = {
      {"QVF1\x02rest", 2}, {"QVF1\x03", 3}, {"QVF1\x09", 9}, {"QVF1", -1}, {"QVF2\x02", -1}, {"", -1},
  };
  for (const TCase& c : cases) {
    TMemoryStream s;
    s.Write("ab", 2);
    s.Write(c.Data.data(), static_cast<std::int64_t>(c.Data.size()));
    s.SetPosition(2);
    EXPECT_EQ(PeekContainerVersion(s), c.Expected) << c.Data;
    EXPECT_EQ(s.Position(), 2);
  }
}

TEST(QEncContainer, StagePasswordsAndSaltNames) {
  EXPECT_EQ(StagePassword("pw", 2, 1, 3), "pw");
  EXPECT_EQ(StagePassword("pw", 3, 1, 3), "pw|QENC3-STAGE|1|ALG|3");
  EXPECT_EQ(StagePassword("pw", 3, 3, 0), "pw|QENC3-STAGE|3|ALG|0");
  EXPECT_EQ(FastModeSaltName("C:\\v\\a.qvl", 2, 1), "C:\\v\\a.qvl");
  EXPECT_EQ(FastModeSaltName("C:\\v\\a.qvl", 3, 2), "C:\\v\\a.qvl|QENC3-STAGE|2");
}

TEST(QEncContainer, Fnv1a32KnownAnswers) {
  EXPECT_EQ(Fnv1a32("", 0), 0x811C9DC5u);
  EXPECT_EQ(Fnv1a32("a", 1), 0xE40C292Cu);
  EXPECT_EQ(Fnv1a32("foobar", 6), 0xBF9CF968u);
}

// Computed independently: HMAC-SHA256("pw", "pw|36") cut to 16 bytes, 36
// being FNV-1a("vault.qvl") mod 50.
TEST(QEncContainer, FastModeSaltKnownAnswer) {
  std::uint8_t salt[16];
  FastModeSalt("pw", "C:\\dir\\vault.qvl", salt);
  EXPECT_EQ(ToHex(salt, 16), "E2551D3E64503AB8845ED17FB334E380");
  std::uint8_t same[16];
  FastModeSalt("pw", "vault.qvl", same);  // only the name part counts
  EXPECT_EQ(ToHex(same, 16), ToHex(salt, 16));
  // No name part: the whole name picks the bucket (23 for "D:\\", 11 for "").
  FastModeSalt("pw", "D:\\", same);
  EXPECT_EQ(ToHex(same, 16), "A51754B73129260606D54B958356C4BF");
  FastModeSalt("pw", "", same);
  EXPECT_EQ(ToHex(same, 16), "E2FD0DFB7F266AF79F6AA1BEAE71E793");
}

// ---- The trailer ----

// A one-cipher container from the engine, to put into files.
Bytes MakeContainer(TQEncAlgorithm algorithm, const Bytes& plain, bool headerOnly, int stages = 1) {
  TQEnc q;
  q.SetKey("trailer");
  q.SetFastMode(true);
  q.SetFastIterations(5000);
  q.SetAlgorithm(algorithm);
  if (stages > 1) q.SetAlgorithm2(qeaAES128CTR);
  q.SetHeaderOnly(headerOnly);
  q.SetHeaderOnlyKB(1);
  TMemoryStream in, out;
  Fill(in, plain);
  EXPECT_TRUE(q.EncryptStreamCore(&in, &out, "f", "f"));
  return Contents(out);
}

bool ReadBack(const Bytes& file, Bytes& plain) {
  TQEnc q;
  q.SetKey("trailer");
  TMemoryStream in, out;
  Fill(in, file);
  const std::int64_t length = ContainerLengthWithoutTrailer(in);
  const bool ok = q.DecryptStreamCore(&in, &out, "f", "f", length);
  plain = Contents(out);
  return ok;
}

Bytes WithTail(const std::string& tail) {
  Bytes plain = Pattern(1500);
  plain.insert(plain.end(), tail.begin(), tail.end());
  return plain;
}

std::string AsText(const Bytes& b) { return std::string(b.begin(), b.end()); }

// Which bytes count as a trailer: only the marker of a version 2 header's
// own cipher, so a plain tail that ends in a marker keeps all its bytes.
TEST(QEncContainer, ContainerLengthDropsOnlyARealTrailer) {
  struct TCase {
    const char* Name;
    TQEncAlgorithm Algorithm;
    int Stages;
    bool HeaderOnly;
    std::string PlainTail;
    std::string Appended;
    std::int64_t Dropped;
  } cases[] = {
      {"Twofish with its trailer", qeaTwofishCTR, 1, false, "", "$$$T$$$", 7},
      {"Blowfish with its trailer", qeaBlowfishCTR, 1, false, "", "$$$B$$$", 7},
      {"ChaCha20 with its trailer", qeaChaCha20, 1, false, "", "$$$C$$$", 7},
      {"Twofish without a trailer", qeaTwofishCTR, 1, false, "", "", 0},
      {"Blowfish with the Twofish marker", qeaBlowfishCTR, 1, false, "", "$$$T$$$", 0},
      {"AES: a plain tail ending in a marker", qeaAES128CTR, 1, true, "$$$T$$$", "", 0},
      {"cascade: a plain tail ending in a marker", qeaTwofishCTR, 2, true, "$$$T$$$", "", 0},
      {"Twofish: a plain tail with the marker, then the trailer", qeaTwofishCTR, 1, true, "$$$T$$$", "$$$T$$$", 7},
      {"Twofish: a plain tail with another marker, then the trailer", qeaTwofishCTR, 1, true, "$$$C$$$", "$$$T$$$",
       7},
  };
  for (const TCase& c : cases) {
    const Bytes plain = WithTail(c.PlainTail);
    Bytes file = MakeContainer(c.Algorithm, plain, c.HeaderOnly, c.Stages);
    const std::size_t containerSize = file.size();
    file.insert(file.end(), c.Appended.begin(), c.Appended.end());
    TMemoryStream s;
    Fill(s, file);
    EXPECT_EQ(ContainerLengthWithoutTrailer(s), static_cast<std::int64_t>(file.size()) - c.Dropped) << c.Name;
    EXPECT_EQ(s.Position(), 0);
    if (static_cast<std::size_t>(file.size() - c.Dropped) == containerSize) {
      Bytes back;
      EXPECT_TRUE(ReadBack(file, back)) << c.Name;
      EXPECT_EQ(back, plain) << c.Name;
    }
  }
}

TEST(QEncContainer, StreamMarkerLooksAtTheLastSevenBytesOnly) {
  struct TCase {
    std::string Data;
    TQEncAlgorithm Expected;
  } cases[] = {
      {"anything$$$B$$$", qeaBlowfishCTR}, {"$$$C$$$", qeaChaCha20}, {"x$$$T$$$", qeaTwofishCTR},
      {"$$$A$$$", qeaNone},                {"$$T$$$", qeaNone},     {"$$$T$$$x", qeaNone},
      {"", qeaNone},
  };
  for (const TCase& c : cases) {
    TMemoryStream s;
    Fill(s, Bytes(c.Data.begin(), c.Data.end()));
    EXPECT_EQ(StreamAlgorithmMarker(s), c.Expected) << c.Data;
    EXPECT_EQ(s.Position(), 0);
  }
}

TEST(QEncContainer, TrailerOnFiles) {
  TempDir dir;
  const std::string f = dir.File("vault.qvl");

  // A file whose last seven bytes are a marker reports it, container or not.
  WriteTestFile(f, "not a container $$$T$$$");
  EXPECT_EQ(FileAlgorithmMarker(f), qeaTwofishCTR);
  EXPECT_EQ(FileAlgorithmMarker(dir.File("missing")), qeaNone);
  EXPECT_EQ(FileAlgorithmMarker(dir.Path()), qeaNone);
  // Not a container: nothing to cut.
  EXPECT_TRUE(CutAlgorithmMarker(f));
  EXPECT_EQ(ReadTestFile(f), "not a container $$$T$$$");

  // AES gets no marker and the file stays as it is.
  const Bytes aes = MakeContainer(qeaAES128CTR, Pattern(100), false);
  WriteTestFile(f, AsText(aes));
  EXPECT_TRUE(WriteAlgorithmMarker(f, qeaAES128CTR));
  EXPECT_EQ(ReadTestFile(f), AsText(aes));

  // The marker is appended to a fresh container, and cut off again.
  for (TQEncAlgorithm a : {qeaBlowfishCTR, qeaChaCha20, qeaTwofishCTR}) {
    const Bytes c = MakeContainer(a, Pattern(100), false);
    WriteTestFile(f, AsText(c));
    ASSERT_TRUE(WriteAlgorithmMarker(f, a));
    EXPECT_EQ(ReadTestFile(f), AsText(c) + AlgorithmMarker(a));
    EXPECT_EQ(FileAlgorithmMarker(f), a);
    EXPECT_TRUE(CutAlgorithmMarker(f));
    EXPECT_EQ(ReadTestFile(f), AsText(c));
    EXPECT_TRUE(CutAlgorithmMarker(f));  // none left
    EXPECT_EQ(ReadTestFile(f), AsText(c));
  }

  // A header-only Twofish container whose plain tail ends in its marker: the
  // writer appends without cutting, and the reader drops the trailer only.
  const Bytes plain = WithTail("$$$T$$$");
  const Bytes c = MakeContainer(qeaTwofishCTR, plain, true);
  WriteTestFile(f, AsText(c));
  ASSERT_TRUE(WriteAlgorithmMarker(f, qeaTwofishCTR));
  const std::string stored = ReadTestFile(f);
  EXPECT_EQ(stored, AsText(c) + "$$$T$$$");
  Bytes back;
  ASSERT_TRUE(ReadBack(Bytes(stored.begin(), stored.end()), back));
  EXPECT_EQ(back, plain);
  EXPECT_TRUE(CutAlgorithmMarker(f));
  EXPECT_EQ(ReadTestFile(f), AsText(c));

  // The same tail in a cascade: no trailer is written and nothing is cut.
  const Bytes cascade = MakeContainer(qeaTwofishCTR, plain, true, 2);
  WriteTestFile(f, AsText(cascade));
  EXPECT_TRUE(CutAlgorithmMarker(f));
  EXPECT_EQ(ReadTestFile(f), AsText(cascade));

  EXPECT_FALSE(WriteAlgorithmMarker(dir.File("missing"), qeaTwofishCTR));
  EXPECT_FALSE(PathExists(dir.File("missing")));
  EXPECT_FALSE(CutAlgorithmMarker(dir.File("missing")));
  EXPECT_STREQ(AlgorithmMarker(qeaAES128CTR), nullptr);
  EXPECT_STREQ(AlgorithmMarker(qeaNone), nullptr);
}

}  // namespace
