// TQDReg: the settings store. An ordered list of text entries, each a key, a
// value and a folder ("" is the root), kept in memory and persisted as an
// INI-style text file or under a registry key of the current user. Typed
// push and pop operations turn strings, numbers, flags, check boxes and
// radio-button groups into entry texts and back.
//
// The file, entry and typed operations are portable. The registry store, the
// autostart value and the shell-folder lookups exist only in the Windows
// build (QDRegWin32.cpp); AppDir exists in both.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/Component.h"
#include "base/Exceptions.h"
#include "base/StringList.h"
#include "settings/Checkable.h"

// shlwapi.h turns StrToInt into StrToIntA; our member keeps its own name.
// (Include shlwapi.h before this header, never after it.)
#ifdef StrToInt
#undef StrToInt
#endif

namespace qdreg_detail {

template <typename Ptr, typename Tuple, std::size_t... I>
constexpr bool HeadConvertible(std::index_sequence<I...>) {
  return (std::is_convertible_v<std::tuple_element_t<I, Tuple>, Ptr> && ...);
}

// True for N (2 to 10) arguments convertible to Ptr.
template <typename Ptr, typename... A>
constexpr bool kMembers =
    sizeof...(A) >= 2 && sizeof...(A) <= 10 && (std::is_convertible_v<A, Ptr> && ...);

// True for N (2 to 10) arguments convertible to Ptr followed by an integer.
template <typename Ptr, typename... A>
constexpr bool MembersThenIndex() {
  constexpr std::size_t n = sizeof...(A);
  if constexpr (n < 3 || n > 11) {
    return false;
  } else {
    using Tuple = std::tuple<A...>;
    using Last = std::remove_cvref_t<std::tuple_element_t<n - 1, Tuple>>;
    return std::is_integral_v<Last> && !std::is_same_v<Last, bool> &&
           HeadConvertible<Ptr, Tuple>(std::make_index_sequence<n - 1>{});
  }
}

template <typename Ptr, typename Tuple, std::size_t... I>
std::array<Ptr, sizeof...(I)> Head(const Tuple& t, std::index_sequence<I...>) {
  return {static_cast<Ptr>(std::get<I>(t))...};
}

}  // namespace qdreg_detail

// Raised when the system refuses a registry write.
class ERegistryError : public Exception { using Exception::Exception; };

class TQDReg : public TComponent {
 public:
  explicit TQDReg(TComponent* owner = nullptr);
  ~TQDReg() override;

  // ---- Properties -------------------------------------------------------
  // Registry path: "Software\" [Firmenname "\"] Programmname.
  const std::string& Programmname() const { return programmname_; }
  void SetProgrammname(const std::string& value);
  const std::string& Firmenname() const { return firmenname_; }
  void SetFirmenname(const std::string& value);
  // The text file: IniFileDir (AppDir at construction) and IniFileName
  // ("config.ini" at construction).
  const std::string& IniFileName() const { return iniFileName_; }
  void SetIniFileName(const std::string& value);
  const std::string& IniFileDir() const { return iniFileDir_; }
  void SetIniFileDir(const std::string& value);

  // IniFileDir, a path delimiter unless it is empty or already ends in one,
  // then IniFileName.
  std::string IniFilePath() const;

  // ---- Entries ----------------------------------------------------------
  // Keys and folders compare exactly (case-sensitive).
  int GetIndex(const std::string& key) const;
  int GetIndex(const std::string& key, const std::string& folder) const;
  bool Exist(const std::string& key) const;
  bool Exist(const std::string& key, const std::string& folder) const;
  // Replaces (key, folder): the entry moves to the end of the list.
  void Add(const std::string& key, const std::string& value, const std::string& folder);
  // Removes the first matching entry; false when there was none or another
  // matching entry remains.
  bool Delete(const std::string& key);
  bool Delete(const std::string& key, const std::string& folder);
  void Clear();

  // Read-only view of the entries, in list order.
  int Count() const { return keys_.Count(); }
  const TStringList& Keys() const { return keys_; }
  const TStringList& Folders() const { return folders_; }
  const TStringList& Values() const { return values_; }

