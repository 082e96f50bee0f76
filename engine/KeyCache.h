// The process-wide cache of derived container keys, shared by every engine
// instance, and the derivation of a container's stage keys through it.
//
// An entry is found by the stage password, the iteration count, the cipher
// key length and the salt, so repeated operations with the same inputs (a
// FastMode salt, a second read of the same file) skip PBKDF2. Entries stay
// until the cache is emptied; there is no size limit and no eviction. The
// cache takes a lock of its own, so it may be used from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/KeyDerivation.h"

struct TQEncKeyCacheEntry {
  std::uint8_t CipherKey[32] = {};  // the first CipherKeyLength bytes are used
  std::uint8_t MacKey[32] = {};
  int CipherKeyLength = 0;
};

namespace TQEncKeyCache {

// The entry's name: stage password + "|" + decimal iteration count + "|" +
// decimal cipher key length + "|" + the 16 salt bytes as 32 upper-case
// hexadecimal digits. It holds the password; wipe it after use.
std::string MakeKey(const std::string& stagePassword, std::uint32_t iterations, int cipherKeyLength,
                    const std::uint8_t salt[16]);

bool Find(const std::string& key, TQEncKeyCacheEntry& entry);
void Store(const std::string& key, const TQEncKeyCacheEntry& entry);
// Removes every entry, overwriting names and keys before they are released.
void Clear();
std::size_t Count();

}  // namespace TQEncKeyCache

// What one stage of a container needs derived.
struct TQEncStageKeyRequest {
  std::string StagePassword;  // whole; PBKDF2 takes only its first 200 bytes
  const std::uint8_t* Salt = nullptr;  // 16 bytes
  std::uint32_t Iterations = 0;
  int CipherKeyLength = 16;  // 16, or 32 for ChaCha20
};

// Looks every stage up in the cache, derives all the misses at once
// (PBKDF2-HMAC-SHA256 of the first min(length, 200) password bytes, the salt
// and the count, CipherKeyLength + 32 bytes: the cipher key, then the MAC
// key) and stores them. Returns false when the derivation could not run or
// progress stopped it (*stopped true then; nothing is stored).
bool DeriveStageKeys(const TQEncStageKeyRequest* requests, int count, TQEncKeyCacheEntry* keys,
                     const TPbkdf2Progress& progress = nullptr, bool* stopped = nullptr);
