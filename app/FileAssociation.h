// The shell's file association of vault files: ".qvl" opens with this
// program, written for the current user under HKEY_CURRENT_USER
// "Software\Classes" at every start.
#pragma once

#include <windows.h>

#include <string>

// The text of the open command: the executable in double quotes, a blank,
// and "%1" in double quotes.
std::string FileAssociationCommand(const std::string& executable);

// Writes data as the REG_SZ value valueName ("" for the key's default value)
// of root\subKey, creating the key when it does not exist; the data is
// written with its terminating zero. True when the value was written.
bool SetRegistryString(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& data);

// Associates extension (which must begin with '.') with typeName, described
// as description, opened by executable: three default values under
// HKEY_CURRENT_USER "Software\Classes", each written only when the one
// before was. True when all three were written.
bool RegisterFileAssociation(const std::string& extension, const std::string& typeName,
                             const std::string& description, const std::string& executable);

// The association of this program: ".qvl", "Quorvane Vaultline",
// "Vaultline File" and the running executable.
inline constexpr char kVaultExtension[] = ".qvl";
inline constexpr char kVaultTypeName[] = "Quorvane Vaultline";
inline constexpr char kVaultTypeDescription[] = "Vaultline File";
