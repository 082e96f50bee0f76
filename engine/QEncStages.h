// The keyed cipher stages of one container operation: each stage's cipher
// key, IV and key schedule, and the MAC key that seals the container. Keys
// come through the process-wide key cache; everything is wiped when the
// object is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/KeyDerivation.h"
#include "engine/QEncContainer.h"

class TQEncStages {
 public:
  TQEncStages();
  ~TQEncStages();
  TQEncStages(const TQEncStages&) = delete;
  TQEncStages& operator=(const TQEncStages&) = delete;

  // Derives the keys of every stage of the header from the effective
  // password (each stage from its stage password, its salt and the header's
  // iteration count; all misses of the cache at once) and keys the Blowfish
  // and Twofish stages. False when the derivation could not run, or when
  // progress stopped it (*stopped true then).
  bool Derive(const TQEncHeader& header, const std::string& password, const TPbkdf2Progress& progress = nullptr,
              bool* stopped = nullptr);

  // The key of the tag: stage 1's MAC key.
  const std::uint8_t* MacKey() const;
  int StageCount() const { return count_; }

  // Encrypting applies the stages in order 1, 2, 3, decrypting in reverse;
  // every stage at the same offset, the position of buffer[0] in the body.
  // With `compatibility` every call restarts each keystream at offset 0.
  void Encrypt(std::uint8_t* buffer, std::int64_t length, std::int64_t offset, bool compatibility) const;
  void Decrypt(std::uint8_t* buffer, std::int64_t length, std::int64_t offset, bool compatibility) const;

  void Clear();

 private:
  struct TStage;
  void Apply(int stage, std::uint8_t* buffer, std::int64_t length, std::int64_t offset, bool compatibility) const;

  std::unique_ptr<TStage[]> stages_;
  int count_ = 0;
};
