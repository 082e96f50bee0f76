// Search, entry ids, group names, saving the details panel, the notes
// preview, and deleting groups and entries with their hot keys.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "app/model/EntryRules.h"
#include "app/model/tests/FakeHotKeys.h"

namespace {

TVaultEntry& Add(TVaultModel& m, int id, TVaultGroup* group, const std::string& title,
                 const std::string& shortcut = "") {
  m.Entries.push_back(std::make_unique<TVaultEntry>());
  TVaultEntry& e = *m.Entries.back();
  e.id = id;
  e.group = group;
  e.title = title;
  e.shortcut = shortcut;
  return e;
}

std::vector<int> Ids(const TVaultModel& m) {
  std::vector<int> ids;
  for (const auto& e : m.Entries) ids.push_back(e->id);
  return ids;
}

}  // namespace

TEST(AnsiCase, LowerCaseOfTheCodePage) {
  struct Case {
    unsigned char in, out;
  } cases[] = {
      {'A', 'a'}, {'z', 'z'}, {0xC9, 0xE9} /* É é */, {0xDE, 0xFE}, {0x8A, 0x9A} /* Š š */,
      {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF} /* Ÿ ÿ */, {0xD7, 0xD7} /* × */, {0xDF, 0xDF} /* ß */,
      {0xE9, 0xE9}, {'[', '['},
  };
  for (const Case& c : cases)
    EXPECT_EQ(static_cast<unsigned char>(AnsiLowerChar(static_cast<char>(c.in))), c.out) << int(c.in);
  EXPECT_TRUE(AnsiSameText("\xC9" "cole", "\xE9" "COLE"));
  EXPECT_FALSE(AnsiSameText("Ecole", "\xE9" "cole"));
}

