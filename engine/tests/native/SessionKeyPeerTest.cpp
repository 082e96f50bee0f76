// The session key against OpenSSL's PBKDF2-HMAC-SHA256, passwords longer
// than 200 bytes included (the session key uses the whole password).

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>

#include "engine/QEnc.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

TEST(SessionKeyPeer, MatchesOpenSsl) {
  for (int iterations : {5000, 7001}) {
    for (const std::string& password : {std::string("password"), std::string("\xE4\xF6\xFC-Pass"),
                                       std::string(300, 'L') + "tail"}) {
      TQEnc q;
      q.SetIterations(iterations);
      unsigned char out[32];
      ASSERT_EQ(PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                                  reinterpret_cast<const unsigned char*>("Tq4-Morrow-Salt9"), 16, iterations,
                                  EVP_sha256(), 32, out),
                1);
      EXPECT_EQ(q.DeriveSessionKey(password), QEncTest::ToHex(out, 32)) << password.size();
    }
  }
}

}  // namespace
