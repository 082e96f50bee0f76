// Shortcut texts (the settings file's Shortcut and Shortcut2, an entry's
// shortcut field), key names and the remembered list of entry shortcuts:
// any text parses in one pass, and a chord read back from its written form
// is the same chord.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/model/KeyNames.h"
#include "app/model/Shortcuts.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  unsigned mods = 0;
  int vk = 0;
  if (ParseShortcut(text, mods, vk)) {
    Check((mods & (kModControl | kModAlt)) != 0);
    Check((mods & ~(kModControl | kModAlt | kModShift)) == 0);
    const std::string written = FormatShortcut(mods, vk);
    unsigned mods2 = 0;
    int vk2 = 0;
    Check(ParseShortcut(written, mods2, vk2) && mods2 == mods && vk2 == vk);
  } else {
    Check(mods == 0 && vk == 0);
  }
  const int key = KeyNameToVk(text);
  if (key != 0) Check(KeyNameToVk(VkToKeyName(key)) == key);

  for (const TRememberedShortcut& r : ParseRememberedShortcuts(text)) {
    Check(r.EntryId >= 0 && !r.Shortcut.empty());
    Check(r.Shortcut.find('|') == std::string::npos);
    unsigned m = 0;
    int v = 0;
    (void)ParseShortcut(r.Shortcut, m, v);
    (void)IsRememberedHotKey(text, r.EntryId);
  }
  return 0;
}
