// The vault text: exact bytes of the writer, the reader's rules as one table,
// and a round-trip property over generated vaults.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/model/VaultText.h"

namespace {

std::string Escape(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\r') r += "\\r";
    else if (c == '\n') r += "\\n";
    else r += c;
  }
  return r;
}

// A readable, complete picture of a model: one line per group (level, icon,
// name) and per entry (every field; its group by node index).
std::string Dump(const TVaultModel& m) {
  std::ostringstream out;
  std::unordered_map<const TVaultGroup*, int> index;
  int i = 0;
  for (TVaultGroup* g : m.Groups.Nodes()) {
    index[g] = i++;
    out << "G" << g->Level() << " [" << g->ImageIndex() << "] <" << g->Caption() << ">";
    if (g->Parent()) out << " in " << index.at(g->Parent());
    out << "\n";
  }
  for (const auto& e : m.Entries) {
    out << "E" << e->id << " icon=" << e->icon << " group=";
    if (e->group) out << index.at(e->group);
    else out << "-";
    out << " title=<" << e->title << "> user=<" << e->username << "> pass=<" << e->password << "> url=<"
        << e->url << "> auto=<" << e->automate << "> sc=<" << e->shortcut << "> hidden=" << (e->hiddenNotes ? 1 : 0)
        << " notes=<" << Escape(e->notes) << ">\n";
  }
  return out.str();
}

TVaultEntry& AddEntry(TVaultModel& m, int id, TVaultGroup* group, const std::string& title) {
  m.Entries.push_back(std::make_unique<TVaultEntry>());
  TVaultEntry& e = *m.Entries.back();
  e.id = id;
  e.group = group;
  e.title = title;
  return e;
}

TVaultModel Parsed(const std::string& text) {
  TVaultModel m;
  ParseVaultText(text, m);
  return m;
}

// The small vault the format is easiest to check on: a top group Mail (icon
// 12) listing entries 3 and 7, with a subgroup Work.
TVaultModel FixtureVault() {
  TVaultModel m;
  TVaultGroup* mail = m.Groups.Add(nullptr, "Mail", 12);
  m.Groups.Add(mail, "Work", 0);
  // Added out of order: the writer sorts by id.
  TVaultEntry& b = AddEntry(m, 7, mail, "Backup");
  b.icon = 5;
  b.password = " lead";
  b.automate = "USERNAME ENTER";
  b.shortcut = " Ctrl+Alt+K ";
  b.hiddenNotes = true;
  TVaultEntry& a = AddEntry(m, 3, mail, "Web mail");
  a.username = "anna";
  a.password = "s3cret";
  a.url = "https://mail.example";
  a.notes = "line one\r\nline two";
  return m;
}

const char kFixtureText[] =
    "- [12] Mail: 3, 7\r\n"
    "-- Work\r\n"
    "\r\n"
    "[3]\r\n"
    "title: Web mail\r\n"
    "username: anna\r\n"
    "password: s3cret\r\n"
    "url: https://mail.example\r\n"
    "automate: \r\n"
    "notes: line one\r\n"
    "line two\r\n"
    ".\r\n"
    "\r\n"
    "[7]\r\n"
    "icon: 5\r\n"
    "title: Backup\r\n"
    "username: \r\n"
    "password:  lead\r\n"
    "url: \r\n"
    "automate: USERNAME ENTER\r\n"
    "shortcut: Ctrl+Alt+K\r\n"
    "hiddenotes: 1\r\n"
    "notes:\r\n"
    ".\r\n";

TEST(VaultText, FixtureVaultHasExactBytesAndEndsWithDotLine) {
  TVaultModel m = FixtureVault();
  const std::string text = BuildVaultText(m);
  EXPECT_EQ(Escape(text), Escape(kFixtureText));
  // Every block line ends in CR LF, the last "." line too.
  EXPECT_EQ(text.substr(text.size() - 3), ".\r\n");
  EXPECT_EQ(m.Entries[0]->id, 3) << "writing sorts the entries";
}

TEST(VaultText, FixtureReadsBackToTheSameVault) {
  TVaultModel m = Parsed(kFixtureText);
  EXPECT_EQ(Dump(m),
            "G0 [12] <Mail>\n"
            "G1 [0] <Work> in 0\n"
            "E3 icon=1 group=0 title=<Web mail> user=<anna> pass=<s3cret> url=<https://mail.example> auto=<> "
            "sc=<> hidden=0 notes=<line one\\r\\nline two>\n"
            "E7 icon=5 group=0 title=<Backup> user=<> pass=< lead> url=<> auto=<USERNAME ENTER> "
            "sc=<Ctrl+Alt+K> hidden=1 notes=<>\n");
}

