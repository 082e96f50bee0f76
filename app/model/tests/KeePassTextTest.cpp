// KeePass 1.x text import and export: files as KeePass writes them (default
// and full export, LF and CR LF, the old "UserName:" writer), the rules of
// the parser, the group and icon tables, exact export bytes, and export
// followed by import.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/model/KeePassText.h"
#include "app/model/VaultText.h"
#include "base/tests/TestUtil.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// KeePass 1.x, default text export (LF line ends): title, group, user
// name, URL, password, notes; an empty line after every entry. "é" is
// UTF-8 in the file.
const std::string kDefaultExport = kBom +
                                   "[Gmail]\n"
                                   "Group: Internet\n"
                                   "Group Tree: \n"
                                   "User Name: alice@example.com\n"
                                   "URL: https://mail.google.com/\n"
                                   "Password: s3cr\xC3\xA9t\n"
                                   "Notes: Recovery phone ends in 42\n"
                                   "\n"
                                   "[Bank]\n"
                                   "Group: Finance\n"
                                   "Group Tree: \n"
                                   "User Name: \n"
                                   "URL: \n"
                                   "Password: hunter2\n"
                                   "Notes: \n"
                                   "\n";

// Notes of two lines that end in a line break: KeePass writes the break,
// then the line end of the notes line, then the entry's empty line.
const std::string kMultiLineNotes = kBom +
                                    "[Server]\r\n"
                                    "Group: Work\r\n"
                                    "Group Tree: \r\n"
                                    "User Name: root\r\n"
                                    "URL: ssh://10.0.0.1\r\n"
                                    "Password: toor\r\n"
                                    "Notes: line one\r\n"
                                    "  line two  \r\n"
                                    "\r\n"
                                    "\r\n";

// The full export: every field and KeePass's optional lines after the
// notes, the group tree of a subgroup, an attachment; the second entry
// holds an "Icon:" line of its own as the last notes line.
const std::string kFullExport = kBom +
                                "[Router]\r\n"
                                "Group: Network\r\n"
                                "Group Tree: Home\r\n"
                                "User Name: admin\r\n"
                                "URL: http://192.168.1.1/\r\n"
                                "Password: pa:ss word\r\n"
                                "Notes: Firmware 2.1\r\n"
                                "UUID: 0f3c1a2b4d5e6f708192a3b4c5d6e7f8\r\n"
                                "Icon: 12\r\n"
                                "Creation Time: 2008-05-19 17:12:48\r\n"
                                "Last Access: 2009-01-02 03:04:05\r\n"
                                "Last Modification: 2008-05-19 17:13:01\r\n"
                                "Expires: 2999-12-28 23:59:59\r\n"
                                "Attachment Description: router.cfg\r\n"
                                "Attachment: SGVsbG8gd29ybGQ=\r\n"
                                "\r\n"
                                "[Printer]\r\n"
                                "Group: Network\r\n"
                                "Group Tree: Home\r\n"
                                "User Name: \r\n"
                                "URL: \r\n"
                                "Password: 1234\r\n"
                                "Notes: Tray 2 jams.\r\n"
                                "Icon: 3\r\n"
                                "UUID: 11111111222222223333333344444444\r\n"
                                "Icon: 68\r\n"
                                "Creation Time: 2010-01-01 00:00:00\r\n"
                                "Last Access: 2010-01-01 00:00:00\r\n"
                                "Last Modification: 2010-01-01 00:00:00\r\n"
                                "Expires: 2999-12-28 23:59:59\r\n"
                                "\r\n"
                                "[Empty notes]\r\n"
                                "Group: Network\r\n"
                                "Group Tree: Home\r\n"
                                "User Name: x\r\n"
                                "URL: \r\n"
                                "Password: \r\n"
                                "Notes: \r\n"
                                "UUID: 55555555666666667777777788888888\r\n"
                                "Icon: 0\r\n"
                                "Creation Time: 2010-01-01 00:00:00\r\n"
                                "Last Access: 2010-01-01 00:00:00\r\n"
                                "Last Modification: 2010-01-01 00:00:00\r\n"
                                "Expires: 2999-12-28 23:59:59\r\n"
                                "\r\n";

