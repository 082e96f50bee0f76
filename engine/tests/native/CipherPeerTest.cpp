// Cross-checks of the four ciphers against real peers. libgcrypt's Twofish-CTR
// and Blowfish-CTR count exactly as our layouts do, carries and wraps
// included. OpenSSL's AES-128-CTR and ChaCha20 count as we do until the 32-bit
// counter wraps; there the peer carries into the next IV or nonce word and we
// do not, so the wrap is checked by restarting the peer where our counter
// wraps. Native builds only.
#include <gcrypt.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>

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
#include "engine/Twofish.h"
#include "engine/tests/HashTestUtil.h"
#include "engine/tests/native/peer/ContainerPeer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using HashTest::PathName;

Bytes Random(std::mt19937_64& rng, std::size_t n) {
  Bytes b(n);
  for (auto& v : b) v = std::uint8_t(rng());
  return b;
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t n) { return Bytes(b.begin() + from, b.begin() + from + n); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---------------------------------------------------------------------------
// The peers.

Bytes OpenSslXor(const EVP_CIPHER* cipher, const std::uint8_t* key, const std::uint8_t iv[16], const Bytes& in) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(in.size());
  int len = 0;
  EXPECT_EQ(EVP_EncryptInit_ex(ctx, cipher, nullptr, key, iv), 1);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EXPECT_EQ(EVP_EncryptUpdate(ctx, out.data(), &len, in.data(), int(in.size())), 1);
  EVP_CIPHER_CTX_free(ctx);
  return out;
}

// OpenSSL's ChaCha20 for our layout: key = cipher key 0-15 || IV, and the
// 16-byte OpenSSL IV = the 32-bit block counter little-endian || IV 0-11.
Bytes OpenSslChacha(const Bytes& cipherKey, const Bytes& iv, std::uint32_t counter, const Bytes& in) {
  Bytes key(cipherKey.begin(), cipherKey.begin() + 16);
  key.insert(key.end(), iv.begin(), iv.end());
  std::uint8_t peerIv[16];
  for (int i = 0; i < 4; ++i) peerIv[i] = std::uint8_t(counter >> (8 * i));
  std::memcpy(peerIv + 4, iv.data(), 12);
  return OpenSslXor(EVP_chacha20(), key.data(), peerIv, in);
}

Bytes GcryCtr(int algo, const Bytes& key, const std::uint8_t* counter, std::size_t counterLen, const Bytes& in) {
  Peer::InitGcrypt();
  gcry_cipher_hd_t h = nullptr;
  Bytes out(in.size());
  EXPECT_EQ(gcry_cipher_open(&h, algo, GCRY_CIPHER_MODE_CTR, 0), 0u);
  EXPECT_EQ(gcry_cipher_setkey(h, key.data(), key.size()), 0u);
  EXPECT_EQ(gcry_cipher_setctr(h, counter, counterLen), 0u);
  EXPECT_EQ(gcry_cipher_encrypt(h, out.data(), out.size(), in.data(), in.size()), 0u);
  gcry_cipher_close(h);
  return out;
}

// Returns false when libgcrypt refuses the key length.
bool GcryEcb(int algo, const Bytes& key, const Bytes& in, Bytes& out) {
  Peer::InitGcrypt();
  gcry_cipher_hd_t h = nullptr;
  out.assign(in.size(), 0);
  EXPECT_EQ(gcry_cipher_open(&h, algo, GCRY_CIPHER_MODE_ECB, 0), 0u);
  const bool keyed = gcry_cipher_setkey(h, key.data(), key.size()) == 0;
  if (keyed) {
    EXPECT_EQ(gcry_cipher_encrypt(h, out.data(), out.size(), in.data(), in.size()), 0u);
  }
  gcry_cipher_close(h);
  return keyed;
}

// counter + n as a big-endian number over all its bytes.
Bytes AddBE(Bytes counter, std::uint64_t n) {
  for (std::size_t i = counter.size(); i-- > 0 && n != 0;) {
    const std::uint64_t sum = counter[i] + (n & 0xff);
    counter[i] = std::uint8_t(sum);
    n = (n >> 8) + (sum >> 8);
  }
  return counter;
}

