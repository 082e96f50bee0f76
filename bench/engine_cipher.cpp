// The four counter-mode ciphers against their peers in the same run, in the
// 8 KiB chunks the container works in: AES-128-CTR and ChaCha20 against
// OpenSSL EVP, Twofish-128-CTR and Blowfish-CTR against libgcrypt. After the
// table, one line per target gives our throughput as a ratio of the peer's.
#include <benchmark/benchmark.h>
#include <gcrypt.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/Aes.h"
#include "engine/Blowfishctr.h"
#include "engine/Chacha20.h"
#include "engine/CpuFeatures.h"
#include "engine/Twofish.h"

namespace {

constexpr std::size_t kChunk = 8 * 1024;
const std::uint8_t kKey[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                               0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                               0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
const std::uint8_t kIv[16] = {0xf0, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7,
                              0xf8, 0xf9, 0xfa, 0xfb, 0x00, 0x00, 0x00, 0x00};

std::vector<std::uint8_t> TestBuffer() {
  std::vector<std::uint8_t> buf(kChunk);
  for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return buf;
}

enum class TCipher { Aes, Chacha, Twofish, Blowfish };

// One chunk after another at its offset in the data, as the container does.
void Ours(benchmark::State& state, TCipher cipher, bool portable) {
  CpuFeatures::TPortableScope path(portable);
  auto buf = TestBuffer();
  TTwofishContext twofish;
  TBlowfishContext blowfish;
  twofish.SetKey(kKey, 16);
  blowfish.SetKey(kKey, 16);
  std::int64_t offset = 0;
  for (auto _ : state) {
    const std::int64_t n = std::int64_t(buf.size());
    switch (cipher) {
      case TCipher::Aes: Aes128CtrXor(buf.data(), n, kKey, kIv, offset); break;
      case TCipher::Chacha: Chacha20Xor(buf.data(), n, kKey, kIv, offset); break;
      case TCipher::Twofish: TwofishCtrXor(buf.data(), n, twofish, kIv, offset); break;
      case TCipher::Blowfish: BlowfishCtrXor(buf.data(), n, blowfish, kIv, offset); break;
    }
    offset += n;
    benchmark::DoNotOptimize(buf.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * buf.size()));
}

void OpenSsl(benchmark::State& state, TCipher cipher) {
  auto buf = TestBuffer();
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  std::uint8_t chachaKey[32], chachaIv[16] = {};
  std::memcpy(chachaKey, kKey, 16);
  std::memcpy(chachaKey + 16, kIv, 16);
  std::memcpy(chachaIv + 4, kIv, 12);
  if (cipher == TCipher::Aes)
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ctr(), nullptr, kKey, kIv);
  else
    EVP_EncryptInit_ex(ctx, EVP_chacha20(), nullptr, chachaKey, chachaIv);
  int len = 0;
  for (auto _ : state) {
    EVP_EncryptUpdate(ctx, buf.data(), &len, buf.data(), int(buf.size()));
    benchmark::DoNotOptimize(buf.data());
    benchmark::ClobberMemory();
  }
  EVP_CIPHER_CTX_free(ctx);
  state.SetBytesProcessed(std::int64_t(state.iterations() * buf.size()));
}

void Gcrypt(benchmark::State& state, TCipher cipher) {
  auto buf = TestBuffer();
  gcry_cipher_hd_t h = nullptr;
  const bool twofish = cipher == TCipher::Twofish;
  gcry_cipher_open(&h, twofish ? GCRY_CIPHER_TWOFISH128 : GCRY_CIPHER_BLOWFISH, GCRY_CIPHER_MODE_CTR, 0);
  gcry_cipher_setkey(h, kKey, 16);
  gcry_cipher_setctr(h, kIv, twofish ? 16 : 8);
  for (auto _ : state) {
    gcry_cipher_encrypt(h, buf.data(), buf.size(), nullptr, 0);
    benchmark::DoNotOptimize(buf.data());
    benchmark::ClobberMemory();
  }
  gcry_cipher_close(h);
  state.SetBytesProcessed(std::int64_t(state.iterations() * buf.size()));
}

// Keeps each run's throughput so the ratios can be printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) rates_[r.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Rate(const std::string& name) const {
    auto it = rates_.find(name);
    return it == rates_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  gcry_check_version(nullptr);
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);

  struct TRow {
    const char* name;
    TCipher cipher;
    const char* peerName;
    const char* target;
  };
  const TRow rows[] = {
      {"Aes128Ctr_8KiB", TCipher::Aes, "OpenSSL_EVP", ">= 0.5"},
      {"ChaCha20_8KiB", TCipher::Chacha, "OpenSSL_EVP", ">= 0.5"},
      {"Twofish128Ctr_8KiB", TCipher::Twofish, "libgcrypt", ">= 1.0"},
      {"BlowfishCtr_8KiB", TCipher::Blowfish, "libgcrypt", ">= 1.0"},
  };
  for (const TRow& row : rows) {
    const std::string base = std::string(row.name) + "/";
    benchmark::RegisterBenchmark((base + "Ours").c_str(), Ours, row.cipher, false);
    benchmark::RegisterBenchmark((base + "OursPortable").c_str(), Ours, row.cipher, true);
    if (row.cipher == TCipher::Aes || row.cipher == TCipher::Chacha)
      benchmark::RegisterBenchmark((base + row.peerName).c_str(), OpenSsl, row.cipher);
    else
      benchmark::RegisterBenchmark((base + row.peerName).c_str(), Gcrypt, row.cipher);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& cpu = CpuFeatures::Detected();
  std::printf("\nCPU: AES-NI %s, SSE2 %s, AVX2 %s\n", cpu.AESNI ? "yes" : "no", cpu.SSE2 ? "yes" : "no",
              cpu.AVX2 ? "yes" : "no");
  for (const TRow& row : rows) {
    const std::string base = std::string(row.name) + "/";
    const double peer = reporter.Rate(base + row.peerName);
    for (const char* variant : {"Ours", "OursPortable"}) {
      const double ours = reporter.Rate(base + variant);
      if (ours <= 0 || peer <= 0) continue;  // filtered out
      const bool fast = std::string(variant) == "Ours";
      const std::string label = std::string(row.name) + " throughput, " + (fast ? "ours" : "portable") + " / " +
                                row.peerName;
      std::printf("RATIO %-58s %6.3f  (target %s)\n", label.c_str(), ours / peer, fast ? row.target : "info");
    }
  }
  return 0;
}
