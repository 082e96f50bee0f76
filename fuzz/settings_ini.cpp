// Fuzzes the settings file reader: any bytes as the INI file must load
// without a fault and leave the store's invariants intact, and what the
// writer then makes of the store must load again. Runs with inputs of
// several KiB (settings_ini.options), so long lines are reached.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/model/Shortcuts.h"
#include "base/SysUtils.h"
#include "settings/QDReg.h"

namespace {

const std::string& Dir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/vl-fuzz-settings-XXXXXX";
    const char* d = mkdtemp(tmpl);
    if (!d) abort();
    return std::string(d);
  }();
  return dir;
}

void WriteAll(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

void CheckInvariants(const TQDReg& r) {
  if (r.Folders().Count() != r.Count() || r.Values().Count() != r.Count()) abort();
  for (int i = 0; i < r.Count(); ++i) {
    const std::string& key = r.Keys()[i];
    // Keys come trimmed, cut at the first "=", never empty; values hold no line break.
    if (key.empty() || key != Trim(key) || key.find('=') != std::string::npos) abort();
    if (r.Values()[i].find_first_of("\r\n") != std::string::npos) abort();
    // One entry per (key, folder).
    if (r.GetIndex(key, r.Folders()[i]) != i) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TQDReg r;
  r.SetIniFileDir(Dir());
  r.SetIniFileName("fuzz.ini");
  WriteAll(r.IniFilePath(), data, size);
  if (!r.LoadFromFile()) abort();
  CheckInvariants(r);

  if (!r.SaveToFile()) abort();
  TQDReg back;
  back.SetIniFileDir(Dir());
  back.SetIniFileName("fuzz.ini");
  if (!back.LoadFromFile()) abort();
  CheckInvariants(back);
  // A data line that reads as a folder line on the way back ("\t[a=1")
  // can only merge entries, never add any.
  if (back.Count() > r.Count()) abort();

  // What the program reads from the file at start: the hot-key chords and
  // the remembered entry shortcuts.
  unsigned mods = 0;
  int vk = 0;
  (void)ParseShortcut(r.PopString(kShortcutKey, kDefaultOpenShortcut), mods, vk);
  (void)ParseShortcut(r.PopString(kShortcut2Key, kDefaultLockShortcut), mods, vk);
  for (const TRememberedShortcut& item : ParseRememberedShortcuts(r.PopString(kLastEntryShortcutsKey, "")))
    (void)ParseShortcut(item.Shortcut, mods, vk);

  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string enc = TQDReg::EncodeText(text, "|");
  if (enc.find_first_of("\r\n") != std::string::npos) abort();
  TQDReg::DecodeText(text, "\r");
  return 0;
}