// An older KeePass writer: "UserName:", notes written as they are.
const std::string kOldWriter = kBom +
                               "[Forum]\r\n"
                               "Group: General\r\n"
                               "UserName: carol\r\n"
                               "URL: forum.example.org\r\n"
                               "Password: pw\r\n"
                               "Notes: a\r\nb\r\n"
                               "\r\n";

// The full export of an older writer: "UserName:" and "Attachment Title:".
const std::string kOldFullExport = kBom +
                                   "[Mail]\r\n"
                                   "Group: General\r\n"
                                   "UserName: dave\r\n"
                                   "URL: \r\n"
                                   "Password: pw\r\n"
                                   "Notes: keep this\r\n"
                                   "\r\n"
                                   "and this\r\n"
                                   "UUID: 9a8b7c6d5e4f30211203f4e5d6c7b8a9\r\n"
                                   "Icon: 5\r\n"
                                   "Creation Time: 2004-03-01 10:00:00\r\n"
                                   "Last Access: 2004-03-01 10:00:00\r\n"
                                   "Last Modification: 2004-03-01 10:00:00\r\n"
                                   "Expires: 2999-12-28 23:59:59\r\n"
                                   "Attachment Title: key.pem\r\n"
                                   "Attachment: LS0tLS1CRUdJTg==\r\n"
                                   "\r\n";

// Notes exported with KeePass's "encode newlines" option.
const std::string kEncodedNewlines = kBom +
                                     "[Code]\n"
                                     "Group: Dev\n"
                                     "User Name: dev\n"
                                     "URL: \n"
                                     "Password: pw\n"
                                     "Notes: if (a) {\\r\\n  b();\\r\\n}\n"
                                     "\n";

struct TParsed {
  bool ok = false;
  std::string error;
  int generated = 0, skipped = 0;
  TVLKeePassTextEntries entries;
};

TParsed Parse(const std::string& bytes) {
  TKeePassSource src;
  SplitKeePassText(bytes, src);
  TParsed p;
  p.ok = ParseKeePassText(src, p.entries, p.error, p.generated, p.skipped);
  return p;
}

// A KeePass block with the lines given between the header and the end.
std::string Block(const std::string& title, const std::string& body) { return "[" + title + "]\n" + body + "\n"; }

std::string Escape(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\r') r += "\\r";
    else if (c == '\n') r += "\\n";
    else r += c;
  }
  return r;
}

// Groups by path and every entry's fields, in id order.
std::string Dump(const TVaultModel& m) {
  std::ostringstream out;
  for (const TVaultGroup* g : m.Groups.Nodes())
    out << "G " << (g->Parent() ? GroupTreePath(g) + "\\" : "") << g->Caption() << "\n";
  for (const auto& e : m.Entries) {
    out << "E" << e->id << " [" << e->icon << "] " << (e->group ? GroupTreePath(e->group) + "\\" + e->group->Caption() : "-")
        << " <" << e->title << "> <" << e->username << "> <" << e->password << "> <" << e->url << "> <"
        << Escape(e->notes) << ">\n";
  }
  return out.str();
}

TVaultEntry* AddEntry(TVaultModel& m, int id, TVaultGroup* g, const std::string& title) {
  m.Entries.push_back(std::make_unique<TVaultEntry>());
  TVaultEntry* e = m.Entries.back().get();
  e->id = id;
  e->group = g;
  e->title = title;
  return e;
}

}  // namespace

TEST(KeePassImport, DefaultExportWithLfAndBom) {
  TParsed p = Parse(kDefaultExport);
  ASSERT_TRUE(p.ok) << p.error;
  ASSERT_EQ(p.entries.size(), 2u);
  const TVLKeePassTextEntry& g = p.entries[0];
  EXPECT_EQ(g.title, "Gmail");
  EXPECT_EQ(g.group, "Internet");
  EXPECT_EQ(g.groupTree, "");
  EXPECT_EQ(g.userName, "alice@example.com");
  EXPECT_EQ(g.url, "https://mail.google.com/");
  EXPECT_EQ(g.password, "s3cr\xE9t");  // "é" from UTF-8 to 0xE9
  EXPECT_EQ(g.notes, "Recovery phone ends in 42");
  EXPECT_EQ(g.icon, 0);
  EXPECT_FALSE(g.lossy);
  const TVLKeePassTextEntry& b = p.entries[1];
  EXPECT_EQ(b.title, "Bank");
  EXPECT_EQ(b.userName, "");
  EXPECT_EQ(b.password, "hunter2");
  EXPECT_EQ(b.notes, "");
  EXPECT_EQ(p.generated, 0);
  EXPECT_EQ(p.skipped, 0);
}

