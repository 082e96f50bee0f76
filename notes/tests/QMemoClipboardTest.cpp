// The notes editor's clipboard through the real clipboard: tokens leave as
// the characters they stand for and come back as tokens.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/CodePage.h"
#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"

using MemoTest::MemoFixture;

namespace {

TEST_F(MemoFixture, CopiedTokensTravelAsTheirCharactersAndComeBackAsTokens) {
  struct Case {
    std::string text;
    std::u16string unicode;  // CF_UNICODETEXT
  };
  const std::vector<Case> cases = {
      {"a [[U+0416]] b\r\nnext line", u"a \u0416 b\r\nnext line"},
      {"[[u+1f600]]", u"\U0001F600"},
      {"[[U+0142]][[U+0416]]", u"\u0142\u0416"},
      // Invalid and other tokens stay literal text.
      {"[[U+D800]] [[U+110000]] [[IMG:1]] [[COLOR:NONE]]", u"[[U+D800]] [[U+110000]] [[IMG:1]] [[COLOR:NONE]]"},
  };
  for (const Case& c : cases) {
    memo->SetText(c.text);
    memo->SetSelection(0, memo->TextLength());
    SendMessageW(wnd, WM_COPY, 0, 0);
    EXPECT_EQ(MemoTest::ClipboardWide(), c.unicode) << c.text;
    EXPECT_FALSE(MemoTest::ClipboardAnsi().empty()) << "a CF_TEXT copy for programs that read only that";
    memo->SetText("");
    SendMessageW(wnd, WM_PASTE, 0, 0);
    const std::string expected = c.text == "[[u+1f600]]" ? "[[U+1F600]]" : c.text;
    EXPECT_EQ(memo->Text(), expected) << c.text;
  }
  if (CodePage::AnsiCodePage() == 1252) {
    // The CF_TEXT copy takes the code page's nearest characters.
    memo->SetText("[[U+0416]] caf\xE9");
    memo->SetSelection(0, memo->TextLength());
    SendMessageW(wnd, WM_COPY, 0, 0);
    EXPECT_EQ(MemoTest::ClipboardAnsi(), "? caf\xE9");
  }
}

TEST_F(MemoFixture, PastedTextGetsTokensAndCrLfBreaks) {
  struct Case {
    std::u16string clipboard;
    std::string text;
  };
  std::vector<Case> cases = {
      {u"\u0416\n\u0142", "[[U+0416]]\r\n[[U+0142]]"},  // never "l" for a Polish l
      {u"p\nq\rr\r\ns", "p\r\nq\r\nr\r\ns"},
      {u"\U0001F44D\U0001F3FD", "[[U+1F44D]][[U+1F3FD]]"},
      {u"\xD83D lone", "[[U+D83D]] lone"},  // a lone surrogate: a token that stays text
  };
  if (CodePage::AnsiCodePage() == 1252) cases.push_back({u"\u20AC5 caf\u00E9", "\x80" "5 caf\xE9"});
  for (const Case& c : cases) {
    memo->SetText("[]");
    memo->SetSelection(1, 0);
    ASSERT_TRUE(MemoTest::SetClipboardWide(form.Handle(), c.clipboard));
    memo->HandlePasteWithTokens();
    EXPECT_EQ(memo->Text(), "[" + c.text + "]");
    EXPECT_EQ(memo->SelStart(), 1 + static_cast<int>(memo->ControlText().size()) - 2) << "caret after the paste";
  }
  // ANSI text alone is taken as it is.
  memo->SetText("");
  ASSERT_TRUE(MemoTest::SetClipboardAnsi(form.Handle(), "ansi\ntext"));
  memo->HandlePasteWithTokens();
  EXPECT_EQ(memo->Text(), "ansi\r\ntext");
}

TEST_F(MemoFixture, KeyboardAndMenuClipboardCommands) {
  memo->SetText("cut [[U+0416]] here");
  memo->SetSelection(4, 10);
  {
    MemoTest::THeldKeys ctrl{VK_CONTROL};
    MemoTest::KeyDown(wnd, 'X');
  }
  EXPECT_EQ(memo->Text(), "cut  here");
  EXPECT_EQ(MemoTest::ClipboardWide(), u"\u0416");
  memo->SetSelection(4, 0);
  {
    MemoTest::THeldKeys ctrl{VK_CONTROL};
    MemoTest::KeyDown(wnd, 'V');
  }
  EXPECT_EQ(memo->Text(), "cut [[U+0416]] here");
  memo->SetSelection(0, 3);
  {
    MemoTest::THeldKeys ctrl{VK_CONTROL};
    MemoTest::KeyDown(wnd, 'C');
  }
  EXPECT_EQ(MemoTest::ClipboardWide(), u"cut");
  // The older chords: Ctrl+Insert, Shift+Delete, Shift+Insert.
  memo->SetSelection(4, 10);
  {
    MemoTest::THeldKeys ctrl{VK_CONTROL};
    MemoTest::KeyDown(wnd, VK_INSERT);
  }
  EXPECT_EQ(MemoTest::ClipboardWide(), u"\u0416");
  {
    MemoTest::THeldKeys shift{VK_SHIFT};
    MemoTest::KeyDown(wnd, VK_DELETE);
  }
  EXPECT_EQ(memo->Text(), "cut  here");
  {
    MemoTest::THeldKeys shift{VK_SHIFT};
    MemoTest::KeyDown(wnd, VK_INSERT);
  }
  EXPECT_EQ(memo->Text(), "cut [[U+0416]] here");
  // The same through the editor's own context menu.
  int command = 0;
  std::vector<UINT> states;
  TQMemo::PopupMenuHook = [&](HMENU menu, int, int) {
    states.clear();
    for (UINT id = 1; id <= 7; ++id) states.push_back(GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED);
    return command;
  };
  memo->SetSelection(0, 4);
  command = 3;  // Cut
  SendMessageW(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(10, 10));
  EXPECT_EQ(memo->Text(), "[[U+0416]] here");
  command = 5;  // Paste
  SendMessageW(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(10, 10));
  EXPECT_EQ(memo->Text(), "cut [[U+0416]] here");
}

TEST_F(MemoFixture, BusyClipboardCopiesAndPastesNothing) {
  memo->SetText("keep me");
  ASSERT_TRUE(MemoTest::SetClipboardWide(form.Handle(), u"other"));
  // Another thread's window holds the clipboard open.
  std::atomic<bool> opened{false}, release{false};
  std::thread holder([&] {
    HWND other = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (OpenClipboard(other)) {
      opened = true;
      while (!release) Sleep(5);
      CloseClipboard();
    }
    DestroyWindow(other);
    opened = true;
  });
  while (!opened) Sleep(5);
  memo->SetSelection(0, 4);
  SendMessageW(wnd, WM_CUT, 0, 0);
  EXPECT_EQ(memo->Text(), "keep me") << "a cut whose copy failed keeps the text";
  memo->SetSelection(7, 0);
  SendMessageW(wnd, WM_PASTE, 0, 0);
  EXPECT_EQ(memo->Text(), "keep me");
  release = true;
  holder.join();
  EXPECT_EQ(MemoTest::ClipboardWide(), u"other");
}

}  // namespace
