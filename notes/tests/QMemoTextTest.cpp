// The notes editor's text through the real control: the host boundary,
// typing, the token rewrite of foreign characters, undo and read-only.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/CodePage.h"
#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"
#include "ui/StdCtrls.h"

using MemoTest::MemoFixture;
using MemoTest::TypeChar;
using MemoTest::TypeText;

namespace {

bool Cp1252() { return CodePage::AnsiCodePage() == 1252; }

TEST_F(MemoFixture, WindowIsAUnicodeRichEditWithoutItsOwnUndo) {
  char cls[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  EXPECT_EQ(lstrcmpiA(cls, "RICHEDIT50W"), 0) << cls;  // class names ignore case
  EXPECT_STREQ(TQMemo::RichEditClassName(), "RICHEDIT50W");
  EXPECT_TRUE(IsWindowUnicode(wnd));
  EXPECT_EQ(SendMessageW(wnd, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
  TypeText(wnd, u"abc");
  EXPECT_EQ(memo->Text(), "abc");
  EXPECT_FALSE(SendMessageW(wnd, EM_CANUNDO, 0, 0)) << "the control's own undo must be off";
  EXPECT_TRUE(memo->CanUndo());
}

TEST_F(MemoFixture, HostTextRoundTripsThroughTheControl) {
  struct Case {
    std::string host;     // what the host assigns
    std::u16string wide;  // what the control then holds
    std::string back;     // what Text gives back
  };
  std::vector<Case> cases = {
      {"plain\r\nline two", u"plain\rline two", "plain\r\nline two"},
      {"a\nb\rc", u"a\rb\rc", "a\r\nb\r\nc"},
      {"\r\n\r\nx\r\n", u"\r\rx\r", "\r\n\r\nx\r\n"},
      {"tokens [[U+0416]] [[U+1F600]] stay", u"tokens [[U+0416]] [[U+1F600]] stay",
       "tokens [[U+0416]] [[U+1F600]] stay"},
      {"invalid [[U+D800]] [[U+110000]]", u"invalid [[U+D800]] [[U+110000]]", "invalid [[U+D800]] [[U+110000]]"},
      {"", u"", ""},
  };
  if (Cp1252()) cases.push_back({"caf\xE9 \x80 5", u"caf\u00E9 \u20AC 5", "caf\xE9 \x80 5"});
  for (const Case& c : cases) {
    memo->SetText(c.host);
    EXPECT_EQ(Wide(), c.wide) << c.host;
    EXPECT_EQ(memo->Text(), c.back) << c.host;
    EXPECT_EQ(memo->ControlText().size(), c.wide.size()) << "one control position per character";
  }
}

TEST_F(MemoFixture, ForeignCharactersArrivingInTheControlBecomeTokens) {
  // As a drop or another program would put them in: the change rewrites
  // them, and the host's handler sees the rewritten text.
  struct Case {
    std::u16string in;
    std::string text;
  };
  std::vector<Case> cases = {
      {u"x\u0416y", "x[[U+0416]]y"},
      {u"\u0142", "[[U+0142]]"},           // no best fit to "l"
      {u"\uFF21", "[[U+FF21]]"},           // nor to "A"
      {u"\U0001F600!", "[[U+1F600]]!"},    // a pair: one token
      {u"\u0101\u0416", "[[U+0101]][[U+0416]]"},
  };
  if (Cp1252()) cases.push_back({u"caf\u00E9", "caf\xE9"});
  for (const Case& c : cases) {
    memo->SetText("");
    std::vector<std::string> seen;
    memo->OnChange = [&](TObject* sender) {
      EXPECT_EQ(sender, memo);
      seen.push_back(memo->Text());
    };
    MemoTest::ReplaceSelectionWide(wnd, c.in);
    memo->OnChange = nullptr;
    EXPECT_EQ(memo->Text(), c.text);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), c.text) << "the host must hear of the rewritten text";
    EXPECT_EQ(memo->SelStart(), static_cast<int>(c.text.size())) << "the caret stays after what came in";
    EXPECT_EQ(memo->SelLength(), 0);
  }
}

TEST_F(MemoFixture, TypedCharactersAreConvertedOnce) {
  struct Case {
    std::u16string typed;
    std::string text;
  };
  std::vector<Case> cases = {
      {u"a", "a"},
      {u"\u0416", "[[U+0416]]"},
      {u"\xD83D\xDE00", "[[U+1F600]]"},   // a pair typed in two messages
      {u"\xDE00", "[[U+DE00]]"},          // a lone low half: literal text
      {u"\xD83Dq", "q"},                  // a high half without its partner is dropped
      {u"\u0142\u0416", "[[U+0142]][[U+0416]]"},
  };
  if (Cp1252()) cases.push_back({u"\u00E9\u20AC", "\xE9\x80"});
  for (const Case& c : cases) {
    memo->SetText("");
    TypeText(wnd, c.typed);
    EXPECT_EQ(memo->Text(), c.text);
  }
  // An input method's character goes the same way; a blank typed with Ctrl
  // held goes nowhere.
  memo->SetText("");
  SendMessageW(wnd, WM_IME_CHAR, 0x0416, 1);
  SendMessageW(wnd, WM_IME_CHAR, u'z', 1);
  UiTest::Pump();  // the control turns it into a posted WM_CHAR
  {
    MemoTest::THeldKeys ctrl{VK_CONTROL};
    TypeChar(wnd, u' ');
  }
  EXPECT_EQ(memo->Text(), "[[U+0416]]z");
  // A token typed goes in as an undo step of its own.
  memo->SetText("");
  TypeText(wnd, u"ab\u0416");
  EXPECT_EQ(memo->UndoEngine().UndoCount(), 1);
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "");
}

TEST_F(MemoFixture, TypingKeepsTheTextAsTheControlHasIt) {
  // Each step types over a selection (start, length) of the text before it;
  // the editor's text must be the control's after every character, also
  // when other changes come between the keystrokes.
  struct Step {
    int start;
    int length;
    std::u16string typed;
    std::string text;
  };
  const std::vector<Step> steps = {
      {0, 0, u"abc", "abc"},
      {0, 0, u"x", "xabc"},                // at the start
      {2, 0, u"y", "xaybc"},               // in the middle
      {5, 0, u"de", "xaybcde"},            // at the end
      {1, 3, u"Q", "xQcde"},               // over a selection
      {0, 5, u"z", "z"},                   // over everything
      {1, 0, u"\u0416k", "z[[U+0416]]k"},  // a token, then a plain character after it
  };
  memo->SetText("");
  for (const Step& s : steps) {
    memo->SetSelection(s.start, s.length);
    TypeText(wnd, s.typed);
    EXPECT_EQ(memo->Text(), s.text) << "after typing over " << s.start << "+" << s.length;
  }
  // A change that does not come from typing, then typing again.
  memo->SetSelection(1, 0);
  SendMessageW(wnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"12"));
  TypeChar(wnd, u'3');
  EXPECT_EQ(memo->Text(), "z123[[U+0416]]k");
  memo->SetSelection(15, 0);
  MemoTest::KeyDown(wnd, VK_BACK);
  TypeChar(wnd, u'm');
  EXPECT_EQ(memo->Text(), "z123[[U+0416]]m");
  memo->SetText("one\r\ntwo");
  memo->SetSelection(5, 0);
  TypeChar(wnd, u'_');
  EXPECT_EQ(memo->Text(), "one\r\nt_wo");
}

