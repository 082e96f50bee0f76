// Opening a vault: the session key of a master password against OpenSSL's
// PBKDF2 in the same run, and the whole open (session key, then the
// container with the default cascade and its three stage derivations, then
// the text) of a vault text the size of 10,000 entries.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <string>

#include "base/Platform.h"
#include "bench/BenchUtil.h"
#include "engine/QEnc.h"

namespace {

constexpr int kIterations = 200000;
const char kMaster[] = "correct horse battery staple";
const char kSalt[] = "Tq4-Morrow-Salt9";

void SessionKeyOurs(benchmark::State& state) {
  TQEnc q;
  q.SetIterations(kIterations);
  for (auto _ : state) {
    std::string key = q.DeriveSessionKey(kMaster);
    benchmark::DoNotOptimize(key.data());
  }
}

void SessionKeyOpenSsl(benchmark::State& state) {
  unsigned char out[32];
  for (auto _ : state) {
    PKCS5_PBKDF2_HMAC(kMaster, sizeof kMaster - 1, reinterpret_cast<const unsigned char*>(kSalt), 16, kIterations,
                      EVP_sha256(), 32, out);
    benchmark::DoNotOptimize(out);
  }
}

// A vault text of 10,000 entries in 200 groups, about 1.8 MB.
std::string VaultText() {
  std::string text;
  for (int i = 0; i < 10000; ++i) {
    const std::string n = std::to_string(i);
    text += "[Entry " + n + "]\r\nGroup=Group " + std::to_string(i % 200) + "\r\nTitle=Account number " + n +
            "\r\nUser=user" + n + "@example.org\r\nPassword=Xq7!pL" + n + "z#Rt2\r\nUrl=https://www.example.org/login/" +
            n + "\r\nNotes=Remarks on account " + n + ".\r\n\r\n";
  }
  return text;
}

struct TVaultFile {
  std::string Path;
  std::size_t PlainSize = 0;
  TVaultFile() {
    Path = Platform::TempDirectory() + "vl-bench-vault-" + std::to_string(Platform::TickCount64()) + ".qvf";
    TQEnc q;
    q.SetFastMode(false);
    q.SetIterations(kIterations);
    q.SetAlgorithm(qeaTwofishCTR);  // the default cascade: Twofish, AES, ChaCha20
    q.SetAlgorithm2(qeaAES128CTR);
    q.SetAlgorithm3(qeaChaCha20);
    q.SetKey(q.DeriveSessionKey(kMaster));
    const std::string text = VaultText();
    PlainSize = text.size();
    if (!q.EncryptStringToFile(text, Path, "")) std::fprintf(stderr, "cannot write %s\n", Path.c_str());
    q.ClearSessionKey();
  }
  ~TVaultFile() { Platform::RemoveFile(Path); }
};

void OpenVault(benchmark::State& state, bool withSessionKey) {
  static TVaultFile vault;
  TQEnc q;
  q.SetFastMode(false);
  q.SetIterations(kIterations);
  const std::string sessionKey = q.DeriveSessionKey(kMaster);
  for (auto _ : state) {
    // As the program opens a vault: an empty key cache, the session key of
    // the typed password as Key, then the whole file to text.
    q.ClearKeyCache();
    q.SetKey(withSessionKey ? q.DeriveSessionKey(kMaster) : sessionKey);
    std::string text = q.DecryptFileToString(vault.Path);
    if (text.size() != vault.PlainSize) state.SkipWithError("decryption failed");
    benchmark::DoNotOptimize(text.data());
    q.ClearSessionKey();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * vault.PlainSize));
  state.counters["plain_MB"] = static_cast<double>(vault.PlainSize) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  auto setup = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true)->UseRealTime();
  };
  setup(benchmark::RegisterBenchmark("SessionKey_200k/Ours", SessionKeyOurs));
  setup(benchmark::RegisterBenchmark("SessionKey_200k/OpenSSL", SessionKeyOpenSsl));
  setup(benchmark::RegisterBenchmark("SessionKey_200k/ShaNiLatencyFloor", bench::Rnds2Chain, kIterations));
  setup(benchmark::RegisterBenchmark("OpenVault_10000_entries/FromMasterPassword", OpenVault, true));
  setup(benchmark::RegisterBenchmark("OpenVault_10000_entries/FromHeldSessionKey", OpenVault, false));
  bench::TRatioReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;

  reporter.PrintRatio("DeriveSessionKey 200k time, ours / OpenSSL PKCS5_PBKDF2_HMAC", "SessionKey_200k/Ours",
                      "SessionKey_200k/OpenSSL", true, "<= 0.3");
  reporter.PrintRatio("sha256rnds2 latency floor / OpenSSL", "SessionKey_200k/ShaNiLatencyFloor",
                      "SessionKey_200k/OpenSSL", true, "info: best one chain can do here");
  const double open = reporter.Time("OpenVault_10000_entries/FromMasterPassword");
  if (open > 0) std::printf("TIME  open of a 10,000-entry vault from the master password: %.1f ms\n", open);
  return 0;
}