class CipherPeer : public ::testing::TestWithParam<bool> {
 protected:
  CpuFeatures::TPortableScope path_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Engine, CipherPeer, ::testing::Values(false, true), PathName);

// ---------------------------------------------------------------------------
// Block functions on random keys.

TEST_P(CipherPeer, BlockFunctionsOnRandomKeys) {
  std::mt19937_64 rng(31);
  for (int round = 0; round < 200; ++round) {
    const Bytes key = Random(rng, 32), block = Random(rng, 16);
    Bytes ours(16), peer;

    Aes128EncryptBlock(key.data(), block.data(), ours.data());
    const Bytes aesKey = Slice(key, 0, 16);
    ASSERT_EQ(ours, OpenSslXor(EVP_aes_128_ecb(), aesKey.data(), nullptr, block)) << "AES round " << round;

    for (std::size_t keyLen : {16, 32}) {
      TTwofishContext twofish;
      ASSERT_TRUE(twofish.SetKey(key.data(), int(keyLen)));
      twofish.EncryptBlock(block.data(), ours.data());
      ASSERT_TRUE(GcryEcb(keyLen == 16 ? GCRY_CIPHER_TWOFISH128 : GCRY_CIPHER_TWOFISH, Slice(key, 0, keyLen), block,
                          peer));
      ASSERT_EQ(ours, peer) << "Twofish key length " << keyLen << " round " << round;
    }

    const std::size_t bfKeyLen = 1 + rng() % 56;
    const Bytes bfKey = Random(rng, bfKeyLen), bfBlock = Slice(block, 0, 8);
    TBlowfishContext blowfish;
    ASSERT_TRUE(blowfish.SetKey(bfKey.data(), int(bfKeyLen)));
    Bytes bfOurs(8);
    blowfish.EncryptBlock(bfBlock.data(), bfOurs.data());
    if (GcryEcb(GCRY_CIPHER_BLOWFISH, bfKey, bfBlock, peer)) {
      ASSERT_EQ(bfOurs, peer) << "Blowfish key length " << bfKeyLen;
    }
  }
}

// ---------------------------------------------------------------------------
// AES-128-CTR against OpenSSL.

TEST_P(CipherPeer, AesCtrMatchesOpenSslAwayFromTheWrap) {
  std::mt19937_64 rng(32);
  for (int round = 0; round < 40; ++round) {
    const Bytes key = Random(rng, 16), plain = Random(rng, 1 + rng() % 20000);
    Bytes iv = Random(rng, 16);
    iv[12] &= 0x7f;  // far from the wrap of bytes 12-15
    Bytes ours = plain;
    Aes128CtrXor(ours.data(), std::int64_t(ours.size()), key.data(), iv.data());
    ASSERT_EQ(ours, OpenSslXor(EVP_aes_128_ctr(), key.data(), iv.data(), plain)) << "length " << plain.size();
  }
}

TEST_P(CipherPeer, AesCtrWrapsBytes12To15AndOpenSslCarriesOn) {
  std::mt19937_64 rng(33);
  const Bytes key = Random(rng, 16), plain = Random(rng, 64 * 16);
  Bytes iv = Random(rng, 16);
  std::memset(iv.data() + 12, 0xff, 4);
  iv[15] = 0xf0;  // the counter wraps after 16 blocks
  Bytes ours = plain;
  Aes128CtrXor(ours.data(), std::int64_t(ours.size()), key.data(), iv.data());

  Bytes restart = iv;
  std::memset(restart.data() + 12, 0, 4);  // bytes 0-11 as in the IV
  const Bytes expected = Concat(OpenSslXor(EVP_aes_128_ctr(), key.data(), iv.data(), Slice(plain, 0, 256)),
                                OpenSslXor(EVP_aes_128_ctr(), key.data(), restart.data(), Slice(plain, 256, 768)));
  EXPECT_EQ(ours, expected);

  // OpenSSL alone agrees only up to the wrap.
  const Bytes peer = OpenSslXor(EVP_aes_128_ctr(), key.data(), iv.data(), plain);
  EXPECT_EQ(Slice(ours, 0, 256), Slice(peer, 0, 256));
  EXPECT_NE(Slice(ours, 256, 16), Slice(peer, 256, 16));
}