TEST(VaultText, EmptyVaultAndVaultWithoutGroups) {
  TVaultModel empty;
  EXPECT_EQ(BuildVaultText(empty), "");
  EXPECT_EQ(Dump(Parsed("")), "");

  TVaultModel loose;
  AddEntry(loose, 1, nullptr, "x");
  const std::string text = BuildVaultText(loose);
  EXPECT_EQ(Escape(text), Escape("\r\n\r\n[1]\r\ntitle: x\r\nusername: \r\npassword: \r\nurl: \r\n"
                                 "automate: \r\nnotes:\r\n.\r\n"));
  EXPECT_EQ(Dump(Parsed(text)), Dump(loose));

  TVaultModel groupsOnly;
  groupsOnly.Groups.Add(nullptr, "A", 0);
  groupsOnly.Groups.Add(nullptr, "B", 3);
  EXPECT_EQ(BuildVaultText(groupsOnly), "- A\r\n- [3] B");
}

// The three values the plain format could not carry: leading blanks, notes
// lines that read as the end of the notes, and group names in brackets.
TEST(VaultText, ValuesThatNeedCareAreWrittenSoTheyReadBack) {
  TVaultModel m;
  TVaultGroup* g5 = m.Groups.Add(nullptr, "[5]", 0);
  m.Groups.Add(g5, "[x] y", 0);
  m.Groups.Add(nullptr, "[7] z", 4);
  TVaultEntry& e = AddEntry(m, 1, g5, "  padded");
  e.password = "  two blanks";
  e.notes = "\r\nafter an empty first line\r\n.\r\n  .  \r\ntitle: not a key\r\n[2]\r\n";
  const std::string text = BuildVaultText(m);
  EXPECT_EQ(Escape(text), Escape("- [0] [5]: 1\r\n"
                                 "-- [0] [x] y\r\n"
                                 "- [4] [7] z\r\n"
                                 "\r\n"
                                 "[1]\r\n"
                                 "title:   padded\r\n"
                                 "username: \r\n"
                                 "password:   two blanks\r\n"
                                 "url: \r\n"
                                 "automate: \r\n"
                                 "notes: \r\n"
                                 "after an empty first line\r\n"
                                 "[[U+002E]]\r\n"
                                 "  [[U+002E]]  \r\n"
                                 "title: not a key\r\n"
                                 "[2]\r\n"
                                 "\r\n"
                                 ".\r\n"));
  EXPECT_EQ(Dump(Parsed(text)), Dump(m));
}

struct ReaderCase {
  const char* name;
  std::string text;
  std::string dump;
};

// Entry lines kept short: a block with just a title.
std::string Block(int id, const std::string& title) {
  return "[" + std::to_string(id) + "]\r\ntitle: " + title + "\r\nnotes:\r\n.\r\n";
}

std::string E(int id, const std::string& group, const std::string& title, const std::string& rest = "") {
  return "E" + std::to_string(id) + " icon=1 group=" + group + " title=<" + title +
         "> user=<> pass=<> url=<> auto=<> sc=<> hidden=0 notes=<" + rest + ">\n";
}

