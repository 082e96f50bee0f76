#include "app/model/EntryRules.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>

#include "app/model/OsServices.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"

namespace {

const std::array<unsigned char, 256>& LowerTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::string all(255, '\0');
    for (int b = 1; b < 256; ++b) all[static_cast<std::size_t>(b - 1)] = static_cast<char>(b);
    const std::string lower = OsServices::AnsiLowerCase(all);
    std::array<unsigned char, 256> t{};
    for (int b = 1; b < 256; ++b)
      t[static_cast<std::size_t>(b)] =
          lower.size() == all.size() ? static_cast<unsigned char>(lower[static_cast<std::size_t>(b - 1)])
                                     : static_cast<unsigned char>(b);
    return t;
  }();
  return table;
}

bool IsWordBreak(char c) { return c == ' ' || c == '\t'; }

// A field takes its new text; the old one is wiped first, so a shorter or
// reallocated value leaves no copy of it behind.
void Store(std::string& field, const std::string& value) {
  if (field == value) return;
  WipeString(field);
  field = value;
}

}  // namespace

char AnsiLowerChar(char c) { return static_cast<char>(LowerTable()[static_cast<unsigned char>(c)]); }

std::string AnsiLower(std::string_view text) {
  const auto& t = LowerTable();
  std::string r(text);
  for (char& c : r) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return r;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& t = LowerTable();
  for (std::size_t i = 0; i < a.size(); ++i)
    if (t[static_cast<unsigned char>(a[i])] != t[static_cast<unsigned char>(b[i])]) return false;
  return true;
}

TSearchQuery::TSearchQuery(const std::string& query) {
  const std::string q = AnsiLower(Trim(query));
  std::size_t i = 0;
  while (i < q.size()) {
    while (i < q.size() && IsWordBreak(q[i])) ++i;
    std::size_t j = i;
    while (j < q.size() && !IsWordBreak(q[j])) ++j;
    if (j > i) words_.push_back(q.substr(i, j - i));
    i = j;
  }
}

bool TSearchQuery::Matches(std::string_view text) const {
  if (words_.empty()) return true;
  const std::string lower = AnsiLower(text);
  for (const std::string& w : words_)
    if (lower.find(w) == std::string::npos) return false;
  return true;
}

bool MatchesSearch(const std::string& text, const std::string& query) { return TSearchQuery(query).Matches(text); }

int NextEntryId(const TVaultEntryList& entries) {
  int highest = 0;
  for (const auto& e : entries) highest = std::max(highest, e->id);
  if (highest < INT_MAX) return highest + 1;
  // Every id up to the largest is thinkable but not every one is taken:
  // the smallest free one.
  std::vector<int> ids;
  ids.reserve(entries.size());
  for (const auto& e : entries)
    if (e->id >= 0) ids.push_back(e->id);
  std::sort(ids.begin(), ids.end());
  int next = 0;
  for (int id : ids) {
    if (id > next) break;
    if (id == next) ++next;
  }
  return next;
}

TVaultEntry* FindEntryById(const TVaultEntryList& entries, int id) {
  for (const auto& e : entries)
    if (e->id == id) return e.get();
  return nullptr;
}

std::string NotesPreview(const TVaultEntry& entry) {
  if (entry.hiddenNotes) return kHiddenNotesText;
  const std::size_t crlf = entry.notes.find("\r\n");
  return crlf == std::string::npos ? entry.notes : entry.notes.substr(0, crlf);
}

TEntryEditTexts::~TEntryEditTexts() {
  WipeString(Title);
  WipeString(User);
  WipeString(Password);
  WipeString(Url);
  WipeString(Automate);
  WipeString(Shortcut);
  WipeString(Notes);
}

