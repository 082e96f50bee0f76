#include "engine/KeyCache.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "base/Wipe.h"
#include "engine/KeyDerivation.h"

namespace {

constexpr std::int64_t kPasswordCut = 200;
constexpr int kMaxStages = 3;

class TCache {
 public:
  ~TCache() { Clear(); }

  bool Find(const std::string& key, TQEncKeyCacheEntry& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = map_.find(key);
    if (it == map_.end()) return false;
    entry = it->second;
    return true;
  }

  void Store(const std::string& key, const TQEncKeyCacheEntry& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = map_.find(key);
    if (it != map_.end()) {
      it->second = entry;
      return;
    }
    map_.emplace(key, entry);
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    while (!map_.empty()) {
      auto node = map_.extract(map_.begin());
      WipeString(node.key());
      WipeBytes(&node.mapped(), sizeof node.mapped());
    }
  }

  std::size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return map_.size();
  }

 private:
  std::mutex mutex_;
  std::map<std::string, TQEncKeyCacheEntry> map_;
};

// Created on first use and destroyed, wiped, when the program ends.
TCache& Cache() {
  static TCache cache;
  return cache;
}

}  // namespace

namespace TQEncKeyCache {

std::string MakeKey(const std::string& stagePassword, std::uint32_t iterations, int cipherKeyLength,
                    const std::uint8_t salt[16]) {
  static const char digits[] = "0123456789ABCDEF";
  std::string key;
  key.reserve(stagePassword.size() + 64);
  key += stagePassword;
  key += '|';
  key += std::to_string(iterations);
  key += '|';
  key += std::to_string(cipherKeyLength);
  key += '|';
  for (int i = 0; i < 16; ++i) {
    key += digits[salt[i] >> 4];
    key += digits[salt[i] & 15];
  }
  return key;
}

bool Find(const std::string& key, TQEncKeyCacheEntry& entry) { return Cache().Find(key, entry); }
void Store(const std::string& key, const TQEncKeyCacheEntry& entry) { Cache().Store(key, entry); }
void Clear() { Cache().Clear(); }
std::size_t Count() { return Cache().Count(); }

}  // namespace TQEncKeyCache

bool DeriveStageKeys(const TQEncStageKeyRequest* requests, int count, TQEncKeyCacheEntry* keys,
                     const TPbkdf2Progress& progress, bool* stopped) {
  if (stopped) *stopped = false;
  if (count < 0 || count > kMaxStages || (count > 0 && (requests == nullptr || keys == nullptr))) return false;
  std::string names[kMaxStages];
  std::uint8_t derived[kMaxStages][64];
  TPbkdf2Job jobs[kMaxStages];
  int stageOfJob[kMaxStages];
  int misses = 0;
  bool ok = true;
  for (int s = 0; s < count; ++s) {
    const TQEncStageKeyRequest& r = requests[s];
    if (r.Salt == nullptr || (r.CipherKeyLength != 16 && r.CipherKeyLength != 32)) {
      ok = false;
      break;
    }
    names[s] = TQEncKeyCache::MakeKey(r.StagePassword, r.Iterations, r.CipherKeyLength, r.Salt);
    keys[s] = TQEncKeyCacheEntry();
    if (TQEncKeyCache::Find(names[s], keys[s])) continue;
    TPbkdf2Job& job = jobs[misses];
    job.Password = r.StagePassword.data();
    job.PasswordLength = std::min<std::int64_t>(static_cast<std::int64_t>(r.StagePassword.size()), kPasswordCut);
    job.Salt = r.Salt;
    job.SaltLength = 16;
    job.Iterations = r.Iterations;
    job.Out = derived[misses];
    job.OutLength = r.CipherKeyLength + 32;
    stageOfJob[misses] = s;
    ++misses;
  }
  if (ok && misses > 0) ok = Pbkdf2HmacSha256Many(jobs, misses, TPbkdf2Threads::Automatic, progress, stopped);
  if (ok) {
    for (int m = 0; m < misses; ++m) {
      const int s = stageOfJob[m];
      const int keyLength = requests[s].CipherKeyLength;
      TQEncKeyCacheEntry& e = keys[s];
      std::copy(derived[m], derived[m] + keyLength, e.CipherKey);
      std::copy(derived[m] + keyLength, derived[m] + keyLength + 32, e.MacKey);
      e.CipherKeyLength = keyLength;
      TQEncKeyCache::Store(names[s], e);
    }
  }
  WipeBytes(derived, sizeof derived);
  for (std::string& n : names) WipeString(n);
  return ok;
}
