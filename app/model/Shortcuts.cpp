#include "app/model/Shortcuts.h"

#include <string_view>

#include "app/model/KeyNames.h"
#include "app/model/TextLines.h"
#include "base/SysUtils.h"

namespace {

constexpr int kVkShift = 16, kVkControl = 17, kVkMenu = 18;
constexpr int kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkRight = 39;

// ASCII letters compared without case, as UpperCase compares them.
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// The decimal id of a remembered item: digits only (blanks around them
// trimmed), within the range of an int; -1 otherwise.
int RememberedId(const std::string& text) {
  int id = -1;
  const std::string t = Trim(text);
  if (t.empty() || t[0] == '+' || t[0] == '-') return -1;
  return TryStrToInt(t, id) ? id : -1;
}

}  // namespace

bool ParseShortcut(const std::string& text, unsigned& modifiers, int& vk) {
  modifiers = 0;
  vk = 0;
  unsigned mods = 0;
  int key = 0;
  // One pass over the text: each "+"-separated word is looked at in place,
  // so a long text (a damaged settings file, a planted field) costs no more
  // than reading it once.
  const std::string_view all = TrimBlanks(std::string_view(text));
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t plus = all.find('+', start);
    if (plus == std::string_view::npos) plus = all.size();
    const std::string_view word = TrimBlanks(all.substr(start, plus - start));
    start = plus + 1;
    if (EqualsIgnoringCase(word, "CTRL") || EqualsIgnoringCase(word, "CONTROL")) {
      mods |= kModControl;
    } else if (EqualsIgnoringCase(word, "SHIFT")) {
      mods |= kModShift;
    } else if (EqualsIgnoringCase(word, "ALT")) {
      mods |= kModAlt;
    } else {
      if (key != 0) return false;  // a second key
      key = KeyNameToVk(std::string(word));
      if (key == 0) return false;  // no key name (also an empty word)
    }
  }
  if (key == 0 || (mods & (kModControl | kModAlt)) == 0) return false;
  modifiers = mods;
  vk = key;
  return true;
}

std::string FormatShortcut(unsigned modifiers, int vk) {
  const std::string name = VkToKeyName(vk);
  if (name.empty()) return "";
  std::string text;
  if (modifiers & kModControl) text += "Ctrl+";
  if (modifiers & kModShift) text += "Shift+";
  if (modifiers & kModAlt) text += "Alt+";
  return text + name;
}

TShortcutKeyAction ShortcutKeyAction(int vk, bool ctrl, bool shift, bool alt, bool readOnly, bool haveEntry) {
  TShortcutKeyAction a;
  if (readOnly) return a;
  if (vk == kVkLeft || vk == kVkRight || vk == kVkHome || vk == kVkEnd) {
    a.Kind = TShortcutKeyAction::PassThrough;
    return a;
  }
  if (!haveEntry || vk == kVkShift || vk == kVkControl || vk == kVkMenu) return a;
  const unsigned mods = (ctrl ? kModControl : 0) | (shift ? kModShift : 0) | (alt ? kModAlt : 0);
  a.Text = FormatShortcut(mods, vk);
  if (!a.Text.empty()) a.Kind = TShortcutKeyAction::TryShortcut;
  return a;
}

int EntryHotKeyId(int entryId) {
  if (entryId < 0 || entryId > kEntryHotKeyLast - kEntryHotKeyFirst) return 0;
  return kEntryHotKeyFirst + entryId;
}

std::string BuildRememberedShortcuts(const TVaultEntryList& entries) {
  std::string text;
  for (const auto& e : entries) {
    const std::string shortcut = Trim(e->shortcut);
    if (shortcut.empty() || EntryHotKeyId(*e) == 0) continue;
    if (!text.empty()) text += '|';
    text += IntToStr(e->id) + "=" + shortcut;
  }
  return text;
}

std::vector<TRememberedShortcut> ParseRememberedShortcuts(const std::string& remembered) {
  std::vector<TRememberedShortcut> items;
  std::size_t start = 0;
  while (start <= remembered.size()) {
    std::size_t bar = remembered.find('|', start);
    if (bar == std::string::npos) bar = remembered.size();
    const std::string item = Trim(remembered.substr(start, bar - start));
    start = bar + 1;
    const std::size_t eq = item.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    TRememberedShortcut r;
    r.EntryId = RememberedId(item.substr(0, eq));
    r.Shortcut = Trim(item.substr(eq + 1));
    if (r.EntryId >= 0 && !r.Shortcut.empty()) items.push_back(std::move(r));
  }
  return items;
}

bool IsRememberedHotKey(const std::string& remembered, int entryId) {
  for (const TRememberedShortcut& r : ParseRememberedShortcuts(remembered))
    if (r.EntryId == entryId) return true;
  return false;
}