TEST(KeePassImport, MultiLineNotesWithATrailingBlankLine) {
  TParsed p = Parse(kMultiLineNotes);
  ASSERT_EQ(p.entries.size(), 1u);
  EXPECT_EQ(p.entries[0].notes, "line one\r\n  line two  ");  // blanks stay, empty lines at the end go
  EXPECT_EQ(p.entries[0].url, "ssh://10.0.0.1");
}

TEST(KeePassImport, FullExportKeepsItsExtraLinesOutOfTheNotes) {
  TParsed p = Parse(kFullExport);
  ASSERT_EQ(p.entries.size(), 3u);
  const TVLKeePassTextEntry& r = p.entries[0];
  EXPECT_EQ(r.notes, "Firmware 2.1");
  EXPECT_EQ(r.icon, 12);
  EXPECT_EQ(r.group, "Network");
  EXPECT_EQ(r.groupTree, "Home");
  EXPECT_EQ(r.password, "pa:ss word");
  // An "Icon:" line that the entry's own optional lines follow is notes text.
  EXPECT_EQ(p.entries[1].notes, "Tray 2 jams.\r\nIcon: 3");
  EXPECT_EQ(p.entries[1].icon, 68);
  EXPECT_EQ(p.entries[2].notes, "");
  EXPECT_EQ(p.entries[2].icon, 0);
  for (const auto& e : p.entries) {
    EXPECT_EQ(e.notes.find("UUID"), std::string::npos) << e.title;
    EXPECT_EQ(e.notes.find("Expires"), std::string::npos) << e.title;
  }

  // Imported into a vault: the tree, the icon table and the entries.
  TVaultModel m;
  const TKeePassImportResult r2 = ImportKeePassEntries(m, p.entries, 400);
  EXPECT_EQ(r2.Imported, 3);
  EXPECT_EQ(Dump(m),
            "G Home\n"
            "G Home\\Network\n"
            "E1 [246] Home\\Network <Router> <admin> <pa:ss word> <http://192.168.1.1/> <Firmware 2.1>\n"
            "E2 [302] Home\\Network <Printer> <> <1234> <> <Tray 2 jams.\\r\\nIcon: 3>\n"
            "E3 [1] Home\\Network <Empty notes> <x> <> <> <>\n");
  EXPECT_EQ(r2.LastGroup, m.Groups.TopItem(0)->Item(0));
  EXPECT_EQ(r2.LastEntry, m.Entries.back().get());
  EXPECT_EQ(r2.ExpandedGroups, (std::vector<TVaultGroup*>{m.Groups.TopItem(0)}));
}

TEST(KeePassImport, OlderWriterAndEncodedNewlines) {
  TParsed old = Parse(kOldWriter);
  ASSERT_EQ(old.entries.size(), 1u);
  EXPECT_EQ(old.entries[0].userName, "carol");
  EXPECT_EQ(old.entries[0].notes, "a\r\nb");
  TParsed enc = Parse(kEncodedNewlines);
  ASSERT_EQ(enc.entries.size(), 1u);
  EXPECT_EQ(enc.entries[0].notes, "if (a) {\\r\\n  b();\\r\\n}");  // kept literally
  TParsed full = Parse(kOldFullExport);
  ASSERT_EQ(full.entries.size(), 1u);
  EXPECT_EQ(full.entries[0].userName, "dave");
  EXPECT_EQ(full.entries[0].notes, "keep this\r\n\r\nand this");
  EXPECT_EQ(full.entries[0].icon, 5);
}

