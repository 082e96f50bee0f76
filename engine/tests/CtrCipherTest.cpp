// Properties of the four counter-mode keystreams and of the dispatch: chunks
// at any offset and split, in place and out of place, fast and portable paths,
// the counters across their wraps and beyond 4 GiB, the compatibility flag and
// the argument checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/Aes.h"
#include "engine/Blowfishctr.h"
#include "engine/Chacha20.h"
#include "engine/CpuFeatures.h"
#include "engine/CtrCipher.h"
#include "engine/Twofish.h"
#include "engine/tests/HashTestUtil.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using HashTest::FromHex;
using HashTest::PathName;
using HashTest::ToHex;

Bytes Random(std::mt19937& rng, std::size_t n) {
  Bytes b(n);
  for (auto& v : b) v = std::uint8_t(rng());
  return b;
}

// One stage's key material, keyed the way the container keys a stage.
struct TStage {
  Bytes key;  // 32 bytes; AES, Blowfish and Twofish use the first 16
  Bytes iv;
  TTwofishContext twofish;
  TBlowfishContext blowfish;

  TStage(Bytes k, Bytes v) : key(std::move(k)), iv(std::move(v)) {
    twofish.SetKey(key.data(), 16);
    blowfish.SetKey(key.data(), 16);
  }
};

struct TCipher {
  const char* name;
  int code;
  std::size_t block;
};
const TCipher kCiphers[] = {
    {"AES", ccAes128Ctr, 16}, {"Blowfish", ccBlowfishCtr, 8}, {"ChaCha20", ccChaCha20, 64}, {"Twofish", ccTwofishCtr, 16}};

// The out-of-place form of each cipher.
void XorOutOfPlace(int code, const std::uint8_t* in, std::uint8_t* out, std::int64_t length, std::int64_t offset,
                   const TStage& s) {
  switch (code) {
    case ccAes128Ctr: Aes128CtrXor(in, out, length, s.key.data(), s.iv.data(), offset); break;
    case ccBlowfishCtr: BlowfishCtrXor(in, out, length, s.blowfish, s.iv.data(), offset); break;
    case ccChaCha20: Chacha20Xor(in, out, length, s.key.data(), s.iv.data(), offset); break;
    case ccTwofishCtr: TwofishCtrXor(in, out, length, s.twofish, s.iv.data(), offset); break;
  }
}

void Apply(int code, Bytes& data, std::int64_t offset, const TStage& s, bool compatibility = false) {
  CtrCipherApply(code, data.data(), std::int64_t(data.size()), compatibility, offset, s.twofish, s.blowfish,
                 s.iv.data(), s.key.data());
}

// Runs each test once on the fast paths this processor has and once on the
// portable code.
class CtrPaths : public ::testing::TestWithParam<bool> {
 protected:
  CpuFeatures::TPortableScope scope_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Paths, CtrPaths, ::testing::Values(false, true), PathName);

// Encrypting in one call equals encrypting in chunks with matching offsets,
// for chunks that start and end anywhere inside a block, from a base offset
// of 0 and from one past 4 GiB that is not block-aligned.
TEST_P(CtrPaths, ChunksAtAnyOffsetAndSplitEqualOneCall) {
  std::mt19937 rng(1234);
  const TStage stage(Random(rng, 32), Random(rng, 16));
  const Bytes plain = Random(rng, 2500);
  for (const TCipher& c : kCiphers) {
    for (std::int64_t base : {std::int64_t(0), (std::int64_t(1) << 32) + 5}) {
      Bytes whole = plain;
      Apply(c.code, whole, base, stage);
      ASSERT_NE(whole, plain) << c.name;
      // Fixed chunk sizes around the block sizes, then random splits.
      std::vector<std::vector<std::size_t>> splits;
      for (std::size_t size : {1, 3, 7, 8, 9, 15, 16, 17, 63, 64, 65, 100, 127, 1000, 2499})
        splits.push_back(std::vector<std::size_t>(plain.size() / size + 1, size));
      for (int round = 0; round < 20; ++round) {
        std::vector<std::size_t> sizes;
        for (std::size_t left = plain.size(); left > 0;) {
          const std::size_t n = std::min<std::size_t>(left, 1 + rng() % 300);
          sizes.push_back(n);
          left -= n;
        }
        splits.push_back(sizes);
      }
      for (const auto& sizes : splits) {
        Bytes chunked = plain;
        std::size_t at = 0;
        for (std::size_t n : sizes) {
          n = std::min(n, plain.size() - at);
          if (n == 0) break;
          CtrCipherApply(c.code, chunked.data() + at, std::int64_t(n), false, base + std::int64_t(at),
                         stage.twofish, stage.blowfish, stage.iv.data(), stage.key.data());
          at += n;
        }
        ASSERT_EQ(chunked, whole) << c.name << " base " << base << " first chunk " << sizes[0];
      }
    }
  }
}

