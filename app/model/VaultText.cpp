#include "app/model/VaultText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Wipe.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
// The notes editor's token for "."; a notes line that would read as the end
// of the notes is written with it.
constexpr std::string_view kDotToken = "[[U+002E]]";
constexpr int kLevelSlots = 128;  // group levels 0 to 127

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Strict decimal int with an optional sign, as the group icon and the icon
// and hiddenotes values are read.
bool ToInt(std::string_view s, int& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return false;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<std::int64_t>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

int ToIntDef(std::string_view s, int def) {
  int v;
  return ToInt(s, v) ? v : def;
}

void AppendInt(std::string& out, std::int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// Appends one notes line; a line that trims to "." carries its dot as the
// token, with the blanks around it kept.
void AppendNotesLine(std::string& out, std::string_view line) {
  std::string_view t = TrimBlanks(line);
  if (t == ".") {
    std::size_t dot = static_cast<std::size_t>(t.data() - line.data());
    out.append(line.substr(0, dot));
    out.append(kDotToken);
    out.append(line.substr(dot + 1));
  } else {
    out.append(line);
  }
}

// The reverse: a notes line that trims to the token gets its dot back.
void AppendReadNotesLine(std::string& out, std::string_view line) {
  std::string_view t = TrimBlanks(line);
  if (t == kDotToken) {
    std::size_t at = static_cast<std::size_t>(t.data() - line.data());
    out.append(line.substr(0, at));
    out.push_back('.');
    out.append(line.substr(at + kDotToken.size()));
  } else {
    out.append(line);
  }
}

void AppendGroupLine(std::string& out, const TVaultGroup& group, const std::vector<int>& ids) {
  ReserveWiping(out, out.size() + group.Caption().size() + static_cast<std::size_t>(group.Level()) + 40 +
                         ids.size() * 13);
  out.append(static_cast<std::size_t>(group.Level()) + 1, '-');
  out.push_back(' ');
  std::string_view name = TrimBlanks(group.Caption());
  if (group.ImageIndex() > 0) {
    out.push_back('[');
    AppendInt(out, group.ImageIndex());
    out.append("] ");
  } else if (!name.empty() && name.front() == '[') {
    // Without it the reader would take a name such as "[5]" for an icon.
    out.append("[0] ");
  }
  out.append(name);
  if (!ids.empty()) {
    out.append(": ");
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (i) out.append(", ");
      AppendInt(out, ids[i]);
    }
  }
}

void AppendField(std::string& out, std::string_view key, std::string_view value) {
  out.append(key);
  out.append(": ");
  out.append(value);
  out.append(kCrLf);
}

// Large vaults do not fit the caches: the walks over the entries ask for
// the records (and, closer ahead, their texts) before they get to them.
void PrefetchRecord(const TVaultEntry* e) {
  const char* p = reinterpret_cast<const char*>(e);
  for (std::size_t off = 0; off < sizeof(TVaultEntry); off += 64) __builtin_prefetch(p + off);
}

void PrefetchTexts(const TVaultEntry& e) {
  for (const std::string* s : {&e.title, &e.username, &e.password, &e.url, &e.automate, &e.notes})
    __builtin_prefetch(s->data());
}

// An upper bound of the bytes AppendEntryBlock writes: the keys, numbers and
// line ends, the fields, and the notes, whose lines can grow up to elevenfold
// (a "." line with a one-byte line break becomes the token and CR LF).
std::size_t EntryBlockBound(const TVaultEntry& e) {
  return 200 + e.title.size() + e.username.size() + e.password.size() + e.url.size() + e.automate.size() +
         e.shortcut.size() + 11 * e.notes.size();
}

void AppendEntryBlock(std::string& out, const TVaultEntry& e) {
  ReserveWiping(out, out.size() + EntryBlockBound(e));
  out.push_back('[');
  AppendInt(out, e.id);
  out.push_back(']');
  out.append(kCrLf);
  if (e.icon != 1) {
    out.append("icon: ");
    AppendInt(out, e.icon);
    out.append(kCrLf);
  }
  AppendField(out, "title", e.title);
  AppendField(out, "username", e.username);
  AppendField(out, "password", e.password);
  AppendField(out, "url", e.url);
  AppendField(out, "automate", e.automate);
  std::string_view shortcut = TrimBlanks(e.shortcut);
  if (!shortcut.empty()) AppendField(out, "shortcut", shortcut);
  if (e.hiddenNotes) out.append("hiddenotes: 1\r\n");
  bool first = true;
  ForEachTextLine(e.notes, [&](std::string_view line) {
    out.append(first ? "notes: " : "");
    first = false;
    AppendNotesLine(out, line);
    out.append(kCrLf);
  });
  if (first) {
    out.append("notes:\r\n");
  } else if (e.notes.back() == '\n' || e.notes.back() == '\r') {
    // Notes that end in a line break: the split gave no line for it, so an
    // empty last line carries it.
    out.append(kCrLf);
  }
  out.append(".\r\n");
}

// One group line of the first section. Lines that are no group lines, or
// whose name is empty, are skipped.
void ReadGroupLine(std::string_view line, TGroupTree& tree,
                   std::array<TVaultGroup*, kLevelSlots>& levels, TIdGroupPairs& pairs) {
  std::string_view t = TrimLeftBlanks(line);
  if (t.empty() || t.front() != '-') return;
  std::size_t depth = 0;
  while (depth < t.size() && t[depth] == '-') ++depth;
  std::string_view rest = TrimBlanks(t.substr(depth));

  int image = 0;
  if (!rest.empty() && rest.front() == '[') {
    std::size_t close = rest.find(']');
    if (close != std::string_view::npos) {
      int n = ToIntDef(TrimBlanks(rest.substr(1, close - 1)), -1);
      if (n >= 0) {
        image = n;
        rest = TrimBlanks(rest.substr(close + 1));
      }
    }
  }
  std::string_view name = rest, ids;
  std::size_t colon = rest.find(':');
  if (colon != std::string_view::npos) {
    name = TrimBlanks(rest.substr(0, colon));
    ids = TrimBlanks(rest.substr(colon + 1));
  }
  if (name.empty()) return;

  std::size_t level = depth - 1;
  if (level > kLevelSlots - 1) level = kLevelSlots - 1;
  if (level >= 1 && !levels[level - 1]) level = 0;
  TVaultGroup* parent = level == 0 ? nullptr : levels[level - 1];
  std::string caption(name);
  TVaultGroup* group = tree.Add(parent, caption, image);
  WipeString(caption);
  levels[level] = group;
  for (std::size_t i = level + 1; i < kLevelSlots && levels[i]; ++i) levels[i] = nullptr;
  ParseIdList(ids, group, pairs);
}

// The group that lists each id first: the pairs sorted by id, earlier
// listings first, so a lookup finds the first group that named the id.
class TIdOwners {
 public:
  explicit TIdOwners(TIdGroupPairs pairs) : pairs_(std::move(pairs)) {
    std::stable_sort(pairs_.begin(), pairs_.end(),
                     [](const TIdGroupPair& a, const TIdGroupPair& b) { return a.id < b.id; });
  }

  TVaultGroup* Find(int id) {
    // Entries mostly come in ascending order: try the place after the last
    // hit before searching.
    if (hint_ < pairs_.size() && pairs_[hint_].id == id && (hint_ == 0 || pairs_[hint_ - 1].id != id))
      return pairs_[hint_++].group;
    auto it = std::lower_bound(pairs_.begin(), pairs_.end(), id,
                               [](const TIdGroupPair& p, int value) { return p.id < value; });
    if (it == pairs_.end() || it->id != id) return nullptr;
    hint_ = static_cast<std::size_t>(it - pairs_.begin()) + 1;
    while (hint_ < pairs_.size() && pairs_[hint_].id == id) ++hint_;
    return it->group;
  }

 private:
  TIdGroupPairs pairs_;
  std::size_t hint_ = 0;
};

// The records read so far by id. Ids that come in ascending order (the
// writer's order) go into a sorted list; others into a hash map.
class TEntryIndex {
 public:
  TVaultEntry*& Slot(int id) {
    if (ascending_.empty() || id > ascending_.back().first) {
      ascending_.emplace_back(id, nullptr);
      return ascending_.back().second;
    }
    auto it = std::lower_bound(ascending_.begin(), ascending_.end(), id,
                               [](const std::pair<int, TVaultEntry*>& p, int value) { return p.first < value; });
    if (it != ascending_.end() && it->first == id) return it->second;
    return others_[id];
  }

 private:
  std::vector<std::pair<int, TVaultEntry*>> ascending_;
  std::unordered_map<int, TVaultEntry*> others_;
};

enum class TKey { None, Icon, Title, Username, Password, Url, Automate, Shortcut, HiddenNotes, Notes };

TKey KeyOf(std::string_view key) {
  // By length first: most lines then need a single comparison.
  switch (key.size()) {
    case 3: return SameKey(key, "url") ? TKey::Url : TKey::None;
    case 4: return SameKey(key, "icon") ? TKey::Icon : TKey::None;
    case 5:
      if (SameKey(key, "title")) return TKey::Title;
      return SameKey(key, "notes") ? TKey::Notes : TKey::None;
    case 8:
      if (SameKey(key, "username")) return TKey::Username;
      if (SameKey(key, "password")) return TKey::Password;
      if (SameKey(key, "automate")) return TKey::Automate;
      return SameKey(key, "shortcut") ? TKey::Shortcut : TKey::None;
    case 10: return SameKey(key, "hiddenotes") ? TKey::HiddenNotes : TKey::None;
    default: return TKey::None;
  }
}

// The value after a key line's ":", without the one blank the writer puts
// there; blank tells whether that blank was present.
std::string_view ValueAfterColon(std::string_view line, std::size_t colon, bool& blank) {
  std::string_view value = line.substr(colon + 1);
  blank = !value.empty() && value.front() == ' ';
  if (blank) value.remove_prefix(1);
  return value;
}

}  // namespace

