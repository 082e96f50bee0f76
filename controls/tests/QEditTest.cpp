#include "controls/QEdit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/tests/UiTestUtil.h"

namespace {

TEST(QEditKeysTest, WhichKeyReleasesComplete) {
  for (WORD key : {8, 12, 13, 16, 20, 27, 32, 33, 37, 40, 45, 46, 91, 92, 93, 112, 117, 123})
    EXPECT_TRUE(QEditCompletion::IgnoredKey(key)) << key;
  for (WORD key : {9, 17, 18, 47, 48, 65, 90, 94, 124, 186})
    EXPECT_FALSE(QEditCompletion::IgnoredKey(key)) << key;
}

TEST(QEditKeysTest, AnsiLowerCaseOfTheCodePage) {
  // Code page 1252: Ä (0xC4) lower-cases to ä (0xE4); an ASCII-only rule would not.
  EXPECT_EQ(QEditCompletion::AnsiLower("\xC4PFEL Ab"), "\xE4pfel ab");
  EXPECT_EQ(QEditCompletion::AnsiLower(""), "");
}

struct QEditTest : ::testing::Test {
  UiTest::THostForm form{300, 100};
  TQEdit edit{&form};
  void SetUp() override {
    edit.SetParent(&form);
    edit.SetBounds(10, 10, 200, 22);
    edit.Show();
  }
  // Types the text key by key as the keyboard would: key down, character,
  // key up (the key up runs the completion).
  void Type(const std::string& text) {
    for (char ch : text) {
      SHORT scan = VkKeyScanA(ch);
      WPARAM vk = scan == -1 ? 'A' : static_cast<WPARAM>(scan & 0xFF);
      SendMessageA(edit.Handle(), WM_KEYDOWN, vk, 0);
      SendMessageA(edit.Handle(), WM_CHAR, static_cast<unsigned char>(ch), 0);
      SendMessageA(edit.Handle(), WM_KEYUP, vk, 0xC0000001);
    }
  }
  void Release(WORD vk) { SendMessageA(edit.Handle(), WM_KEYUP, vk, 0xC0000001); }
  void Lines(TStringList& list, std::initializer_list<const char*> lines) {
    list.Clear();
    for (const char* l : lines) list.Add(l);
  }
};

TEST_F(QEditTest, CompletionTable) {
  struct Case {
    std::initializer_list<const char*> data, exclusion;
    bool unequivocal, caseData, caseExclusion;
    const char* typed;
    const char* text;
    int selStart, selLength;
  };
  const Case cases[] = {
      {{"alpha", "alps"}, {}, true, false, true, "alp", "alp", 3, 0},  // two candidates: none taken
      {{"alpha", "alps"}, {}, false, false, true, "alp", "alpha", 3, 2},
      {{"alpha", "alps"}, {}, true, false, true, "alph", "alpha", 4, 1},
      {{"alpha", "alps"}, {}, false, false, true, "alph", "alpha", 4, 1},
      {{"alpha"}, {}, false, false, true, "AL", "alpha", 2, 3},  // the candidate's own case
      {{"alpha"}, {}, false, true, true, "AL", "AL", 2, 0},
      {{"alpha", "alps"}, {"alpine"}, false, false, true, "alp", "alp", 3, 0},  // excluded beginning
      {{"alpha"}, {"ALPINE"}, false, false, true, "alp", "alpha", 3, 2},
      {{"alpha"}, {"ALPINE"}, false, false, false, "alp", "alp", 3, 0},
      {{"\xC4pfel"}, {}, false, false, true, "\xE4p", "\xC4pfel", 2, 3},  // code page case rule
      {{"beta", "alpha"}, {}, false, false, true, "x", "x", 1, 0},
      {{"ab"}, {}, false, false, true, "abc", "abc", 3, 0},  // longer than every candidate
  };
  for (const Case& c : cases) {
    Lines(edit.DataList(), c.data);
    Lines(edit.ExclusionList(), c.exclusion);
    edit.SetOnlyIfUnequivocal(c.unequivocal);
    edit.SetCaseSensitiveData(c.caseData);
    edit.SetCaseSensitiveExlusion(c.caseExclusion);
    edit.SetText("");
    Type(c.typed);
    EXPECT_EQ(edit.Text(), c.text) << c.typed;
    EXPECT_EQ(edit.SelStart(), c.selStart) << c.typed;
    EXPECT_EQ(edit.SelLength(), c.selLength) << c.typed;
  }
}

TEST_F(QEditTest, OnlySomeKeyReleasesComplete) {
  Lines(edit.DataList(), {"alpha"});
  struct Step {
    WORD key;
    bool completes;
  };
  const Step steps[] = {{VK_LEFT, false}, {VK_BACK, false}, {VK_DELETE, false}, {VK_SHIFT, false},
                        {VK_F5, false},   {VK_HOME, false}, {VK_CONTROL, true}, {VK_TAB, true},
                        {VK_MENU, true}};
  for (const Step& s : steps) {
    edit.SetText("al");
    edit.SetSelStart(2);
    Release(s.key);
    EXPECT_EQ(edit.Text(), s.completes ? "alpha" : "al") << s.key;
  }
  // An empty text begins every entry: any release that counts fills in the first.
  edit.SetText("");
  Release(VK_CONTROL);
  EXPECT_EQ(edit.Text(), "alpha");
  EXPECT_EQ(edit.SelStart(), 0);
  EXPECT_EQ(edit.SelLength(), 5);
  // … unless there is an exclusion list at all.
  Lines(edit.ExclusionList(), {"zzz"});
  edit.SetText("");
  Release(VK_CONTROL);
  EXPECT_EQ(edit.Text(), "");
}

TEST_F(QEditTest, OnSelectMayChangeTextAndStart) {
  Lines(edit.DataList(), {"alpha"});
  std::vector<std::string> seen;
  int startTo = 0;
  std::string textTo;
  edit.OnSelect = [&](TObject* sender, std::string& selText, int& selPos) {
    EXPECT_EQ(sender, &edit);
    seen.push_back(selText + "@" + std::to_string(selPos));
    selPos = startTo;
    if (!textTo.empty()) selText = textTo;
  };
  edit.SetText("al");
  edit.SetSelStart(2);
  Release('L');
  EXPECT_EQ(seen, (std::vector<std::string>{"alpha@2"}));
  EXPECT_EQ(edit.SelStart(), 0);  // the whole text selected
  EXPECT_EQ(edit.SelLength(), 5);

  // A start beyond the text selects nothing rather than a negative length.
  startTo = 99;
  textTo = "ALPHABET";
  edit.SetText("al");
  Release('L');
  EXPECT_EQ(edit.Text(), "ALPHABET");
  EXPECT_EQ(edit.SelStart(), 8);
  EXPECT_EQ(edit.SelLength(), 0);
  startTo = -4;
  edit.SetText("al");
  Release('L');
  EXPECT_EQ(edit.SelStart(), 0);
  EXPECT_EQ(edit.SelLength(), 8);
}

TEST_F(QEditTest, KeyEventsAndListCopies) {
  int downs = 0, ups = 0;
  edit.OnKeyDown = [&](TObject*, WORD&, TShiftState) { ++downs; };
  edit.OnKeyUp = [&](TObject*, WORD&, TShiftState) { ++ups; };
  Type("xy");
  EXPECT_EQ(downs, 2);
  EXPECT_EQ(ups, 0);  // the completion takes the key release
  TStringList words;
  words.Add("one");
  words.Add("two");
  edit.SetDataList(words);
  words.Add("three");
  EXPECT_EQ(edit.DataList().Count(), 2);
  edit.SetExclusionList(words);
  EXPECT_EQ(edit.ExclusionList().Count(), 3);
  EXPECT_TRUE(edit.ExitAfterTab());
  EXPECT_TRUE(edit.CaseSensitiveExlusion());
  EXPECT_FALSE(edit.CaseSensitiveData());
  EXPECT_FALSE(edit.OnlyIfUnequivocal());
}

// Focus moves by Tab through the dialog manager, as the program's message
// loop does it.
struct QEditFocusTest : QEditTest {
  TEdit other{&form};
  int exits = 0;
  bool startedInEdit = false;
  HWND focusAfterTab = nullptr;
  void SetUp() override {
    QEditTest::SetUp();
    other.SetParent(&form);
    other.SetBounds(10, 40, 200, 22);
    other.Show();
    form.Show();
    edit.OnExit = [this](TObject*) { ++exits; };
  }
  void PressTab() {
    PostMessageA(edit.Handle(), WM_KEYDOWN, VK_TAB, 0x000F0001);
    PostMessageA(edit.Handle(), WM_KEYUP, VK_TAB, 0xC00F0001);
    MSG msg;
    for (int i = 0; i < 50 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
      if (IsDialogMessageA(form.Handle(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    UiTest::Pump();
  }
  // Puts the focus in the edit and presses Tab, with the form in front.
  void TabFromTheEdit() {
    ASSERT_TRUE(UiTest::InForeground(form.Handle(), [&] {
      edit.SetFocus();
      UiTest::Pump();
      startedInEdit = edit.Focused();
      exits = 0;
      PressTab();
      focusAfterTab = GetFocus();
    }));
    ASSERT_TRUE(startedInEdit);
  }
};

TEST_F(QEditFocusTest, TabLeavesWhenAllowed) {
  TabFromTheEdit();
  EXPECT_EQ(focusAfterTab, other.Handle());
  EXPECT_EQ(exits, 1);
}

TEST_F(QEditFocusTest, TabStaysWithoutExitAfterTab) {
  edit.SetExitAfterTab(false);
  TabFromTheEdit();
  EXPECT_EQ(focusAfterTab, edit.Handle());
  EXPECT_EQ(exits, 0);
  bool back = false;
  ASSERT_TRUE(UiTest::InForeground(form.Handle(), [&] {
    edit.SetFocus();
    other.SetFocus();
    UiTest::Pump();
    back = edit.Focused();
  }));
  EXPECT_TRUE(back);
  EXPECT_EQ(exits, 0);
}

}  // namespace