  // ---- Line helpers -----------------------------------------------------
  static std::string GetDataKey(const std::string& line);    // before the first "="
  static std::string GetDataValue(const std::string& line);  // after the first "="
  static std::string BuildData(const std::string& key, const std::string& value);
  // Trimmed strict decimal, else def.
  static int StrToInt(const std::string& text, int def);
  // The name of a "[name]" folder line, else "".
  static std::string ExtractFolderName(const std::string& line);
  // Every CR LF, lone CR and lone LF becomes the separator, and back to CR LF.
  static std::string EncodeText(const std::string& text, const std::string& separator);
  static std::string DecodeText(const std::string& text, const std::string& separator);

  // ---- The text file ----------------------------------------------------
  // The writer rewrites the file in place. The readers add the file's
  // entries to the present ones; false when the file is missing or unreadable.
  bool RawSaveToFile();
  bool RawLoadFromFile();
  bool RawClearFile();
  bool SaveToFile();
  bool LoadFromFile();    // Clear, then read
  bool AppendFromFile();  // read without clearing
  bool ClearFile();       // deletes the file; false when there was none

  // ---- Typed push and pop -----------------------------------------------
  // Forms without a folder work on the root folder "".
  void PushString(const std::string& key, const std::string& value);
  void PushString(const std::string& key, const std::string& value, const std::string& folder);
  std::string PopString(const std::string& key) const;
  std::string PopString(const std::string& key, const std::string& def) const;
  std::string PopString(const std::string& key, const std::string& def, const std::string& folder) const;
  void Push(const std::string& key, const std::string& value);
  std::string Pop(const std::string& key) const;
  std::string Pop(const std::string& key, const std::string& def) const;
  std::string Pop(const std::string& key, const std::string& def, const std::string& folder) const;

  void PushInt(const std::string& key, int value);
  void PushInt(const std::string& key, int value, const std::string& folder);
  int PopInt(const std::string& key) const;
  int PopInt(const std::string& key, int def) const;
  int PopInt(const std::string& key, int def, const std::string& folder) const;

  // "1" and "0"; any other stored text reads as the default.
  void PushBool(const std::string& key, bool value);
  void PushBool(const std::string& key, bool value, const std::string& folder);
  bool PopBool(const std::string& key) const;
  bool PopBool(const std::string& key, bool def) const;
  bool PopBool(const std::string& key, bool def, const std::string& folder) const;
  // A single pointer would silently read as a bool: refuse it.
  template <typename T> void PushBool(const std::string&, T*) = delete;
  template <typename T> bool PopBool(const std::string&, T*) const = delete;

  // "1" when checked, else "0". The pop returns def for a stored "0", true
  // for "1" and false for anything else (a missing key too).
  void PushCheckBox(const std::string& key, const TCheckable* box);
  bool PopCheckBox(const std::string& key, bool def) const;

  // Groups of 2 to 10 radio buttons (any TCheckable*) or bool flags, in the
  // root folder: "0" when none is set, else the number 1..N of the last set
  // member in argument order. The pop takes the default index after the
  // members; a stored value outside 1..N, or "0", selects it. The radio pop
  // only checks the chosen button; the flag pop clears all flags first.
  //   PushRadioButtons(key, b1, ..., bN)   PopRadioButtons(key, b1, ..., bN, def)
  //   PushBool(key, &f1, ..., &fN)         PopBool(key, &f1, ..., &fN, def)
  template <typename... B>
    requires qdreg_detail::kMembers<TCheckable*, B...>
  void PushRadioButtons(const std::string& key, B... buttons) {
    const std::array<TCheckable*, sizeof...(B)> list{static_cast<TCheckable*>(buttons)...};
    PushRadioGroup(key, list.data(), static_cast<int>(list.size()));
  }

