// The vault text: the plain-text form of a vault's groups and entries that
// lies inside the encrypted vault file.
//
// Group lines come first, one per group in node-index order:
//   "-" x (level + 1), " ", ["[" icon "] "], name, [": " ids joined by ", "]
// then, when there are entries, an empty line and one block per entry in id
// order, the blocks separated by an empty line:
//   "[" id "]", ["icon: " n], "title: ", "username: ", "password: ", "url: ",
//   "automate: ", ["shortcut: " s], ["hiddenotes: 1"], "notes:" or
//   "notes: " first line + further lines, "."
// Every line of a block ends in CR LF, so the text ends in ".\r\n".
//
// Three rules keep every value intact on the way back:
// - the reader removes only the one blank that the writer puts after ":";
// - a notes line that trims to "." is written with its dot as the token
//   "[[U+002E]]" (which the notes editor shows as a dot), and the reader
//   turns a notes line that trims to that token back into its dot;
// - a group whose name begins with "[" is written with its icon part even
//   when the icon is 0 ("[0] "), so the name is not taken for an icon.
// And "notes: " with nothing after the blank stands for notes that begin
// with an empty line, while "notes:" stands for empty notes; notes that end
// in a line break are written with an empty last line. Line breaks inside
// the notes are written (and so read back) as CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/model/TextLines.h"
#include "app/model/VaultModel.h"

// Writes the groups and entries as vault text. Sorts vault.Entries by id
// first. No groups and no entries give the empty text.
std::string BuildVaultText(TVaultModel& vault);

// Replaces the content of vault with the groups and entries of text.
// Reading never fails: lines that fit no rule are ignored, bad numbers fall
// back to their defaults, entries that no group lists stay without a group.
void ParseVaultText(std::string_view text, TVaultModel& vault);

// True when the line, trimmed, is "[" digits "]" (blanks allowed around the
// digits) and the number fits an int; id receives it.
bool ParseEntryHeader(std::string_view line, int& id);

// True when the text before the line's first ":", trimmed, equals key
// ignoring case; value receives the text after the ":" without the one
// blank that the writer puts there (further blanks belong to the value).
bool ReadKeyValue(std::string_view line, std::string_view key, std::string& value);

// The id lists of the group lines: every id with the group that lists it,
// in the order they were read (the first group that lists an id wins).
struct TIdGroupPair {
  int id;
  TVaultGroup* group;
};
using TIdGroupPairs = std::vector<TIdGroupPair>;

// Splits text at ","; every piece that, trimmed, is not empty and consists of
// digits only is added for group. Only the decimal text of an id names it:
// pieces with leading zeros ("07") or beyond the range of an id name no
// entry and are left out.
void ParseIdList(std::string_view text, TVaultGroup* group, TIdGroupPairs& pairs);
