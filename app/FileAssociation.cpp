#include "app/FileAssociation.h"

namespace {

constexpr char kClassesKey[] = "Software\\Classes\\";

}  // namespace

std::string FileAssociationCommand(const std::string& executable) {
  return "\"" + executable + "\" \"%1\"";
}

bool SetRegistryString(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& data) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const LONG result = RegSetValueExA(key, valueName.empty() ? nullptr : valueName.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool RegisterFileAssociation(const std::string& extension, const std::string& typeName,
                             const std::string& description, const std::string& executable) {
  if (extension.empty() || extension[0] != '.') return false;
  const std::string classes = kClassesKey;
  if (!SetRegistryString(HKEY_CURRENT_USER, classes + extension, "", typeName)) return false;
  if (!SetRegistryString(HKEY_CURRENT_USER, classes + typeName, "", description)) return false;
  return SetRegistryString(HKEY_CURRENT_USER, classes + typeName + "\\shell\\open\\command", "",
                           FileAssociationCommand(executable));
}
