// Shortcut texts, hot-key ids, the remembered list and the registration
// rules against an in-memory hot-key table.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/model/KeyNames.h"
#include "app/model/Shortcuts.h"
#include "app/model/tests/FakeHotKeys.h"

namespace {

constexpr unsigned C = kModControl, S = kModShift, A = kModAlt;

TVaultEntry& Add(TVaultEntryList& list, int id, const std::string& title, const std::string& shortcut) {
  list.push_back(std::make_unique<TVaultEntry>());
  TVaultEntry& e = *list.back();
  e.id = id;
  e.title = title;
  e.shortcut = shortcut;
  return e;
}

}  // namespace

TEST(ParseShortcut, ValidAndInvalidTexts) {
  struct Case {
    const char* text;
    bool valid;
    unsigned mods;
    int vk;
  } cases[] = {
      {"Ctrl+Shift+P", true, C | S, 'P'},
      {"ctrl + shift + p", true, C | S, 'P'},
      {"  SHIFT+ctrl+p  ", true, C | S, 'P'},   // any order
      {"Control+Alt+Delete", true, C | A, 46},   // "CONTROL" is Ctrl
      {"Alt+F5", true, A, 116},
      {"Ctrl+F24", true, C, 135},
      {"Ctrl+PageDown", true, C, 34},
      {"Alt+Space", true, A, 32},
      {"Ctrl+7", true, C, '7'},
      {"Shift+P", false, 0, 0},                  // Ctrl or Alt required
      {"P", false, 0, 0},
      {"Ctrl+Shift", false, 0, 0},               // no key
      {"Ctrl+P+Q", false, 0, 0},                 // two keys
      {"Ctrl+F25", false, 0, 0},
      {"Ctrl+F0", false, 0, 0},
      {"Ctrl++", false, 0, 0},                   // empty token between the plus signs
      {"Ctrl+Win+P", false, 0, 0},               // no Windows-key word
      {"Ctrl+Numpad0", false, 0, 0},
      {"", false, 0, 0},
      {"Ctrl+A+", true, C, 'A'},                 // a last "+" adds no word
      {"Ctrl+A + ", true, C, 'A'},
      {"+Ctrl+A", false, 0, 0},                  // an empty first word
      {"Ctrl+\tA", true, C, 'A'},               // control bytes are blanks
      {"\xC3\xA7trl+A", false, 0, 0},            // no case folding beyond ASCII
  };
  for (const Case& c : cases) {
    unsigned mods = 99;
    int vk = 99;
    EXPECT_EQ(ParseShortcut(c.text, mods, vk), c.valid) << c.text;
    EXPECT_EQ(mods, c.mods) << c.text;
    EXPECT_EQ(vk, c.vk) << c.text;
  }
}

// Texts of a settings file or a vault field may be any length: a long run
// of modifier words still names its chord, and a long word names no key.
TEST(ParseShortcut, LongTexts) {
  std::string words;
  for (int i = 0; i < 100000; ++i) words += i % 2 ? "Shift+" : "ctrl + ";
  unsigned mods = 0;
  int vk = 0;
  EXPECT_TRUE(ParseShortcut(words + "F7", mods, vk));
  EXPECT_EQ(mods, C | S);
  EXPECT_EQ(vk, 118);
  EXPECT_FALSE(ParseShortcut(words + std::string(1 << 20, 'F'), mods, vk));
  EXPECT_FALSE(ParseShortcut(words + "A+B", mods, vk));
  EXPECT_FALSE(ParseShortcut(std::string(1 << 20, '+'), mods, vk));
}