// Past 4 GiB the peer starts from the counter block of the offset's block.
TEST_P(CipherPeer, AesCtrAtOffsetsPast4GiB) {
  std::mt19937_64 rng(34);
  for (int round = 0; round < 20; ++round) {
    const Bytes key = Random(rng, 16), plain = Random(rng, 3000);
    const Bytes iv = Slice(Random(rng, 16), 0, 12);
    const std::uint64_t offset = (std::uint64_t(1) << 32) + (rng() >> (24 + rng() % 24));
    const std::uint64_t index = offset / 16;
    // Counter of the offset's block: bytes 12-15 = low 32 bits of the index
    // (the IV's own tail is zero here).
    Bytes fullIv = iv;
    for (int i = 3; i >= 0; --i) fullIv.push_back(std::uint8_t(index >> (8 * i)));
    if ((index & 0xffffffffu) > 0xffffff00u) continue;  // keep the peer away from the wrap
    Bytes zeroTail = iv;
    zeroTail.resize(16, 0);
    Bytes ours = plain;
    Aes128CtrXor(ours.data(), std::int64_t(ours.size()), key.data(), zeroTail.data(), std::int64_t(offset));
    const std::size_t skip = offset % 16;
    Bytes padded(skip, 0);
    padded.insert(padded.end(), plain.begin(), plain.end());
    const Bytes peer = OpenSslXor(EVP_aes_128_ctr(), key.data(), fullIv.data(), padded);
    ASSERT_EQ(ours, Slice(peer, skip, plain.size())) << "offset " << offset;
  }
}

// ---------------------------------------------------------------------------
// ChaCha20 against OpenSSL.

TEST_P(CipherPeer, Chacha20MatchesOpenSslAtAnyOffsetBeforeTheWrap) {
  std::mt19937_64 rng(35);
  for (int round = 0; round < 60; ++round) {
    const Bytes key = Random(rng, 32), iv = Random(rng, 16), plain = Random(rng, 1 + rng() % 20000);
    const std::uint64_t offset = round < 20 ? rng() % 100000 : rng() % (std::uint64_t(1) << 37);
    Bytes ours = plain;
    Chacha20Xor(ours.data(), std::int64_t(ours.size()), key.data(), iv.data(), std::int64_t(offset));
    const std::size_t skip = offset % 64;
    Bytes padded(skip, 0);
    padded.insert(padded.end(), plain.begin(), plain.end());
    const Bytes peer = OpenSslChacha(key, iv, std::uint32_t(offset / 64), padded);
    ASSERT_EQ(ours, Slice(peer, skip, plain.size())) << "offset " << offset << " length " << plain.size();
  }
}

TEST_P(CipherPeer, Chacha20CounterWrapsWithTheSameNonceAndOpenSslCarriesOn) {
  std::mt19937_64 rng(36);
  const Bytes key = Random(rng, 32), iv = Random(rng, 16), plain = Random(rng, 40 * 64);
  const std::int64_t offset = 64 * ((std::int64_t(1) << 32) - 8);  // counter FFFFFFF8
  Bytes ours = plain;
  Chacha20Xor(ours.data(), std::int64_t(ours.size()), key.data(), iv.data(), offset);
  const Bytes expected = Concat(OpenSslChacha(key, iv, 0xfffffff8u, Slice(plain, 0, 8 * 64)),
                                OpenSslChacha(key, iv, 0, Slice(plain, 8 * 64, 32 * 64)));
  EXPECT_EQ(ours, expected);

  const Bytes peer = OpenSslChacha(key, iv, 0xfffffff8u, plain);
  EXPECT_EQ(Slice(ours, 0, 8 * 64), Slice(peer, 0, 8 * 64));
  EXPECT_NE(Slice(ours, 8 * 64, 64), Slice(peer, 8 * 64, 64));
}