// The same call decrypts, in place and out of place alike.
TEST_P(CtrPaths, InPlaceEqualsOutOfPlaceAndSecondCallDecrypts) {
  std::mt19937 rng(99);
  const TStage stage(Random(rng, 32), Random(rng, 16));
  for (const TCipher& c : kCiphers) {
    for (std::size_t length : {1, 15, 64, 100, 1029, 4096 + 77}) {
      const Bytes plain = Random(rng, length);
      const std::int64_t offset = std::int64_t(rng() % 100000);
      Bytes inPlace = plain, outOfPlace(length, 0xAA);
      Apply(c.code, inPlace, offset, stage);
      XorOutOfPlace(c.code, plain.data(), outOfPlace.data(), std::int64_t(length), offset, stage);
      EXPECT_EQ(inPlace, outOfPlace) << c.name << " length " << length;
      Apply(c.code, inPlace, offset, stage);
      EXPECT_EQ(inPlace, plain) << c.name << " length " << length;
    }
  }
}

// The vector and interleaved kernels give the portable bytes, over lengths
// that leave every kind of remainder (16-, 8- and 4-block ChaCha20 kernels,
// partial interleaved groups) and offsets up to 2^62.
TEST(CtrFastPath, MatchesPortableOnRandomInputs) {
  std::mt19937_64 rng(20240611);
  std::mt19937 bytes(7);
  for (int round = 0; round < 60; ++round) {
    const TStage stage(Random(bytes, 32), Random(bytes, 16));
    const std::size_t length = 1 + std::size_t(rng() % 5000);
    const std::int64_t offset = std::int64_t(rng() >> (2 + rng() % 62));
    const Bytes plain = Random(bytes, length);
    for (const TCipher& c : kCiphers) {
      Bytes fast = plain, portable = plain;
      {
        CpuFeatures::TPortableScope path(false);
        Apply(c.code, fast, offset, stage);
      }
      {
        CpuFeatures::TPortableScope path(true);
        Apply(c.code, portable, offset, stage);
      }
      ASSERT_EQ(fast, portable) << c.name << " length " << length << " offset " << offset;
    }
  }
}

// ---------------------------------------------------------------------------
// Counters across their wraps and beyond 4 GiB: the two keystream blocks at
// `offset` are the block function of the two counter blocks given.

void ExpectKeystream(const TCipher& c, const char* ivHex, std::int64_t offset, const char* first, const char* second) {
  const Bytes key = FromHex("2b7e151628aed2a6abf7158809cf4f3c000102030405060708090a0b0c0d0e0f");
  const TStage stage(key, FromHex(ivHex));
  Bytes data(2 * c.block, 0);
  Apply(c.code, data, offset, stage);
  Bytes expected;
  for (const char* counterHex : {first, second}) {
    const Bytes counter = FromHex(counterHex);
    Bytes block(c.block);
    switch (c.code) {
      case ccAes128Ctr: Aes128EncryptBlock(stage.key.data(), counter.data(), block.data()); break;
      case ccBlowfishCtr: stage.blowfish.EncryptBlock(counter.data(), block.data()); break;
      case ccTwofishCtr: stage.twofish.EncryptBlock(counter.data(), block.data()); break;
      case ccChaCha20: {
        // The counter column holds the 32-bit block counter, big-endian here.
        Bytes chachaKey(stage.key.begin(), stage.key.begin() + 16);
        chachaKey.insert(chachaKey.end(), stage.iv.begin(), stage.iv.end());
        const std::uint32_t n = (std::uint32_t(counter[0]) << 24) | (std::uint32_t(counter[1]) << 16) |
                                (std::uint32_t(counter[2]) << 8) | counter[3];
        Chacha20Block(chachaKey.data(), stage.iv.data(), n, block.data());
        break;
      }
    }
    expected.insert(expected.end(), block.begin(), block.end());
  }
  EXPECT_EQ(ToHex(data.data(), c.block), ToHex(expected.data(), c.block))
      << c.name << " iv " << ivHex << " offset " << offset << " first block";
  EXPECT_EQ(ToHex(data.data() + c.block, c.block), ToHex(expected.data() + c.block, c.block))
      << c.name << " iv " << ivHex << " offset " << offset << " second block";
}