TEST(FormatShortcut, WritesCtrlShiftAltInOrderAndReadsBack) {
  EXPECT_EQ(FormatShortcut(A | C, 'K'), "Ctrl+Alt+K");
  EXPECT_EQ(FormatShortcut(A | S | C, 112), "Ctrl+Shift+Alt+F1");
  EXPECT_EQ(FormatShortcut(C, 96), "");  // a key without a name
  // Every named key, with every modifier set that includes Ctrl or Alt,
  // reads back as the chord it was written from.
  for (int vk = 1; vk < 256; ++vk) {
    if (VkToKeyName(vk).empty()) continue;
    for (unsigned mods : {C, A, C | S, A | S, C | A, C | S | A}) {
      unsigned m = 0;
      int v = 0;
      const std::string text = FormatShortcut(mods, vk);
      ASSERT_TRUE(ParseShortcut(text, m, v)) << text;
      EXPECT_EQ(m, mods) << text;
      EXPECT_EQ(v, vk) << text;
    }
  }
}

TEST(ShortcutKeyAction, CaptureInTheEntryField) {
  using K = TShortcutKeyAction;
  struct Case {
    int vk;
    bool ctrl, shift, alt, readOnly, haveEntry;
    K::TKind kind;
    const char* text;
  } cases[] = {
      {'K', true, false, true, false, true, K::TryShortcut, "Ctrl+Alt+K"},
      {116, false, true, false, false, true, K::TryShortcut, "Shift+F5"},  // refused later by the parser
      {37, true, false, false, false, true, K::PassThrough, ""},          // Left moves the caret
      {36, false, false, false, false, false, K::PassThrough, ""},        // Home, even without an entry
      {17, true, false, false, false, true, K::Swallow, ""},              // Ctrl on its own
      {'K', true, false, false, false, false, K::Swallow, ""},            // no current entry
      {'K', true, false, false, true, true, K::Swallow, ""},              // read-only vault
      {37, true, false, false, true, true, K::Swallow, ""},
      {96, true, false, false, false, true, K::Swallow, ""},              // no key name
  };
  for (const Case& c : cases) {
    const K a = ShortcutKeyAction(c.vk, c.ctrl, c.shift, c.alt, c.readOnly, c.haveEntry);
    EXPECT_EQ(a.Kind, c.kind) << c.vk;
    EXPECT_EQ(a.Text, c.text) << c.vk;
  }
}

TEST(EntryHotKeyId, RangeOfEntryIds) {
  EXPECT_EQ(EntryHotKeyId(0), 0x5200);
  EXPECT_EQ(EntryHotKeyId(28159), 0xBFFF);
  EXPECT_EQ(EntryHotKeyId(28160), 0);
  EXPECT_EQ(EntryHotKeyId(-1), 0);
  EXPECT_TRUE(IsEntryHotKeyId(0x5200));
  EXPECT_TRUE(IsEntryHotKeyId(0xBFFF));
  EXPECT_FALSE(IsEntryHotKeyId(0x5102));
  EXPECT_FALSE(IsEntryHotKeyId(0xC000));
  EXPECT_EQ(EntryIdOfHotKey(0x5205), 5);
}

TEST(RememberedShortcuts, BuildAndParse) {
  TVaultEntryList list;
  Add(list, 5, "a", " Ctrl+K ");
  Add(list, 6, "b", "   ");            // no shortcut
  Add(list, 28160, "c", "Ctrl+L");     // no hot-key id
  Add(list, 0, "d", "Alt+F1");
  EXPECT_EQ(BuildRememberedShortcuts(list), "5=Ctrl+K|0=Alt+F1");
  EXPECT_EQ(BuildRememberedShortcuts(TVaultEntryList()), "");

  const auto items = ParseRememberedShortcuts(" 5 = Ctrl+K |x|=Ctrl+A|7=|-3=Alt+A|8 Ctrl+B|| 9 =Alt+F2");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].EntryId, 5);
  EXPECT_EQ(items[0].Shortcut, "Ctrl+K");
  EXPECT_EQ(items[1].EntryId, 9);
  EXPECT_EQ(items[1].Shortcut, "Alt+F2");
  EXPECT_TRUE(IsRememberedHotKey("5=Ctrl+K|0=Alt+F1", 0));
  EXPECT_FALSE(IsRememberedHotKey("5=Ctrl+K|0=Alt+F1", 6));
  EXPECT_FALSE(IsRememberedHotKey("", 0));
}

