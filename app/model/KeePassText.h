// KeePass 1.x text files: reading them into new entries of the open vault,
// and writing every entry of the vault as such a file.
//
// A KeePass text file is UTF-8 with a byte-order mark (a file without one
// is read as code-page text), one block per entry:
//   "[" title "]"
//   "Group: " name
//   "Group Tree: " ancestors joined by "\" (empty at the top level)
//   "User Name: " ("UserName: " in old files), "URL: ", "Password: "
//   "Notes: " first notes line, then each further notes line
// and, in KeePass's full export, after the notes: "UUID: ", "Icon: ",
// "Creation Time: ", "Last Access: ", "Last Modification: ", "Expires: ",
// "Attachment Description: " (older: "Attachment Title: "), "Attachment: ".
// KeePass ends every block with an empty line; lines end in CR LF or LF.
//
// Reading: a trailing run of those optional lines (in KeePass's order) and
// of empty lines ends the notes, so they never become notes text; "Icon"
// outside the notes sets the icon. Single-line fields that the code page
// cannot hold are imported with "?" in place of the lost characters, and the
// entry is marked so that the summary names it; notes keep such characters
// as the notes editor's "[[U+XXXX]]" tokens.
//
// Writing: the same block without the optional lines except "Icon: ",
// every line ending in CR LF, blocks separated by one empty line and none
// after the last; notes tokens are written as their characters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/model/VaultModel.h"

namespace KeePassTexts {
inline constexpr char kImportCaption[] = "KeePass Import";
inline constexpr char kExportCaption[] = "KeePass Export";
inline constexpr char kUnlockBeforeImport[] = "Unlock the current vault before importing.";
inline constexpr char kNoVaultOpen[] = "Please create or open a Vaultline vault first.";
inline constexpr char kImportDialogTitle[] = "Import KeePass Text File";
inline constexpr char kExportDialogTitle[] = "Export KeePass Text File";
inline constexpr char kFilter[] = "KeePass Text Export (*.txt)|*.txt|All Files (*.*)|*.*";
inline constexpr char kDefaultExt[] = "txt";
inline constexpr char kImportConfirm[] =
    "The selected file contains passwords in plain text.\r\n\r\nImport its entries into the current vault?";
inline constexpr char kReadFailed[] = "The KeePass text file could not be read.\r\n\r\n";  // + the error text
inline constexpr char kFileNotRead[] = "The file could not be read.";
inline constexpr char kNoEntriesFound[] = "No KeePass text entries were found in the selected file.";
inline constexpr char kNoImportData[] = "The import data is not available.";
inline constexpr char kImported[] = " KeePass entries were imported into the current vault.";
inline constexpr char kTitlesGenerated[] = " entries had no title. A title was generated automatically.";
inline constexpr char kEmptySkipped[] = " completely empty entries were skipped.";
inline constexpr char kCharactersLost[] =
    " entries contain characters that the code page of this system cannot hold; they were imported with "
    "\"?\" in their place:";
inline constexpr char kUnlockBeforeExport[] = "Unlock the current vault before exporting.";
inline constexpr char kNoEntriesToExport[] = "The current vault contains no entries.";
inline constexpr char kExportConfirm[] =
    "The export file will contain ALL passwords in plain text.\r\n\r\nContinue?";
inline constexpr char kDefaultExportName[] = "Vaultline-KeePass-Export.txt";
inline constexpr char kWriteFailed[] = "The KeePass text file could not be written.\r\n\r\n";  // + the error text
inline constexpr char kFileNotWritten[] = "The file could not be written.";
inline constexpr char kExportDone[] =
    "The KeePass text export was created successfully.\r\n\r\nDelete or securely store the plain-text file "
    "after use.";
inline constexpr char kImportedGroup[] = "Imported";
inline constexpr char kGeneratedTitle[] = "Imported KeePass Entry ";  // + the number
}  // namespace KeePassTexts

// One entry of a KeePass text file, its texts in the code page (notes in
// the notes editor's token form).
struct TVLKeePassTextEntry {
  std::string title, group, groupTree, userName, url, password, notes;
  int icon = 0;        // KeePass numbering; 0 without a valid "Icon" line
  bool lossy = false;  // a single-line field lost characters to the code page
  TVLKeePassTextEntry() = default;
  TVLKeePassTextEntry(const TVLKeePassTextEntry&) = default;
  TVLKeePassTextEntry(TVLKeePassTextEntry&&) = default;
  TVLKeePassTextEntry& operator=(const TVLKeePassTextEntry&) = default;
  TVLKeePassTextEntry& operator=(TVLKeePassTextEntry&&) = default;
  ~TVLKeePassTextEntry();
};
using TVLKeePassTextEntries = std::vector<TVLKeePassTextEntry>;

