// Small raw registry helpers for the Windows tests, independent of the store.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace regtest {

inline bool KeyExists(HKEY root, const std::string& path) {
  HKEY h;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

inline bool ReadText(HKEY root, const std::string& path, const std::string& name, std::string& out) {
  char buf[4096];
  DWORD size = sizeof buf, type = 0;
  if (RegGetValueA(root, path.c_str(), name.c_str(), RRF_RT_ANY, &type, buf, &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ || size == 0) return false;
  out.assign(buf, size - 1);
  return true;
}

inline void WriteText(HKEY root, const std::string& path, const std::string& name, const std::string& value) {
  HKEY h;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(h);
}

inline void WriteDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  HKEY h;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(h);
}

inline void DeleteTree(HKEY root, const std::string& path) { RegDeleteTreeA(root, path.c_str()); }

inline void DeleteValue(HKEY root, const std::string& path, const std::string& name) {
  RegDeleteKeyValueA(root, path.c_str(), name.c_str());
}

// Names of the subkeys ("K:name") and values ("V:name=data") directly under a key.
inline std::vector<std::string> Listing(HKEY root, const std::string& path) {
  std::vector<std::string> out;
  HKEY h;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return out;
  char name[1024];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out.push_back("K:" + std::string(name, len));
  }
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    BYTE data[4096];
    DWORD size = sizeof data;
    if (RegEnumValueA(h, i, name, &len, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
    out.push_back("V:" + std::string(name, len) + "=" +
                  std::string(reinterpret_cast<const char*>(data), size));
  }
  RegCloseKey(h);
  return out;
}

inline std::string UniqueSuffix() {
  return std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
}

}  // namespace regtest