TEST(RememberedShortcuts, RegisterUnderTheHotKeyIdWhileLocked) {
  // Ordinary entry ids (far below 0x5200) register under 0x5200 + id.
  TVaultEntryList list;
  Add(list, 3, "mail", "Ctrl+Alt+M");
  Add(list, 4, "bank", "Ctrl+Alt+B");
  const std::string remembered = BuildRememberedShortcuts(list);
  TFakeHotKeys hk;
  RegisterRememberedHotKeys(hk, remembered);
  EXPECT_EQ(hk.Registered.size(), 2u);
  EXPECT_EQ(hk.Registered.at(0x5203), (TFakeHotKeys::TChord{C | A, 'M'}));
  EXPECT_EQ(hk.Registered.at(0x5204), (TFakeHotKeys::TChord{C | A, 'B'}));
  // Registering again (a second failed unlock) does not fail on its own ids.
  RegisterRememberedHotKeys(hk, remembered);
  EXPECT_EQ(hk.Registered.size(), 2u);
  UnregisterRememberedHotKeys(hk, remembered);
  EXPECT_TRUE(hk.Registered.empty());
}

TEST(GlobalHotKey, ReplacingKeepsTheOldChordWhenTheNewOneIsTaken) {
  TFakeHotKeys hk;
  TGlobalHotKey open;
  ASSERT_TRUE(SetGlobalHotKey(hk, kOpenHotKeyId, open, "Ctrl+Shift+P"));
  EXPECT_TRUE(open.Registered);
  hk.Taken.insert({C | S, 'L'});
  EXPECT_FALSE(SetGlobalHotKey(hk, kOpenHotKeyId, open, "Ctrl+Shift+L"));
  // The old chord is registered again and recorded.
  EXPECT_EQ(hk.Registered.at(kOpenHotKeyId), (TFakeHotKeys::TChord{C | S, 'P'}));
  EXPECT_TRUE(open.Registered);
  EXPECT_EQ(open.Modifiers, C | S);
  EXPECT_EQ(open.Vk, 'P');
  // An invalid text changes nothing; an empty one clears.
  hk.Calls.clear();
  EXPECT_FALSE(SetGlobalHotKey(hk, kOpenHotKeyId, open, "Shift+P"));
  EXPECT_TRUE(hk.Calls.empty());
  EXPECT_TRUE(SetGlobalHotKey(hk, kOpenHotKeyId, open, "  "));
  EXPECT_FALSE(open.Registered);
  EXPECT_TRUE(hk.Registered.empty());
}

TEST(EntryHotKeys, SettingAnEntrysShortcut) {
  TVaultEntryList list;
  TVaultEntry& e = Add(list, 2, "mail", "Ctrl+Alt+M");
  TVaultEntry& other = Add(list, 3, "bank", "Ctrl+Alt+B");
  TFakeHotKeys hk;
  std::string message;
  ASSERT_TRUE(RegisterEntryHotKeys(hk, list, message));
  EXPECT_EQ(message, "");

  // Taken by the other entry: the old chord stays.
  EXPECT_FALSE(CheckEntryHotKeyConflicts(hk, &e, "Ctrl+Alt+B"));
  EXPECT_EQ(e.shortcut, "Ctrl+Alt+M");
  EXPECT_EQ(hk.Registered.at(0x5202), (TFakeHotKeys::TChord{C | A, 'M'}));
  // Invalid: nothing changes.
  EXPECT_FALSE(CheckEntryHotKeyConflicts(hk, &e, "Shift+M"));
  EXPECT_EQ(e.shortcut, "Ctrl+Alt+M");
  // A free chord is stored trimmed.
  EXPECT_TRUE(CheckEntryHotKeyConflicts(hk, &e, " Ctrl+Alt+N "));
  EXPECT_EQ(e.shortcut, "Ctrl+Alt+N");
  EXPECT_EQ(hk.Registered.at(0x5202), (TFakeHotKeys::TChord{C | A, 'N'}));
  // Empty removes.
  EXPECT_TRUE(CheckEntryHotKeyConflicts(hk, &e, ""));
  EXPECT_EQ(e.shortcut, "");
  EXPECT_EQ(hk.Registered.count(0x5202), 0u);
  EXPECT_FALSE(CheckEntryHotKeyConflicts(hk, nullptr, "Ctrl+Alt+Q"));
  other.id = 28160;
  EXPECT_FALSE(CheckEntryHotKeyConflicts(hk, &other, "Ctrl+Alt+Q"));
}

