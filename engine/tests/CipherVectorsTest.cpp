// Known answers of the four block functions and of the engine's counter
// layouts, each group taken from the document named above it.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

// Adds one to the big-endian number in bytes [first, last) of c, wrapping
// within those bytes.
void IncrementBE(Bytes& c, std::size_t first, std::size_t last) {
  for (std::size_t i = last; i-- > first;)
    if (++c[i] != 0) break;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Both the fast paths this processor offers and the portable code must give
// the published bytes.
class BothPaths : public ::testing::TestWithParam<bool> {
 protected:
  CpuFeatures::TPortableScope scope_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Paths, BothPaths, ::testing::Values(false, true), PathName);

// ---------------------------------------------------------------------------
// AES-128 block function.

struct TBlockVector {
  const char* key;
  const char* plain;
  const char* cipher;
};

const TBlockVector kAesBlock[] = {
    // FIPS 197, Appendix B (cipher example) and Appendix C.1 (AES-128).
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    // AESAVS (NIST), ECBGFSbox128.rsp, encrypt vectors 0-3.
    {"00000000000000000000000000000000", "f34481ec3cc627bacd5dc3fb08f273e6", "0336763e966d92595a567cc9ce537f5e"},
    {"00000000000000000000000000000000", "9798c4640bad75c7c3227db910174e72", "a9a1631bf4996954ebc093957b234589"},
    {"00000000000000000000000000000000", "96ab5c2ff612d9dfaae8c31f30c42168", "ff4f8391a6a40ca5b25d23bedd44a597"},
    {"00000000000000000000000000000000", "6a118a874519e64e9963798a503f1d35", "dc43be40be0e53712f7e2bf5ca707209"},
    // AESAVS, ECBVarKey128.rsp, encrypt vectors 0, 1, 126, 127.
    {"80000000000000000000000000000000", "00000000000000000000000000000000", "0edd33d3c621e546455bd8ba1418bec8"},
    {"c0000000000000000000000000000000", "00000000000000000000000000000000", "4bc3f883450c113c64ca42e1112a9e87"},
    {"fffffffffffffffffffffffffffffffe", "00000000000000000000000000000000", "9ba4a9143f4e5d4048521c4f8877d88e"},
    {"ffffffffffffffffffffffffffffffff", "00000000000000000000000000000000", "a1f6258c877d5fcd8964484538bfc92c"},
};

TEST(AesVectors, BlockFunctionMatchesFips197AndAesavs) {
  for (const TBlockVector& v : kAesBlock) {
    const Bytes key = FromHex(v.key), plain = FromHex(v.plain);
    Bytes out(16);
    Aes128EncryptBlock(key.data(), plain.data(), out.data());
    EXPECT_EQ(ToHex(out), v.cipher) << "key " << v.key;
  }
}

// AES-128-CTR through the engine's layout: the IV is the first counter block.
// None of these vectors crosses a 32-bit wrap, so the published 128-bit
// counters and our 32-bit counter agree.
struct TStreamVector {
  const char* key;
  const char* iv;
  const char* plain;
  const char* cipher;
};

const TStreamVector kAesCtr[] = {
    // NIST SP 800-38A, F.5.1 CTR-AES128.Encrypt.
    {"2b7e151628aed2a6abf7158809cf4f3c", "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
     "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710",
     "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
     "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee"},
    // RFC 3686, section 6, test vectors #1-#3 (nonce || IV || counter 1).
    {"ae6852f8121067cc4bf7a5765577f39e", "00000030000000000000000000000001", "53696e676c6520626c6f636b206d7367",
     "e4095d4fb7a7b3792d6175a3261311b8"},
    {"7e24067817fae0d743d6ce1f32539163", "006cb6dbc0543b59da48d90b00000001",
     "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "5104a106168a72d9790d41ee8edad388eb2e1efc46da57c8fce630df9141be28"},
    {"7691be035e5020a8ac6e618529f9a0dc", "00e0017b27777f3f4a1786f000000001",
     "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20212223",
     "c1cf48a89f2ffdd9cf4652e9efdb72d74540a42bde6d7836d59a5ceaaef3105325b2072f"},
};

TEST_P(BothPaths, AesCtrMatchesSp80038aAndRfc3686) {
  for (const TStreamVector& v : kAesCtr) {
    const Bytes key = FromHex(v.key), iv = FromHex(v.iv);
    Bytes data = FromHex(v.plain);
    Aes128CtrXor(data.data(), std::int64_t(data.size()), key.data(), iv.data());
    EXPECT_EQ(ToHex(data), v.cipher) << "key " << v.key;
  }
}

// ---------------------------------------------------------------------------
// ChaCha20.

TEST(Chacha20Vectors, BlockFunctionMatchesRfc8439Section232) {
  // RFC 8439, 2.3.2: key 00..1f, nonce 000000090000004a00000000, counter 1.
  const Bytes key = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  const Bytes nonce = FromHex("000000090000004a00000000");
  Bytes out(64);
  Chacha20Block(key.data(), nonce.data(), 1, out.data());
  EXPECT_EQ(ToHex(out),
            "10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
            "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e");
}

struct TChachaVector {
  const char* key;
  const char* nonce;
  std::uint32_t counter;
  const char* plain;
  const char* cipher;
};

const TChachaVector kChacha[] = {
    // RFC 8439, 2.4.2 (the "sunscreen" example).
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "000000000000004a00000000", 1,
     "4c616469657320616e642047656e746c656d656e206f662074686520636c617373206f66202739393a20"
     "4966204920636f756c64206f6666657220796f75206f6e6c79206f6e652074697020666f722074686520"
     "6675747572652c2073756e73637265656e20776f756c642062652069742e",
     "6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0bf91b65c5524733ab8f593dabcd62b357"
     "1639d624e65152ab8f530c359f0861d807ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806818ce91ab7793736"
     "5af90bbf74a35be6b40b8eedf2785e42874d"},
    // RFC 8439, A.2 #1 (its keystream is A.1 #1).
    {"0000000000000000000000000000000000000000000000000000000000000000", "000000000000000000000000", 0,
     "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "000000000000000000000000000000",
     "76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7da41597c5157488d7724e03fb8d84a37"
     "6a43b8f41518a11cc387b669b2ee6586"},
    // RFC 8439, A.2 #3.
    {"1c9240a5eb55d38af333888604f6b5f0473917c1402b80099dca5cbc207075c0", "000000000000000000000002", 42,
     "2754776173206272696c6c69672c20616e642074686520736c6974687920746f7665730a446964206779726520616e"
     "642067696d626c6520696e2074686520776162653a0a416c6c206d696d737920776572652074686520626f726f676f"
     "7665732c0a416e6420746865206d6f6d65207261746873206f757467726162652e",
     "62e6347f95ed87a45ffae7426f27a1df5fb69110044c0d73118effa95b01e5cf166d3df2d721caf9b21e5fb14c6168"
     "71fd84c54f9d65b283196c7fe4f60553ebf39c6402c42234e32a356b3e764312a61a5532055716ead6962568f87d3f"
     "3f7704c6a8d1bcd1bf4d50d6154b6da731b187b58dfd728afa36757a797ac188d1"},
};

TEST_P(BothPaths, Chacha20MatchesRfc8439) {
  for (const TChachaVector& v : kChacha) {
    const Bytes key = FromHex(v.key), nonce = FromHex(v.nonce), plain = FromHex(v.plain);
    Bytes out(plain.size());
    Chacha20StreamXor(key.data(), nonce.data(), v.counter, plain.data(), out.data(), std::int64_t(out.size()));
    EXPECT_EQ(ToHex(out), v.cipher) << "counter " << v.counter;
  }
}

// RFC 8439 A.1 through the engine's layout: a zero cipher key and a zero IV
// make the all-zero ChaCha20 key and nonce, so offset 0 gives A.1 #1 (counter
// 0) and offset 64 gives A.1 #2 (counter 1).
TEST_P(BothPaths, Chacha20EngineLayoutReproducesRfc8439AppendixA1) {
  const Bytes cipherKey(32, 0), iv(16, 0);
  Bytes block(64, 0);
  Chacha20Xor(block.data(), 64, cipherKey.data(), iv.data(), 0);
  EXPECT_EQ(ToHex(block),
            "76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
            "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586");
  block.assign(64, 0);
  Chacha20Xor(block.data(), 64, cipherKey.data(), iv.data(), 64);
  EXPECT_EQ(ToHex(block),
            "9f07e7be5551387a98ba977c732d080dcb0f29a048e3656912c6533e32ee7aed"
            "29b721769ce64e43d57133b074d839d531ed1f28510afb45ace10a1f4b794d6f");
}

// ---------------------------------------------------------------------------
// Twofish.

// The Twofish paper's 128-bit known-answer table (ecb_tbl.txt, KEYSIZE=128):
// I=1 encrypts a zero block under a zero key; every later row takes the
// previous row's plaintext as its key and the previous ciphertext as its
// plaintext.
struct TChainRow {
  int i;
  const char* cipher;
};
const TChainRow kTwofishChain128[] = {
    {1, "9F589F5CF6122C32B6BFEC2F2AE8C35A"},  {2, "D491DB16E7B1C39E86CB086B789F5419"},
    {3, "019F9809DE1711858FAAC3A3BA20FBC3"},  {4, "6363977DE839486297E661C6C9D668EB"},
    {5, "816D5BD0FAE35342BF2A7412C246F752"},  {6, "5449ECA008FF5921155F598AF4CED4D0"},
    {49, "5D9D4EEFFA9151575524F115815A12E0"},
};

TEST(TwofishVectors, PaperTable128Chain) {
  Bytes key(16, 0), plain(16, 0), cipher(16);
  std::size_t row = 0;
  TTwofishContext ctx;
  for (int i = 1; i <= 49; ++i) {
    ASSERT_TRUE(ctx.SetKey(key.data(), 16));
    ctx.EncryptBlock(plain.data(), cipher.data());
    if (row < std::size(kTwofishChain128) && kTwofishChain128[row].i == i) {
      EXPECT_EQ(ToHex(cipher), Lower(kTwofishChain128[row].cipher)) << "I=" << i;
      ++row;
    }
    key = plain;
    plain = cipher;
  }
  EXPECT_EQ(row, std::size(kTwofishChain128));
}

// The Twofish paper, appendix "Test vectors" (full keys of each size, zero
// plaintext). The engine keys Twofish with 16 bytes; the schedule takes all
// three sizes.
const TBlockVector kTwofishKeySizes[] = {
    {"00000000000000000000000000000000", "00000000000000000000000000000000", "9f589f5cf6122c32b6bfec2f2ae8c35a"},
    {"0123456789abcdeffedcba98765432100011223344556677", "00000000000000000000000000000000",
     "cfd1d2e5a9be9cdf501f13b892bd2248"},
    {"0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff", "00000000000000000000000000000000",
     "37527be0052334b89f0cfccae87cfa20"},
};

TEST(TwofishVectors, KeysOf128192And256Bits) {
  for (const TBlockVector& v : kTwofishKeySizes) {
    const Bytes key = FromHex(v.key), plain = FromHex(v.plain);
    TTwofishContext ctx;
    ASSERT_TRUE(ctx.SetKey(key.data(), int(key.size())));
    Bytes out(16);
    ctx.EncryptBlock(plain.data(), out.data());
    EXPECT_EQ(ToHex(out), v.cipher) << "key " << v.key;
  }
}

// ---------------------------------------------------------------------------
// Blowfish.

// The standard Blowfish ECB vectors (Schneier's vectors.txt, as reformatted in
// bf-ecb.txt): 8-byte keys, then the variable-key set of 4 to 24 bytes. The
// 16-byte key of the variable set is the engine's key size.
const TBlockVector kBlowfish[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    {"F0E1D2C3", "FEDCBA9876543210", "BE1E639408640F05"},
    {"F0E1D2C3B4A5", "FEDCBA9876543210", "9457AA83B1928C0D"},
    {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
    {"F0E1D2C3B4A5968778695A", "FEDCBA9876543210", "3A833C9AFFC537F6"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E", "FEDCBA9876543210", "79D9373A714CA34F"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F", "FEDCBA9876543210", "93142887EE3BE15C"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F00", "FEDCBA9876543210", "03429E838CE2D14B"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
};

TEST(BlowfishVectors, StandardEcbVectors) {
  for (const TBlockVector& v : kBlowfish) {
    const Bytes key = FromHex(v.key), plain = FromHex(v.plain);
    TBlowfishContext ctx;
    ASSERT_TRUE(ctx.SetKey(key.data(), int(key.size())));
    Bytes out(8);
    ctx.EncryptBlock(plain.data(), out.data());
    EXPECT_EQ(ToHex(out), Lower(v.cipher)) << "key " << v.key;
  }
}

// The schedule cycles the key bytes, so an 8-byte vector holds for the
// engine's 16-byte key made of the 8 bytes twice.
TEST(BlowfishVectors, EightByteVectorHoldsForItsKeyDoubled) {
  const Bytes key = FromHex("FEDCBA9876543210FEDCBA9876543210"), plain = FromHex("0123456789ABCDEF");
  TBlowfishContext ctx;
  ASSERT_TRUE(ctx.SetKey(key.data(), 16));
  Bytes out(8);
  ctx.EncryptBlock(plain.data(), out.data());
  EXPECT_EQ(ToHex(out), "0aceab0fc6a0a28d");
}

// ---------------------------------------------------------------------------
// The counter layouts through the dispatch, pinned to the block functions
// above: the first keystream blocks of each cipher for a fixed key and IV.

TEST_P(BothPaths, DispatchFirstBlocksFollowEachLayout) {
  const Bytes key = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  const Bytes iv = FromHex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
  TTwofishContext twofish;
  TBlowfishContext blowfish;
  ASSERT_TRUE(twofish.SetKey(key.data(), 16));
  ASSERT_TRUE(blowfish.SetKey(key.data(), 16));

  auto stream = [&](int code) {
    Bytes data(128, 0);
    CtrCipherApply(code, data.data(), std::int64_t(data.size()), false, 0, twofish, blowfish, iv.data(), key.data());
    return data;
  };

  // AES: counter blocks IV, IV+1, ... in bytes 12-15.
  {
    const Bytes ks = stream(ccAes128Ctr);
    Bytes counter = iv, block(16);
    for (int b = 0; b < 8; ++b) {
      Aes128EncryptBlock(key.data(), counter.data(), block.data());
      EXPECT_EQ(ToHex(Bytes(ks.begin() + 16 * b, ks.begin() + 16 * b + 16)), ToHex(block)) << "AES block " << b;
      IncrementBE(counter, 12, 16);
    }
  }
  // Blowfish: IV bytes 0-7 as the counter, big-endian halves.
  {
    const Bytes ks = stream(ccBlowfishCtr);
    Bytes counter(iv.begin(), iv.begin() + 8), block(8);
    for (int b = 0; b < 16; ++b) {
      blowfish.EncryptBlock(counter.data(), block.data());
      EXPECT_EQ(ToHex(Bytes(ks.begin() + 8 * b, ks.begin() + 8 * b + 8)), ToHex(block)) << "Blowfish block " << b;
      IncrementBE(counter, 0, 8);
    }
  }
  // ChaCha20: key = cipher key 0-15 || IV, nonce = IV 0-11, counter 0, 1.
  {
    const Bytes ks = stream(ccChaCha20);
    Bytes chachaKey(key.begin(), key.begin() + 16);
    chachaKey.insert(chachaKey.end(), iv.begin(), iv.end());
    Bytes block(64);
    for (std::uint32_t b = 0; b < 2; ++b) {
      Chacha20Block(chachaKey.data(), iv.data(), b, block.data());
      EXPECT_EQ(ToHex(Bytes(ks.begin() + 64 * b, ks.begin() + 64 * b + 64)), ToHex(block)) << "ChaCha20 block " << b;
    }
  }
  // Twofish: the whole IV as the counter.
  {
    const Bytes ks = stream(ccTwofishCtr);
    Bytes counter = iv, block(16);
    for (int b = 0; b < 8; ++b) {
      twofish.EncryptBlock(counter.data(), block.data());
      EXPECT_EQ(ToHex(Bytes(ks.begin() + 16 * b, ks.begin() + 16 * b + 16)), ToHex(block)) << "Twofish block " << b;
      IncrementBE(counter, 0, 16);
    }
  }
}

}  // namespace
