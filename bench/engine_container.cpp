// The container against OpenSSL in the same run:
//  - opening a default container (cascade Twofish + AES + ChaCha20, 200,000
//    iterations, random salts, 1 KiB of data) against a sequential reference
//    that derives the same six keys with PKCS5_PBKDF2_HMAC;
//  - encrypting and decrypting 64 MiB with AES alone against OpenSSL doing
//    AES-128-CTR and HMAC-SHA256 over the same bytes;
//  - the resident memory that a 1 GiB stream adds, encrypted and decrypted.
// After the table, one line per target gives our figure as a ratio.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/Stream.h"
#include "engine/KeyCache.h"
#include "engine/KeyDerivation.h"
#include "engine/QEnc.h"

namespace {

constexpr int kDefaultIterations = 200000;
const char kPassword[] = "3F1C0A9B7E5D2C4A6B8E0F1D3C5A7B9E2D4F6A8C0E1B3D5F7A9C2E4B6D8F0A1C";  // a session key
constexpr std::int64_t kThroughputBytes = std::int64_t(64) << 20;
constexpr std::int64_t kLargeBytes = std::int64_t(1) << 30;

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return b;
}

void Fill(TMemoryStream& s, const std::vector<std::uint8_t>& data) {
  s.Clear();
  s.Write(data.data(), static_cast<std::int64_t>(data.size()));
  s.SetPosition(0);
}

// ---- Opening a default container ----

std::vector<std::uint8_t> DefaultContainer() {
  TQEnc q;
  q.SetKey(kPassword);
  q.SetAlgorithm(qeaTwofishCTR);
  q.SetAlgorithm2(qeaAES128CTR);
  q.SetAlgorithm3(qeaChaCha20);
  q.SetFastMode(false);
  q.SetIterations(kDefaultIterations);
  q.SetCompatibilityMode(false);
  TMemoryStream in, out;
  Fill(in, Pattern(1024));
  if (!q.EncryptStreamCore(&in, &out, "vault.qvl", "vault.qvl")) std::abort();
  q.ClearKeyCache();
  return std::vector<std::uint8_t>(out.Memory(), out.Memory() + out.Size());
}

void OpenDefaultOurs(benchmark::State& state) {
  const auto container = DefaultContainer();
  TQEnc q;
  q.SetKey(kPassword);
  q.SetCompatibilityMode(false);
  TMemoryStream in, out;
  Fill(in, container);
  for (auto _ : state) {
    q.ClearKeyCache();  // every open derives, as after a restart
    in.SetPosition(0);
    out.SetPosition(0);
    if (!q.DecryptStreamCore(&in, &out, "vault.qvl", "vault.qvl", static_cast<std::int64_t>(container.size())))
      state.SkipWithError("decryption failed");
  }
}

// The same keys, one after another: each stage's password, its own salt,
// cipher key + MAC key (48, 48 and 64 bytes).
void OpenDefaultOpenSslKeys(benchmark::State& state) {
  const auto container = DefaultContainer();
  const std::string p = kPassword;
  const std::string stages[3] = {p + "|QENC3-STAGE|1|ALG|3", p + "|QENC3-STAGE|2|ALG|0", p + "|QENC3-STAGE|3|ALG|2"};
  const int lengths[3] = {48, 48, 64};
  std::uint8_t out[64];
  for (auto _ : state) {
    for (int s = 0; s < 3; ++s) {
      PKCS5_PBKDF2_HMAC(stages[s].data(), static_cast<int>(stages[s].size()), container.data() + 14 + 16 * s, 16,
                        kDefaultIterations, EVP_sha256(), lengths[s], out);
      benchmark::DoNotOptimize(out);
    }
  }
}

// Our derivation of the same six keys without the worker threads, for scale.
void OpenDefaultOursOneThread(benchmark::State& state) {
  const auto container = DefaultContainer();
  const std::string p = kPassword;
  const std::string stages[3] = {p + "|QENC3-STAGE|1|ALG|3", p + "|QENC3-STAGE|2|ALG|0", p + "|QENC3-STAGE|3|ALG|2"};
  std::uint8_t out[3][64];
  TPbkdf2Job jobs[3];
  for (int s = 0; s < 3; ++s)
    jobs[s] = {stages[s].data(), static_cast<std::int64_t>(stages[s].size()), container.data() + 14 + 16 * s, 16,
               kDefaultIterations, out[s], s == 2 ? 64 : 48};
  for (auto _ : state) {
    Pbkdf2HmacSha256Many(jobs, 3, TPbkdf2Threads::Never);
    benchmark::DoNotOptimize(out);
  }
}

// ---- Throughput: 64 MiB with AES alone ----

