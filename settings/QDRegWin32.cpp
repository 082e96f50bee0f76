// The settings store's Windows services: persistence under a registry key
// of the current user, the autostart value, the executable's directory and
// Explorer's shell folders.
#include <windows.h>

#include <vector>

#include "settings/ModuleFileName.h"
#include "settings/QDReg.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kMapGroupsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups";

// One open registry key, closed when it goes out of scope.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (h_) RegCloseKey(h_);
  }

  // Opens the key for reading and writing, creating it when missing.
  bool Create(HKEY root, const std::string& path) {
    return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, &h_, nullptr) == ERROR_SUCCESS;
  }

  bool OpenReadOnly(HKEY root, const std::string& path) {
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &h_) == ERROR_SUCCESS;
  }

  bool OpenWrite(HKEY root, const std::string& path) {
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &h_) == ERROR_SUCCESS;
  }

  bool ValueExists(const std::string& name) const {
    return RegQueryValueExA(h_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }

  // A text value (REG_SZ) up to the value's first NUL.
  void WriteString(const std::string& name, const std::string& value) {
    std::string data(value.c_str());  // the registry keeps text up to a NUL
    LONG rc = RegSetValueExA(h_, name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1));
    if (rc != ERROR_SUCCESS)
      throw ERegistryError("Failed to set data for '" + name + "'");
  }

  // False when the value is missing or is not text.
  bool ReadString(const std::string& name, std::string& out) const {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(h_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::vector<char> buf;
    for (int tries = 0; tries < 8; ++tries) {
      buf.assign(static_cast<std::size_t>(size) + 1, '\0');
      DWORD got = size;
      LONG rc = RegQueryValueExA(h_, name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(buf.data()), &got);
      if (rc == ERROR_MORE_DATA) {
        size = got > size ? got : size * 2 + 16;  // it grew meanwhile
        continue;
      }
      if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
      out.assign(buf.data(), got);
      std::size_t nul = out.find('\0');
      if (nul != std::string::npos) out.resize(nul);
      return true;
    }
    return false;
  }

  bool DeleteValue(const std::string& name) {
    return RegDeleteValueA(h_, name.c_str()) == ERROR_SUCCESS;
  }

  std::vector<std::string> ValueNames() const {
    return Enumerate([this](DWORD i, char* buf, DWORD* len) {
      return RegEnumValueA(h_, i, buf, len, nullptr, nullptr, nullptr, nullptr);
    });
  }

  std::vector<std::string> KeyNames() const {
    return Enumerate([this](DWORD i, char* buf, DWORD* len) {
      return RegEnumKeyExA(h_, i, buf, len, nullptr, nullptr, nullptr, nullptr);
    });
  }

 private:
  template <typename F>
  static std::vector<std::string> Enumerate(F enumAt) {
    std::vector<std::string> names;
    std::vector<char> buf(256);
    for (DWORD i = 0;;) {
      DWORD len = static_cast<DWORD>(buf.size());
      LONG rc = enumAt(i, buf.data(), &len);
      if (rc == ERROR_MORE_DATA && buf.size() < 65536) {
        buf.resize(buf.size() * 2);
        continue;
      }
      if (rc != ERROR_SUCCESS) break;
      names.emplace_back(buf.data(), len);
      ++i;
    }
    return names;
  }

  HKEY h_ = nullptr;
};

bool KeyExists(HKEY root, const std::string& path) {
  RegKey k;
  return k.OpenReadOnly(root, path);
}

void SetStartup(HKEY root, bool on, const std::string& name) {
  RegKey k;
  if (on) {
    // Quoted, so that a path with spaces cannot start another program.
    if (k.Create(root, kRunKey)) {
      std::string quoted(1, '"');
      quoted += qdreg_win32::ModuleFileName();
      quoted += '"';
      k.WriteString(name, quoted);
    }
  } else if (k.OpenWrite(root, kRunKey)) {
    if (k.ValueExists(name)) k.DeleteValue(name);
  }
}

bool GetStartup(HKEY root, const std::string& name) {
  RegKey k;
  return k.OpenReadOnly(root, kRunKey) && k.ValueExists(name);
}

std::string FolderValue(const char* key, const std::string& valueName) {
  RegKey k;
  std::string dir;
  if (!k.OpenReadOnly(HKEY_CURRENT_USER, key) || !k.ReadString(valueName, dir)) return {};
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir;
}

}  // namespace