// The lines of a KeePass text file as read: UTF-8 when the file began with
// the byte-order mark (which is dropped), code-page text otherwise. They
// are converted field by field when parsed.
struct TKeePassSource {
  std::vector<std::string> Lines;
  bool Utf8 = false;
  TKeePassSource() = default;
  TKeePassSource(const TKeePassSource&) = delete;
  TKeePassSource& operator=(const TKeePassSource&) = delete;
  ~TKeePassSource();
};

// Splits a file's bytes into lines at CR LF, CR or LF (a final line break
// adds no line), after dropping a leading byte-order mark.
void SplitKeePassText(std::string_view bytes, TKeePassSource& source);

// Reads a file (others may read it meanwhile, not write) and splits it.
// False with the error text when it cannot be read.
bool ReadKeePassFile(const std::string& fileName, TKeePassSource& source, std::string& errorText);

// The line, trimmed, is "[" ... "]" (two characters or more), and among the
// next eight lines the first that is not blank is a "Group", "Group Tree",
// "User Name", "UserName", "URL", "Password", "Notes" or "Icon" line.
bool IsKeePassEntryHeader(const std::vector<std::string>& lines, std::size_t index);

// Parses every entry. An entry without a title but with a user name, URL,
// password or notes gets a generated title (counted in generatedTitles); an
// entry with none of them is skipped (counted in skippedEntries). False
// with kNoEntriesFound when no entry is left.
bool ParseKeePassText(const TKeePassSource& source, TVLKeePassTextEntries& entries, std::string& errorText,
                      int& generatedTitles, int& skippedEntries);

// The generated title: the URL's host; else the trimmed user name; else the
// trimmed group and " Entry"; else "Imported KeePass Entry " and number.
std::string KeePassEntryTitle(const TVLKeePassTextEntry& entry, int number);

// The group of an imported entry: the group tree's names (split at "\") are
// found or created from the top down, then the group name below them,
// unless the deepest one already bears that name; without either, the
// top-level group "Imported". Names are compared trimmed and without regard
// to case; ":" in a name becomes "-". New groups get icon 0 and go last
// among their siblings; a group that gained a child is added to expanded
// (once). Groups are not created below kMaxGroupLevel (EntryMoves.h).
TVaultGroup* GroupForImport(TGroupTree& tree, const std::string& groupTree, const std::string& groupName,
                            std::vector<TVaultGroup*>* expanded = nullptr);

// KeePass icon numbers and vault icons: KeePass 1 to 68 are vault icons 235
// to 302; KeePass 0, and anything the icon list (imageCount images) cannot
// show, is vault icon 1. Vault icons other than 235 to 302 export as 0.
int KeePassIconToIndex(int keePassIcon, int imageCount);
int IndexToKeePassIcon(int index);

// The names of a group's ancestors, root first, joined by "\".
std::string GroupTreePath(const TVaultGroup* group);

// The export text of every entry, in UTF-8 without the byte-order mark.
// Sorts vault.Entries by id. The text holds every password: wipe it
// (WipeString) once it is written.
std::string BuildKeePassText(TVaultModel& vault);

// Writes the byte-order mark and the UTF-8 text through "<file>.tmp" and a
// move that replaces the file, so a failure leaves no partial file and an
// existing file intact. False with the error text on failure.
bool WriteUtf8TextFile(const std::string& fileName, const std::string& utf8Text, std::string& errorText);

// The proposed export file: the vault's name with ".txt", or
// "Vaultline-KeePass-Export.txt" for a vault without a path.
std::string KeePassExportFileName(const std::string& vaultPath);

// Adds the parsed entries to the vault in file order: each in its group
// from GroupForImport, with the next free id, the mapped icon and its
// texts; no automate sequence, no shortcut, notes shown.
struct TKeePassImportResult {
  int Imported = 0;
  TVaultEntry* LastEntry = nullptr;
  TVaultGroup* LastGroup = nullptr;             // expand and select it
  std::vector<TVaultGroup*> ExpandedGroups;     // groups that gained subgroups
  std::vector<std::string> LossyTitles;         // entries that lost characters
};
TKeePassImportResult ImportKeePassEntries(TVaultModel& vault, const TVLKeePassTextEntries& parsed, int imageCount);

// The summary message; warning tells whether it takes the warning icon
// (titles generated, entries skipped or characters lost) or the
// information icon.
std::string KeePassImportSummary(int imported, int generatedTitles, int skippedEntries,
                                 const std::vector<std::string>& lossyTitles, bool& warning);
