#include "app/model/KeePassText.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "app/model/EntryMoves.h"
#include "app/model/EntryRules.h"
#include "app/model/TextLines.h"
#include "app/model/Utf8Text.h"
#include "base/Exceptions.h"
#include "base/FileUtil.h"
#include "base/Stream.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";
constexpr int kHeaderLookAhead = 8;
constexpr int kKeePassIconCount = 69;     // KeePass 1.x icons 0 to 68
constexpr int kKeePassIconOffset = 234;   // KeePass 1 is vault icon 235
constexpr std::int64_t kMaxFileSize = 256 * 1024 * 1024;
constexpr std::size_t kLossyTitlesShown = 10;

enum TKey {
  kNone,
  kGroup,
  kGroupTree,
  kUserName,
  kUrl,
  kPassword,
  kNotes,
  // The optional lines of KeePass's full export, in the order it writes them.
  kUuid,
  kIcon,
  kCreationTime,
  kLastAccess,
  kLastModification,
  kExpires,
  kAttachmentDescription,
  kAttachment,
};

struct TKeyName {
  const char* name;
  TKey key;
};

constexpr TKeyName kKeyNames[] = {
    {"Group", kGroup},
    {"Group Tree", kGroupTree},
    {"User Name", kUserName},
    {"UserName", kUserName},  // older KeePass writers
    {"URL", kUrl},
    {"Password", kPassword},
    {"Notes", kNotes},
    {"UUID", kUuid},
    {"Icon", kIcon},
    {"Creation Time", kCreationTime},
    {"Last Access", kLastAccess},
    {"Last Modification", kLastModification},
    {"Expires", kExpires},
    {"Attachment Description", kAttachmentDescription},
    {"Attachment Title", kAttachmentDescription},  // older name of the same line
    {"Attachment", kAttachment},
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimView(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string_view TrimLeftView(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The key of a key line (the text before its first ":", trimmed, compared
// without regard to case) and its value (the text after the ":" without
// leading blanks); kNone for any other line.
TKey KeyOf(std::string_view line, std::string_view* value = nullptr) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return kNone;
  const std::string_view name = TrimView(line.substr(0, colon));
  for (const TKeyName& k : kKeyNames) {
    if (SameAscii(name, k.name)) {
      if (value) *value = TrimLeftView(line.substr(colon + 1));
      return k.key;
    }
  }
  return kNone;
}

bool IsHeaderKey(TKey key) { return (key >= kGroup && key <= kNotes) || key == kIcon; }
bool IsOptionalKey(TKey key) { return key >= kUuid; }

// The icon of an "Icon" line: its value, trimmed, as a decimal number of 0
// or more; -1 when it is none. Numbers too large for an int count as valid
// and map to no KeePass icon.
int IconValue(std::string_view value) {
  const std::string_view v = TrimView(value);
  if (v.empty()) return -1;
  long long n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return -1;
    if (n <= 1000000000LL) n = n * 10 + (c - '0');
  }
  return n > 1000000000LL ? 1000000000 : static_cast<int>(n);
}

// Converts a field of the source: UTF-8 fields become code-page text.
std::string Field(std::string_view value, const TKeePassSource& src, bool& lost) {
  if (!src.Utf8) return std::string(value);
  return Utf8ToAnsi(value, &lost);
}

std::string NotesField(const std::string& value, const TKeePassSource& src, bool& lost) {
  if (!src.Utf8) return value;
  return Utf8ToNotesText(value, &lost);
}

// A later line overrides an earlier one; the earlier value is wiped.
void SetField(std::string& field, std::string value) {
  WipeString(field);
  field = std::move(value);
}

bool AnyNonBlank(const std::string& s) { return !TrimView(s).empty(); }

void ParseEntry(const TKeePassSource& src, std::size_t header, std::size_t end, TVLKeePassTextEntry& entry) {
  const auto& lines = src.Lines;
  bool lost = false;

  // The notes line, and the start of the trailing run of KeePass's optional
  // lines and empty lines that ends the notes.
  std::size_t notesLine = end;
  for (std::size_t i = header + 1; i < end; ++i) {
    if (KeyOf(lines[i]) == kNotes) {
      notesLine = i;
      break;
    }
  }
  std::size_t notesEnd = end;
  if (notesLine < end) {
    TKey last = static_cast<TKey>(kAttachment + 1);
    while (notesEnd > notesLine + 1) {
      const std::string& line = lines[notesEnd - 1];
      if (!line.empty()) {
        const TKey key = KeyOf(line);
        // KeePass writes each optional line once and in a fixed order, so a
        // line that breaks that order belongs to the notes.
        if (!IsOptionalKey(key) || key >= last) break;
        last = key;
      }
      --notesEnd;
    }
  }

  // Fields before the notes line; a later line overrides an earlier one.
  for (std::size_t i = header + 1; i < notesLine; ++i) {
    std::string_view value;
    switch (KeyOf(lines[i], &value)) {
      case kGroup: SetField(entry.group, Field(value, src, lost)); break;
      case kGroupTree: SetField(entry.groupTree, Field(value, src, lost)); break;
      case kUserName: SetField(entry.userName, Field(value, src, lost)); break;
      case kUrl: SetField(entry.url, Field(value, src, lost)); break;
      case kPassword: SetField(entry.password, Field(value, src, lost)); break;
      default: break;
    }
  }

  // The icon: the last valid "Icon" line outside the notes text.
  for (std::size_t i = header + 1; i < end; ++i) {
    if (i > notesLine && i < notesEnd) continue;
    std::string_view value;
    if (KeyOf(lines[i], &value) != kIcon) continue;
    const int icon = IconValue(value);
    if (icon >= 0) entry.icon = icon;
  }

  if (notesLine < end) {
    std::string_view first;
    KeyOf(lines[notesLine], &first);
    std::vector<std::string_view> notes;
    if (!first.empty()) notes.push_back(first);
    for (std::size_t i = notesLine + 1; i < notesEnd; ++i) notes.emplace_back(lines[i]);
    while (!notes.empty() && notes.back().empty()) notes.pop_back();
    std::string joined;
    std::size_t size = 0;
    for (std::string_view n : notes) size += n.size() + kCrLf.size();
    joined.reserve(size);
    for (std::size_t i = 0; i < notes.size(); ++i) {
      if (i > 0) joined.append(kCrLf);
      joined.append(notes[i]);
    }
    bool notesLost = false;
    entry.notes = NotesField(joined, src, notesLost);
    WipeString(joined);
  }

  const std::string_view head = TrimView(lines[header]);
  entry.title = Field(head.substr(1, head.size() - 2), src, lost);
  entry.lossy = lost;
}

// Finds the child of parent (or the top-level group) named name, or adds
// it. The name is trimmed and ":" becomes "-"; an empty name finds nothing
// and leaves current as it is.
TVaultGroup* FindOrCreate(TGroupTree& tree, TVaultGroup* parent, const std::string& rawName,
                          std::vector<TVaultGroup*>* expanded) {
  std::string name = Trim(rawName);
  std::replace(name.begin(), name.end(), ':', '-');
  if (name.empty()) return parent;
  const int n = SiblingCount(tree, parent);
  for (int i = 0; i < n; ++i) {
    TVaultGroup* g = SiblingAt(tree, parent, i);
    if (AnsiSameText(Trim(g->Caption()), name)) return g;
  }
  if (parent && parent->Level() >= kMaxGroupLevel) return parent;
  TVaultGroup* created = tree.Add(parent, name, 0);
  if (parent && expanded && std::find(expanded->begin(), expanded->end(), parent) == expanded->end())
    expanded->push_back(parent);
  return created;
}

// A single-line field: CR and LF become blanks in the UTF-8 text.
void AppendLine(std::string& out, std::string_view key, std::string_view ansiValue) {
  out.append(key);
  const std::size_t from = out.size();
  AppendAnsiToUtf8(out, ansiValue);
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\r', ' ');
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\n', ' ');
  out.append(kCrLf);
}

// Room for the whole export: three UTF-8 bytes at most for each character
// of a field, the group path of each entry and the fixed text of a block.
std::size_t ExportCapacity(const TVaultModel& vault) {
  std::size_t n = 0;
  for (const auto& e : vault.Entries) {
    std::size_t chars = e->title.size() + e->username.size() + e->url.size() + e->password.size() + e->notes.size() +
                        2 * e->notes.size() /* a CR LF for every line break */;
    for (const TVaultGroup* g = e->group; g; g = g->Parent()) chars += g->Caption().size() + 1;
    n += 3 * chars + 128;
  }
  return n;
}

}  // namespace

TVLKeePassTextEntry::~TVLKeePassTextEntry() {
  WipeString(title);
  WipeString(group);
  WipeString(groupTree);
  WipeString(userName);
  WipeString(url);
  WipeString(password);
  WipeString(notes);
}

TKeePassSource::~TKeePassSource() {
  for (std::string& line : Lines) WipeString(line);
}

void SplitKeePassText(std::string_view bytes, TKeePassSource& source) {
  for (std::string& line : source.Lines) WipeString(line);
  source.Lines.clear();
  source.Utf8 = bytes.size() > 2 && bytes.substr(0, 3) == kBom;
  if (source.Utf8) bytes.remove_prefix(3);
  // Counted first: growing the list would move short lines (kept inside
  // the string objects) and leave copies of them in freed memory.
  std::size_t count = 0;
  ForEachTextLine(bytes, [&](std::string_view) { ++count; });
  source.Lines.reserve(count);
  ForEachTextLine(bytes, [&](std::string_view line) { source.Lines.emplace_back(line); });
}

bool ReadKeePassFile(const std::string& fileName, TKeePassSource& source, std::string& errorText) {
  errorText.clear();
  std::string data;
  try {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    const std::int64_t size = f.Size();
    if (size < 0 || size > kMaxFileSize) {
      errorText = KeePassTexts::kFileNotRead;
      return false;
    }
    data.assign(static_cast<std::size_t>(size), '\0');
    f.ReadBuffer(data.data(), size);
  } catch (const Exception& e) {
    WipeString(data);
    errorText = e.Message().empty() ? std::string(KeePassTexts::kFileNotRead) : e.Message();
    return false;
  } catch (const std::exception&) {
    WipeString(data);
    errorText = KeePassTexts::kFileNotRead;
    return false;
  }
  SplitKeePassText(data, source);
  WipeString(data);
  return true;
}

bool IsKeePassEntryHeader(const std::vector<std::string>& lines, std::size_t index) {
  if (index >= lines.size()) return false;
  const std::string_view t = TrimView(lines[index]);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  for (std::size_t i = index + 1; i < lines.size() && i <= index + kHeaderLookAhead; ++i) {
    if (TrimView(lines[i]).empty()) continue;
    return IsHeaderKey(KeyOf(lines[i]));
  }
  return false;
}

bool ParseKeePassText(const TKeePassSource& source, TVLKeePassTextEntries& entries, std::string& errorText,
                      int& generatedTitles, int& skippedEntries) {
  entries.clear();
  errorText.clear();
  generatedTitles = 0;
  skippedEntries = 0;
  const auto& lines = source.Lines;
  std::vector<std::size_t> headers;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (IsKeePassEntryHeader(lines, i)) headers.push_back(i);

  entries.reserve(headers.size());  // no reallocation leaves copies of short fields behind
  for (std::size_t h = 0; h < headers.size(); ++h) {
    const std::size_t end = h + 1 < headers.size() ? headers[h + 1] : lines.size();
    TVLKeePassTextEntry entry;
    ParseEntry(source, headers[h], end, entry);
    if (TrimView(entry.title).empty()) {
      if (AnyNonBlank(entry.userName) || AnyNonBlank(entry.url) || AnyNonBlank(entry.password) ||
          AnyNonBlank(entry.notes)) {
        entry.title = KeePassEntryTitle(entry, static_cast<int>(entries.size()) + 1);
        ++generatedTitles;
      } else {
        ++skippedEntries;
        continue;
      }
    }
    entries.push_back(std::move(entry));
  }
  if (entries.empty()) {
    errorText = KeePassTexts::kNoEntriesFound;
    return false;
  }
  return true;
}

std::string KeePassEntryTitle(const TVLKeePassTextEntry& entry, int number) {
  std::string host = Trim(entry.url);
  const std::size_t scheme = host.find("://");
  if (scheme != std::string::npos) host.erase(0, scheme + 3);
  // The user part ends at an "@" in front of the path; an "@" further on
  // belongs to the path or the query.
  std::size_t cut = host.find_first_of("/\\?#");
  const std::size_t at = host.find('@');
  if (at != std::string::npos && (cut == std::string::npos || at < cut)) {
    host.erase(0, at + 1);
    cut = host.find_first_of("/\\?#");
  }
  if (cut != std::string::npos) host.erase(cut);
  host = Trim(host);
  if (!host.empty()) return host;
  const std::string user = Trim(entry.userName);
  if (!user.empty()) return user;
  const std::string group = Trim(entry.group);
  if (!group.empty()) return group + " Entry";
  return KeePassTexts::kGeneratedTitle + IntToStr(number);
}

TVaultGroup* GroupForImport(TGroupTree& tree, const std::string& groupTree, const std::string& groupName,
                            std::vector<TVaultGroup*>* expanded) {
  TVaultGroup* current = nullptr;
  const std::string path = Trim(groupTree);
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t sep = path.find('\\', start);
    if (sep == std::string::npos) sep = path.size();
    const std::string part = path.substr(start, sep - start);
    if (!Trim(part).empty()) current = FindOrCreate(tree, current, part, expanded);
    start = sep + 1;
  }
  const std::string name = Trim(groupName);
  if (!name.empty()) {
    std::string same = name;
    std::replace(same.begin(), same.end(), ':', '-');
    if (!(current && AnsiSameText(Trim(current->Caption()), same)))
      current = FindOrCreate(tree, current, name, expanded);
  }
  if (!current) current = FindOrCreate(tree, nullptr, KeePassTexts::kImportedGroup, expanded);
  return current;
}