bool ParseEntryHeader(std::string_view line, int& id) {
  std::string_view t = TrimBlanks(line);
  if (t.size() <= 2 || t.front() != '[' || t.back() != ']') return false;
  std::string_view digits = TrimBlanks(t.substr(1, t.size() - 2));
  if (digits.empty() || !AllDigits(digits)) return false;
  std::int64_t v = 0;
  for (char c : digits) {
    v = v * 10 + (c - '0');
    if (v > INT_MAX) return false;
  }
  id = static_cast<int>(v);
  return true;
}

bool ReadKeyValue(std::string_view line, std::string_view key, std::string& value) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  if (!SameKey(TrimBlanks(line.substr(0, colon)), key)) return false;
  bool blank;
  value.assign(ValueAfterColon(line, colon, blank));
  return true;
}

void ParseIdList(std::string_view text, TVaultGroup* group, TIdGroupPairs& pairs) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    std::string_view piece = TrimBlanks(text.substr(start, comma - start));
    start = comma + 1;
    if (piece.empty() || !AllDigits(piece)) continue;
    if (piece.size() > 1 && piece.front() == '0') continue;  // "07" is not the text of id 7
    std::int64_t v = 0;
    for (char c : piece) {
      v = v * 10 + (c - '0');
      if (v > INT_MAX) break;
    }
    if (v <= INT_MAX) pairs.push_back({static_cast<int>(v), group});
  }
}

