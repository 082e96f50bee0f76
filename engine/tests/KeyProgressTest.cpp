// Key derivation that reports its progress and stops on request: a header
// claiming the largest iteration count must never hold the caller for
// minutes, and slicing the rounds must not change a single byte.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/CpuFeatures.h"
#include "engine/KeyCache.h"
#include "engine/KeyDerivation.h"
#include "engine/Pbkdf2.h"
#include "engine/QEnc.h"
#include "engine/QEncContainer.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Without a stop, the result does not run for minutes: a derivation that
// ignored the stop at the largest count would take far longer than this.
constexpr double kFarFromMinutes = 20.0;

TEST(KeyProgress, ReportedRoundsClimbToTheTotalAndTheBytesStayThoseOfOneRun) {
  // Counts around the slice of rounds between two reports, one and two
  // blocks, each thread mode.
  for (std::uint32_t iterations : {1u, 8192u, 8193u, 20000u, 40001u}) {
    for (TPbkdf2Threads threads : {TPbkdf2Threads::Never, TPbkdf2Threads::Always}) {
      const Bytes salt = Pattern(16, 3);
      const std::string password = "correct horse";
      Bytes expected(64), got(64);
      ASSERT_TRUE(Pbkdf2HmacSha256(password.data(), static_cast<std::int64_t>(password.size()), salt.data(), 16,
                                   expected.data(), 64, iterations));
      TPbkdf2Job job;
      job.Password = password.data();
      job.PasswordLength = static_cast<std::int64_t>(password.size());
      job.Salt = salt.data();
      job.SaltLength = 16;
      job.Iterations = iterations;
      job.Out = got.data();
      job.OutLength = 64;
      std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
      const auto caller = std::this_thread::get_id();
      bool otherThread = false;
      bool stopped = true;
      ASSERT_TRUE(Pbkdf2HmacSha256Many(
          &job, 1, threads,
          [&](std::uint64_t done, std::uint64_t total) {
            if (std::this_thread::get_id() != caller) otherThread = true;
            reports.emplace_back(done, total);
            return true;
          },
          &stopped));
      EXPECT_FALSE(stopped);
      EXPECT_EQ(ToHex(got), ToHex(expected)) << iterations;
      EXPECT_FALSE(otherThread) << "reports come on the calling thread only";
      ASSERT_FALSE(reports.empty());
      for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GE(reports[i].first, reports[i - 1].first);
      // Two blocks of `iterations` rounds each, whichever thread ran them.
      EXPECT_EQ(reports.front().second, 2ull * iterations);
      if (threads == TPbkdf2Threads::Never) {
        EXPECT_EQ(reports.back().first, reports.back().second);
      }
      EXPECT_LE(reports.back().first, reports.back().second);
    }
  }
}

TEST(KeyProgress, AStopEndsTheLargestCountAtOnceAndHandsOutNothing) {
  for (TPbkdf2Threads threads : {TPbkdf2Threads::Never, TPbkdf2Threads::Always}) {
    // Three stages, as a three-cipher cascade derives them.
    Bytes out[3] = {Bytes(48, 0xAA), Bytes(64, 0xAA), Bytes(48, 0xAA)};
    const Bytes salt = Pattern(16, 9);
    TPbkdf2Job jobs[3];
    for (int j = 0; j < 3; ++j) {
      jobs[j].Password = "pw";
      jobs[j].PasswordLength = 2;
      jobs[j].Salt = salt.data();
      jobs[j].SaltLength = 16;
      jobs[j].Iterations = QEncFormat::MaxIterations;
      jobs[j].Out = out[j].data();
      jobs[j].OutLength = static_cast<std::int64_t>(out[j].size());
    }
    int calls = 0;
    bool stopped = false;
    const auto start = Clock::now();
    EXPECT_FALSE(Pbkdf2HmacSha256Many(
        jobs, 3, threads, [&](std::uint64_t, std::uint64_t) { return ++calls < 3; }, &stopped));
    const double seconds = SecondsSince(start);
    EXPECT_TRUE(stopped);
    EXPECT_LT(seconds, kFarFromMinutes);
    for (const Bytes& b : out) EXPECT_EQ(ToHex(b), std::string(b.size() * 2, '0'));
    std::printf("stopped after %d reports in %.3f s\n", calls, seconds);
  }
}