TEST(KeePassImport, TheParsersRules) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> entries;  // "title|notes|icon"
  } cases[] = {
      {"lines before the first header are ignored",
       "KeePass export\n\n" + Block("A", "Group: g\nPassword: p\nNotes: n"), {"A|n|0"}},
      {"a notes line in brackets without a key line after it stays",
       Block("A", "Group: g\nNotes: x\n[not an entry]\nmore text"), {"A|x\r\n[not an entry]\r\nmore text|0"}},
      {"a bracket line followed by a key line starts an entry",
       Block("A", "Group: g\nNotes: x\n[B]\n\nGroup: h\nPassword: q\nNotes: y"), {"A|x|0", "B|y|0"}},
      {"the key line may come as the eighth line after the header",
       "[A]\n\n\n\n\n\n\n\nGroup: g\nNotes: n\n", {"A|n|0"}},
      {"but not as the ninth", "[A]\n\n\n\n\n\n\n\n\nGroup: g\nNotes: n\n", {}},
      {"fields after the notes line are notes", Block("A", "Notes: n\nPassword: late"), {"A|n\r\nPassword: late|0"}},
      {"optional lines in the middle of the notes stay",
       Block("A", "Notes: n\nUUID: in the notes\nmore\nUUID: 00ff\nIcon: 4"), {"A|n\r\nUUID: in the notes\r\nmore|4"}},
      {"the last valid icon wins", Block("A", "Password: p\nIcon: 5\nIcon: x\nIcon: 7"), {"A||7"}},
      {"an optional key followed by notes text stays in the notes",
       Block("A", "Notes: n\nIcon: 5\nmore"), {"A|n\r\nIcon: 5\r\nmore|0"}},
      {"icon 69 is read as it stands", Block("A", "Password: p\nNotes: n\nIcon: 69"), {"A|n|69"}},
      {"a negative icon is no icon", Block("A", "Password: p\nNotes: n\nIcon: -1"), {"A|n|0"}},
      {"keys ignore case and blanks", Block("A", "  group :g\nNOTES:  n"), {"A|n|0"}},
      {"blanks inside the brackets stay", "  [ A ]  \nPassword: p\n", {" A ||0"}},
  };
  for (const Case& c : cases) {
    TParsed p = Parse(c.text);
    std::vector<std::string> got;
    for (const auto& e : p.entries) got.push_back(e.title + "|" + e.notes + "|" + std::to_string(e.icon));
    EXPECT_EQ(got, c.entries) << c.name;
  }
}

TEST(KeePassImport, TitlesGeneratedAndEmptyEntriesSkipped) {
  const std::string text = Block("", "Group: Web\nURL: https://u@www.example.com:8080/p?q#f\nNotes: ") +
                           Block("  ", "Group: Mail\nPassword: p\nNotes: ") +
                           Block("", "Group: Only a group\nNotes: ") +
                           Block("", "User Name:  bob \nNotes: ") +
                           Block("", "Notes: just notes");
  TParsed p = Parse(text);
  ASSERT_TRUE(p.ok);
  std::vector<std::string> titles;
  for (const auto& e : p.entries) titles.push_back(e.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"www.example.com:8080", "Mail Entry", "bob",
                                              "Imported KeePass Entry 4"}));
  EXPECT_EQ(p.generated, 4);
  EXPECT_EQ(p.skipped, 1);

  TParsed none = Parse(Block("", "Group: g\nNotes: "));
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.error, "No KeePass text entries were found in the selected file.");
  EXPECT_EQ(none.skipped, 1);
  EXPECT_FALSE(Parse("").ok);
}

TEST(KeePassEntryTitle, UrlHostRule) {
  struct Case {
    const char* url;
    const char* user;
    const char* group;
    const char* title;
  } cases[] = {
      {"https://u@www.example.com:8080/p?q#f", "x", "g", "www.example.com:8080"},
      {"  www.example.com/login ", "", "", "www.example.com"},
      {"ftp://files.example.org\\share", "", "", "files.example.org"},
      {"https://example.com/mail@home", "", "", "example.com"},  // an "@" in the path is no user
      {"https://user:pw@host?x=1", "", "", "host"},
      {"https:///path", " bob ", "", "bob"},
      {"", "", " Mail ", "Mail Entry"},
      {"", "", "", "Imported KeePass Entry 7"},
  };
  for (const Case& c : cases) {
    TVLKeePassTextEntry e;
    e.url = c.url;
    e.userName = c.user;
    e.group = c.group;
    EXPECT_EQ(KeePassEntryTitle(e, 7), c.title) << c.url;
  }
}

