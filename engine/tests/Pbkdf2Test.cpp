#include "engine/Pbkdf2.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CpuFeatures.h"
#include "engine/Hmac.h"
#include "engine/tests/HashTestUtil.h"

namespace {

using HashTest::ToHex;

std::string Derive(const std::string& password, const std::string& salt, std::uint32_t iterations,
                   std::size_t length) {
  std::vector<std::uint8_t> out(length);
  EXPECT_TRUE(Pbkdf2HmacSha256(password.data(), static_cast<std::int64_t>(password.size()), salt.data(),
                               static_cast<std::int64_t>(salt.size()), out.data(),
                               static_cast<std::int64_t>(length), iterations));
  return ToHex(out);
}

// PBKDF2 written straight from RFC 8018 section 5.2 on the one-shot HMAC:
// slow, but independent of the pre-keyed contexts and the block kernels.
std::string DeriveByDefinition(const std::vector<std::uint8_t>& password, const std::vector<std::uint8_t>& salt,
                               std::uint32_t iterations, std::size_t length) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t i = 1; out.size() < length; ++i) {
    std::vector<std::uint8_t> msg = salt;
    for (int shift = 24; shift >= 0; shift -= 8) msg.push_back(static_cast<std::uint8_t>(i >> shift));
    std::uint8_t u[32], t[32];
    HmacSha256(password.data(), static_cast<std::int64_t>(password.size()), msg.data(),
               static_cast<std::int64_t>(msg.size()), u);
    std::copy(u, u + 32, t);
    for (std::uint32_t c = 1; c < iterations; ++c) {
      HmacSha256(password.data(), static_cast<std::int64_t>(password.size()), u, 32, u);
      for (int k = 0; k < 32; ++k) t[k] ^= u[k];
    }
    out.insert(out.end(), t, t + 32);
  }
  out.resize(length);
  return ToHex(out);
}

struct TPbkdf2Vector {
  const char* password;
  std::size_t passwordLength;
  const char* salt;
  std::size_t saltLength;
  std::uint32_t iterations;
  std::size_t length;
  const char* derived;
};

