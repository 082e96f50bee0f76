// The rules of the group tree and the entry list that need no window:
// search, the next entry id, group-name checks, saving the details panel
// into its record, the notes preview, and deleting groups and entries.
// The main window calls these and shows their results.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/model/Shortcuts.h"
#include "app/model/VaultModel.h"

// ---- Case in the ANSI code page ---------------------------------------------

// Lower case of every byte as the code page has it (OsServices::AnsiLowerCase,
// looked up once into a table): "É" (0xC9) becomes "é" (0xE9) in
// Windows-1252.
char AnsiLowerChar(char c);
std::string AnsiLower(std::string_view text);
bool AnsiSameText(std::string_view a, std::string_view b);

// ---- Search --------------------------------------------------------------------

// A search query cut into lower-case words at blanks and tabs. An empty (or
// blanks-only) query matches everything; otherwise a text matches when
// every word occurs in its lower-case form. Only titles are searched.
class TSearchQuery {
 public:
  explicit TSearchQuery(const std::string& query);
  bool MatchesAll() const { return words_.empty(); }
  bool Matches(std::string_view text) const;

 private:
  std::vector<std::string> words_;
};

bool MatchesSearch(const std::string& text, const std::string& query);

// ---- Entries -------------------------------------------------------------------

// The highest id plus 1, 1 for an empty list. When the highest id is the
// largest int, the smallest id that no entry uses.
int NextEntryId(const TVaultEntryList& entries);

// The first record with that id, or nullptr.
TVaultEntry* FindEntryById(const TVaultEntryList& entries, int id);

inline constexpr char kHiddenNotesText[] = "[HIDDEN]";

// The notes column of the entry list: the notes up to the first CR LF, or
// "[HIDDEN]" when the entry hides its notes.
std::string NotesPreview(const TVaultEntry& entry);

// What the details panel holds while an entry is edited.
struct TEntryEditState {
  bool Updating = false;   // the program is filling the controls
  bool ReadOnly = false;
  bool EntryOpen = false;
  TVaultGroup* EntryGroup = nullptr;    // the group the entry belongs (or will belong) to
  TVaultEntry* CurrentEntry = nullptr;  // null while a new entry has no record yet
  int EditedIcon = 1;
};

// The texts of the detail controls as they stand. Notes is the notes
// field's text, which reads "[HIDDEN]" while the notes are hidden.
struct TEntryEditTexts {
  std::string Title, User, Password, Url, Automate, Shortcut, Notes;
  TEntryEditTexts() = default;
  TEntryEditTexts(const TEntryEditTexts&) = delete;
  TEntryEditTexts& operator=(const TEntryEditTexts&) = delete;
  ~TEntryEditTexts();
};

// The control whose change runs the save.
enum class TEntryField { Other, Title, User, Password, Url, Automate, Shortcut, Notes, Icon };

struct TEntrySaveResult {
  bool Stored = false;      // the record changed: mark the vault modified
  bool Created = false;     // a new record: also refresh the notes state
  bool UpdateRow = false;   // refresh the entry's row in the list
  TVaultEntry* Entry = nullptr;
};

// Stores the details panel into its record. Nothing happens while the
// program fills the controls, on a read-only vault, without an open entry
// or its group, or while the trimmed title is empty: a new entry has no
// record until it has a title. A new record gets the next id and the
// entry's group and becomes state.CurrentEntry. The record takes the icon,
// the trimmed title and the other texts as they stand; the notes only
// while the record does not hide them, so "[HIDDEN]" is never stored.
TEntrySaveResult EntrySave(TVaultModel& vault, TEntryEditState& state, const TEntryEditTexts& texts,
                           TEntryField sender);

// Removes one entry: its hot key is unregistered (when a registrar is
// given) and the record freed. False when the record is not in the list.
bool DeleteEntry(TVaultModel& vault, const TVaultEntry* entry, THotKeyRegistrar* hotKeys);

// Removes every entry whose group lies in node's subtree (node included).
// Before each record is freed, its hot key is unregistered and onRemove
// runs (the window forgets the record when it is the current one). Entries
// of other groups keep their order. Returns the number removed.
int DeleteGroupEntries(TVaultModel& vault, const TVaultGroup* node, THotKeyRegistrar* hotKeys,
                       const std::function<void(const TVaultEntry&)>& onRemove = {});

// True when node is a group of tree. The pointer is only compared, so it
// may be one that was freed meanwhile.
bool ContainsGroup(const TGroupTree& tree, const TVaultGroup* node);

// DeleteGroupEntries, then the node with its subgroups; nothing (0) when
// the node is not in the tree.
int DeleteGroup(TVaultModel& vault, TVaultGroup* node, THotKeyRegistrar* hotKeys,
                const std::function<void(const TVaultEntry&)>& onRemove = {});

// ---- Groups --------------------------------------------------------------------

// A group name typed in the group dialog or in place: a blank name is
// ignored without a word, a name with ":" is refused with
// GroupTexts::kColonText (DialogRules.h), anything else is taken trimmed.
enum class TGroupNameEdit { Accept, Ignore, RefuseColon };
struct TGroupNameDecision {
  TGroupNameEdit Action = TGroupNameEdit::Ignore;
  std::string Name;
};
TGroupNameDecision CheckGroupNameEdit(const std::string& text);

// ---- Texts of the commands ----------------------------------------------------

namespace EntryTexts {
inline constexpr char kSelectGroupFirst[] = "Please select a group first.";
inline constexpr char kSelectEntryFirst[] = "Please select an entry first.";
inline constexpr char kNewGroupCaption[] = "New Group";
inline constexpr char kEditGroupCaption[] = "Edit Group";
inline constexpr char kGroupNameLabel[] = "Group Name:";
inline constexpr char kDeleteGroupCaption[] = "Delete Group";
inline constexpr char kNewEntryCaption[] = "New Password Entry";
inline constexpr char kOpenEntryCaption[] = "Open Password Entry";
inline constexpr char kDeleteEntryCaption[] = "Delete Entry";
inline constexpr char kSelectIconCaption[] = "Select Entry Icon";
inline constexpr char kShowNotes[] = "Show Notes";
inline constexpr char kHideNotes[] = "Hide Notes";
inline constexpr char kReplacePasswordCaption[] = "Replace password?";
inline constexpr char kReplacePassword[] =
    "This entry already contains a password.\r\n\r\nDo you want to replace it with a newly generated password?";
}  // namespace EntryTexts

// "Delete the group "name" and all of its subgroups?" for a group with
// subgroups, else "Delete the group "name"?".
std::string DeleteGroupQuestion(const TVaultGroup& group);
// "Delete entry "title"?".
std::string DeleteEntryQuestion(const TVaultEntry& entry);
