// Cross-checks of the hashes against OpenSSL on inputs no published table
// covers: every length around the block boundaries, long keys and salts,
// random iteration counts and output lengths. Native builds only.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <vector>

#include "engine/CpuFeatures.h"
#include "engine/Hmac.h"
#include "engine/Pbkdf2.h"
#include "engine/Sha256.h"
#include "engine/tests/HashTestUtil.h"

namespace {

using HashTest::ToHex;

class HashPeer : public ::testing::TestWithParam<bool> {
 protected:
  CpuFeatures::TPortableScope path_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Engine, HashPeer, ::testing::Values(false, true), HashTest::PathName);

TEST_P(HashPeer, Sha256EveryLengthUpToFiveBlocksAndLargeBuffers) {
  HashTest::TTestRandom rnd(1);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 320; ++n) lengths.push_back(n);
  for (int i = 0; i < 20; ++i) lengths.push_back(rnd.Below(1 << 20));
  for (std::size_t n : lengths) {
    const auto msg = rnd.Fill(n);
    std::uint8_t ours[32], peer[32];
    unsigned peerLen = 0;
    Sha256(msg.data(), static_cast<std::int64_t>(n), ours);
    ASSERT_EQ(EVP_Digest(msg.data(), n, peer, &peerLen, EVP_sha256(), nullptr), 1);
    ASSERT_EQ(ToHex(ours, 32), ToHex(peer, 32)) << "length " << n;
  }
}

TEST_P(HashPeer, HmacEveryKeyLengthAroundTheBlock) {
  HashTest::TTestRandom rnd(2);
  for (std::size_t keyLen = 0; keyLen <= 200; ++keyLen) {
    const auto key = rnd.Fill(keyLen);
    const auto msg = rnd.Fill(rnd.Below(300));
    std::uint8_t ours[32], peer[32];
    unsigned peerLen = 0;
    HmacSha256(key.data(), static_cast<std::int64_t>(keyLen), msg.data(), static_cast<std::int64_t>(msg.size()),
               ours);
    ASSERT_NE(HMAC(EVP_sha256(), key.data(), static_cast<int>(keyLen), msg.data(), msg.size(), peer, &peerLen),
              nullptr);
    ASSERT_EQ(ToHex(ours, 32), ToHex(peer, 32)) << "key length " << keyLen;
  }
}

TEST_P(HashPeer, Pbkdf2RandomParameters) {
  HashTest::TTestRandom rnd(3);
  for (int round = 0; round < 80; ++round) {
    const auto password = rnd.Fill(rnd.Below(250));
    const auto salt = rnd.Fill(rnd.Below(150));
    const std::uint32_t iterations = 1 + rnd.Below(round < 70 ? 50 : 5000);
    const std::size_t length = 1 + rnd.Below(300);
    std::vector<std::uint8_t> ours(length), peer(length);
    ASSERT_TRUE(Pbkdf2HmacSha256(password.data(), static_cast<std::int64_t>(password.size()), salt.data(),
                                 static_cast<std::int64_t>(salt.size()), ours.data(),
                                 static_cast<std::int64_t>(length), iterations));
    ASSERT_EQ(PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(password.data()), static_cast<int>(password.size()),
                                salt.data(), static_cast<int>(salt.size()), static_cast<int>(iterations),
                                EVP_sha256(), static_cast<int>(length), peer.data()),
              1);
    ASSERT_EQ(ToHex(ours), ToHex(peer)) << "round " << round << ": password " << password.size() << ", salt "
                                        << salt.size() << ", " << iterations << " iterations, " << length
                                        << " bytes";
  }
}

}  // namespace