  template <typename... A>
    requires(qdreg_detail::MembersThenIndex<TCheckable*, A...>())
  void PopRadioButtons(const std::string& key, A... args) {
    constexpr std::size_t n = sizeof...(A) - 1;
    const auto t = std::forward_as_tuple(args...);
    const auto list = qdreg_detail::Head<TCheckable*>(t, std::make_index_sequence<n>{});
    PopRadioGroup(key, list.data(), static_cast<int>(n), static_cast<int>(std::get<n>(t)));
  }

  template <typename... B>
    requires qdreg_detail::kMembers<bool*, B...>
  void PushBool(const std::string& key, B... flags) {
    const std::array<bool*, sizeof...(B)> list{static_cast<bool*>(flags)...};
    PushFlagGroup(key, list.data(), static_cast<int>(list.size()));
  }

  template <typename... A>
    requires(qdreg_detail::MembersThenIndex<bool*, A...>())
  void PopBool(const std::string& key, A... args) {
    constexpr std::size_t n = sizeof...(A) - 1;
    const auto t = std::forward_as_tuple(args...);
    const auto list = qdreg_detail::Head<bool*>(t, std::make_index_sequence<n>{});
    PopFlagGroup(key, list.data(), static_cast<int>(n), static_cast<int>(std::get<n>(t)));
  }

  // ---- Registry store (Windows build only) ------------------------------
  // HKEY_CURRENT_USER\Software\[Firmenname\]Programmname holds the root
  // folder's entries as text values, each other folder one subkey of it.
  // Every operation refuses (false, nothing touched) while Programmname is
  // empty or the key path would hold an empty component: it never works on
  // HKEY_CURRENT_USER\Software itself. A write that the system refuses
  // raises ERegistryError.
  // "Software\" [Firmenname "\"] Programmname, as it stands.
  std::string ProgramKey() const;
  bool RawSaveRegistryValue(const std::string& key, const std::string& value, const std::string& folder);
  bool RawSaveAllToRegistry();
  bool RawLoadFolderFormRegistry(const std::string& folder);
  bool RawLoadAllFoldersFromRegistry();
  bool RawClearRegistry(const std::string& folder);
  bool SaveToRegistry();
  bool LoadFromRegistry();    // Clear, then read
  bool AppendFromRegistry();  // read without clearing
  bool ClearRegistry();       // deletes the whole program key

  // ---- System services --------------------------------------------------
  // Autostart: the value name under ...\CurrentVersion\Run of the current
  // user (…CurrentUser) or of the machine, holding the executable's quoted
  // path. Windows build only.
  static void SetSystemStartupCurrentUser(bool on, const std::string& name);
  static bool GetSystemStartupCurrentUser(const std::string& name);
  static void SetSystemStartup(bool on, const std::string& name);
  static bool GetSystemStartup(const std::string& name);

  // The executable's directory, ending in a path delimiter (both builds).
  static std::string AppDir();

  // Explorer's shell folders of the current user, ending in "\", or "" when
  // not recorded. Windows build only.
  static std::string GetShellFolder(const std::string& valueName);
  static std::string GetDirCache();
  static std::string GetDirDesktop();
  static std::string GetDirFavorites();
  static std::string GetDirFonts();
  static std::string GetDirNetHood();
  static std::string GetDirPersonal();
  static std::string GetDirPrograms();
  static std::string GetDirSendTo();
  static std::string GetDirStartMenu();
  static std::string GetDirStartup();
  static std::string GetDirAppData();
  static std::string GetDirQuickLaunch();

  // The first character is a digit.
  static bool IsInt(const std::string& text);

 private:
  bool ReadFile();
  bool RegistryKey(const std::string& folder, std::string& path) const;
  void PushRadioGroup(const std::string& key, TCheckable* const* buttons, int n);
  void PopRadioGroup(const std::string& key, TCheckable* const* buttons, int n, int def);
  void PushFlagGroup(const std::string& key, bool* const* flags, int n);
  void PopFlagGroup(const std::string& key, bool* const* flags, int n, int def);
  int GroupValue(const std::string& key, int n, int def) const;

  std::string programmname_;
  std::string firmenname_;
  std::string iniFileName_;
  std::string iniFileDir_;
  TStringList keys_;
  TStringList folders_;
  TStringList values_;
};