namespace qdreg_win32 {

std::string ModuleFileName(std::uint32_t initialSize) {
  std::vector<char> buf(initialSize > 0 ? initialSize : 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::string(buf.data(), n);
    // The name filled the buffer and may have been cut: try a larger one.
    if (buf.size() >= 65536) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace qdreg_win32

// ---- Registry store ---------------------------------------------------------

bool TQDReg::RawSaveRegistryValue(const std::string& key, const std::string& value,
                                  const std::string& folder) {
  std::string path;
  if (!RegistryKey(folder, path)) return false;
  RegKey k;
  if (!k.Create(HKEY_CURRENT_USER, path)) return false;
  k.WriteString(key, value);
  return k.ValueExists(key);
}

bool TQDReg::RawSaveAllToRegistry() {
  std::string path;
  if (!RegistryKey(std::string(), path)) return false;
  bool ok = true;
  for (int i = 0; i < keys_.Count(); ++i)
    if (!RawSaveRegistryValue(keys_[i], values_[i], folders_[i])) ok = false;
  return ok;
}

bool TQDReg::RawLoadFolderFormRegistry(const std::string& folder) {
  std::string path;
  if (!RegistryKey(folder, path)) return false;
  RegKey k;
  if (!k.OpenReadOnly(HKEY_CURRENT_USER, path)) return false;
  // Values that are not text are left out.
  for (const std::string& name : k.ValueNames()) {
    std::string text;
    if (k.ReadString(name, text)) Add(name, text, folder);
  }
  return true;
}

bool TQDReg::RawLoadAllFoldersFromRegistry() {
  std::string path;
  if (!RegistryKey(std::string(), path)) return false;
  RegKey k;
  if (!k.OpenReadOnly(HKEY_CURRENT_USER, path)) return false;
  bool ok = true;
  RawLoadFolderFormRegistry(std::string());
  // One level of subkeys, each a folder, in the registry's order.
  for (const std::string& folder : k.KeyNames())
    if (!RawLoadFolderFormRegistry(folder)) ok = false;
  return ok;
}

bool TQDReg::RawClearRegistry(const std::string& folder) {
  std::string path;
  if (!RegistryKey(folder, path)) return false;
  if (!KeyExists(HKEY_CURRENT_USER, path)) return false;
  RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  if (KeyExists(HKEY_CURRENT_USER, path)) RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
  return !KeyExists(HKEY_CURRENT_USER, path);
}

bool TQDReg::SaveToRegistry() { return RawSaveAllToRegistry(); }

bool TQDReg::LoadFromRegistry() {
  std::string path;
  if (!RegistryKey(std::string(), path)) return false;
  Clear();
  return RawLoadAllFoldersFromRegistry();
}

bool TQDReg::AppendFromRegistry() { return RawLoadAllFoldersFromRegistry(); }

bool TQDReg::ClearRegistry() { return RawClearRegistry(std::string()); }

// ---- System services ----------------------------------------------------------

void TQDReg::SetSystemStartupCurrentUser(bool on, const std::string& name) {
  SetStartup(HKEY_CURRENT_USER, on, name);
}

bool TQDReg::GetSystemStartupCurrentUser(const std::string& name) {
  return GetStartup(HKEY_CURRENT_USER, name);
}

void TQDReg::SetSystemStartup(bool on, const std::string& name) {
  SetStartup(HKEY_LOCAL_MACHINE, on, name);
}

bool TQDReg::GetSystemStartup(const std::string& name) { return GetStartup(HKEY_LOCAL_MACHINE, name); }

std::string TQDReg::AppDir() {
  std::string path = qdreg_win32::ModuleFileName();
  std::size_t p = path.find_last_of('\\');
  std::string dir = p == std::string::npos ? std::string() : path.substr(0, p + 1);
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

std::string TQDReg::GetShellFolder(const std::string& valueName) {
  return FolderValue(kShellFoldersKey, valueName);
}

std::string TQDReg::GetDirCache() { return GetShellFolder("Cache"); }
std::string TQDReg::GetDirDesktop() { return GetShellFolder("Desktop"); }
std::string TQDReg::GetDirFavorites() { return GetShellFolder("Favorites"); }
std::string TQDReg::GetDirFonts() { return GetShellFolder("Fonts"); }
std::string TQDReg::GetDirNetHood() { return GetShellFolder("NetHood"); }
std::string TQDReg::GetDirPersonal() { return GetShellFolder("Personal"); }
std::string TQDReg::GetDirPrograms() { return GetShellFolder("Programs"); }
std::string TQDReg::GetDirSendTo() { return GetShellFolder("SendTo"); }
std::string TQDReg::GetDirStartMenu() { return GetShellFolder("Start Menu"); }
std::string TQDReg::GetDirStartup() { return GetShellFolder("Startup"); }
std::string TQDReg::GetDirAppData() { return GetShellFolder("AppData"); }

std::string TQDReg::GetDirQuickLaunch() { return FolderValue(kMapGroupsKey, "Quick Launch"); }
