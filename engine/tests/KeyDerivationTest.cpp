// Key derivation for the container: several PBKDF2 keys side by side on
// worker threads give exactly the bytes of one-after-another derivation, and
// the process-wide key cache names, keeps and hands back stage keys.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/CpuFeatures.h"
#include "engine/KeyCache.h"
#include "engine/KeyDerivation.h"
#include "engine/Pbkdf2.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;

struct TJobSpec {
  std::string Password;
  Bytes Salt;
  std::uint32_t Iterations;
  std::int64_t Length;
};

// Jobs of every shape the container uses (48 and 64 bytes) and the edges
// around a block: a partial first block, exactly one, one and a bit, odd
// counts, iteration counts 0 and 1.
std::vector<TJobSpec> Specs() {
  return {
      {"stage one", Pattern(16, 1), 3000, 48}, {"stage two", Pattern(16, 2), 3000, 64},
      {"stage three", Pattern(16, 3), 2999, 48}, {"", Pattern(16, 4), 17, 1},
      {"x", Pattern(4, 5), 0, 31},             {"y", Pattern(64, 6), 1, 32},
      {std::string(200, 'p'), Pattern(16, 7), 5, 33}, {"z", {}, 2, 96},
      {"w", Pattern(16, 8), 4, 100},
  };
}

std::vector<Bytes> Reference(const std::vector<TJobSpec>& specs) {
  std::vector<Bytes> out;
  for (const TJobSpec& s : specs) {
    Bytes b(static_cast<std::size_t>(s.Length));
    EXPECT_TRUE(Pbkdf2HmacSha256(s.Password.data(), static_cast<std::int64_t>(s.Password.size()), s.Salt.data(),
                                 static_cast<std::int64_t>(s.Salt.size()), b.data(), s.Length, s.Iterations));
    out.push_back(b);
  }
  return out;
}

TEST(KeyDerivation, ManyKeysGiveTheBytesOfOneAfterAnother) {
  const std::vector<TJobSpec> specs = Specs();
  for (bool portable : {false, true}) {
    CpuFeatures::TPortableScope path(portable);
    const std::vector<Bytes> expected = Reference(specs);
    for (TPbkdf2Threads threads : {TPbkdf2Threads::Never, TPbkdf2Threads::Always, TPbkdf2Threads::Automatic}) {
      std::vector<Bytes> out;
      std::vector<TPbkdf2Job> jobs;
      for (const TJobSpec& s : specs) out.emplace_back(static_cast<std::size_t>(s.Length), 0xEE);
      for (std::size_t i = 0; i < specs.size(); ++i) {
        TPbkdf2Job j;
        j.Password = specs[i].Password.data();
        j.PasswordLength = static_cast<std::int64_t>(specs[i].Password.size());
        j.Salt = specs[i].Salt.data();
        j.SaltLength = static_cast<std::int64_t>(specs[i].Salt.size());
        j.Iterations = specs[i].Iterations;
        j.Out = out[i].data();
        j.OutLength = specs[i].Length;
        jobs.push_back(j);
      }
      ASSERT_TRUE(Pbkdf2HmacSha256Many(jobs.data(), static_cast<int>(jobs.size()), threads));
      for (std::size_t i = 0; i < specs.size(); ++i)
        EXPECT_EQ(ToHex(out[i]), ToHex(expected[i])) << "job " << i << " portable " << portable << " threads "
                                                     << static_cast<int>(threads);
    }
  }
}

// RFC 7914, section 11: the published vector through the many-keys form.
TEST(KeyDerivation, PublishedVector) {
  std::uint8_t out[64];
  TPbkdf2Job j;
  j.Password = "passwd";
  j.PasswordLength = 6;
  j.Salt = "salt";
  j.SaltLength = 4;
  j.Iterations = 1;
  j.Out = out;
  j.OutLength = 64;
  ASSERT_TRUE(Pbkdf2HmacSha256Many(&j, 1, TPbkdf2Threads::Always));
  EXPECT_EQ(ToHex(out, 64),
            "55AC046E56E3089FEC1691C22544B605F94185216DDE0465E68B9D57C20DACBC"
            "49CA9CCCF179B645991664B39D77EF317C71B845B1E30BD509112041D3A19783");
}

TEST(KeyDerivation, RefusesBadJobsWithoutWriting) {
  std::uint8_t out[16] = {};
  const TPbkdf2Job good{"p", 1, "s", 1, 1, out, 16};
  struct TCase {
    const char* Name;
    TPbkdf2Job Job;
  } cases[] = {
      {"null password", {nullptr, 1, "s", 1, 1, out, 16}},
      {"negative length", {"p", -1, "s", 1, 1, out, 16}},
      {"null output", {"p", 1, "s", 1, 1, nullptr, 16}},
      {"empty output", {"p", 1, "s", 1, 1, out, 0}},
      {"huge output", {"p", 1, "s", 1, 1, out, 8193}},
  };
  for (const TCase& c : cases) {
    const TPbkdf2Job jobs[2] = {good, c.Job};
    EXPECT_FALSE(Pbkdf2HmacSha256Many(jobs, 2)) << c.Name;
    EXPECT_EQ(ToHex(out, 16), std::string(32, '0')) << c.Name;
  }
  EXPECT_TRUE(Pbkdf2HmacSha256Many(nullptr, 0));
}