TEST(VaultText, ReaderCases) {
  const std::vector<ReaderCase> cases = {
      {"three dashes first give a top-level group", "--- Deep\r\n-- Sub", "G0 [0] <Deep>\nG1 [0] <Sub> in 0\n"},
      {"a level gap falls back to the top", "- A\r\n--- B", "G0 [0] <A>\nG0 [0] <B>\n"},
      {"a deeper line after a shallower one climbs back",
       "- A\r\n-- B\r\n--- C\r\n-- D\r\n- E",
       "G0 [0] <A>\nG1 [0] <B> in 0\nG2 [0] <C> in 1\nG1 [0] <D> in 0\nG0 [0] <E>\n"},
      {"a bracketed non-number stays in the name with icon 0", "- [x] Name", "G0 [0] <[x] Name>\n"},
      {"a bracketed 0 is taken as icon 0", "- [0] Name", "G0 [0] <Name>\n"},
      {"a bracketed number with blanks is the icon", "-   [ 7 ]   Name  ", "G0 [7] <Name>\n"},
      {"digits in brackets at the start of a name read as icon", "- [7]Name", "G0 [7] <Name>\n"},
      {"a negative bracket stays in the name", "- [-3] Name", "G0 [0] <[-3] Name>\n"},
      {"an empty name drops the line and its ids", "- [4] : 1\r\n- [9]\r\n\r\n" + Block(1, "t"),
       E(1, "-", "t")},
      {"leading blanks before the dashes are allowed", "   - A: 1\r\n" + Block(1, "t"),
       "G0 [0] <A>\n" + E(1, "0", "t")},
      {"lines without a dash are no groups", "A\r\n+ B\r\n\r\n- C", "G0 [0] <C>\n"},
      {"pieces that are not all digits are skipped; 07 is not 7",
       "- A: x, 7x, 07\r\n- B: 7\r\n" + Block(7, "t"), "G0 [0] <A>\nG0 [0] <B>\n" + E(7, "1", "t")},
      {"an id listed twice belongs to the first group", "- A: 2\r\n- B: 2, 2\r\n" + Block(2, "t"),
       "G0 [0] <A>\nG0 [0] <B>\n" + E(2, "0", "t")},
      {"group lines after the first header are no groups",
       "- A\r\n" + Block(1, "t") + "- B: 1\r\n" + Block(2, "u"),
       "G0 [0] <A>\n" + E(1, "-", "t") + E(2, "-", "u")},
      {"keys match ignoring case and blanks around them",
       "[1]\r\n  TITLE  : T\r\nUserName:u\r\n Password :  p\r\nURL: x:y\r\nnotes:\r\n.",
       "E1 icon=1 group=- title=<T> user=<u> pass=< p> url=<x:y> auto=<> sc=<> hidden=0 notes=<>\n"},
      {"values keep their leading blanks beyond the one after the colon",
       "[1]\r\ntitle:   x  \r\nshortcut:  Ctrl+A\r\nnotes:  n",
       "E1 icon=1 group=- title=<  x  > user=<> pass=<> url=<> auto=<> sc=< Ctrl+A> hidden=0 notes=< n>\n"},
      {"bad numbers fall back; hiddenotes is set by any other number",
       "[1]\r\nicon: x\r\nhiddenotes: y\r\n[2]\r\nicon:  -4 \r\nhiddenotes: 2\r\n[3]\r\nhiddenotes: 0",
       "E1 icon=1 group=- title=<> user=<> pass=<> url=<> auto=<> sc=<> hidden=0 notes=<>\n"
       "E2 icon=-4 group=- title=<> user=<> pass=<> url=<> auto=<> sc=<> hidden=1 notes=<>\n"
       "E3 icon=1 group=- title=<> user=<> pass=<> url=<> auto=<> sc=<> hidden=0 notes=<>\n"},
      {"unknown keys, empty lines and the dot line are ignored",
       "[1]\r\ncolour: red\r\n\r\n.\r\ntitle: t\r\nno colon here", E(1, "-", "t")},
      {"header forms: blanks inside the brackets, not letters, signs or overflow",
       "[ 5 ]\r\ntitle: five\r\n[5a]\r\n[-1]\r\n[2147483648]\r\n[]\r\n[ ]\r\n[2147483647]\r\ntitle: max",
       E(5, "-", "five") + E(2147483647, "-", "max")},
      {"a repeated header continues the record; later notes replace earlier ones",
       "- A: 4\r\n[4]\r\ntitle: old\r\nnotes: first\r\n.\r\n[9]\r\n[4]\r\ntitle: new\r\nnotes: second\r\n.",
       "G0 [0] <A>\n" + E(4, "0", "new", "second") + E(9, "-", "")},
      {"entries come out sorted by id", Block(9, "c") + Block(0, "a") + Block(5, "b"),
       E(0, "-", "a") + E(5, "-", "b") + E(9, "-", "c")},
      {"notes lines that look like headers or keys stay notes",
       "[1]\r\nnotes: a\r\n[2]\r\ntitle: x\r\n- G: 1\r\n.\r\n", E(1, "-", "", "a\\r\\n[2]\\r\\ntitle: x\\r\\n- G: 1")},
      {"notes run to the end of the text without a dot line", "[1]\r\nnotes: a\r\nb",
       E(1, "-", "", "a\\r\\nb")},
      {"a raw dot line ends the notes; what follows is read as keys",
       "[1]\r\nnotes: a\r\n .\r\ntitle: after", E(1, "-", "after", "a")},
      {"the dot token turns back into a dot, on the first line too",
       "[1]\r\nnotes: [[U+002E]]\r\n [[U+002E]] \r\nx[[U+002E]]\r\n.", E(1, "-", "", ".\\r\\n . \\r\\nx[[U+002E]]")},
      {"notes: with a blank and nothing after it keeps an empty first line", "[1]\r\nnotes: \r\n\r\nb\r\n.",
       E(1, "-", "", "\\r\\n\\r\\nb")},
      {"notes: alone drops empty lines before the first text", "[1]\r\nnotes:\r\n\r\nb\r\n\r\nc\r\n.",
       E(1, "-", "", "b\\r\\n\\r\\nc")},
      {"CR and LF alone end lines too", "- A: 1\r[1]\ntitle: t\rnotes: x\ny\n.", "G0 [0] <A>\n" + E(1, "0", "t", "x\\r\\ny")},
  };
  for (const ReaderCase& c : cases) EXPECT_EQ(Dump(Parsed(c.text)), c.dump) << c.name;
}