TEST(KeePassIcons, TableBothWays) {
  struct Case {
    int keePass, vault;
  } import[] = {{0, 1}, {1, 235}, {2, 236}, {68, 302}, {69, 1}, {-1, 1}, {1000000000, 1}};
  for (const Case& c : import) EXPECT_EQ(KeePassIconToIndex(c.keePass, 303), c.vault) << c.keePass;
  EXPECT_EQ(KeePassIconToIndex(68, 302), 1);  // the icon list has no image 302
  struct Back {
    int vault, keePass;
  } exported[] = {{1, 0}, {0, 0}, {7, 0}, {234, 0}, {235, 1}, {302, 68}, {303, 0}};
  for (const Back& c : exported) EXPECT_EQ(IndexToKeePassIcon(c.vault), c.keePass) << c.vault;
}

TEST(GroupForImport, FindsOrCreatesTheGroups) {
  struct Case {
    const char* tree;
    const char* group;
    const char* path;  // of the resulting group
  } cases[] = {
      {"A\\B", "B", "A\\B"},     // the group is the tree's last name
      {"A\\B", "C", "A\\B\\C"},  // another name goes below it
      {"", "", "Imported"},
      {"", "Mail", "Mail"},
      {"a\\b", "b", "A\\B"},     // case ignored: the existing groups
      {" \\ A \\\\", "", "A"},   // empty parts skipped
      {"", "a:b", "a-b"},
      {"x:y", "x:y", "x-y"},
  };
  TGroupTree tree;
  tree.Add(nullptr, "A", 0);
  tree.Add(tree.TopItem(0), "B", 0);
  for (const Case& c : cases) {
    TVaultGroup* g = GroupForImport(tree, c.tree, c.group);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ((g->Parent() ? GroupTreePath(g) + "\\" : "") + g->Caption(), c.path) << c.tree << " + " << c.group;
    // The same call again finds the same group.
    EXPECT_EQ(GroupForImport(tree, c.tree, c.group), g);
  }
  EXPECT_EQ(tree.Count(), 7);  // A, B, C, Imported, Mail, a-b, x-y
}

TEST(GroupForImport, ReportsTheGroupsThatGainedChildren) {
  TGroupTree tree;
  std::vector<TVaultGroup*> expanded;
  TVaultGroup* c = GroupForImport(tree, "A\\B", "C", &expanded);
  GroupForImport(tree, "A", "D", &expanded);
  ASSERT_EQ(expanded.size(), 2u);
  EXPECT_EQ(expanded[0], tree.TopItem(0));
  EXPECT_EQ(expanded[1], c->Parent());
}

TEST(KeePassImport, CharactersTheCodePageCannotHoldAreReported) {
  const std::string text = kBom + Block("Caf\xC3\xA9", "Group: g\nPassword: p\xE4\xB8\xADx\nNotes: \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80") +
                           Block("Plain", "Group: g\nPassword: p\nNotes: n") +
                           Block("Broken", "Group: g\nUser Name: \xC3\nNotes: ");
  TParsed p = Parse(text);
  ASSERT_EQ(p.entries.size(), 3u);
  EXPECT_EQ(p.entries[0].title, "Caf\xE9");
  EXPECT_EQ(p.entries[0].password, "p?x");
  EXPECT_TRUE(p.entries[0].lossy);
  EXPECT_EQ(p.entries[0].notes, "[[U+4E2D]][[U+6587]] [[U+1F600]]");  // notes keep them as tokens
  EXPECT_FALSE(p.entries[1].lossy);
  EXPECT_EQ(p.entries[2].userName, "?");
  EXPECT_TRUE(p.entries[2].lossy);

  TVaultModel m;
  const TKeePassImportResult r = ImportKeePassEntries(m, p.entries, 400);
  EXPECT_EQ(r.LossyTitles, (std::vector<std::string>{"Caf\xE9", "Broken"}));
  bool warning = false;
  EXPECT_EQ(KeePassImportSummary(r.Imported, 0, 0, r.LossyTitles, warning),
            "3 KeePass entries were imported into the current vault.\r\n\r\n"
            "2 entries contain characters that the code page of this system cannot hold; they were imported with "
            "\"?\" in their place:\r\nCaf\xE9\r\nBroken");
  EXPECT_TRUE(warning);
}

TEST(KeePassImport, FileWithoutBomIsCodePageText) {
  TParsed p = Parse(Block("Caf\xE9", "Password: \xC3\xA9\nNotes: "));
  ASSERT_EQ(p.entries.size(), 1u);
  EXPECT_EQ(p.entries[0].title, "Caf\xE9");
  EXPECT_EQ(p.entries[0].password, "\xC3\xA9");  // two code-page characters, as they stand
  EXPECT_FALSE(p.entries[0].lossy);
}

