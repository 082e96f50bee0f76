#include "app/model/PasswordQuality.h"

#include <algorithm>

int RatePasswordQuality(std::string_view password) {
  if (password.empty()) return 0;
  bool lower = false, upper = false, digit = false, other = false;
  for (char ch : password) {
    const auto c = static_cast<signed char>(ch);
    if (c >= 'a' && c <= 'z')
      lower = true;
    else if (c >= 'A' && c <= 'Z')
      upper = true;
    else if (c >= '0' && c <= '9')
      digit = true;
    else
      other = true;
  }
  const std::size_t n = password.size();
  int score = 0;
  if (n >= 3) score += 3;
  if (n >= 6) score += 5;
  if (n >= 8) score += 10;
  if (n >= 12) score += 15;
  if (n >= 16) score += 20;
  if (n >= 20) score += 10;
  const int classes = int{lower} + int{upper} + int{digit} + int{other};
  score += 10 * classes;
  if (classes >= 3) score += 10;
  if (classes == 4) score += 10;
  return std::min(score, 100);
}

TQualityLook QualityLookFor(int position) {
  if (position < 50) return {kQualityBad, 255};
  if (position < 70) return {"medium", 32896};
  if (position < 95) return {"good", 32768};
  return {"excellent", 16711680};
}