constexpr std::int64_t GiB4 = std::int64_t(1) << 32;

TEST_P(CtrPaths, AesCounterIsThe32BitTailOfTheIvAndNeverCarries) {
  const TCipher& aes = kCiphers[0];
  // The wrap: FFFFFFFF becomes 00000000 and byte 11 keeps its value.
  ExpectKeystream(aes, "000102030405060708090a0bffffffff", 0, "000102030405060708090a0bffffffff",
                  "000102030405060708090a0b00000000");
  ExpectKeystream(aes, "000102030405060708090a0bfffffffe", 16, "000102030405060708090a0bffffffff",
                  "000102030405060708090a0b00000000");
  // Beyond 4 GiB the block index adds in its low 32 bits only.
  ExpectKeystream(aes, "000102030405060708090a0b00000000", GiB4 + 16, "000102030405060708090a0b10000001",
                  "000102030405060708090a0b10000002");
  ExpectKeystream(aes, "000102030405060708090a0b00000005", 16 * GiB4 + 48, "000102030405060708090a0b00000008",
                  "000102030405060708090a0b00000009");
  ExpectKeystream(aes, "000102030405060708090a0bf0000000", 16 * (GiB4 - 1), "000102030405060708090a0befffffff",
                  "000102030405060708090a0bf0000000");
}

TEST_P(CtrPaths, TwofishCounterIsTheWholeIvWithFullCarry) {
  const TCipher& twofish = kCiphers[3];
  ExpectKeystream(twofish, "0001020304050607ffffffffffffffff", 0, "0001020304050607ffffffffffffffff",
                  "00010203040506080000000000000000");
  ExpectKeystream(twofish, "ffffffffffffffffffffffffffffffff", 0, "ffffffffffffffffffffffffffffffff",
                  "00000000000000000000000000000000");
  // Beyond 4 GiB the whole 64-bit block index adds, carrying on upwards.
  ExpectKeystream(twofish, "000102030405060700000000fffffffe", GiB4 + 16, "0001020304050607000000010fffffff",
                  "00010203040506070000000110000000");
  ExpectKeystream(twofish, "0001020304050607fffffffffffffff0", std::int64_t(1) << 40,
                  "00010203040506080000000ffffffff0", "00010203040506080000000ffffffff1");
}

TEST_P(CtrPaths, BlowfishCounterIsTheFirstEightIvBytesWithFullCarry) {
  const TCipher& blowfish = kCiphers[1];
  // IV bytes 8-15 play no part.
  ExpectKeystream(blowfish, "00000000ffffffff0123456789abcdef", 0, "00000000ffffffff", "0000000100000000");
  ExpectKeystream(blowfish, "00000000ffffffff0000000000000000", 0, "00000000ffffffff", "0000000100000000");
  ExpectKeystream(blowfish, "ffffffffffffffff0000000000000000", 0, "ffffffffffffffff", "0000000000000000");
  ExpectKeystream(blowfish, "0000000000000001ffffffffffffffff", 8 * GiB4 + 8, "0000000100000002",
                  "0000000100000003");
  ExpectKeystream(blowfish, "0000000000000000ffffffffffffffff", GiB4 + 5 * 8, "0000000020000005",
                  "0000000020000006");
}