TEST(KeePassImport, Summary) {
  struct Case {
    int imported, generated, skipped;
    const char* text;
    bool warning;
  } cases[] = {
      {3, 0, 0, "3 KeePass entries were imported into the current vault.", false},
      {3, 2, 0,
       "3 KeePass entries were imported into the current vault.\r\n\r\n2 entries had no title. A title was "
       "generated automatically.",
       true},
      {1, 0, 4,
       "1 KeePass entries were imported into the current vault.\r\n\r\n4 completely empty entries were skipped.",
       true},
  };
  for (const Case& c : cases) {
    bool warning = !c.warning;
    EXPECT_EQ(KeePassImportSummary(c.imported, c.generated, c.skipped, {}, warning), c.text);
    EXPECT_EQ(warning, c.warning);
  }
  std::vector<std::string> many(12, "t");
  bool warning = false;
  const std::string text = KeePassImportSummary(12, 0, 0, many, warning);
  EXPECT_NE(text.find("\r\nt\r\n... 2 more"), std::string::npos) << text;
}

TEST(KeePassFiles, ReadAndWrite) {
  TempDir dir;
  // Reading: a BOM file and a missing one.
  WriteTestFile(dir.File("in.txt"), kDefaultExport);
  TKeePassSource src;
  std::string error;
  ASSERT_TRUE(ReadKeePassFile(dir.File("in.txt"), src, error)) << error;
  EXPECT_TRUE(src.Utf8);
  EXPECT_EQ(src.Lines.size(), 16u);
  EXPECT_EQ(src.Lines[0], "[Gmail]");
  EXPECT_FALSE(ReadKeePassFile(dir.File("missing.txt"), src, error));
  EXPECT_FALSE(error.empty());

  // Writing goes through "<file>.tmp": an existing file is replaced whole.
  const std::string out = dir.File("out.txt");
  WriteTestFile(out, "old content that is longer than the new one");
  ASSERT_TRUE(WriteUtf8TextFile(out, "abc", error)) << error;
  EXPECT_EQ(ReadTestFile(out), kBom + "abc");
  EXPECT_FALSE(PathExists(out + ".tmp"));
  ASSERT_TRUE(WriteUtf8TextFile(out, "", error));
  EXPECT_EQ(ReadTestFile(out), kBom);

  // A failure leaves no file behind, and an existing target untouched.
  EXPECT_FALSE(WriteUtf8TextFile(dir.File("no/such/folder/x.txt"), "secret", error));
  EXPECT_EQ(error, "The file could not be written.");
  EXPECT_FALSE(PathExists(dir.File("no/such/folder/x.txt.tmp")));
  EXPECT_FALSE(WriteUtf8TextFile(dir.Path(), "secret", error));  // the target is a folder
  EXPECT_FALSE(PathExists(dir.Path() + ".tmp"));

  EXPECT_EQ(KeePassExportFileName("C:\\vaults\\home.qvl"), "C:\\vaults\\home.txt");
  EXPECT_EQ(KeePassExportFileName(""), "Vaultline-KeePass-Export.txt");
}

