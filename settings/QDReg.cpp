// The settings store's entries, its INI text file and the typed push and pop
// operations: everything that does not need Windows.
#include "settings/QDReg.h"

#include <exception>
#include <string_view>
#include <utility>
#include <unordered_map>
#include <vector>

#include "base/Platform.h"
#include "base/SysUtils.h"

TQDReg::TQDReg(TComponent* owner)
    : TComponent(owner), iniFileName_("config.ini"), iniFileDir_(AppDir()) {}

TQDReg::~TQDReg() = default;

void TQDReg::SetProgrammname(const std::string& value) {
  if (value == programmname_) return;
  programmname_ = value;
}

void TQDReg::SetFirmenname(const std::string& value) {
  if (value == firmenname_) return;
  firmenname_ = value;
}

void TQDReg::SetIniFileName(const std::string& value) {
  if (value == iniFileName_) return;
  iniFileName_ = value;
}

void TQDReg::SetIniFileDir(const std::string& value) {
  if (value == iniFileDir_) return;
  iniFileDir_ = value;
}

std::string TQDReg::IniFilePath() const {
  std::string path = iniFileDir_;
  // "\" on Windows; the native build also takes "/" as the folder's end.
  if (!path.empty() && !IsPathDelimiter(path.back())) path += PathDelimiter();
  return path + iniFileName_;
}

// ---- Entries ------------------------------------------------------------

int TQDReg::GetIndex(const std::string& key) const { return GetIndex(key, std::string()); }

int TQDReg::GetIndex(const std::string& key, const std::string& folder) const {
  for (int i = 0; i < keys_.Count(); ++i)
    if (keys_[i] == key && folders_[i] == folder) return i;
  return -1;
}

bool TQDReg::Exist(const std::string& key) const { return GetIndex(key) != -1; }

bool TQDReg::Exist(const std::string& key, const std::string& folder) const {
  return GetIndex(key, folder) != -1;
}

void TQDReg::Add(const std::string& key, const std::string& value, const std::string& folder) {
  Delete(key, folder);
  keys_.Add(key);
  folders_.Add(folder);
  values_.Add(value);
}

bool TQDReg::Delete(const std::string& key) { return Delete(key, std::string()); }

bool TQDReg::Delete(const std::string& key, const std::string& folder) {
  int i = GetIndex(key, folder);
  if (i < 0) return false;
  keys_.Delete(i);
  folders_.Delete(i);
  values_.Delete(i);
  return GetIndex(key, folder) < 0;
}

void TQDReg::Clear() {
  keys_.Clear();
  folders_.Clear();
  values_.Clear();
}

// ---- Line helpers ---------------------------------------------------------

std::string TQDReg::GetDataKey(const std::string& line) {
  std::size_t p = line.find('=');
  return p == std::string::npos ? line : line.substr(0, p);
}

std::string TQDReg::GetDataValue(const std::string& line) {
  std::size_t p = line.find('=');
  return p == std::string::npos ? std::string() : line.substr(p + 1);
}

std::string TQDReg::BuildData(const std::string& key, const std::string& value) {
  return key + "=" + value;
}

int TQDReg::StrToInt(const std::string& text, int def) {
  std::string t = Trim(text);
  int v = 0;
  if (t.empty() || !TryStrToInt(t, v)) return def;
  return v;
}

std::string TQDReg::ExtractFolderName(const std::string& line) {
  bool open = false, closed = false, bad = false;
  std::string name;
  for (char c : line) {
    if (c == '[') {
      if (closed)
        bad = true;
      else
        open = true;
    } else if (c == ']') {
      open = false;
      closed = true;
    } else if (open) {
      name += c;
    } else if (c != ' ') {
      bad = true;
    }
  }
  return bad ? std::string() : name;
}

std::string TQDReg::EncodeText(const std::string& text, const std::string& separator) {
  std::string r;
  r.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      r += separator;
    } else if (c == '\n') {
      r += separator;
    } else {
      r += c;
    }
  }
  return r;
}

std::string TQDReg::DecodeText(const std::string& text, const std::string& separator) {
  // An empty separator would match everywhere and never advance.
  if (separator.empty()) return text;
  std::string r;
  r.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, separator.size(), separator) == 0) {
      r += "\r\n";
      i += separator.size();
    } else {
      r += text[i++];
    }
  }
  return r;
}

// ---- The text file ----------------------------------------------------------