void ThroughputOurs(benchmark::State& state, int bufferSize) {
  TQEnc q;
  q.SetKey(kPassword);
  q.SetFastMode(true);  // the keys come from the cache after the first run
  q.SetFastIterations(5000);
  q.SetCompatibilityMode(false);
  q.SetBufferSize(bufferSize);
  TMemoryStream plain, sealed, back;
  Fill(plain, Pattern(static_cast<std::size_t>(kThroughputBytes)));
  for (auto _ : state) {
    plain.SetPosition(0);
    sealed.SetPosition(0);
    back.SetPosition(0);
    if (!q.EncryptStreamCore(&plain, &sealed, "vault.qvl", "vault.qvl")) state.SkipWithError("encryption failed");
    sealed.SetPosition(0);
    if (!q.DecryptStreamCore(&sealed, &back, "vault.qvl", "vault.qvl", sealed.Size()))
      state.SkipWithError("decryption failed");
  }
  if (std::memcmp(plain.Memory(), back.Memory(), static_cast<std::size_t>(kThroughputBytes)) != 0)
    state.SkipWithError("round trip differs");
  state.SetBytesProcessed(state.iterations() * kThroughputBytes * 2);
}

// OpenSSL: AES-128-CTR then HMAC-SHA256 to encrypt, HMAC then AES-128-CTR to
// decrypt, out of place, over the whole buffer at once.
void ThroughputOpenSsl(benchmark::State& state) {
  const auto plain = Pattern(static_cast<std::size_t>(kThroughputBytes));
  std::vector<std::uint8_t> sealed(plain.size()), back(plain.size());
  const std::uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const std::uint8_t iv[16] = {0};
  const std::uint8_t macKey[32] = {7};
  std::uint8_t tag[32];
  unsigned tagLength = 0;
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int len = 0;
  for (auto _ : state) {
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ctr(), nullptr, key, iv);
    EVP_EncryptUpdate(ctx, sealed.data(), &len, plain.data(), static_cast<int>(plain.size()));
    HMAC(EVP_sha256(), macKey, 32, sealed.data(), sealed.size(), tag, &tagLength);
    benchmark::DoNotOptimize(tag);
    HMAC(EVP_sha256(), macKey, 32, sealed.data(), sealed.size(), tag, &tagLength);
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ctr(), nullptr, key, iv);
    EVP_EncryptUpdate(ctx, back.data(), &len, sealed.data(), static_cast<int>(sealed.size()));
    benchmark::DoNotOptimize(back.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  if (back != plain) state.SkipWithError("round trip differs");
  state.SetBytesProcessed(state.iterations() * kThroughputBytes * 2);
}

// ---- Memory with a 1 GiB stream ----

// A stream of `size` pattern bytes that holds none of them.
class TPatternStream : public TStream {
 public:
  explicit TPatternStream(std::int64_t size) : size_(size) {}
  std::int64_t Read(void* buffer, std::int64_t count) override {
    const std::int64_t n = std::min(count, size_ - pos_);
    if (n <= 0) return 0;
    auto* p = static_cast<std::uint8_t*>(buffer);
    for (std::int64_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>((pos_ + i) * 131 + 7);
    pos_ += n;
    return n;
  }
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    pos_ = (origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_) + offset;
    return pos_;
  }
  void SetSize(std::int64_t) override {}

 private:
  std::int64_t size_;
  std::int64_t pos_ = 0;
};

// Takes everything, keeps nothing but its length and a running checksum.
class TSinkStream : public TStream {
 public:
  std::int64_t Read(void*, std::int64_t) override { return 0; }
  std::int64_t Write(const void* buffer, std::int64_t count) override {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    for (std::int64_t i = 0; i < count; i += 4096) Sum += p[i];
    pos_ += count;
    if (pos_ > size_) size_ = pos_;
    return count;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    pos_ = (origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_) + offset;
    return pos_;
  }
  void SetSize(std::int64_t size) override { size_ = size; }
  std::uint64_t Sum = 0;

 private:
  std::int64_t size_ = 0;
  std::int64_t pos_ = 0;
};

