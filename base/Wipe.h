// Wiping secrets: passwords, keys and decrypted text are overwritten before
// their memory is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Platform.h"

inline void WipeBytes(void* p, std::size_t n) { Platform::SecureZero(p, n); }

// Overwrites every byte of s (including spare capacity) and empties it.
inline void WipeString(std::string& s) {
  if (s.capacity() > 0) Platform::SecureZero(s.data(), s.capacity());
  s.clear();
}

inline void WipeVector(std::vector<std::uint8_t>& v) {
  if (v.capacity() > 0) Platform::SecureZero(v.data(), v.capacity());
  v.clear();
}

// A string that wipes itself when it goes out of scope.
class TSecureString {
 public:
  TSecureString() = default;
  explicit TSecureString(std::string s) : s_(std::move(s)) {}
  TSecureString(const TSecureString&) = delete;
  TSecureString& operator=(const TSecureString&) = delete;
  ~TSecureString() { WipeString(s_); }
  std::string& str() { return s_; }
  const std::string& str() const { return s_; }

 private:
  std::string s_;
};