bool TQDReg::RawSaveToFile() {
  try {
    // Folders in the order of their first entry, the root always first;
    // each folder's entries in their order. One pass, however many folders.
    std::vector<std::string> order{std::string()};
    std::unordered_map<std::string, std::vector<int>> members;
    members[std::string()];
    for (int i = 0; i < folders_.Count(); ++i) {
      auto found = members.find(folders_[i]);
      if (found == members.end()) {
        order.push_back(folders_[i]);
        found = members.emplace(folders_[i], std::vector<int>()).first;
      }
      found->second.push_back(i);
    }

    TStringList lines;
    for (const std::string& folder : order) {
      lines.Add(std::string());
      if (!folder.empty()) lines.Add("[" + folder + "]");
      for (int i : members[folder]) lines.Add(BuildData(keys_[i], values_[i]));
    }
    // Created, or truncated and rewritten in place.
    lines.SaveToFile(IniFilePath());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TQDReg::RawLoadFromFile() {
  std::string path = IniFilePath();
  if (!Platform::FileExists(path)) return false;
  bool ok = true;
  TStringList lines;
  try {
    lines.LoadFromFile(path);
  } catch (const std::exception&) {
    ok = false;
    lines.Clear();
  }
  // The entries of the file, as Add would leave them one after another (a
  // key met again replaces the earlier entry and moves to the end), built
  // in linear time: a long settings file must not hold up the start.
  struct TRead {
    std::string Key, Folder, Value;
  };
  std::vector<TRead> read;
  std::string folder;
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& line = lines[i];
    std::string name = ExtractFolderName(line);
    if (!name.empty()) {
      folder = name;
      continue;
    }
    std::string key = Trim(GetDataKey(line));
    if (!key.empty()) read.push_back({std::move(key), folder, GetDataValue(line)});
  }
  if (read.empty()) return ok;
  // The position of each (folder, key) among the lines read, the last one
  // kept; hashed on views of the strings, which stay in place meanwhile.
  using TSlot = std::pair<std::string_view, std::string_view>;  // folder, key
  struct TSlotHash {
    std::size_t operator()(const TSlot& s) const {
      const std::hash<std::string_view> h;
      return h(s.first) * 31 + h(s.second);
    }
  };
  std::unordered_map<TSlot, std::size_t, TSlotHash> last;
  last.reserve(read.size());
  for (std::size_t i = 0; i < read.size(); ++i) last[TSlot(read[i].Folder, read[i].Key)] = i;
  TStringList keys, folders, values;
  for (int i = 0; i < keys_.Count(); ++i) {
    if (last.count(TSlot(folders_[i], keys_[i])) != 0) continue;
    keys.Add(keys_[i]);
    folders.Add(folders_[i]);
    values.Add(values_[i]);
  }
  // Decided before any string moves away from under the views.
  std::vector<bool> kept(read.size());
  for (std::size_t i = 0; i < read.size(); ++i) kept[i] = last[TSlot(read[i].Folder, read[i].Key)] == i;
  last.clear();
  for (std::size_t i = 0; i < read.size(); ++i) {
    if (!kept[i]) continue;
    keys.Items().push_back(std::move(read[i].Key));
    folders.Items().push_back(std::move(read[i].Folder));
    values.Items().push_back(std::move(read[i].Value));
  }
  keys_.Items().swap(keys.Items());
  folders_.Items().swap(folders.Items());
  values_.Items().swap(values.Items());
  return ok;
}

bool TQDReg::RawClearFile() {
  std::string path = IniFilePath();
  if (!Platform::FileExists(path)) return false;
  Platform::RemoveFile(path);
  return !Platform::FileExists(path);
}

bool TQDReg::SaveToFile() { return RawSaveToFile(); }

bool TQDReg::LoadFromFile() {
  Clear();
  return RawLoadFromFile();
}

bool TQDReg::AppendFromFile() { return RawLoadFromFile(); }

bool TQDReg::ClearFile() { return RawClearFile(); }

// ---- Typed push and pop -----------------------------------------------------

void TQDReg::PushString(const std::string& key, const std::string& value) {
  Add(key, value, std::string());
}

void TQDReg::PushString(const std::string& key, const std::string& value, const std::string& folder) {
  Add(key, value, folder);
}

std::string TQDReg::PopString(const std::string& key) const {
  return PopString(key, std::string(), std::string());
}

std::string TQDReg::PopString(const std::string& key, const std::string& def) const {
  return PopString(key, def, std::string());
}

std::string TQDReg::PopString(const std::string& key, const std::string& def,
                              const std::string& folder) const {
  int i = GetIndex(key, folder);
  return i < 0 ? def : values_[i];
}

void TQDReg::Push(const std::string& key, const std::string& value) { PushString(key, value); }
std::string TQDReg::Pop(const std::string& key) const { return PopString(key); }
std::string TQDReg::Pop(const std::string& key, const std::string& def) const {
  return PopString(key, def);
}
std::string TQDReg::Pop(const std::string& key, const std::string& def,
                        const std::string& folder) const {
  return PopString(key, def, folder);
}

void TQDReg::PushInt(const std::string& key, int value) { PushInt(key, value, std::string()); }

void TQDReg::PushInt(const std::string& key, int value, const std::string& folder) {
  Add(key, IntToStr(value), folder);
}

int TQDReg::PopInt(const std::string& key) const { return PopInt(key, 0, std::string()); }
int TQDReg::PopInt(const std::string& key, int def) const { return PopInt(key, def, std::string()); }

int TQDReg::PopInt(const std::string& key, int def, const std::string& folder) const {
  int i = GetIndex(key, folder);
  return i < 0 ? def : StrToInt(values_[i], def);
}

void TQDReg::PushBool(const std::string& key, bool value) { PushBool(key, value, std::string()); }

void TQDReg::PushBool(const std::string& key, bool value, const std::string& folder) {
  Add(key, value ? "1" : "0", folder);
}

bool TQDReg::PopBool(const std::string& key) const { return PopBool(key, false, std::string()); }
bool TQDReg::PopBool(const std::string& key, bool def) const {
  return PopBool(key, def, std::string());
}

bool TQDReg::PopBool(const std::string& key, bool def, const std::string& folder) const {
  switch (PopInt(key, -1, folder)) {
    case 0: return false;
    case 1: return true;
    default: return def;
  }
}

void TQDReg::PushCheckBox(const std::string& key, const TCheckable* box) {
  Push(key, box && box->Checked() ? "1" : "0");
}

bool TQDReg::PopCheckBox(const std::string& key, bool def) const {
  std::string v = Pop(key);
  if (v == "0") return def;
  return v == "1";
}

// Groups: "0" for none, else the number of the last member that is set.

void TQDReg::PushRadioGroup(const std::string& key, TCheckable* const* buttons, int n) {
  int k = 0;
  for (int i = 0; i < n; ++i)
    if (buttons[i] && buttons[i]->Checked()) k = i + 1;
  Push(key, IntToStr(k));
}

void TQDReg::PushFlagGroup(const std::string& key, bool* const* flags, int n) {
  int k = 0;
  for (int i = 0; i < n; ++i)
    if (flags[i] && *flags[i]) k = i + 1;
  Push(key, IntToStr(k));
}

// The stored member 1..n; a value that is not exactly one of "1".."n", or
// "0", gives def when def lies in 1..n; 0 means none.
int TQDReg::GroupValue(const std::string& key, int n, int def) const {
  std::string v = Pop(key);
  for (int k = 1; k <= n; ++k)
    if (v == IntToStr(k)) return k;
  return def >= 1 && def <= n ? def : 0;
}

void TQDReg::PopRadioGroup(const std::string& key, TCheckable* const* buttons, int n, int def) {
  int k = GroupValue(key, n, def);
  // Only the chosen button is set; a radio button unchecks its siblings.
  if (k > 0 && buttons[k - 1]) buttons[k - 1]->SetChecked(true);
}

void TQDReg::PopFlagGroup(const std::string& key, bool* const* flags, int n, int def) {
  int k = GroupValue(key, n, def);
  for (int i = 0; i < n; ++i)
    if (flags[i]) *flags[i] = (i + 1 == k);
}

// ---- Registry key paths -------------------------------------------------------

std::string TQDReg::ProgramKey() const {
  std::string path = firmenname_.empty() ? programmname_ : firmenname_ + "\\" + programmname_;
  return "Software\\" + path;
}

// The key of a folder: the program key itself for the root, else its subkey.
// Refused while Programmname is empty or any part of the path is empty, so
// that no operation ever reaches HKEY_CURRENT_USER\Software or a company key.
bool TQDReg::RegistryKey(const std::string& folder, std::string& path) const {
  if (programmname_.empty()) return false;
  path = ProgramKey();
  if (!folder.empty()) path += "\\" + folder;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = path.find('\\', start);
    if (end == start || start == path.size()) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool TQDReg::IsInt(const std::string& text) {
  return !text.empty() && text[0] >= '0' && text[0] <= '9';
}