// ---- The key cache ----

TEST(KeyCache, EntryNames) {
  const Bytes salt = FromHex("00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(TQEncKeyCache::MakeKey("pw|QENC3-STAGE|1|ALG|2", 200000, 32, salt.data()),
            "pw|QENC3-STAGE|1|ALG|2|200000|32|00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(TQEncKeyCache::MakeKey("", 0, 16, salt.data()), "|0|16|00112233445566778899AABBCCDDEEFF");
}

TEST(KeyCache, StageKeysAreTheDerivedBytesSplitAndCached) {
  TQEncKeyCache::Clear();
  const Bytes salt1 = Pattern(16, 11), salt2 = Pattern(16, 12);
  TQEncStageKeyRequest r[2];
  r[0].StagePassword = "first";
  r[0].Salt = salt1.data();
  r[0].Iterations = 1000;
  r[0].CipherKeyLength = 16;
  r[1].StagePassword = "second";
  r[1].Salt = salt2.data();
  r[1].Iterations = 1000;
  r[1].CipherKeyLength = 32;
  TQEncKeyCacheEntry k[2];
  ASSERT_TRUE(DeriveStageKeys(r, 2, k));
  EXPECT_EQ(TQEncKeyCache::Count(), 2u);

  for (int s = 0; s < 2; ++s) {
    const int length = r[s].CipherKeyLength;
    Bytes derived(static_cast<std::size_t>(length + 32));
    ASSERT_TRUE(Pbkdf2HmacSha256(r[s].StagePassword.data(), static_cast<std::int64_t>(r[s].StagePassword.size()),
                                 r[s].Salt, 16, derived.data(), length + 32, 1000));
    EXPECT_EQ(k[s].CipherKeyLength, length);
    EXPECT_EQ(ToHex(k[s].CipherKey, static_cast<std::size_t>(length)), ToHex(derived.data(), static_cast<std::size_t>(length)));
    EXPECT_EQ(ToHex(k[s].MacKey, 32), ToHex(derived.data() + length, 32));
  }

  // A second request finds both in the cache.
  TQEncKeyCacheEntry again[2];
  ASSERT_TRUE(DeriveStageKeys(r, 2, again));
  EXPECT_EQ(TQEncKeyCache::Count(), 2u);
  EXPECT_EQ(0, std::memcmp(again, k, sizeof k));

  // Another count, length or salt is another entry.
  r[0].Iterations = 1001;
  ASSERT_TRUE(DeriveStageKeys(r, 1, again));
  EXPECT_EQ(TQEncKeyCache::Count(), 3u);
  TQEncKeyCache::Clear();
  EXPECT_EQ(TQEncKeyCache::Count(), 0u);
}

// PBKDF2 takes the first 200 bytes of a stage password; the cache keeps the
// whole password in the entry's name.
TEST(KeyCache, PasswordsAreCutAt200Bytes) {
  TQEncKeyCache::Clear();
  const Bytes salt = Pattern(16, 13);
  auto derive = [&](const std::string& password, TQEncKeyCacheEntry& k) {
    TQEncStageKeyRequest r;
    r.StagePassword = password;
    r.Salt = salt.data();
    r.Iterations = 10;
    r.CipherKeyLength = 16;
    ASSERT_TRUE(DeriveStageKeys(&r, 1, &k));
  };
  TQEncKeyCacheEntry a, b, c;
  derive(std::string(200, 'k'), a);
  derive(std::string(200, 'k') + "tail", b);
  derive(std::string(199, 'k'), c);
  EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
  EXPECT_NE(0, std::memcmp(&a, &c, sizeof a));
  EXPECT_EQ(TQEncKeyCache::Count(), 3u);
  TQEncKeyCache::Clear();
}

TEST(KeyCache, RefusesBadRequests) {
  const Bytes salt = Pattern(16);
  TQEncStageKeyRequest r;
  r.StagePassword = "p";
  r.Salt = salt.data();
  r.CipherKeyLength = 24;
  TQEncKeyCacheEntry k;
  EXPECT_FALSE(DeriveStageKeys(&r, 1, &k));
  r.CipherKeyLength = 16;
  r.Salt = nullptr;
  EXPECT_FALSE(DeriveStageKeys(&r, 1, &k));
  EXPECT_FALSE(DeriveStageKeys(&r, 4, &k));
}

// The cache takes its own lock: engines on several threads may derive and
// clear at once.
TEST(KeyCache, SharedAcrossThreads) {
  TQEncKeyCache::Clear();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      const Bytes salt = Pattern(16, static_cast<unsigned>(100 + t));
      for (int i = 0; i < 50; ++i) {
        TQEncStageKeyRequest r;
        r.StagePassword = "thread " + std::to_string(t) + " " + std::to_string(i % 5);
        r.Salt = salt.data();
        r.Iterations = 2;
        r.CipherKeyLength = 16;
        TQEncKeyCacheEntry k;
        if (!DeriveStageKeys(&r, 1, &k)) std::abort();
        if (i == 25 && t == 0) TQEncKeyCache::Clear();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_LE(TQEncKeyCache::Count(), 20u);
  TQEncKeyCache::Clear();
}

}  // namespace