TEST(EntryHotKeys, ConflictsAreListedInOneMessage) {
  TVaultEntryList list;
  Add(list, 1, "mail", "Ctrl+Alt+M");
  Add(list, 2, "copy", "Ctrl+Alt+M");   // same chord
  Add(list, 3, "bad", "Shift+X");       // invalid
  Add(list, 28160, "far", "Ctrl+Alt+F");  // no hot-key id
  Add(list, 4, "none", "");
  TFakeHotKeys hk;
  std::string message;
  EXPECT_FALSE(RegisterEntryHotKeys(hk, list, message));
  EXPECT_EQ(message,
            "The following automation shortcuts could not be registered:\r\n\r\n"
            "copy: Ctrl+Alt+M\r\nbad: Shift+X\r\nfar: Ctrl+Alt+F");
  EXPECT_EQ(hk.Registered.size(), 1u);
  UnregisterEntryHotKeys(hk, list);
  EXPECT_TRUE(hk.Registered.empty());
}

TEST(MenuCaptions, ShowTheGlobalChords) {
  EXPECT_EQ(OpenMenuCaption(" Ctrl+Shift+P "), "Vaultline\tCtrl+Shift+P");
  EXPECT_EQ(OpenMenuCaption(""), "Vaultline");
  EXPECT_EQ(LockMenuCaption("Ctrl+Shift+L"), "Lock\t\tCtrl+Shift+L");
  EXPECT_EQ(LockMenuCaption(" "), "Lock");
}

// Only a text that is a shortcut shows a chord, and it shows as the capture
// writes it: a settings file may hold anything, of any length, and a menu
// caption of a megabyte never opens.
TEST(MenuCaptions, ShowOnlyAChordThatIsAShortcut) {
  const std::string megabyte(1 << 20, 'x');
  std::string manyCtrls;
  for (int i = 0; i < 100000; ++i) manyCtrls += "Ctrl+";
  manyCtrls += "L";
  struct Case {
    std::string text;
    std::string chord;  // "" when no chord is shown
  } cases[] = {
      {"Ctrl+Alt+K", "Ctrl+Alt+K"},
      {"  alt + ctrl + k ", "Ctrl+Alt+K"},
      {"shift+CONTROL+f12", "Ctrl+Shift+F12"},
      {"Alt+PageUp", "Alt+PageUp"},
      {manyCtrls, "Ctrl+L"},
      {megabyte, ""},
      {"Ctrl+Shift+" + megabyte, ""},
      {"Lock me", ""},
      {"Shift+L", ""},
      {"L", ""},
      {"Ctrl+Shift", ""},
      {"Ctrl+L+M", ""},
      {"Ctrl++", ""},
      {"Ctrl+F25", ""},
      {"Ctrl+L\t\tCtrl+M", ""},
  };
  for (const Case& c : cases) {
    const std::string shown = c.text.size() > 40 ? c.text.substr(0, 40) + "..." : c.text;
    EXPECT_EQ(LockMenuCaption(c.text), c.chord.empty() ? "Lock" : "Lock\t\t" + c.chord) << shown;
    EXPECT_EQ(OpenMenuCaption(c.text), c.chord.empty() ? "Vaultline" : "Vaultline\t" + c.chord) << shown;
  }
}
