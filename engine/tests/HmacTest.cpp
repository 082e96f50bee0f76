#include "engine/Hmac.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/CpuFeatures.h"
#include "engine/tests/HashTestUtil.h"

namespace {

using HashTest::FromHex;
using HashTest::ToHex;

std::string Tag(const std::vector<std::uint8_t>& key, const std::vector<std::uint8_t>& msg) {
  std::uint8_t tag[HmacSha256TagSize];
  HmacSha256(key.data(), static_cast<std::int64_t>(key.size()), msg.data(),
             static_cast<std::int64_t>(msg.size()), tag);
  return ToHex(tag, sizeof tag);
}

// RFC 4231, section 4: test cases 1 to 7 (HMAC-SHA-256 column). Case 5 is
// truncated to 128 bits in the RFC, so only the first 16 bytes are given.
const struct {
  const char* name;
  const char* key;  // hex
  const char* data;  // hex
  const char* tag;   // hex (a prefix for case 5)
} kRfc4231[] = {
    {"TC1", "0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b", "4869205468657265",
     "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
    {"TC2", "4a656665", "7768617420646f2079612077616e7420666f72206e6f7468696e673f",
     "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
    {"TC3", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
     "dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd",
     "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
    {"TC4", "0102030405060708090a0b0c0d0e0f10111213141516171819",
     "cdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcd",
     "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
    {"TC5", "0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c", "546573742057697468205472756e636174696f6e",
     "a3b6167473100ee06e0c796c2955552b"},
    {"TC6 (131-byte key)", nullptr,
     "54657374205573696e67204c6172676572205468616e20426c6f636b2d53697a65204b6579202d2048617368204b65"
     "79204669727374",
     "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    {"TC7 (131-byte key)", nullptr,
     "5468697320697320612074657374207573696e672061206c6172676572207468616e20626c6f636b2d73697a65206b"
     "657920616e642061206c6172676572207468616e20626c6f636b2d73697a6520646174612e20546865206b6579206e"
     "6565647320746f20626520686173686564206265666f7265206265696e6720757365642062792074686520484d4143"
     "20616c676f726974686d2e",
     "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
};

class HmacPaths : public ::testing::TestWithParam<bool> {
 protected:
  CpuFeatures::TPortableScope path_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Engine, HmacPaths, ::testing::Values(false, true), HashTest::PathName);

TEST_P(HmacPaths, Rfc4231) {
  for (const auto& v : kRfc4231) {
    // Cases 6 and 7 use 131 bytes of 0xaa: longer than a block, so hashed first.
    const std::vector<std::uint8_t> key = v.key ? FromHex(v.key) : std::vector<std::uint8_t>(131, 0xaa);
    const std::string tag = Tag(key, FromHex(v.data));
    EXPECT_EQ(tag.substr(0, std::strlen(v.tag)), v.tag) << v.name;
  }
}

TEST_P(HmacPaths, KeysAroundTheBlockSize) {
  // Up to 64 bytes a key is zero-padded, so trailing zero bytes do not change
  // the tag; from 65 bytes on it is replaced by its digest, so a 65-byte key
  // gives the same tag as its 32-byte SHA-256.
  HashTest::TTestRandom rnd(3);
  const std::vector<std::uint8_t> msg = HashTest::Bytes("message");
  for (std::size_t len : {63u, 64u, 65u, 200u}) {
    std::vector<std::uint8_t> key = rnd.Fill(len);
    if (len <= 64) {
      std::vector<std::uint8_t> padded = key;
      padded.resize(64, 0);
      EXPECT_EQ(Tag(key, msg), Tag(padded, msg)) << len;
    } else {
      std::vector<std::uint8_t> digest(Sha256DigestSize);
      Sha256(key.data(), static_cast<std::int64_t>(key.size()), digest.data());
      EXPECT_EQ(Tag(key, msg), Tag(digest, msg)) << len;
    }
  }
  // 64 bytes is the last length used as it stands: it must differ from its digest.
  const std::vector<std::uint8_t> key64 = rnd.Fill(64);
  std::vector<std::uint8_t> digest64(Sha256DigestSize);
  Sha256(key64.data(), 64, digest64.data());
  EXPECT_NE(Tag(key64, msg), Tag(digest64, msg));
}

TEST_P(HmacPaths, StreamingAtEverySplitEqualsOneShot) {
  const std::vector<std::uint8_t> key = HashTest::Bytes("Jefe");
  const std::vector<std::uint8_t> msg = HashTest::TTestRandom(11).Fill(150);
  const std::string expected = Tag(key, msg);
  for (std::size_t split = 0; split <= msg.size(); ++split) {
    THmacSha256Context ctx;
    HmacSha256Init(ctx, key.data(), static_cast<std::int64_t>(key.size()));
    HmacSha256Update(ctx, msg.data(), static_cast<std::int64_t>(split));
    HmacSha256Update(ctx, msg.data() + split, static_cast<std::int64_t>(msg.size() - split));
    std::uint8_t tag[HmacSha256TagSize];
    HmacSha256Final(ctx, tag);
    ASSERT_EQ(ToHex(tag, sizeof tag), expected) << split;
  }
}

TEST_P(HmacPaths, FinishOnACopyLeavesTheContextUsable) {
  const std::vector<std::uint8_t> key = HashTest::Bytes("key");
  THmacSha256Context ctx;
  HmacSha256Init(ctx, key.data(), 3);
  HmacSha256Update(ctx, "prefix-", 7);
  const THmacSha256Context before = ctx;

  std::uint8_t first[HmacSha256TagSize], second[HmacSha256TagSize];
  HmacSha256FinalCopy(ctx, "tail", 4, first);
  HmacSha256FinalCopy(ctx, "tail", 4, second);
  EXPECT_EQ(std::memcmp(&ctx, &before, sizeof ctx), 0) << "the context itself changed";
  EXPECT_EQ(ToHex(first, 32), ToHex(second, 32));
  EXPECT_EQ(ToHex(first, 32), Tag(key, HashTest::Bytes("prefix-tail")));

  // No extra bytes: the tag of what was fed so far.
  HmacSha256FinalCopy(ctx, nullptr, 0, first);
  EXPECT_EQ(ToHex(first, 32), Tag(key, HashTest::Bytes("prefix-")));

  // The context goes on from where it was.
  HmacSha256Update(ctx, "more", 4);
  HmacSha256Final(ctx, first);
  EXPECT_EQ(ToHex(first, 32), Tag(key, HashTest::Bytes("prefix-more")));
}

TEST(Hmac, NullAndEmptyKeysAreTheEmptyKey) {
  const std::vector<std::uint8_t> msg = HashTest::Bytes("data");
  // HMAC-SHA256(key = "", "data") as Python's hmac module computes it.
  const std::string empty = "e528c4d99e6177f5841f712a143b90843299a4aa181a06501422d9ca862bd2a5";
  EXPECT_EQ(Tag({}, msg), empty);
  std::uint8_t tag[HmacSha256TagSize];
  HmacSha256(nullptr, 16, msg.data(), 4, tag);
  EXPECT_EQ(ToHex(tag, 32), empty);
  HmacSha256("k", -3, msg.data(), 4, tag);
  EXPECT_EQ(ToHex(tag, 32), empty);
}

TEST(Hmac, FinalWipesTheContext) {
  THmacSha256Context ctx;
  HmacSha256Init(ctx, "key", 3);
  HmacSha256Update(ctx, "secret", 6);
  std::uint8_t tag[HmacSha256TagSize];
  HmacSha256Final(ctx, tag);
  const THmacSha256Context zero{};
  EXPECT_EQ(std::memcmp(&ctx, &zero, sizeof ctx), 0);
}

}  // namespace
