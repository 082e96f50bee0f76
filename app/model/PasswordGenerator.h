// Passwords made by the password dialog: random 16-character passwords and
// passwords shaped from a sentence ("Sentence Guide"). Every draw comes from
// a cryptographic random source through rejection sampling, so no character
// is likelier than another and no two runs repeat; tests pass a scripted
// source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Fills n bytes; false when the source failed.
using TRandomSource = std::function<bool(std::uint8_t* buffer, std::size_t n)>;

// The operating system's cryptographic random source.
TRandomSource SystemRandomSource();

// Uniform draws from a random source.
class TRandomDraw {
 public:
  explicit TRandomDraw(TRandomSource source) : source_(std::move(source)) {}

  // A number in 0 .. n-1 (n >= 1), drawn from 32-bit values with those at or
  // above the largest multiple of n rejected. False when the source failed.
  bool Below(std::uint32_t n, std::uint32_t& value);

 private:
  TRandomSource source_;
};

inline constexpr char kPwdLower[] = "abcdefghijklmnopqrstuvwxyz";
inline constexpr char kPwdUpper[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
inline constexpr char kPwdDigits[] = "0123456789";
inline constexpr char kPwdSpecials[] = "!@#$%^&*()-_=+[]{}<>?";  // 21
inline constexpr char kPwdMixed[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789$#*+?!%&@_";  // 72
inline constexpr char kSentenceExtras[] = "$#*+?!%&@_";  // 10

// 16 characters: one lower-case letter, one upper-case letter, one digit and
// one of the 21 specials, then 12 from the 72-character set, shuffled
// (Fisher-Yates from the end). "" when the random source failed.
std::string GenerateRandomPassword(const TRandomSource& source);

// The sentence guide. Words are runs of the letters A-Z and a-z. One or two
// randomly chosen words stay whole, every other word shrinks to its first
// letter; digits and punctuation stay, blanks, control characters and bytes
// above 127 vanish; then one or two of the 10 extras are inserted at random
// places that never split a kept word. "" when the random source failed
// (a successful result is never empty).
std::string SentenceToPassword(const std::string& sentence, const TRandomSource& source);