// Resident memory now and at its peak since the last reset, in KiB.
std::int64_t StatusKiB(const char* field) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field)));
  return -1;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void LargeStreamMemory(benchmark::State& state) {
  const std::string path = std::string(P_tmpdir) + "/vl-bench-container-" + std::to_string(::getpid()) + ".bin";
  TQEnc q;
  q.SetKey(kPassword);
  q.SetFastMode(true);
  q.SetFastIterations(5000);
  q.SetCompatibilityMode(false);
  double encryptGrowth = 0, decryptGrowth = 0, residentBefore = 0;
  for (auto _ : state) {
    {
      TPatternStream in(kLargeBytes);
      TFileStream file(path, fmCreate);
      ResetPeak();
      const std::int64_t before = StatusKiB("VmRSS:");
      residentBefore = static_cast<double>(before) / 1024.0;
      if (!q.EncryptStreamCore(&in, &file, "big", "big")) state.SkipWithError("encryption failed");
      encryptGrowth = static_cast<double>(StatusKiB("VmHWM:") - before) / 1024.0;
    }
    {
      TFileStream file(path, fmOpenRead | fmShareDenyWrite);
      TSinkStream out;
      ResetPeak();
      const std::int64_t before = StatusKiB("VmRSS:");
      if (!q.DecryptStreamCore(&file, &out, "big", "big", file.Size())) state.SkipWithError("decryption failed");
      decryptGrowth = static_cast<double>(StatusKiB("VmHWM:") - before) / 1024.0;
      benchmark::DoNotOptimize(out.Sum);
    }
  }
  std::remove(path.c_str());
  state.counters["EncryptRssGrowthMiB"] = encryptGrowth;
  state.counters["DecryptRssGrowthMiB"] = decryptGrowth;
  state.counters["RssBeforeMiB"] = residentBefore;
  state.SetBytesProcessed(state.iterations() * kLargeBytes * 2);
}

class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string& name = r.run_name.function_name;
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        times_[name] = r.GetAdjustedRealTime();
      else if (r.run_type == Run::RT_Iteration && r.repetitions <= 1)
        times_[name] = r.GetAdjustedRealTime();
      if (r.run_type == Run::RT_Iteration)
        for (const auto& [counter, value] : r.counters) counters_[counter] = value.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }
  double Counter(const std::string& name) const {
    auto it = counters_.find(name);
    return it == counters_.end() ? -1 : it->second;
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, double> counters_;
};

}  // namespace

int main(int argc, char** argv) {
  auto setup = [](benchmark::internal::Benchmark* b, benchmark::TimeUnit unit, int repetitions) {
    b->Unit(unit)->UseRealTime()->Repetitions(repetitions)->DisplayAggregatesOnly(true);
  };
  setup(benchmark::RegisterBenchmark("OpenDefault/Ours", OpenDefaultOurs), benchmark::kMillisecond, 5);
  setup(benchmark::RegisterBenchmark("OpenDefault/OursOneThread", OpenDefaultOursOneThread), benchmark::kMillisecond,
        5);
  setup(benchmark::RegisterBenchmark("OpenDefault/OpenSSL_SequentialKeys", OpenDefaultOpenSslKeys),
        benchmark::kMillisecond, 5);
  setup(benchmark::RegisterBenchmark("Aes64MiB/Ours_8KiB", ThroughputOurs, 8192), benchmark::kMillisecond, 5);
  setup(benchmark::RegisterBenchmark("Aes64MiB/Ours_64KiB", ThroughputOurs, 65536), benchmark::kMillisecond, 5);
  setup(benchmark::RegisterBenchmark("Aes64MiB/OpenSSL_CtrHmac", ThroughputOpenSsl), benchmark::kMillisecond, 5);
  benchmark::RegisterBenchmark("LargeStream1GiB/Ours", LargeStreamMemory)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nHardware threads: %u\n", std::thread::hardware_concurrency());
  auto ratio = [&](const char* label, const std::string& ours, const std::string& peer, bool timeRatio,
                   const char* target) {
    const double o = reporter.Time(ours), p = reporter.Time(peer);
    if (o <= 0 || p <= 0) return;  // filtered out
    std::printf("RATIO %-62s %6.3f  (target %s)\n", label, timeRatio ? o / p : p / o, target);
  };
  ratio("open default container, time ours / OpenSSL sequential six keys", "OpenDefault/Ours",
        "OpenDefault/OpenSSL_SequentialKeys", true, "<= 0.1");
  ratio("same keys on one thread, time ours / OpenSSL", "OpenDefault/OursOneThread",
        "OpenDefault/OpenSSL_SequentialKeys", true, "info");
  ratio("AES 64 MiB encrypt+decrypt (8 KiB chunks), ours / OpenSSL CTR+HMAC", "Aes64MiB/Ours_8KiB",
        "Aes64MiB/OpenSSL_CtrHmac", false, ">= 0.8");
  ratio("AES 64 MiB encrypt+decrypt (64 KiB chunks), ours / OpenSSL CTR+HMAC", "Aes64MiB/Ours_64KiB",
        "Aes64MiB/OpenSSL_CtrHmac", false, "info");
  const double enc = reporter.Counter("EncryptRssGrowthMiB"), dec = reporter.Counter("DecryptRssGrowthMiB");
  if (enc >= 0)
    std::printf(
        "MEMORY 1 GiB stream: peak resident growth encrypt %.2f MiB, decrypt %.2f MiB over %.1f MiB  "
        "(target: a few MiB)\n",
        enc, dec, reporter.Counter("RssBeforeMiB"));
  return 0;
}
