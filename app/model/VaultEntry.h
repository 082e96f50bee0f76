// One entry of a vault: the record behind a row of the entry list. Entries
// are owned by the vault's entry list, which keeps them sorted by id.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TVaultGroup;

struct TVaultEntry {
  int id = 0;                      // unique, >= 0; also the key of the entry hot key
  int icon = 1;                    // image index in the main icon list
  TVaultGroup* group = nullptr;    // the group that lists the entry (not owned); none = nullptr
  std::string title;
  std::string username;
  std::string password;
  std::string url;
  std::string automate;            // auto-type sequence; empty means the default one
  std::string shortcut;            // entry hot-key text
  std::string notes;               // notes-editor token text, lines separated by CR LF
  bool hiddenNotes = false;

  TVaultEntry() = default;
  TVaultEntry(const TVaultEntry&) = default;
  TVaultEntry(TVaultEntry&&) = default;
  TVaultEntry& operator=(const TVaultEntry&) = default;
  TVaultEntry& operator=(TVaultEntry&&) = default;
  // Every text of the record is wiped: passwords and notes are secrets, and
  // the other fields may be too.
  ~TVaultEntry();
};

// Runs at the end of every record's destructor, once its texts are wiped
// and before its memory is released: tests watch the wipe through it. Null
// (the default) does nothing.
extern void (*VaultEntryReleased)(const TVaultEntry& entry);

// Puts value into a text that may hold a secret: when the text's buffer is
// too small, its old content is wiped before the buffer is released.
void AssignWiping(std::string& target, std::string_view value);

// Makes room for at least capacity bytes; a buffer that has to move is
// copied and wiped, so no copy of the text is left behind in freed memory.
void ReserveWiping(std::string& text, std::size_t capacity);

// Sets the initial values: id 0, icon 1, no group, empty texts, notes shown.
void InitVaultEntry(TVaultEntry& entry);

// -1, 0 or 1 by id.
int CompareEntryIds(const TVaultEntry& a, const TVaultEntry& b);

// The owned, id-sorted list of records. Records do not move in memory when
// the list is sorted or grows, so pointers to them stay valid.
using TVaultEntryList = std::vector<std::unique_ptr<TVaultEntry>>;

// Sorts by ascending id; records with the same id keep their order.
void SortEntries(TVaultEntryList& entries);