// RFC 7914 (scrypt), section 11: the two PBKDF2-HMAC-SHA256 vectors, both
// 64 bytes (two output blocks).
const TPbkdf2Vector kRfc7914[] = {
    {"passwd", 6, "salt", 4, 1, 64,
     "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
     "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
    {"Password", 8, "NaCl", 4, 80000, 64,
     "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
     "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
};

// The SHA-256 counterparts of the RFC 6070 inputs, as widely published
// (not normative; each value checked against OpenSSL and Python's hashlib).
// They add 32-byte, 40-byte (one block and a partial one) and 16-byte
// outputs and inputs with embedded zero bytes.
const TPbkdf2Vector kRfc6070Inputs[] = {
    {"password", 8, "salt", 4, 1, 32, "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
    {"password", 8, "salt", 4, 2, 32, "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
    {"password", 8, "salt", 4, 4096, 32, "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
    {"passwordPASSWORDpassword", 24, "saltSALTsaltSALTsaltSALTsaltSALTsalt", 36, 4096, 40,
     "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"},
    {"pass\0word", 9, "sa\0lt", 5, 4096, 16, "89b69d0516f829893c696226650a8687"},
};

class Pbkdf2Paths : public ::testing::TestWithParam<bool> {
 protected:
  CpuFeatures::TPortableScope path_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Engine, Pbkdf2Paths, ::testing::Values(false, true), HashTest::PathName);

TEST_P(Pbkdf2Paths, PublishedVectors) {
  for (const auto* table : {&kRfc7914[0], &kRfc6070Inputs[0]}) {
    const std::size_t count = table == kRfc7914 ? std::size(kRfc7914) : std::size(kRfc6070Inputs);
    for (std::size_t i = 0; i < count; ++i) {
      const TPbkdf2Vector& v = table[i];
      EXPECT_EQ(Derive(std::string(v.password, v.passwordLength), std::string(v.salt, v.saltLength), v.iterations,
                       v.length),
                v.derived)
          << v.password << " / " << v.iterations;
    }
  }
}

TEST_P(Pbkdf2Paths, PartialLastBlocksArePrefixesOfTheWholeOutput) {
  // 48 and 64 bytes are what the container asks for (cipher key + MAC key);
  // any shorter output is a prefix of a longer one.
  const std::string full = Derive("Password", "NaCl", 1000, 100);
  for (std::size_t len : {1u, 20u, 31u, 32u, 33u, 48u, 64u, 65u, 99u})
    EXPECT_EQ(Derive("Password", "NaCl", 1000, len), full.substr(0, 2 * len)) << len;
}

TEST_P(Pbkdf2Paths, ZeroIterationsCountAsOne) {
  EXPECT_EQ(Derive("password", "salt", 0, 48), Derive("password", "salt", 1, 48));
  EXPECT_EQ(Derive("password", "salt", 0, 32), kRfc6070Inputs[0].derived);
}

TEST_P(Pbkdf2Paths, MatchesTheDefinitionForAnySaltLength) {
  // Salts of 61 to 64 bytes leave no room for the block index in a 64-byte
  // work area, and longer salts must be used whole, not cut.
  HashTest::TTestRandom rnd(5);
  for (std::size_t saltLen : {0u, 16u, 55u, 56u, 59u, 60u, 61u, 62u, 63u, 64u, 65u, 100u, 200u}) {
    const auto password = rnd.Fill(rnd.Below(80));
    const auto salt = rnd.Fill(saltLen);
    const std::uint32_t iterations = 1 + rnd.Below(40);
    const std::size_t length = 1 + rnd.Below(130);
    std::vector<std::uint8_t> out(length);
    ASSERT_TRUE(Pbkdf2HmacSha256(password.data(), static_cast<std::int64_t>(password.size()), salt.data(),
                                 static_cast<std::int64_t>(saltLen), out.data(), static_cast<std::int64_t>(length),
                                 iterations));
    EXPECT_EQ(ToHex(out), DeriveByDefinition(password, salt, iterations, length)) << "salt " << saltLen;
  }
}

TEST_P(Pbkdf2Paths, EmptyPasswordIsValid) {
  const char empty[1] = {0};
  std::vector<std::uint8_t> out(32);
  ASSERT_TRUE(Pbkdf2HmacSha256(empty, 0, "salt", 4, out.data(), 32, 3));
  EXPECT_EQ(ToHex(out), DeriveByDefinition({}, HashTest::Bytes("salt"), 3, 32));
}

TEST_P(Pbkdf2Paths, SessionKeyShape) {
  // A text password, the fixed 16-byte session salt, the engine's floor of
  // 5000 iterations, 32 bytes; value from `openssl kdf ... PBKDF2`.
  EXPECT_EQ(Derive("password", "Tq4-Morrow-Salt9", 5000, 32),
            "5ec48b033472191c1eb919eb19aef460a4acacd4143d1db29bb8fe685d1c7ab0");
}

// The derived key must not stay behind in the stack memory that the
// derivation and its kernels used, where any later call could find it.
[[gnu::noinline]] void DeriveSessionShapedKey(std::uint8_t out[32]) {
  Pbkdf2HmacSha256("password", 8, "Tq4-Morrow-Salt9", 16, out, 32, 5000);
}

// How many 32-bit words of the stack below the caller's frame equal one of
// the key's eight words (as the kernels hold them: in native order).
[[gnu::noinline]] int KeyWordsBelowTheCaller(const std::uint32_t (&words)[8]) {
  std::uint32_t area[4096];
  // The area holds what earlier, deeper calls left there; the compiler must
  // not take it for uninitialised.
  __asm__ volatile("" : : "r"(area) : "memory");
  int hits = 0;
  for (std::uint32_t v : area)
    for (std::uint32_t w : words) hits += v == w;
  return hits;
}

TEST_P(Pbkdf2Paths, LeavesNoCopyOfTheKeyOnTheStack) {
  std::uint8_t key[32];
  DeriveSessionShapedKey(key);
  std::uint32_t words[8];
  for (int w = 0; w < 8; ++w)
    words[w] = (std::uint32_t(key[4 * w]) << 24) | (std::uint32_t(key[4 * w + 1]) << 16) |
               (std::uint32_t(key[4 * w + 2]) << 8) | std::uint32_t(key[4 * w + 3]);
  EXPECT_EQ(KeyWordsBelowTheCaller(words), 0);
}

TEST(Pbkdf2, InvalidArgumentsWriteNothing) {
  std::uint8_t out[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::uint8_t untouched[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  struct {
    const char* name;
    const void* password;
    std::int64_t passwordLength;
    std::uint8_t* out;
    std::int64_t outLength;
  } const cases[] = {
      {"null password", nullptr, 0, out, 8},
      {"negative password length", "pw", -1, out, 8},
      {"null output", "pw", 2, nullptr, 8},
      {"zero output length", "pw", 2, out, 0},
      {"negative output length", "pw", 2, out, -5},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Pbkdf2HmacSha256(c.password, c.passwordLength, "salt", 4, c.out, c.outLength, 1)) << c.name;
    EXPECT_EQ(ToHex(out, 8), ToHex(untouched, 8)) << c.name;
  }
}

TEST(Pbkdf2, NullSaltIsTheEmptySalt) {
  std::uint8_t a[32], b[32];
  ASSERT_TRUE(Pbkdf2HmacSha256("pw", 2, nullptr, 16, a, 32, 2));
  ASSERT_TRUE(Pbkdf2HmacSha256("pw", 2, "", 0, b, 32, 2));
  EXPECT_EQ(ToHex(a, 32), ToHex(b, 32));
}

TEST(Pbkdf2, FastPathEqualsPortablePath) {
  if (!CpuFeatures::Detected().SHA) GTEST_SKIP() << "this processor has no SHA extensions";
  HashTest::TTestRandom rnd(99);
  for (int round = 0; round < 60; ++round) {
    const auto password = rnd.Fill(rnd.Below(150));
    const auto salt = rnd.Fill(rnd.Below(40));
    const std::uint32_t iterations = 1 + rnd.Below(300);
    const std::size_t length = 1 + rnd.Below(200);
    std::vector<std::uint8_t> fast(length), portable(length);
    auto run = [&](std::vector<std::uint8_t>& out) {
      return Pbkdf2HmacSha256(password.data(), static_cast<std::int64_t>(password.size()), salt.data(),
                              static_cast<std::int64_t>(salt.size()), out.data(),
                              static_cast<std::int64_t>(length), iterations);
    };
    ASSERT_TRUE(run(fast));
    {
      CpuFeatures::TPortableScope forced;
      ASSERT_TRUE(run(portable));
    }
    ASSERT_EQ(ToHex(fast), ToHex(portable)) << "round " << round;
  }
}

}  // namespace