// A real container whose header was made to claim the largest count: the
// tag cannot be checked before the keys exist, so the count is believed.
std::string ContainerClaimingMaxIterations(TQEncAlgorithm a1, TQEncAlgorithm a2) {
  TQEnc q;
  q.SetFastMode(false);
  q.SetIterations(5000);
  q.SetAlgorithm(a1);
  q.SetAlgorithm2(a2);
  q.SetKey("master");
  std::string c = q.EncryptString("the vault text", "");
  const int at = a2 == qeaNone ? QEncFormat::V2::Iterations : QEncFormat::V3::Iterations;
  const std::uint32_t count = QEncFormat::MaxIterations;
  for (int i = 0; i < 4; ++i) c[static_cast<std::size_t>(at + i)] = static_cast<char>(count >> (8 * i));
  return c;
}

TEST(KeyProgress, ACancelledContainerReadEndsWithCanceledAndCachesNothing) {
  struct TCase {
    const char* Name;
    TQEncAlgorithm A1, A2;
    bool FromOtherThread;  // Cancel() from elsewhere instead of the event's Cancel
  };
  const TCase cases[] = {
      {"one cipher, event", qeaAES128CTR, qeaNone, false},
      {"cascade, event", qeaTwofishCTR, qeaChaCha20, false},
      {"one cipher, Cancel from another thread", qeaAES128CTR, qeaNone, true},
  };
  for (const TCase& c : cases) {
    const std::string container = ContainerClaimingMaxIterations(c.A1, c.A2);
    TQEnc q;
    TQEncKeyCache::Clear();
    q.SetKey("master");
    int events = 0;
    int lastPosition = -1;
    bool climbing = true;
    std::thread canceller;
    q.OnKeyProgress = [&](TObject* sender, int position, int max, bool& cancel) {
      EXPECT_EQ(sender, &q);
      EXPECT_EQ(max, 1000);
      if (position < lastPosition) climbing = false;
      lastPosition = position;
      if (++events == 3) {
        if (c.FromOtherThread)
          canceller = std::thread([&q] { q.Cancel(); });
        else
          cancel = true;
      }
    };
    const auto start = Clock::now();
    const std::string plain = q.DecryptString(container, "");
    const double seconds = SecondsSince(start);
    if (canceller.joinable()) canceller.join();
    EXPECT_EQ(plain, "") << c.Name;
    EXPECT_EQ(q.LastError(), ErrCanceled) << c.Name;
    EXPECT_GE(events, 3) << c.Name;
    EXPECT_TRUE(climbing) << c.Name;
    EXPECT_LT(seconds, kFarFromMinutes) << c.Name;
    EXPECT_EQ(TQEncKeyCache::Count(), 0u) << c.Name << ": a stopped derivation leaves no key behind";
    std::printf("%s: cancelled read returned in %.3f s\n", c.Name, seconds);
  }
}

TEST(KeyProgress, ASessionKeyDerivationCancelsAndTheNextOneRunsAgain) {
  TQEnc q;
  q.SetIterations(QEncFormat::MaxIterations);
  q.OnKeyProgress = [](TObject*, int, int, bool& cancel) { cancel = true; };
  const auto start = Clock::now();
  EXPECT_EQ(q.DeriveSessionKey("master"), "");
  EXPECT_LT(SecondsSince(start), kFarFromMinutes);
  EXPECT_TRUE(q.CancelRequested());
  EXPECT_EQ(q.LastError(), ErrCanceled);

  // The next derivation clears the request; events climb to the end.
  q.SetIterations(5000);
  std::vector<int> positions;
  q.OnKeyProgress = [&](TObject*, int position, int, bool&) { positions.push_back(position); };
  EXPECT_EQ(q.DeriveSessionKey("password"), "5EC48B033472191C1EB919EB19AEF460A4ACACD4143D1DB29BB8FE685D1C7AB0");
  EXPECT_FALSE(q.CancelRequested());
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), 1000);
}

TEST(KeyProgress, ACancelledEncryptionWritesNoContainer) {
  TQEnc q;
  q.SetFastMode(false);
  q.SetIterations(QEncFormat::MaxIterations);
  q.SetKey("master");
  q.OnKeyProgress = [](TObject*, int, int, bool& cancel) { cancel = true; };
  EXPECT_EQ(q.EncryptString("secret", ""), "");
  EXPECT_EQ(q.LastError(), ErrCanceled);
}

}  // namespace
