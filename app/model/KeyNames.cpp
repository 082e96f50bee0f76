#include "app/model/KeyNames.h"

#include <array>

#include "base/SysUtils.h"

namespace {

struct TNamedKey {
  int vk;
  const char* name;
};

// The keys with a name of their own, as they are written.
constexpr std::array<TNamedKey, 14> kNamedKeys{{
    {9, "Tab"},
    {13, "Enter"},
    {27, "Esc"},
    {32, "Space"},
    {33, "PageUp"},
    {34, "PageDown"},
    {35, "End"},
    {36, "Home"},
    {37, "Left"},
    {38, "Up"},
    {39, "Right"},
    {40, "Down"},
    {45, "Insert"},
    {46, "Delete"},
}};

constexpr int kVkF1 = 112;
constexpr int kVkF24 = 135;

}  // namespace

std::string VkToKeyName(int vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
  if (vk >= kVkF1 && vk <= kVkF24) return "F" + IntToStr(vk - 111);
  for (const TNamedKey& k : kNamedKeys)
    if (k.vk == vk) return k.name;
  return "";
}

int KeyNameToVk(const std::string& name) {
  const std::string n = UpperCase(Trim(name));
  if (n.size() == 1 && ((n[0] >= 'A' && n[0] <= 'Z') || (n[0] >= '0' && n[0] <= '9'))) return n[0];
  if (n.size() >= 2 && n[0] == 'F') {
    int number = 0;
    // Digits only: "F+1" or "F 1" name no key.
    bool digits = true;
    for (std::size_t i = 1; i < n.size(); ++i)
      if (n[i] < '0' || n[i] > '9') digits = false;
    if (digits && n.size() <= 3 && TryStrToInt(n.substr(1), number) && number >= 1 && number <= 24)
      return 111 + number;
  }
  for (const TNamedKey& k : kNamedKeys)
    if (UpperCase(k.name) == n) return k.vk;
  return 0;
}