std::string BuildVaultText(TVaultModel& vault) {
  const std::vector<TVaultGroup*> nodes = vault.Groups.Nodes();
  std::unordered_map<const TVaultGroup*, std::size_t> indexOf;
  indexOf.reserve(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) indexOf.emplace(nodes[i], i);

  // One pass over the entries collects the ids each group lists and the
  // size of the text, and checks that the entries are sorted by id (they
  // mostly are); otherwise they are sorted and the pass runs again, so the
  // id lists come out ascending.
  std::vector<std::vector<int>> ids;
  std::size_t estimate = 0;
  for (;;) {
    ids.assign(nodes.size(), {});
    estimate = 4;
    bool sorted = true;
    for (std::size_t i = 0; i < vault.Entries.size(); ++i) {
      if (i + 8 < vault.Entries.size()) PrefetchRecord(vault.Entries[i + 8].get());
      const TVaultEntry& e = *vault.Entries[i];
      if (i && CompareEntryIds(*vault.Entries[i - 1], e) > 0) sorted = false;
      estimate += 130 + e.title.size() + e.username.size() + e.password.size() + e.url.size() +
                  e.automate.size() + e.shortcut.size() + e.notes.size() + e.notes.size() / 8;
      if (!e.group) continue;
      auto it = indexOf.find(e.group);
      if (it != indexOf.end()) ids[it->second].push_back(e.id);
    }
    if (sorted) break;
    SortEntries(vault.Entries);
  }
  for (std::size_t i = 0; i < nodes.size(); ++i)
    estimate += nodes[i]->Caption().size() + static_cast<std::size_t>(nodes[i]->Level()) + 20 +
                ids[i].size() * 12;

  // The text holds every secret of the vault: it grows only through
  // ReserveWiping, which leaves no copy behind.
  std::string text;
  text.reserve(estimate);

  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (i) text.append(kCrLf);
    AppendGroupLine(text, *nodes[i], ids[i]);
  }
  if (!vault.Entries.empty()) {
    text.append("\r\n\r\n");
    const std::size_t n = vault.Entries.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (i + 8 < n) PrefetchRecord(vault.Entries[i + 8].get());
      if (i + 4 < n) PrefetchTexts(*vault.Entries[i + 4]);
      if (i) text.append(kCrLf);
      AppendEntryBlock(text, *vault.Entries[i]);
    }
  }
  return text;
}