// ---------------------------------------------------------------------------
// Twofish-CTR and Blowfish-CTR against libgcrypt: the same counters, carries
// and wraps included, at any offset.

// Counters whose last bytes are forced so that a carry runs through a word
// boundary, through the middle of the counter, or wraps the whole counter.
const char* const kCounterTails[] = {"", "fffffff8", "fffffffffffffff8", "fffffffffffffffffffffffffffffff8"};

// Overwrites the end of the counter (its first `size` bytes) with the tail.
void ForceTail(Bytes& counter, std::size_t size, const std::string& tail) {
  const std::size_t n = std::min(size, tail.size() / 2);
  for (std::size_t i = 0; i < n; ++i)
    counter[size - n + i] = std::uint8_t(std::stoi(tail.substr(tail.size() - 2 * (n - i), 2), nullptr, 16));
}

TEST_P(CipherPeer, TwofishCtrMatchesLibgcryptExactly) {
  std::mt19937_64 rng(37);
  for (const char* tail : kCounterTails) {
    for (int round = 0; round < 10; ++round) {
      const Bytes key = Random(rng, 16), plain = Random(rng, 1 + rng() % 20000);
      Bytes iv = Random(rng, 16);
      ForceTail(iv, 16, tail);
      TTwofishContext ctx;
      ASSERT_TRUE(ctx.SetKey(key.data(), 16));
      Bytes ours = plain;
      TwofishCtrXor(ours.data(), std::int64_t(ours.size()), ctx, iv.data());
      ASSERT_EQ(ours, GcryCtr(GCRY_CIPHER_TWOFISH128, key, iv.data(), 16, plain)) << "tail " << tail;

      const std::uint64_t offset = rng() >> (rng() % 64);
      ours = plain;
      TwofishCtrXor(ours.data(), std::int64_t(ours.size()), ctx, iv.data(), std::int64_t(offset));
      const Bytes start = AddBE(iv, offset / 16);
      const std::size_t skip = offset % 16;
      Bytes padded(skip, 0);
      padded.insert(padded.end(), plain.begin(), plain.end());
      const Bytes peer = GcryCtr(GCRY_CIPHER_TWOFISH128, key, start.data(), 16, padded);
      ASSERT_EQ(ours, Slice(peer, skip, plain.size())) << "tail " << tail << " offset " << offset;
    }
  }
}

TEST_P(CipherPeer, BlowfishCtrMatchesLibgcryptExactly) {
  std::mt19937_64 rng(38);
  for (const char* tail : kCounterTails) {
    for (int round = 0; round < 10; ++round) {
      const Bytes key = Random(rng, 16), plain = Random(rng, 1 + rng() % 20000);
      Bytes iv = Random(rng, 16);
      ForceTail(iv, 8, tail);
      TBlowfishContext ctx;
      ASSERT_TRUE(ctx.SetKey(key.data(), 16));
      Bytes ours = plain;
      BlowfishCtrXor(ours.data(), std::int64_t(ours.size()), ctx, iv.data());
      ASSERT_EQ(ours, GcryCtr(GCRY_CIPHER_BLOWFISH, key, iv.data(), 8, plain)) << "tail " << tail;

      const std::uint64_t offset = rng() >> (rng() % 64);
      ours = plain;
      BlowfishCtrXor(ours.data(), std::int64_t(ours.size()), ctx, iv.data(), std::int64_t(offset));
      const Bytes start = AddBE(Slice(iv, 0, 8), offset / 8);
      const std::size_t skip = offset % 8;
      Bytes padded(skip, 0);
      padded.insert(padded.end(), plain.begin(), plain.end());
      const Bytes peer = GcryCtr(GCRY_CIPHER_BLOWFISH, key, start.data(), 8, padded);
      ASSERT_EQ(ours, Slice(peer, skip, plain.size())) << "tail " << tail << " offset " << offset;
    }
  }
}

}  // namespace
