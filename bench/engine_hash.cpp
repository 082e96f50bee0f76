// SHA-256 and PBKDF2-HMAC-SHA256 against OpenSSL in the same run. After the
// table, one line per target gives our figure as a ratio of the peer's.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "engine/CpuFeatures.h"
#include "engine/Pbkdf2.h"
#include "engine/Sha256.h"

namespace {

constexpr std::size_t kBufferSize = 16 * 1024;
constexpr std::uint32_t kIterations = 200000;
const char kPassword[] = "correct horse battery staple";
const std::uint8_t kSalt[16] = {0x51, 0x3c, 0x9e, 0x07, 0x11, 0xa2, 0x4d, 0x90,
                                0x6b, 0xf0, 0x2e, 0x85, 0xc3, 0x17, 0x58, 0xde};

std::vector<std::uint8_t> TestBuffer() {
  std::vector<std::uint8_t> buf(kBufferSize);
  for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return buf;
}

void Sha256Ours(benchmark::State& state, bool portable) {
  CpuFeatures::TPortableScope path(portable);
  const auto buf = TestBuffer();
  std::uint8_t digest[32];
  for (auto _ : state) {
    Sha256(buf.data(), static_cast<std::int64_t>(buf.size()), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buf.size()));
}

void Sha256OpenSsl(benchmark::State& state) {
  const auto buf = TestBuffer();
  EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  std::uint8_t digest[32];
  unsigned len = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, buf.data(), buf.size());
    EVP_DigestFinal_ex(ctx, digest, &len);
    benchmark::DoNotOptimize(digest);
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(md);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buf.size()));
}

void Pbkdf2Ours(benchmark::State& state, bool portable, int length) {
  CpuFeatures::TPortableScope path(portable);
  std::uint8_t out[64];
  for (auto _ : state) {
    Pbkdf2HmacSha256(kPassword, sizeof kPassword - 1, kSalt, sizeof kSalt, out, length, kIterations);
    benchmark::DoNotOptimize(out);
  }
}

void Pbkdf2OpenSsl(benchmark::State& state, int length) {
  std::uint8_t out[64];
  for (auto _ : state) {
    PKCS5_PBKDF2_HMAC(kPassword, sizeof kPassword - 1, kSalt, sizeof kSalt, kIterations, EVP_sha256(), length, out);
    benchmark::DoNotOptimize(out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Medians of five repetitions: this machine's clock wanders by several
  // percent between runs, and peers run interleaved with ours.
  auto setup = [](benchmark::internal::Benchmark* b, benchmark::TimeUnit unit) {
    b->Unit(unit)->Repetitions(5)->DisplayAggregatesOnly(true);
  };
  setup(benchmark::RegisterBenchmark("Sha256_16KiB/Ours", Sha256Ours, false), benchmark::kMicrosecond);
  setup(benchmark::RegisterBenchmark("Sha256_16KiB/OursPortable", Sha256Ours, true), benchmark::kMicrosecond);
  setup(benchmark::RegisterBenchmark("Sha256_16KiB/OpenSSL_EVP", Sha256OpenSsl), benchmark::kMicrosecond);
  for (int length : {32, 64}) {
    const std::string base = "Pbkdf2_200k_" + std::to_string(length) + "B/";
    setup(benchmark::RegisterBenchmark((base + "Ours").c_str(), Pbkdf2Ours, false, length), benchmark::kMillisecond);
    setup(benchmark::RegisterBenchmark((base + "OursPortable").c_str(), Pbkdf2Ours, true, length),
          benchmark::kMillisecond);
    setup(benchmark::RegisterBenchmark((base + "OpenSSL").c_str(), Pbkdf2OpenSsl, length), benchmark::kMillisecond);
  }
  setup(benchmark::RegisterBenchmark("Pbkdf2_200k_32B/ShaNiLatencyFloor", bench::Rnds2Chain, kIterations),
        benchmark::kMillisecond);
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;

  std::printf("\nCPU: SHA extensions %s\n", CpuFeatures::Detected().SHA ? "yes" : "no");
  reporter.PrintRatio("SHA-256 16 KiB throughput, ours / OpenSSL EVP", "Sha256_16KiB/Ours", "Sha256_16KiB/OpenSSL_EVP",
                      false, ">= 0.9");
  reporter.PrintRatio("SHA-256 16 KiB throughput, portable / OpenSSL EVP", "Sha256_16KiB/OursPortable",
                      "Sha256_16KiB/OpenSSL_EVP", false, "info");
  reporter.PrintRatio("PBKDF2-HMAC-SHA256 200k 32 B time, ours / OpenSSL", "Pbkdf2_200k_32B/Ours",
                      "Pbkdf2_200k_32B/OpenSSL", true, "<= 0.3");
  reporter.PrintRatio("PBKDF2 200k 32 B, sha256rnds2 latency floor / OpenSSL", "Pbkdf2_200k_32B/ShaNiLatencyFloor",
                      "Pbkdf2_200k_32B/OpenSSL", true, "info: best any one chain can do here");
  reporter.PrintRatio("PBKDF2-HMAC-SHA256 200k 32 B time, portable / OpenSSL", "Pbkdf2_200k_32B/OursPortable",
                      "Pbkdf2_200k_32B/OpenSSL", true, "info");
  reporter.PrintRatio("PBKDF2-HMAC-SHA256 200k 64 B time, ours / OpenSSL", "Pbkdf2_200k_64B/Ours",
                      "Pbkdf2_200k_64B/OpenSSL", true, "info");
  reporter.PrintRatio("PBKDF2-HMAC-SHA256 200k 64 B time, portable / OpenSSL", "Pbkdf2_200k_64B/OursPortable",
                      "Pbkdf2_200k_64B/OpenSSL", true, "info");
  return 0;
}