TEntrySaveResult EntrySave(TVaultModel& vault, TEntryEditState& state, const TEntryEditTexts& texts,
                           TEntryField sender) {
  TEntrySaveResult r;
  if (state.ReadOnly || state.Updating || !state.EntryOpen || !state.EntryGroup) return r;
  std::string title = Trim(texts.Title);
  if (title.empty()) return r;
  TVaultEntry* e = state.CurrentEntry;
  if (!e) {
    auto record = std::make_unique<TVaultEntry>();
    record->id = NextEntryId(vault.Entries);
    record->group = state.EntryGroup;
    e = record.get();
    vault.Entries.push_back(std::move(record));
    SortEntries(vault.Entries);
    state.CurrentEntry = e;
    r.Created = true;
  }
  e->icon = state.EditedIcon;
  Store(e->title, title);
  WipeString(title);
  Store(e->username, texts.User);
  Store(e->password, texts.Password);
  Store(e->url, texts.Url);
  Store(e->automate, texts.Automate);
  Store(e->shortcut, texts.Shortcut);
  if (!e->hiddenNotes) Store(e->notes, texts.Notes);
  r.Stored = true;
  r.Entry = e;
  r.UpdateRow = r.Created || sender == TEntryField::Title || sender == TEntryField::User ||
                sender == TEntryField::Url || sender == TEntryField::Notes || sender == TEntryField::Icon;
  return r;
}

bool DeleteEntry(TVaultModel& vault, const TVaultEntry* entry, THotKeyRegistrar* hotKeys) {
  auto it = std::find_if(vault.Entries.begin(), vault.Entries.end(),
                         [entry](const std::unique_ptr<TVaultEntry>& p) { return p.get() == entry; });
  if (it == vault.Entries.end()) return false;
  if (hotKeys) UnregisterEntryHotKey(*hotKeys, **it);
  vault.Entries.erase(it);
  return true;
}

int DeleteGroupEntries(TVaultModel& vault, const TVaultGroup* node, THotKeyRegistrar* hotKeys,
                       const std::function<void(const TVaultEntry&)>& onRemove) {
  if (!node) return 0;
  int removed = 0;
  // One pass that keeps the others in order; freeing one at a time from
  // the back would be quadratic in a large vault.
  auto keep = vault.Entries.begin();
  for (auto it = vault.Entries.begin(); it != vault.Entries.end(); ++it) {
    if ((*it)->group && IsNodeInSubtree((*it)->group, node)) {
      if (hotKeys) UnregisterEntryHotKey(*hotKeys, **it);
      if (onRemove) onRemove(**it);
      it->reset();
      ++removed;
    } else {
      if (keep != it) *keep = std::move(*it);
      ++keep;
    }
  }
  vault.Entries.erase(keep, vault.Entries.end());
  return removed;
}

int DeleteGroup(TVaultModel& vault, TVaultGroup* node, THotKeyRegistrar* hotKeys,
                const std::function<void(const TVaultEntry&)>& onRemove) {
  // A group freed meanwhile (the vault was locked while the question was
  // up) is only compared, never touched.
  if (!ContainsGroup(vault.Groups, node)) return 0;
  const int removed = DeleteGroupEntries(vault, node, hotKeys, onRemove);
  vault.Groups.Delete(node);
  return removed;
}

bool ContainsGroup(const TGroupTree& tree, const TVaultGroup* node) {
  if (!node) return false;
  for (const TVaultGroup* g : tree.Nodes())
    if (g == node) return true;
  return false;
}

TGroupNameDecision CheckGroupNameEdit(const std::string& text) {
  TGroupNameDecision d;
  std::string name = Trim(text);
  if (name.empty()) return d;
  if (name.find(':') != std::string::npos) {
    d.Action = TGroupNameEdit::RefuseColon;
    return d;
  }
  d.Action = TGroupNameEdit::Accept;
  d.Name = std::move(name);
  return d;
}

std::string DeleteGroupQuestion(const TVaultGroup& group) {
  return "Delete the group \"" + group.Caption() + "\"" + (group.Count() > 0 ? " and all of its subgroups?" : "?");
}

std::string DeleteEntryQuestion(const TVaultEntry& entry) { return "Delete entry \"" + entry.title + "\"?"; }