TEST(VaultText, GroupsDeeperThan128LevelsHangAtLevel127) {
  std::string text;
  for (int depth = 1; depth <= 130; ++depth) text += std::string(static_cast<std::size_t>(depth), '-') + " g" + std::to_string(depth) + "\r\n";
  TVaultModel m = Parsed(text);
  const auto nodes = m.Groups.Nodes();
  ASSERT_EQ(nodes.size(), 130u);
  EXPECT_EQ(nodes[126]->Level(), 126);
  for (int i = 127; i < 130; ++i) {
    EXPECT_EQ(nodes[static_cast<std::size_t>(i)]->Level(), 127) << i;
    EXPECT_EQ(nodes[static_cast<std::size_t>(i)]->Parent(), nodes[126]) << i;
  }
}

TEST(VaultText, HelperRules) {
  struct HeaderCase {
    const char* line;
    bool ok;
    int id;
  } headers[] = {{"[0]", true, 0},      {"  [12]  ", true, 12}, {"[ 3 ]", true, 3},   {"[00]", true, 0},
                 {"[]", false, 0},      {"[ ]", false, 0},      {"[+1]", false, 0},  {"[1 2]", false, 0},
                 {"[4294967297]", false, 0}, {"x[1]", false, 0}, {"[1", false, 0}};
  for (const auto& h : headers) {
    int id = -1;
    EXPECT_EQ(ParseEntryHeader(h.line, id), h.ok) << h.line;
    if (h.ok) {
      EXPECT_EQ(id, h.id) << h.line;
    }
  }
  std::string value;
  EXPECT_TRUE(ReadKeyValue(" Url :  a: b ", "url", value));
  EXPECT_EQ(value, " a: b ");
  EXPECT_FALSE(ReadKeyValue("url - x", "url", value));
  EXPECT_FALSE(ReadKeyValue("urls: x", "url", value));

  TVaultModel m;
  TVaultGroup* a = m.Groups.Add(nullptr, "a", 0);
  TVaultGroup* b = m.Groups.Add(nullptr, "b", 0);
  TIdGroupPairs pairs;
  ParseIdList(" 1 ,, 2x, 03 ,4, 0, 2147483647, 2147483648", a, pairs);
  ParseIdList("4, 5", b, pairs);
  std::string listed;
  for (const TIdGroupPair& p : pairs) listed += std::to_string(p.id) + (p.group == a ? "a " : "b ");
  EXPECT_EQ(listed, "1a 4a 0a 2147483647a 4b 5b ");
}

// Generated vaults, rich in the shapes the format must escape, read back to
// exactly the same groups and entries, and writing again gives the same text.
class VaultGenerator {
 public:
  explicit VaultGenerator(unsigned seed) : rng_(seed) {}