TEST_P(CtrPaths, Chacha20CounterIsTheLow32BitsOfTheBlockIndex) {
  const TCipher& chacha = kCiphers[2];
  const char* iv = "00000000000000000000004a00000000";
  ExpectKeystream(chacha, iv, GiB4 + 64, "04000001", "04000002");
  // The counter wraps to 0 with the same nonce: 2^38 bytes on, the keystream
  // starts over.
  ExpectKeystream(chacha, iv, 64 * (GiB4 - 1), "ffffffff", "00000000");
  ExpectKeystream(chacha, iv, 64 * GiB4, "00000000", "00000001");
}

// A start inside a block past 4 GiB uses the rest of that block's keystream.
TEST_P(CtrPaths, OffsetsPast4GiBInsideABlockContinueTheKeystream) {
  std::mt19937 rng(5);
  const TStage stage(Random(rng, 32), Random(rng, 16));
  for (const TCipher& c : kCiphers) {
    for (std::int64_t base : {GiB4 - 64, 3 * GiB4 + 128, (std::int64_t(1) << 62) - 64}) {
      Bytes whole(256, 0);
      Apply(c.code, whole, base, stage);
      for (std::int64_t skip : {1, 7, 13, 63, 65}) {
        Bytes part(100, 0);
        Apply(c.code, part, base + skip, stage);
        EXPECT_EQ(ToHex(part.data(), part.size()), ToHex(whole.data() + skip, part.size()))
            << c.name << " base " << base << " skip " << skip;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Key and IV packing.

TEST(CtrLayout, Chacha20ReadsOnlyTheFirst16KeyBytes) {
  std::mt19937 rng(11);
  const Bytes iv = Random(rng, 16);
  Bytes keyA = Random(rng, 32), keyB = keyA;
  for (int i = 16; i < 32; ++i) keyB[i] = std::uint8_t(~keyB[i]);
  const Bytes plain = Random(rng, 300);
  Bytes a = plain, b = plain;
  Chacha20Xor(a.data(), 300, keyA.data(), iv.data(), 0);
  Chacha20Xor(b.data(), 300, keyB.data(), iv.data(), 0);
  EXPECT_EQ(a, b);
  keyB[15] ^= 1;
  b = plain;
  Chacha20Xor(b.data(), 300, keyB.data(), iv.data(), 0);
  EXPECT_NE(a, b);
}

// Blowfish and Twofish take their keys from their contexts; the key argument
// of the dispatch is not theirs.
TEST(CtrLayout, DispatchKeysBlowfishAndTwofishFromTheirContexts) {
  std::mt19937 rng(12);
  const TStage stage(Random(rng, 32), Random(rng, 16));
  const Bytes otherKey = Random(rng, 32);
  for (int code : {int(ccBlowfishCtr), int(ccTwofishCtr)}) {
    Bytes a(200, 0), b(200, 0);
    CtrCipherApply(code, a.data(), 200, false, 7, stage.twofish, stage.blowfish, stage.iv.data(),
                   stage.key.data());
    CtrCipherApply(code, b.data(), 200, false, 7, stage.twofish, stage.blowfish, stage.iv.data(), otherKey.data());
    EXPECT_EQ(a, b) << code;
  }
}

// ---------------------------------------------------------------------------
// The dispatch.

TEST(CtrDispatch, CompatibilityFlagRestartsTheKeystreamInEveryChunk) {
  std::mt19937 rng(13);
  const TStage stage(Random(rng, 32), Random(rng, 16));
  const Bytes plain = Random(rng, 1000);
  for (const TCipher& c : kCiphers) {
    Bytes atZero = plain, atLater = plain, reference = plain;
    Apply(c.code, atZero, 0, stage, true);
    Apply(c.code, atLater, 8192 + 3, stage, true);
    Apply(c.code, reference, 0, stage, false);
    EXPECT_EQ(atZero, atLater) << c.name;
    EXPECT_EQ(atZero, reference) << c.name;
    Bytes notCompat = plain;
    Apply(c.code, notCompat, 8192 + 3, stage, false);
    EXPECT_NE(notCompat, atLater) << c.name;
  }
}

TEST(CtrDispatch, CodeOutsideZeroToThreeIsAes) {
  std::mt19937 rng(14);
  const TStage stage(Random(rng, 32), Random(rng, 16));
  Bytes aes(333, 0);
  Apply(ccAes128Ctr, aes, 21, stage);
  for (int code : {4, 5, 255, -1}) {
    Bytes other(333, 0);
    Apply(code, other, 21, stage);
    EXPECT_EQ(other, aes) << code;
  }
}

TEST(CtrDispatch, NullBufferAndLengthZeroOrLessTouchNothing) {
  std::mt19937 rng(15);
  const TStage stage(Random(rng, 32), Random(rng, 16));
  for (const TCipher& c : kCiphers) {
    const Bytes plain = Random(rng, 64);
    for (std::int64_t length : {std::int64_t(0), std::int64_t(-1), std::int64_t(-64)}) {
      Bytes data = plain;
      CtrCipherApply(c.code, data.data(), length, false, 0, stage.twofish, stage.blowfish, stage.iv.data(),
                     stage.key.data());
      EXPECT_EQ(data, plain) << c.name << " length " << length;
    }
    CtrCipherApply(c.code, nullptr, 64, false, 0, stage.twofish, stage.blowfish, stage.iv.data(), stage.key.data());
    // The out-of-place forms check both pointers.
    Bytes data = plain;
    XorOutOfPlace(c.code, nullptr, data.data(), 64, 0, stage);
    XorOutOfPlace(c.code, data.data(), nullptr, 64, 0, stage);
    EXPECT_EQ(data, plain) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Key schedules.

template <class TContext>
bool AllZero(const TContext& ctx) {
  Bytes raw(sizeof ctx);
  std::memcpy(raw.data(), &ctx, sizeof ctx);
  return std::all_of(raw.begin(), raw.end(), [](std::uint8_t b) { return b == 0; });
}

TEST(CtrKeySchedule, TwofishTakes16_24Or32BytesAndClearsOnAnythingElse) {
  const Bytes key = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f2021");
  for (int length : {16, 24, 32}) {
    TTwofishContext ctx;
    EXPECT_TRUE(ctx.SetKey(key.data(), length)) << length;
    EXPECT_FALSE(AllZero(ctx)) << length;
  }
  for (int length : {0, 1, 15, 17, 23, 31, 33, -16}) {
    TTwofishContext ctx;
    ASSERT_TRUE(ctx.SetKey(key.data(), 16));
    EXPECT_FALSE(ctx.SetKey(key.data(), length)) << length;
    EXPECT_TRUE(AllZero(ctx)) << length;
  }
  TTwofishContext ctx;
  ASSERT_TRUE(ctx.SetKey(key.data(), 16));
  EXPECT_FALSE(ctx.SetKey(nullptr, 16));
  EXPECT_TRUE(AllZero(ctx));
}

TEST(CtrKeySchedule, BlowfishTakes1To56BytesAndClearsOnAnythingElse) {
  const Bytes key(57, 0x5a);
  for (int length : {1, 16, 56}) {
    TBlowfishContext ctx;
    EXPECT_TRUE(ctx.SetKey(key.data(), length)) << length;
    EXPECT_FALSE(AllZero(ctx)) << length;
  }
  for (int length : {0, 57, -1}) {
    TBlowfishContext ctx;
    ASSERT_TRUE(ctx.SetKey(key.data(), 16));
    EXPECT_FALSE(ctx.SetKey(key.data(), length)) << length;
    EXPECT_TRUE(AllZero(ctx)) << length;
  }
  TBlowfishContext ctx;
  ASSERT_TRUE(ctx.SetKey(key.data(), 16));
  EXPECT_FALSE(ctx.SetKey(nullptr, 16));
  EXPECT_TRUE(AllZero(ctx));
}

TEST(CtrKeySchedule, ClearWipesAKeyedContext) {
  const Bytes key(16, 0x33);
  TTwofishContext twofish;
  TBlowfishContext blowfish;
  ASSERT_TRUE(twofish.SetKey(key.data(), 16));
  ASSERT_TRUE(blowfish.SetKey(key.data(), 16));
  twofish.Clear();
  blowfish.Clear();
  EXPECT_TRUE(AllZero(twofish));
  EXPECT_TRUE(AllZero(blowfish));
}

}  // namespace