TEST(MatchesSearch, WordsOfTheQuery) {
  struct Case {
    const char* title;
    const char* query;
    bool match;
  } cases[] = {
      {"Gmail Work", "mail gm", true},            // every word, in any order, anywhere
      {"Gmail Work", "MAIL  work", true},
      {"Gmail Work", "mail home", false},
      {"Gmail Work", "", true},
      {"Gmail Work", "   ", true},                // blanks only: everything
      {"", "  \t ", true},
      {"Gmail Work", "mail\twork", true},         // tab separates words
      {"Gmail Work", "\tgmail\t", true},
      {"\xC9" "cole", "\xE9" "co", true},          // É in the title, é in the query
      {"\xE9" "t\xE9", "\xC9T\xC9", true},
      {"\x8A" "koda", "\x9A" "kod", true},        // Š / š
      {"Ecole", "\xE9" "cole", false},
      {"Gmail Work", "mailwork", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesSearch(c.title, c.query), c.match) << c.title << " / " << c.query;
  TSearchQuery all("   ");
  EXPECT_TRUE(all.MatchesAll());
}

TEST(NextEntryId, HighestPlusOne) {
  TVaultModel m;
  EXPECT_EQ(NextEntryId(m.Entries), 1);
  Add(m, 3, nullptr, "a");
  Add(m, 7, nullptr, "b");
  Add(m, 5, nullptr, "c");
  EXPECT_EQ(NextEntryId(m.Entries), 8);
  // No id above the largest int: the smallest free one.
  TVaultModel full;
  Add(full, 0, nullptr, "a");
  Add(full, INT_MAX, nullptr, "b");
  Add(full, 1, nullptr, "c");
  EXPECT_EQ(NextEntryId(full.Entries), 2);
  EXPECT_EQ(FindEntryById(m.Entries, 7)->title, "b");
  EXPECT_EQ(FindEntryById(m.Entries, 4), nullptr);
}

TEST(CheckGroupNameEdit, BlankIgnoredColonRefused) {
  struct Case {
    const char* text;
    TGroupNameEdit action;
    const char* name;
  } cases[] = {
      {"  Mail  ", TGroupNameEdit::Accept, "Mail"},
      {"", TGroupNameEdit::Ignore, ""},
      {" \t ", TGroupNameEdit::Ignore, ""},
      {"a:b", TGroupNameEdit::RefuseColon, ""},
      {":", TGroupNameEdit::RefuseColon, ""},
      {"[5] x", TGroupNameEdit::Accept, "[5] x"},
  };
  for (const Case& c : cases) {
    const TGroupNameDecision d = CheckGroupNameEdit(c.text);
    EXPECT_EQ(d.Action, c.action) << c.text;
    EXPECT_EQ(d.Name, c.name) << c.text;
  }
}

TEST(NotesPreview, FirstLineOrHidden) {
  TVaultEntry e;
  e.notes = "first\r\nsecond";
  EXPECT_EQ(NotesPreview(e), "first");
  e.notes = "one line";
  EXPECT_EQ(NotesPreview(e), "one line");
  e.notes = "\r\nafter an empty line";
  EXPECT_EQ(NotesPreview(e), "");
  e.hiddenNotes = true;
  EXPECT_EQ(NotesPreview(e), "[HIDDEN]");
}

TEST(EntrySave, NewEntryStoresNothingUntilItHasATitle) {
  TVaultModel m;
  TVaultGroup* g = m.Groups.Add(nullptr, "Mail", 0);
  Add(m, 4, g, "old");
  TEntryEditState s;
  s.EntryOpen = true;
  s.EntryGroup = g;
  s.EditedIcon = 7;
  TEntryEditTexts t;
  t.User = "alice";
  t.Password = "pw";
  t.Title = "   ";
  for (TEntryField f : {TEntryField::User, TEntryField::Password, TEntryField::Title}) {
    const TEntrySaveResult r = EntrySave(m, s, t, f);
    EXPECT_FALSE(r.Stored);
    EXPECT_EQ(m.Entries.size(), 1u);
    EXPECT_EQ(s.CurrentEntry, nullptr);
  }
  t.Title = "  Mail account ";
  t.Notes = "note";
  const TEntrySaveResult r = EntrySave(m, s, t, TEntryField::Title);
  ASSERT_TRUE(r.Stored && r.Created && r.UpdateRow);
  ASSERT_EQ(m.Entries.size(), 2u);
  TVaultEntry* e = s.CurrentEntry;
  ASSERT_EQ(e, r.Entry);
  EXPECT_EQ(e->id, 5);
  EXPECT_EQ(e->group, g);
  EXPECT_EQ(e->icon, 7);
  EXPECT_EQ(e->title, "Mail account");
  EXPECT_EQ(e->username, "alice");
  EXPECT_EQ(e->password, "pw");
  EXPECT_EQ(e->notes, "note");
  // The next change updates the same record.
  t.Password = "pw2";
  const TEntrySaveResult again = EntrySave(m, s, t, TEntryField::Password);
  EXPECT_TRUE(again.Stored);
  EXPECT_FALSE(again.Created);
  EXPECT_FALSE(again.UpdateRow);  // the password is not shown in the list
  EXPECT_EQ(m.Entries.size(), 2u);
  EXPECT_EQ(e->password, "pw2");
}

TEST(EntrySave, HiddenNotesAreNeverOverwritten) {
  TVaultModel m;
  TVaultGroup* g = m.Groups.Add(nullptr, "Mail", 0);
  TVaultEntry& e = Add(m, 1, g, "Mail");
  e.notes = "secret notes";
  e.hiddenNotes = true;
  TEntryEditState s;
  s.EntryOpen = true;
  s.EntryGroup = g;
  s.CurrentEntry = &e;
  TEntryEditTexts t;
  t.Title = "Mail";
  t.User = "bob";
  t.Notes = "[HIDDEN]";  // what the notes field shows
  EXPECT_TRUE(EntrySave(m, s, t, TEntryField::User).Stored);
  EXPECT_EQ(e.username, "bob");
  EXPECT_EQ(e.notes, "secret notes");
  // Shown again, the notes field's text is taken.
  e.hiddenNotes = false;
  t.Notes = "new notes";
  EXPECT_TRUE(EntrySave(m, s, t, TEntryField::Notes).UpdateRow);
  EXPECT_EQ(e.notes, "new notes");
}

TEST(EntrySave, NothingWithoutAnOpenEditableEntry) {
  TVaultModel m;
  TVaultGroup* g = m.Groups.Add(nullptr, "Mail", 0);
  TEntryEditTexts t;
  t.Title = "x";
  struct Case {
    const char* name;
    TEntryEditState state;
  } cases[] = {
      {"updating", {true, false, true, g, nullptr, 1}},
      {"read-only", {false, true, true, g, nullptr, 1}},
      {"not open", {false, false, false, g, nullptr, 1}},
      {"no group", {false, false, true, nullptr, nullptr, 1}},
  };
  for (Case& c : cases) {
    EXPECT_FALSE(EntrySave(m, c.state, t, TEntryField::Title).Stored) << c.name;
    EXPECT_TRUE(m.Entries.empty()) << c.name;
  }
}

TEST(EntrySave, WhichChangesRefreshTheRow) {
  TVaultModel m;
  TVaultGroup* g = m.Groups.Add(nullptr, "Mail", 0);
  TVaultEntry& e = Add(m, 1, g, "Mail");
  TEntryEditState s{false, false, true, g, &e, 1};
  TEntryEditTexts t;
  t.Title = "Mail";
  struct Case {
    TEntryField field;
    bool row;
  } cases[] = {
      {TEntryField::Title, true},     {TEntryField::User, true},      {TEntryField::Url, true},
      {TEntryField::Notes, true},     {TEntryField::Icon, true},      {TEntryField::Password, false},
      {TEntryField::Automate, false}, {TEntryField::Shortcut, false}, {TEntryField::Other, false},
  };
  for (const Case& c : cases) EXPECT_EQ(EntrySave(m, s, t, c.field).UpdateRow, c.row) << int(c.field);
}

TEST(DeleteGroup, RemovesTheSubtreesEntriesAndHotKeysOnly) {
  TVaultModel m;
  TVaultGroup* a = m.Groups.Add(nullptr, "A", 0);
  TVaultGroup* a1 = m.Groups.Add(a, "A1", 0);
  TVaultGroup* a11 = m.Groups.Add(a1, "A11", 0);
  TVaultGroup* b = m.Groups.Add(nullptr, "B", 0);
  TVaultGroup* b1 = m.Groups.Add(b, "B1", 0);
  Add(m, 1, a, "in A", "Ctrl+Alt+1");
  Add(m, 2, b, "in B", "Ctrl+Alt+2");
  Add(m, 3, a11, "in A11", "Ctrl+Alt+3");
  Add(m, 4, nullptr, "no group", "Ctrl+Alt+4");
  Add(m, 5, a1, "in A1");
  Add(m, 6, b1, "in B1", "Ctrl+Alt+6");
  TFakeHotKeys hk;
  std::string message;
  ASSERT_TRUE(RegisterEntryHotKeys(hk, m.Entries, message));
  hk.Calls.clear();

  std::vector<int> removed;
  const int n = DeleteGroup(m, a, &hk, [&](const TVaultEntry& e) { removed.push_back(e.id); });
  EXPECT_EQ(n, 3);
  EXPECT_EQ(removed, (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(Ids(m), (std::vector<int>{2, 4, 6}));
  EXPECT_EQ(hk.Calls, (std::vector<std::string>{"-20993", "-20995", "-20997"}));  // 0x5201, 0x5203, 0x5205
  EXPECT_EQ(hk.Registered.size(), 3u);
  ASSERT_EQ(m.Groups.Count(), 2);
  EXPECT_EQ(m.Groups.TopItem(0), b);
  EXPECT_EQ(b->Item(0), b1);
}

TEST(DeleteEntry, UnregistersItsHotKey) {
  TVaultModel m;
  TVaultGroup* g = m.Groups.Add(nullptr, "G", 0);
  Add(m, 1, g, "one", "Ctrl+Alt+1");
  TVaultEntry* two = &Add(m, 2, g, "two", "Ctrl+Alt+2");
  TFakeHotKeys hk;
  std::string message;
  ASSERT_TRUE(RegisterEntryHotKeys(hk, m.Entries, message));
  EXPECT_TRUE(DeleteEntry(m, two, &hk));
  EXPECT_EQ(Ids(m), (std::vector<int>{1}));
  EXPECT_EQ(hk.Registered.count(0x5202), 0u);
  EXPECT_EQ(hk.Registered.count(0x5201), 1u);
}

TEST(DeleteEntry, ARecordOrGroupFreedMeanwhileIsLeftAlone) {
  // The vault was locked while the question was up: every record is gone,
  // and deleting the one that was asked about must not touch it.
  TVaultModel m;
  TVaultGroup* g = m.Groups.Add(nullptr, "G", 0);
  const TVaultEntry* asked = &Add(m, 1, g, "one");
  TVaultGroup* askedGroup = g;
  m.Clear();
  TFakeHotKeys hk;
  EXPECT_FALSE(DeleteEntry(m, asked, &hk));
  EXPECT_EQ(DeleteGroup(m, askedGroup, &hk), 0);
  EXPECT_TRUE(hk.Calls.empty());
}

TEST(DeleteQuestions, Texts) {
  TGroupTree tree;
  TVaultGroup* g = tree.Add(nullptr, "Mail", 0);
  EXPECT_EQ(DeleteGroupQuestion(*g), "Delete the group \"Mail\"?");
  tree.Add(g, "Sub", 0);
  EXPECT_EQ(DeleteGroupQuestion(*g), "Delete the group \"Mail\" and all of its subgroups?");
  TVaultEntry e;
  e.title = "Bank";
  EXPECT_EQ(DeleteEntryQuestion(e), "Delete entry \"Bank\"?");
}