  TVaultModel Make() {
    TVaultModel m;
    std::vector<TVaultGroup*> groups;
    const int groupCount = Pick(0, 12);
    for (int i = 0; i < groupCount; ++i) {
      TVaultGroup* parent = groups.empty() || Pick(0, 2) == 0 ? nullptr : groups[Index(groups.size())];
      if (parent && parent->Level() >= 5) parent = nullptr;
      groups.push_back(m.Groups.Add(parent, GroupName(), Pick(0, 3) == 0 ? Pick(1, 300) : 0));
    }
    const int entryCount = Pick(0, 10);
    std::vector<int> used;
    for (int i = 0; i < entryCount; ++i) {
      int id = Pick(0, 3) == 0 ? Pick(0, 20) : Pick(0, 1000000);
      if (std::find(used.begin(), used.end(), id) != used.end()) continue;
      used.push_back(id);
      auto e = std::make_unique<TVaultEntry>();
      e->id = id;
      e->icon = Pick(0, 2) == 0 ? 1 : Pick(-5, 400);
      e->group = groups.empty() || Pick(0, 4) == 0 ? nullptr : groups[Index(groups.size())];
      e->title = Field();
      e->username = Field();
      e->password = Field();
      e->url = Field();
      e->automate = Field();
      e->shortcut = Pick(0, 2) == 0 ? "" : "Ctrl+" + std::string(1, static_cast<char>('A' + Pick(0, 25)));
      e->hiddenNotes = Pick(0, 3) == 0;
      e->notes = Notes();
      m.Entries.push_back(std::move(e));
    }
    return m;
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::size_t Index(std::size_t n) { return static_cast<std::size_t>(Pick(0, static_cast<int>(n) - 1)); }

  std::string Word() {
    static const char* const pieces[] = {"a", "Mail", "[5]", "[x]", "[0]", "[", "]", "-", "--", ".",
                                         "[12]", "7", "07", ",", "ü", "\t", "x y", "[[U+0041]]"};
    return pieces[Index(std::size(pieces))];
  }

  // Names never contain ":" or line breaks and are trimmed, as the editing
  // commands keep them; "[...]" names with and without icon are the point.
  std::string GroupName() {
    std::string name;
    const int words = Pick(1, 3);
    for (int i = 0; i < words; ++i) {
      if (i) name.push_back(' ');
      name.append(Word());
    }
    const std::size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos) return "g";
    return name.substr(first, name.find_last_not_of(" \t") - first + 1);
  }

  // Single-line values with leading and trailing blanks, colons and brackets.
  std::string Field() {
    static const char* const pieces[] = {"", " ", "  ", "p@ss", ":", "[3]", ".", "title: x", "\t", "é", "a b"};
    std::string s;
    const int n = Pick(0, 4);
    for (int i = 0; i < n; ++i) s += pieces[Index(std::size(pieces))];
    return s;
  }

  // Notes lines: empty ones (first and last too), dot lines, and lines that
  // look like headers, keys or group lines.
  std::string Notes() {
    static const char* const lines[] = {"", ".", "  .  ", "\t.", "[2]", "title: evil", "notes: x", "- G: 1",
                                        "text", " lead", "trail ", "..", "x."};
    const int n = Pick(0, 6);
    std::string notes;
    for (int i = 0; i < n; ++i) {
      if (i) notes += "\r\n";
      notes += lines[Index(std::size(lines))];
    }
    return notes;
  }

  std::mt19937 rng_;
};

TEST(VaultText, GeneratedVaultsRoundTrip) {
  for (unsigned seed = 1; seed <= 3000; ++seed) {
    VaultGenerator gen(seed);
    TVaultModel original = gen.Make();
    const std::string text = BuildVaultText(original);
    TVaultModel back = Parsed(text);
    // The shortcut is written trimmed; everything else comes back as it was.
    ASSERT_EQ(Dump(back), Dump(original)) << "seed " << seed << "\n" << Escape(text);
    ASSERT_EQ(BuildVaultText(back), text) << "seed " << seed;
  }
}

TEST(GroupTree, NodesInIndexOrderAndDeleteWithSubtree) {
  TGroupTree tree;
  TVaultGroup* a = tree.Add(nullptr, "a", 0);
  TVaultGroup* b = tree.Add(a, "b", 1);
  tree.Add(b, "c", 2);
  TVaultGroup* d = tree.Add(nullptr, "d", 3);
  tree.Add(a, "e", 4);
  std::string order;
  for (TVaultGroup* g : tree.Nodes()) order += g->Caption() + std::to_string(g->Level());
  EXPECT_EQ(order, "a0b1c2e1d0");
  EXPECT_EQ(tree.Count(), 5);
  EXPECT_TRUE(IsNodeInSubtree(b->Item(0), a));
  EXPECT_FALSE(IsNodeInSubtree(d, a));
  tree.Delete(b);
  EXPECT_EQ(tree.Count(), 3);
  order.clear();
  for (TVaultGroup* g : tree.Nodes()) order += g->Caption();
  EXPECT_EQ(order, "aed");
}

}  // namespace
