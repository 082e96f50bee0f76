// PBKDF2-HMAC-SHA256 for several keys at once. The output blocks of a
// derivation are independent chains, and so are the derivations of the stages
// of a cascade; this runs all of those chains side by side on worker threads,
// so a cascade costs about the wall time of one output block. The bytes are
// exactly those of Pbkdf2HmacSha256 run on each key in turn.
#pragma once

#include <cstdint>
#include <functional>

struct TPbkdf2Job {
  const void* Password = nullptr;
  std::int64_t PasswordLength = 0;
  const void* Salt = nullptr;
  std::int64_t SaltLength = 0;
  std::uint32_t Iterations = 0;  // 0 counts as 1
  std::uint8_t* Out = nullptr;
  std::int64_t OutLength = 0;  // 1 to 8,192 bytes
};

enum class TPbkdf2Threads {
  Automatic,  // worker threads when the work is large enough to repay them
  Never,      // everything on the calling thread
  Always,     // worker threads for any amount of work (tests)
};

// Told of the work done so far, on the calling thread, after every slice of
// a few thousand rounds and every few milliseconds while the calling thread
// waits for its helpers: the rounds done and the rounds of the whole
// derivation. Answering false stops every chain within one slice.
using TPbkdf2Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Derives every job's output and returns true; returns false without
// writing anything when a job has a null password or output, a negative
// password length, or an output length outside 1 to 8,192. If a worker
// thread cannot be started, its share runs on the calling thread. When
// progress answers false the derivation ends early: false, every output
// zeroed, and *stopped (when given) true.
bool Pbkdf2HmacSha256Many(const TPbkdf2Job* jobs, int count,
                          TPbkdf2Threads threads = TPbkdf2Threads::Automatic,
                          const TPbkdf2Progress& progress = nullptr, bool* stopped = nullptr);