int KeePassIconToIndex(int keePassIcon, int imageCount) {
  int index = 1;
  if (keePassIcon >= 1 && keePassIcon < kKeePassIconCount) index = keePassIcon + kKeePassIconOffset;
  return (index >= 0 && index < imageCount) ? index : 1;
}

int IndexToKeePassIcon(int index) {
  if (index >= 1 + kKeePassIconOffset && index < kKeePassIconCount + kKeePassIconOffset)
    return index - kKeePassIconOffset;
  return 0;
}

std::string GroupTreePath(const TVaultGroup* group) {
  std::vector<const TVaultGroup*> ancestors;
  for (const TVaultGroup* g = group ? group->Parent() : nullptr; g; g = g->Parent()) ancestors.push_back(g);
  std::string path;
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += (*it)->Caption();
  }
  return path;
}

std::string BuildKeePassText(TVaultModel& vault) {
  SortEntries(vault.Entries);
  std::string out;
  // Reserved once, so no reallocation leaves a copy of the passwords behind.
  out.reserve(ExportCapacity(vault));
  bool first = true;
  for (const auto& p : vault.Entries) {
    const TVaultEntry& e = *p;
    if (!first) out.append(kCrLf);
    first = false;
    out += '[';
    const std::size_t from = out.size();
    AppendAnsiToUtf8(out, e.title);
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\r', ' ');
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\n', ' ');
    out += "]\r\n";
    AppendLine(out, "Group: ", e.group ? std::string_view(e.group->Caption()) : KeePassTexts::kImportedGroup);
    AppendLine(out, "Group Tree: ", GroupTreePath(e.group));
    AppendLine(out, "User Name: ", e.username);
    AppendLine(out, "URL: ", e.url);
    AppendLine(out, "Password: ", e.password);
    out += "Notes: ";
    bool firstNotesLine = true;
    ForEachTextLine(e.notes, [&](std::string_view line) {
      if (!firstNotesLine) out.append(kCrLf);
      firstNotesLine = false;
      AppendNotesTextToUtf8(out, line);
    });
    out.append(kCrLf);
    out += "Icon: " + IntToStr(IndexToKeePassIcon(e.icon));
    out.append(kCrLf);
  }
  return out;
}