TEST_F(MemoFixture, UndoGroupsOfTypingThroughTheControl) {
  memo->SetText("");
  const std::u16string typed = u"abcdefghijklmnopqrstuvwxy";  // 25 changes
  TypeText(wnd, typed);
  EXPECT_EQ(memo->UndoEngine().UndoCount(), 2) << "groups close at the 10th and 20th change";
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "abcdefghijklmnopqrst") << "the open group of five goes first";
  EXPECT_EQ(memo->SelStart(), 20);
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "abcdefghij");
  ASSERT_TRUE(memo->Redo());
  EXPECT_EQ(memo->Text(), "abcdefghijklmnopqrst");
  ASSERT_TRUE(memo->Redo());
  EXPECT_EQ(memo->Text(), "abcdefghijklmnopqrstuvwxy");
  EXPECT_FALSE(memo->Redo());
  // A new edit after an Undo ends the redo history.
  ASSERT_TRUE(memo->Undo());
  TypeChar(wnd, u'!');
  EXPECT_FALSE(memo->Redo());
  EXPECT_EQ(memo->Text(), "abcdefghijklmnopqrst!");
}

TEST_F(MemoFixture, LargeChangesAndPastesCloseTheirGroup) {
  memo->SetText("");
  TypeText(wnd, u"ab");
  memo->ReplaceSelection(std::string(41, 'x'));  // more than 40 characters at once
  EXPECT_EQ(memo->UndoEngine().UndoCount(), 1);
  EXPECT_EQ(memo->UndoEngine().PendingChanges(), 0);
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "");
  ASSERT_TRUE(memo->Redo());
  ASSERT_TRUE(MemoTest::SetClipboardWide(form.Handle(), u"p"));
  TypeChar(wnd, u'c');
  memo->HandlePasteWithTokens();  // one character, still a group of its own
  EXPECT_EQ(memo->Text(), "ab" + std::string(41, 'x') + "cp");
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "ab" + std::string(41, 'x'));
}