TEST(KeePassExport, ExactBytes) {
  TVaultModel m;
  TVaultGroup* root = m.Groups.Add(nullptr, "Root", 0);
  TVaultGroup* sub = m.Groups.Add(root, "Sub", 0);
  TVaultGroup* top = m.Groups.Add(nullptr, "Caf\xE9", 0);
  TVaultEntry* e2 = AddEntry(m, 2, sub, "Mail");
  e2->username = "alice";
  e2->url = "https://mail.example.com";
  e2->password = "pa\r\nss";
  e2->notes = "line one\r\nline two \xE4\x80[[U+4E2D]]";  // "ä€" and a token
  e2->icon = 240;
  TVaultEntry* e1 = AddEntry(m, 1, nullptr, "No group");
  e1->icon = 7;
  TVaultEntry* e3 = AddEntry(m, 3, top, "Top\nlevel");
  e3->notes = "a\r\n\r\nb\r\n";
  e3->icon = 1;
  e3->password = "x";

  const std::string text = BuildKeePassText(m);
  EXPECT_EQ(Escape(text), Escape(
                              "[No group]\r\n"
                              "Group: Imported\r\n"
                              "Group Tree: \r\n"
                              "User Name: \r\n"
                              "URL: \r\n"
                              "Password: \r\n"
                              "Notes: \r\n"
                              "Icon: 0\r\n"
                              "\r\n"
                              "[Mail]\r\n"
                              "Group: Sub\r\n"
                              "Group Tree: Root\r\n"
                              "User Name: alice\r\n"
                              "URL: https://mail.example.com\r\n"
                              "Password: pa  ss\r\n"
                              "Notes: line one\r\n"
                              "line two \xC3\xA4\xE2\x82\xAC\xE4\xB8\xAD\r\n"
                              "Icon: 6\r\n"
                              "\r\n"
                              "[Top level]\r\n"
                              "Group: Caf\xC3\xA9\r\n"
                              "Group Tree: \r\n"
                              "User Name: \r\n"
                              "URL: \r\n"
                              "Password: x\r\n"
                              "Notes: a\r\n"
                              "\r\n"
                              "b\r\n"
                              "Icon: 0\r\n"));
  EXPECT_EQ(m.Entries.front()->id, 1);  // sorted by id
}

TEST(KeePassExport, ExportThenImportGivesTheSameVault) {
  TVaultModel a;
  TVaultGroup* home = a.Groups.Add(nullptr, "Home", 0);
  TVaultGroup* net = a.Groups.Add(home, "Network", 0);
  TVaultGroup* deep = a.Groups.Add(net, "Deep", 0);
  TVaultGroup* work = a.Groups.Add(nullptr, "Work", 0);
  struct Row {
    TVaultGroup* g;
    const char* title;
    const char* user;
    const char* pass;
    const char* url;
    const char* notes;
    int icon;
  } rows[] = {
      {home, "Router", "admin", "pa:ss", "http://192.168.1.1/", "Firmware 2.1\r\n  indented\r\n\r\nafter a gap", 246},
      {net, "NAS", "", "n4s", "", "", 1},
      {deep, "Caf\xE9 \x80", "\xFC" "ser", "p\xE4ss", "https://caf\xE9.example", "[[U+4E2D]] notes", 302},
      {work, "[Bracketed] title", "x", "y", "z", "[looks like a header]\r\nGroup: but is notes", 235},
      {work, "Same group", "u", "p", "", "Icon: 3 inside the notes", 1},
      {net, "Last", "", "p", "", "first\r\nUUID: in the middle\r\nlast line", 250},
  };
  int id = 1;
  for (const Row& r : rows) {
    TVaultEntry* e = AddEntry(a, id++, r.g, r.title);
    e->username = r.user;
    e->password = r.pass;
    e->url = r.url;
    e->notes = r.notes;
    e->icon = r.icon;
  }
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteUtf8TextFile(dir.File("x.txt"), BuildKeePassText(a), error));
  TKeePassSource src;
  ASSERT_TRUE(ReadKeePassFile(dir.File("x.txt"), src, error));
  TVLKeePassTextEntries parsed;
  int generated = 0, skipped = 0;
  ASSERT_TRUE(ParseKeePassText(src, parsed, error, generated, skipped));
  TVaultModel b;
  const TKeePassImportResult r = ImportKeePassEntries(b, parsed, 303);
  EXPECT_TRUE(r.LossyTitles.empty());
  EXPECT_EQ(Dump(b), Dump(a));
  // And the vault text of both is the same.
  EXPECT_EQ(BuildVaultText(b), BuildVaultText(a));
}

TEST(IsKeePassEntryHeader, BracketsAndAKeyLineAhead) {
  const std::vector<std::string> lines = {"[A]", "", "  ", "Group Tree: x", "[]", "Notes:", "[B", "Icon: 1",
                                          "[C]", "Title: no key"};
  EXPECT_TRUE(IsKeePassEntryHeader(lines, 0));
  EXPECT_TRUE(IsKeePassEntryHeader(lines, 4));   // "[]" is two characters
  EXPECT_FALSE(IsKeePassEntryHeader(lines, 6));  // no closing bracket
  EXPECT_FALSE(IsKeePassEntryHeader(lines, 8));  // "Title" is no key
  EXPECT_FALSE(IsKeePassEntryHeader(lines, 99));
}