void ClearGlobalHotKey(THotKeyRegistrar& registrar, int id, TGlobalHotKey& hotKey) {
  if (hotKey.Registered) registrar.Unregister(id);
  hotKey = TGlobalHotKey();
}

bool SetGlobalHotKey(THotKeyRegistrar& registrar, int id, TGlobalHotKey& hotKey, const std::string& text) {
  if (Trim(text).empty()) {
    ClearGlobalHotKey(registrar, id, hotKey);
    return true;
  }
  unsigned mods = 0;
  int vk = 0;
  if (!ParseShortcut(text, mods, vk)) return false;
  const TGlobalHotKey old = hotKey;
  if (hotKey.Registered) {
    registrar.Unregister(id);
    hotKey.Registered = false;
  }
  if (registrar.Register(id, mods, vk)) {
    hotKey = {true, mods, vk};
    return true;
  }
  // The old chord goes back, and is recorded only when it is registered.
  if (old.Registered && registrar.Register(id, old.Modifiers, old.Vk)) hotKey = old;
  else hotKey = TGlobalHotKey();
  return false;
}

bool CheckEntryHotKeyConflicts(THotKeyRegistrar& registrar, TVaultEntry* entry, const std::string& text) {
  if (!entry) return false;
  const int id = EntryHotKeyId(*entry);
  if (id == 0) return false;
  const std::string t = Trim(text);
  const std::string old = Trim(entry->shortcut);
  unsigned mods = 0;
  int vk = 0;
  if (!t.empty() && !ParseShortcut(t, mods, vk)) return false;
  registrar.Unregister(id);
  if (t.empty()) {
    entry->shortcut.clear();
    return true;
  }
  if (registrar.Register(id, mods, vk)) {
    entry->shortcut = t;
    return true;
  }
  unsigned oldMods = 0;
  int oldVk = 0;
  if (!old.empty() && ParseShortcut(old, oldMods, oldVk)) registrar.Register(id, oldMods, oldVk);
  return false;
}

void UnregisterEntryHotKey(THotKeyRegistrar& registrar, const TVaultEntry& entry) {
  if (const int id = EntryHotKeyId(entry)) registrar.Unregister(id);
}

void UnregisterEntryHotKeys(THotKeyRegistrar& registrar, const TVaultEntryList& entries) {
  for (const auto& e : entries) UnregisterEntryHotKey(registrar, *e);
}

bool RegisterEntryHotKeys(THotKeyRegistrar& registrar, const TVaultEntryList& entries, std::string& failureMessage) {
  failureMessage.clear();
  UnregisterEntryHotKeys(registrar, entries);
  std::string lines;
  for (const auto& e : entries) {
    const std::string shortcut = Trim(e->shortcut);
    if (shortcut.empty()) continue;
    const int id = EntryHotKeyId(*e);
    unsigned mods = 0;
    int vk = 0;
    if (id != 0 && ParseShortcut(shortcut, mods, vk) && registrar.Register(id, mods, vk)) continue;
    if (!lines.empty()) lines += "\r\n";
    lines += e->title + ": " + e->shortcut;
  }
  if (lines.empty()) return true;
  failureMessage = ShortcutTexts::kNotRegistered + lines;
  return false;
}

void UnregisterRememberedHotKeys(THotKeyRegistrar& registrar, const std::string& remembered) {
  for (const TRememberedShortcut& r : ParseRememberedShortcuts(remembered))
    if (const int id = EntryHotKeyId(r.EntryId)) registrar.Unregister(id);
}

void RegisterRememberedHotKeys(THotKeyRegistrar& registrar, const std::string& remembered) {
  UnregisterRememberedHotKeys(registrar, remembered);
  for (const TRememberedShortcut& r : ParseRememberedShortcuts(remembered)) {
    const int id = EntryHotKeyId(r.EntryId);
    unsigned mods = 0;
    int vk = 0;
    if (id != 0 && ParseShortcut(r.Shortcut, mods, vk)) registrar.Register(id, mods, vk);
  }
}

namespace {

// The chord of a shortcut text as the capture writes it; "" for a text that
// is no shortcut. However long the text, the result is a few words.
std::string ShownChord(const std::string& shortcut) {
  unsigned modifiers = 0;
  int vk = 0;
  return ParseShortcut(shortcut, modifiers, vk) ? FormatShortcut(modifiers, vk) : std::string();
}

}  // namespace

std::string OpenMenuCaption(const std::string& openShortcut) {
  const std::string chord = ShownChord(openShortcut);
  return chord.empty() ? "Vaultline" : "Vaultline\t" + chord;
}

std::string LockMenuCaption(const std::string& lockShortcut) {
  const std::string chord = ShownChord(lockShortcut);
  return chord.empty() ? "Lock" : "Lock\t\t" + chord;
}