TEST_F(MemoFixture, AssigningTextStartsTheHistoryAfresh) {
  // Switching entries: the second entry's notes must survive an Undo.
  const std::string a = "entry A: " + std::string(60, 'a');
  const std::string b = "entry B";
  memo->SetText(a);
  TypeText(wnd, u"typed in A");
  memo->SetText(b);
  EXPECT_FALSE(memo->CanUndo());
  EXPECT_FALSE(memo->Undo());
  EXPECT_EQ(memo->Text(), b);
  // Ten quick switches do not make an undo group either.
  for (int i = 0; i < 10; ++i) memo->SetText(i % 2 ? a : b);
  EXPECT_FALSE(memo->Undo());
  EXPECT_EQ(memo->Text(), a);
  // Editing the new text undoes back to it, never further.
  TypeChar(wnd, u'z');
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), a);
  EXPECT_FALSE(memo->Undo());
}

TEST_F(MemoFixture, ReplacingALongTextKeepsTheEditorsState) {
  std::string longText;
  for (int i = 0; i < TQMemo::kRecreateLines + 10; ++i) longText += "line " + std::to_string(i) + "\r\n";
  TEdit neighbour(&form);
  neighbour.SetParent(&form);
  neighbour.SetBounds(0, 0, 50, 20);
  neighbour.Show();
  SetWindowPos(neighbour.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  memo->SetText(longText);
  memo->SetReadOnly(true);
  memo->SetColor(clYellow);
  memo->SetFocus();
  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  memo->SetText("short [[U+0416]]");
  EXPECT_EQ(memo->Text(), "short [[U+0416]]");
  EXPECT_EQ(changes, 1);
  HWND now = memo->Handle();
  EXPECT_EQ(GetFocus(), now);
  EXPECT_TRUE(GetWindowLongW(now, GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(IsWindowVisible(now));
  EXPECT_EQ(GetWindow(neighbour.Handle(), GW_HWNDNEXT), now) << "the same place among its siblings";
  EXPECT_FALSE(memo->Undo());
  memo->SetReadOnly(false);
  MemoTest::TypeChar(now, u'!');
  EXPECT_EQ(memo->Text(), "!short [[U+0416]]");
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "short [[U+0416]]");
}

TEST_F(MemoFixture, HostHearsEveryChangeAndTextChangedOnlyRealOnes) {
  int changes = 0, textChanges = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  memo->OnTextChanged = [&](TObject*) { ++textChanges; };
  memo->SetText("one");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(textChanges, 1);
  memo->SetText("one");  // the same text again
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(textChanges, 1);
  TypeChar(wnd, u'x');
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(textChanges, 2);
  // Formatting is no change.
  memo->SetSyntaxHighlighting(true);
  memo->ColorizeText();
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(textChanges, 2);
}

TEST_F(MemoFixture, ReadOnlyBlocksEveryEditingPath) {
  const std::string text = "keep\r\nthis text";
  ASSERT_TRUE(MemoTest::SetClipboardWide(form.Handle(), u"pasted \u0416"));
  struct Path {
    const char* name;
    std::function<void()> run;
  };
  const std::vector<Path> paths = {
      {"typed character", [&] { TypeChar(wnd, u'a'); }},
      {"typed token", [&] { TypeChar(wnd, u'\u0416'); }},
      {"typed pair", [&] { TypeText(wnd, u"\xD83D\xDE00"); }},
      {"Enter", [&] { TypeChar(wnd, u'\r'); }},
      {"Tab", [&] { MemoTest::KeyDown(wnd, VK_TAB); }},
      {"Tab over lines", [&] {
         memo->SetSelection(0, 8);
         MemoTest::KeyDown(wnd, VK_TAB);
       }},
      {"Ctrl+V", [&] {
         MemoTest::THeldKeys ctrl{VK_CONTROL};
         MemoTest::KeyDown(wnd, 'V');
       }},
      {"Ctrl+X", [&] {
         memo->SetSelection(0, 4);
         MemoTest::THeldKeys ctrl{VK_CONTROL};
         MemoTest::KeyDown(wnd, 'X');
       }},
      {"Shift+Insert", [&] {
         MemoTest::THeldKeys shift{VK_SHIFT};
         MemoTest::KeyDown(wnd, VK_INSERT);
       }},
      {"Shift+Delete", [&] {
         memo->SetSelection(0, 4);
         MemoTest::THeldKeys shift{VK_SHIFT};
         MemoTest::KeyDown(wnd, VK_DELETE);
       }},
      {"WM_PASTE", [&] { SendMessageW(wnd, WM_PASTE, 0, 0); }},
      {"WM_CUT", [&] {
         memo->SetSelection(0, 4);
         SendMessageW(wnd, WM_CUT, 0, 0);
       }},
      {"WM_CLEAR", [&] {
         memo->SetSelection(0, 4);
         SendMessageW(wnd, WM_CLEAR, 0, 0);
       }},
      {"Delete key", [&] {
         memo->SetSelection(0, 4);
         MemoTest::KeyDown(wnd, VK_DELETE);
       }},
      {"Backspace", [&] {
         memo->SetSelection(4, 0);
         TypeChar(wnd, u'\b');
       }},
      {"DeleteSelection", [&] {
         memo->SetSelection(0, 4);
         memo->DeleteSelection();
       }},
      {"ReplaceSelection", [&] { memo->ReplaceSelection("x"); }},
      {"Undo", [&] { memo->Undo(); }},
      {"Redo", [&] { memo->Redo(); }},
  };
  for (const Path& p : paths) {
    memo->SetReadOnly(false);
    memo->SetText("old");
    TypeChar(wnd, u'!');  // something to undo
    memo->SetText(text);
    TypeChar(wnd, u'?');  // and to undo within this text
    memo->Undo();         // and to redo
    memo->SetReadOnly(true);
    p.run();
    EXPECT_EQ(memo->Text(), text) << p.name;
  }
  // Copying still works.
  memo->SetSelection(0, 4);
  SendMessageW(wnd, WM_COPY, 0, 0);
  EXPECT_EQ(MemoTest::ClipboardWide(), u"keep");
}

}  // namespace