bool WriteUtf8TextFile(const std::string& fileName, const std::string& utf8Text, std::string& errorText) {
  errorText.clear();
  const bool ok = SaveFileReplacing(fileName, [&](TStream& s) {
    s.WriteBuffer(kBom.data(), static_cast<std::int64_t>(kBom.size()));
    if (!utf8Text.empty()) s.WriteBuffer(utf8Text.data(), static_cast<std::int64_t>(utf8Text.size()));
  });
  if (!ok) errorText = KeePassTexts::kFileNotWritten;
  return ok;
}

std::string KeePassExportFileName(const std::string& vaultPath) {
  if (Trim(vaultPath).empty()) return KeePassTexts::kDefaultExportName;
  return ChangeFileExt(vaultPath, ".txt");
}

TKeePassImportResult ImportKeePassEntries(TVaultModel& vault, const TVLKeePassTextEntries& parsed, int imageCount) {
  TKeePassImportResult r;
  // Ids count up from the highest; only when they would run past the
  // largest int is each one looked up on its own.
  int next = NextEntryId(vault.Entries);
  const bool countUp = next <= INT_MAX - static_cast<int>(std::min<std::size_t>(parsed.size(), INT_MAX / 2)) &&
                       parsed.size() < static_cast<std::size_t>(INT_MAX / 2);
  for (const TVLKeePassTextEntry& k : parsed) {
    TVaultGroup* group = GroupForImport(vault.Groups, k.groupTree, k.group, &r.ExpandedGroups);
    auto e = std::make_unique<TVaultEntry>();
    e->id = countUp ? next++ : NextEntryId(vault.Entries);
    e->group = group;
    e->icon = KeePassIconToIndex(k.icon, imageCount);
    e->title = k.title;
    e->username = k.userName;
    e->password = k.password;
    e->url = k.url;
    e->notes = k.notes;
    if (k.lossy) r.LossyTitles.push_back(k.title);
    r.LastEntry = e.get();
    r.LastGroup = group;
    vault.Entries.push_back(std::move(e));
    ++r.Imported;
  }
  SortEntries(vault.Entries);
  return r;
}

std::string KeePassImportSummary(int imported, int generatedTitles, int skippedEntries,
                                 const std::vector<std::string>& lossyTitles, bool& warning) {
  std::string text = IntToStr(imported) + KeePassTexts::kImported;
  if (generatedTitles > 0) text += "\r\n\r\n" + IntToStr(generatedTitles) + KeePassTexts::kTitlesGenerated;
  if (skippedEntries > 0) text += "\r\n\r\n" + IntToStr(skippedEntries) + KeePassTexts::kEmptySkipped;
  if (!lossyTitles.empty()) {
    text += "\r\n\r\n" + IntToStr(static_cast<std::int64_t>(lossyTitles.size())) + KeePassTexts::kCharactersLost;
    for (std::size_t i = 0; i < lossyTitles.size() && i < kLossyTitlesShown; ++i) text += "\r\n" + lossyTitles[i];
    if (lossyTitles.size() > kLossyTitlesShown)
      text += "\r\n... " + IntToStr(static_cast<std::int64_t>(lossyTitles.size() - kLossyTitlesShown)) + " more";
  }
  warning = generatedTitles > 0 || skippedEntries > 0 || !lossyTitles.empty();
  return text;
}