void ParseVaultText(std::string_view text, TVaultModel& vault) {
  vault.Clear();
  TLineCursor line(text);
  int id = 0;

  // The group lines: everything before the first entry header.
  TIdGroupPairs pairs;
  std::array<TVaultGroup*, kLevelSlots> levels{};
  for (; line.Ok() && !ParseEntryHeader(line.Line(), id); line.Advance())
    ReadGroupLine(line.Line(), vault.Groups, levels, pairs);
  TIdOwners owners(std::move(pairs));

  // The entry blocks: each header starts (or continues) a record, whose
  // lines run up to the next header.
  TEntryIndex index;
  while (line.Ok()) {
    line.Advance();  // past the header, whose id is in id
    TVaultEntry*& slot = index.Slot(id);
    if (!slot) {
      auto record = std::make_unique<TVaultEntry>();
      record->id = id;
      slot = record.get();
      vault.Entries.push_back(std::move(record));
    }
    TVaultEntry& e = *slot;
    if (TVaultGroup* owner = owners.Find(id)) e.group = owner;

    for (; line.Ok() && !ParseEntryHeader(line.Line(), id); ) {
      const std::string_view current = line.Line();
      line.Advance();
      const std::size_t colon = current.find(':');
      if (colon == std::string_view::npos) continue;
      const TKey key = KeyOf(TrimBlanks(current.substr(0, colon)));
      if (key == TKey::None) continue;
      bool blank;
      const std::string_view value = ValueAfterColon(current, colon, blank);
      switch (key) {
        case TKey::Icon: e.icon = ToIntDef(TrimBlanks(value), 1); break;
        case TKey::Title: AssignWiping(e.title, value); break;
        case TKey::Username: AssignWiping(e.username, value); break;
        case TKey::Password: AssignWiping(e.password, value); break;
        case TKey::Url: AssignWiping(e.url, value); break;
        case TKey::Automate: AssignWiping(e.automate, value); break;
        case TKey::Shortcut: AssignWiping(e.shortcut, value); break;
        case TKey::HiddenNotes:
          if (ToIntDef(TrimBlanks(value), 0) != 0) e.hiddenNotes = true;
          break;
        case TKey::Notes: {
          // "notes: " followed by nothing is a first line that is empty;
          // "notes:" alone means no first line. Inside the notes no line is
          // a header or a key; a line that trims to "." ends them.
          const bool firstLine = blank || !value.empty();
          // Size the notes first, so that they are written into one buffer.
          std::size_t size = value.size();
          for (TLineCursor ahead = line; ahead.Ok() && TrimBlanks(ahead.Line()) != "."; ahead.Advance())
            size += ahead.Line().size() + kCrLf.size();
          e.notes.clear();
          ReserveWiping(e.notes, size);
          AppendReadNotesLine(e.notes, value);
          for (; line.Ok(); line.Advance()) {
            const std::string_view more = line.Line();
            if (TrimBlanks(more) == ".") {
              line.Advance();
              break;
            }
            if (firstLine || !e.notes.empty()) e.notes.append(kCrLf);
            AppendReadNotesLine(e.notes, more);
          }
          break;
        }
        case TKey::None: break;
      }
    }
  }
  SortEntries(vault.Entries);
}
