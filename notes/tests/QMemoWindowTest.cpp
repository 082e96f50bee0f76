// The notes editor's window procedure: dialog keys on a form, the real
// keyboard, the End key, the third and fourth clicks, Tab, glyph-aware
// selection, the context menu and zoom.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"
#include "ui/Application.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"

using MemoTest::MemoFixture;
using MemoTest::THeldKeys;

namespace {

// A form with a default button: Enter and Esc that the focused control
// does not take run OK and Cancel, Tab moves between controls.
class TDialogForm : public TForm {
 public:
  explicit TDialogForm(TComponent* owner) : TForm(owner, "VLMemoTestDialog") {}
  std::vector<WORD> dialogKeys;
  bool DialogKey(WORD key, unsigned) override {
    dialogKeys.push_back(key);
    if (key == VK_RETURN) SetModalResult(mrOk);
    return key == VK_RETURN || key == VK_ESCAPE;
  }
};

struct DialogFixture : ::testing::Test {
  TApplication app;
  TDialogForm* form = nullptr;
  TQMemo* memo = nullptr;
  TButton* ok = nullptr;
  int clicks = 0;
  void SetUp() override {
    app.Initialize();
    form = new TDialogForm(&app);
    app.SetMainForm(form);
    form->SetBounds(0, 0, 420, 300);
    memo = new TQMemo(form);
    memo->SetParent(form);
    memo->SetBounds(8, 8, 300, 200);
    ok = new TButton(form);
    ok->SetParent(form);
    ok->SetBounds(320, 8, 80, 24);
    ok->SetCaption("OK");
    ok->OnClick = [this](TObject*) { ++clicks; };
    memo->Show();
    ok->Show();
    form->Show();
  }
  // Posts a key to the editor and runs the program's message loop over it.
  void PostKey(WORD key) {
    PostMessageW(memo->Handle(), WM_KEYDOWN, key, 1);
    PostMessageW(memo->Handle(), WM_KEYUP, key, 0xC0000001);
    app.ProcessMessages();
  }
};

TEST_F(DialogFixture, EnterAndTabReachTheEditorOnAFormWithADefaultButton) {
  memo->SetFocus();
  memo->SetText("ab");
  memo->SetSelection(1, 0);
  PostKey(VK_RETURN);
  EXPECT_EQ(memo->Text(), "a\r\nb");
  PostKey(VK_TAB);
  EXPECT_EQ(memo->Text(), "a\r\n   b");
  EXPECT_EQ(GetFocus(), memo->Handle()) << "Tab must not move the focus";
  EXPECT_TRUE(form->dialogKeys.empty());
  EXPECT_EQ(form->ModalResult(), mrNone);
  EXPECT_EQ(clicks, 0);
  const LRESULT code = SendMessageW(memo->Handle(), WM_GETDLGCODE, VK_RETURN, 0);
  EXPECT_TRUE(code & DLGC_WANTALLKEYS);
  EXPECT_TRUE(code & DLGC_WANTTAB);
  EXPECT_TRUE(code & DLGC_WANTCHARS);
  // Esc still reaches the form (its Cancel).
  PostKey(VK_ESCAPE);
  EXPECT_EQ(form->dialogKeys, (std::vector<WORD>{VK_ESCAPE}));
  EXPECT_EQ(memo->Text(), "a\r\n   b");
}

TEST_F(DialogFixture, RealKeyboardCharacterOutsideTheCodePageGivesOneToken) {
  // A character typed as VK_PACKET (an input method, an on-screen keyboard)
  // arrives as a key-down and then as a character: one token, not two.
  memo->SetText("");
  bool typed = false;
  ASSERT_TRUE(UiTest::InForeground(form->Handle(), [&] {
    memo->SetFocus();
    memo->SetText("");
    INPUT in[4] = {};
    const WORD units[2] = {0x0416, u'x'};
    for (int i = 0; i < 2; ++i) {
      in[2 * i].type = INPUT_KEYBOARD;
      in[2 * i].ki.wScan = units[i];
      in[2 * i].ki.dwFlags = KEYEVENTF_UNICODE;
      in[2 * i + 1] = in[2 * i];
      in[2 * i + 1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    }
    SendInput(4, in, sizeof(INPUT));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000 && memo->Text().find('x') == std::string::npos) {
      app.ProcessMessages();
      Sleep(5);
    }
    typed = memo->Text().find('x') != std::string::npos;
  }));
  ASSERT_TRUE(typed);
  EXPECT_EQ(memo->Text(), "[[U+0416]]x");
}

TEST_F(MemoFixture, EndAlternatesBetweenTheLastNonBlankAndTheLineEnd) {
  memo->SetText("abc   \r\nno blanks\r\nx");
  memo->SetSelection(0, 0);
  std::vector<int> carets;
  for (int i = 0; i < 4; ++i) {
    MemoTest::KeyDown(wnd, VK_END);
    carets.push_back(memo->SelStart());
  }
  EXPECT_EQ(carets, (std::vector<int>{6, 3, 6, 3}));
  // Another key forgets the End press.
  MemoTest::KeyDown(wnd, VK_LEFT);
  MemoTest::KeyDown(wnd, VK_END);
  EXPECT_EQ(memo->SelStart(), 6);
  // A line without trailing blanks: End stays at the end.
  memo->SetSelection(7, 0);
  MemoTest::KeyDown(wnd, VK_END);
  MemoTest::KeyDown(wnd, VK_END);
  EXPECT_EQ(memo->SelStart(), 16);
  // With Shift the selection runs from where it started.
  memo->SetSelection(1, 0);
  {
    THeldKeys shift{VK_SHIFT};
    MemoTest::KeyDown(wnd, VK_END);
    MemoTest::KeyDown(wnd, VK_END);
  }
  EXPECT_EQ(memo->SelStart(), 1);
  EXPECT_EQ(memo->SelLength(), 2);
}

TEST_F(MemoFixture, ThirdClickSelectsTheRunAndFourthTheLine) {
  memo->SetText("foo  bar  \r\nnext");
  POINT blank, word;
  memo->SetSelection(0, 0);
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&blank), 4);
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&word), 6);
  // Posted, so that the control sees the real time of each click.
  auto click = [&](POINT p, UINT down) {
    PostMessageW(wnd, down, MK_LBUTTON, MAKELPARAM(p.x + 1, p.y + 3));
    PostMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(p.x + 1, p.y + 3));
    UiTest::Pump();
  };
  struct Case {
    POINT at;
    int runStart, runLength;
  };
  const Case cases[] = {{blank, 3, 2}, {word, 5, 3}};
  for (const Case& c : cases) {
    Sleep(GetDoubleClickTime() + 50);  // a fresh start
    click(c.at, WM_LBUTTONDOWN);
    click(c.at, WM_LBUTTONDBLCLK);
    click(c.at, WM_LBUTTONDOWN);
    EXPECT_EQ(memo->SelStart(), c.runStart);
    EXPECT_EQ(memo->SelLength(), c.runLength);
    click(c.at, WM_LBUTTONDBLCLK);
    EXPECT_EQ(memo->SelStart(), 0);
    EXPECT_EQ(memo->SelLength(), 8) << "the line without its trailing blanks";
  }
  // Too slow: a plain click.
  Sleep(GetDoubleClickTime() + 50);
  click(word, WM_LBUTTONDOWN);
  click(word, WM_LBUTTONDBLCLK);
  Sleep(GetDoubleClickTime() + 50);
  click(word, WM_LBUTTONDOWN);
  EXPECT_EQ(memo->SelLength(), 0);
}

TEST_F(MemoFixture, TabInsertsBlanksOrIndentsTheSelectedLines) {
  memo->SetText("ab");
  memo->SetSelection(1, 0);
  MemoTest::KeyDown(wnd, VK_TAB);
  EXPECT_EQ(memo->Text(), "a   b");
  MemoTest::TypeChar(wnd, u'\t');  // the character that follows the key is consumed
  EXPECT_EQ(memo->Text(), "a   b");
  memo->SetTabSpaces(0);
  MemoTest::KeyDown(wnd, VK_TAB);
  EXPECT_EQ(memo->Text(), "a   \tb");
  {
    THeldKeys shift{VK_SHIFT};
    MemoTest::KeyDown(wnd, VK_TAB);  // Shift+Tab without a selection does nothing
  }
  EXPECT_EQ(memo->Text(), "a   \tb");
  memo->SetTabSpaces(2);
  memo->SetText("one\r\ntwo\r\nthree");
  memo->SetSelection(1, 6);
  MemoTest::KeyDown(wnd, VK_TAB);
  EXPECT_EQ(memo->Text(), "  one\r\n  two\r\nthree");
  EXPECT_EQ(memo->SelStart(), 0);
  EXPECT_EQ(memo->SelLength(), 12);
  {
    THeldKeys shift{VK_SHIFT};
    MemoTest::KeyDown(wnd, VK_TAB);
  }
  EXPECT_EQ(memo->Text(), "one\r\ntwo\r\nthree");
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "  one\r\n  two\r\nthree") << "each indent is an undo step of its own";
}

TEST_F(MemoFixture, ShiftArrowsSelectAGlyphTokenAsAWhole) {
  memo->SetText("a[[U+263A]]b");
  ASSERT_GE(memo->GetUnicodeImageIndex(0x263A), 0) << "no glyph could be drawn";
  memo->SetSelection(1, 0);
  THeldKeys shift{VK_SHIFT};
  MemoTest::KeyDown(wnd, VK_RIGHT);
  EXPECT_EQ(memo->SelStart(), 1);
  EXPECT_EQ(memo->SelLength(), 10);
  MemoTest::KeyDown(wnd, VK_RIGHT);
  EXPECT_EQ(memo->SelLength(), 11);
  MemoTest::KeyDown(wnd, VK_LEFT);
  MemoTest::KeyDown(wnd, VK_LEFT);
  EXPECT_EQ(memo->SelLength(), 0);
  // Going left from after the token takes it whole too.
  memo->SetSelection(11, 0);
  MemoTest::KeyDown(wnd, VK_LEFT);
  EXPECT_EQ(memo->SelStart(), 1);
  EXPECT_EQ(memo->SelLength(), 10);
}

TEST_F(MemoFixture, ContextMenuOffersWhatCanBeDone) {
  std::vector<bool> enabled;
  int shown = 0;
  POINT at{0, 0};
  TQMemo::PopupMenuHook = [&](HMENU menu, int x, int y) {
    ++shown;
    at = POINT{x, y};
    enabled.clear();
    char caption[32];
    const char* expected[] = {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "&Delete", "Select &All"};
    for (UINT id = 1; id <= 7; ++id) {
      GetMenuStringA(menu, id, caption, sizeof caption, MF_BYCOMMAND);
      EXPECT_STREQ(caption, expected[id - 1]);
      enabled.push_back((GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) == 0);
    }
    return 0;
  };
  auto menu = [&] { SendMessageW(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(40, 50)); };
  //                        Undo   Redo   Cut    Copy   Paste  Delete All
  ASSERT_TRUE(MemoTest::SetClipboardWide(form.Handle(), u"clip"));
  memo->SetText("");
  menu();
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, false, false, true, false, false}));
  EXPECT_EQ(at.x, 40);
  EXPECT_EQ(at.y, 50);
  MemoTest::TypeText(wnd, u"text");
  memo->SetSelection(0, 2);
  menu();
  EXPECT_EQ(enabled, (std::vector<bool>{true, false, true, true, true, true, true}));
  memo->SetReadOnly(true);
  memo->SetSelection(0, 2);
  menu();
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, false, true, false, false, true}));
  memo->SetReadOnly(false);
  // From the keyboard: beside the window's corner without a caret.
  SendMessageW(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(-1, -1));
  RECT r;
  GetWindowRect(wnd, &r);
  EXPECT_EQ(at.x, r.left + 10);
  EXPECT_EQ(at.y, r.top + 10);
  // Select All and Delete run.
  TQMemo::PopupMenuHook = [&](HMENU, int, int) { return 7; };
  memo->SetText("all of it");
  memo->SetSelection(0, 0);
  menu();
  EXPECT_EQ(memo->SelLength(), 9);
  TQMemo::PopupMenuHook = [&](HMENU, int, int) { return 6; };
  menu();
  EXPECT_EQ(memo->Text(), "");
  // No menu at all, or the control's own.
  const int before = shown;
  memo->SetContextMenuMode(cmmNone);
  menu();
  memo->SetContextMenuMode(cmmCustom);
  menu();
  EXPECT_EQ(shown, before);
  // The control's own popup menu, when it has one, for cmmCustom only.
  TPopupMenu own(&form);
  own.Items()->AddNew(&form, "OwnItem1", "Own item");
  int ownShown = 0;
  own.OnPopup = [&](TObject*) {
    ++ownShown;
    UiTest::CloseMenuSoon();
  };
  memo->SetPopupMenu(&own);
  menu();
  EXPECT_EQ(ownShown, 1);
  memo->SetContextMenuMode(cmmNone);
  menu();
  memo->SetContextMenuMode(cmmDefault);
  TQMemo::PopupMenuHook = [&](HMENU, int, int) {
    ++shown;
    return 0;
  };
  menu();
  EXPECT_EQ(ownShown, 1);
  EXPECT_EQ(shown, before + 1);
  memo->SetPopupMenu(nullptr);
}

TEST_F(MemoFixture, CtrlWheelZoomsTheFont) {
  memo->Font().SetSize(10);
  memo->SetText("zoom me");
  std::vector<int> reported;
  memo->OnZoom = [&](TObject*, int zoom) { reported.push_back(zoom); };
  auto wheel = [&](int delta) {
    SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(static_cast<short>(delta))), 0);
  };
  EXPECT_FALSE(memo->SyntaxHighlighting());
  wheel(120);
  EXPECT_EQ(memo->ZoomPercent(), 110);
  EXPECT_EQ(memo->Font().Size(), 11);
  EXPECT_EQ(MemoTest::FormatAt(wnd, 2).yHeight, 11 * 20);
  EXPECT_TRUE(memo->SyntaxHighlighting()) << "zooming switches syntax colouring on";
  wheel(-120);
  wheel(-120);
  EXPECT_EQ(memo->ZoomPercent(), 90);
  EXPECT_EQ(memo->Font().Size(), 9);
  EXPECT_EQ(reported, (std::vector<int>{110, 100, 90}));
  memo->SetZoomPercent(25);
  EXPECT_EQ(memo->Font().Size(), 6) << "never below 6 points";
  memo->SetZoomPercent(400);
  wheel(120);
  EXPECT_EQ(memo->ZoomPercent(), 400);
  EXPECT_EQ(memo->Font().Size(), 40);
  // A change of another font attribute keeps the zoomed size.
  memo->SetTextColor(clMaroon);
  EXPECT_EQ(memo->Font().Size(), 40);
  EXPECT_EQ(MemoTest::FormatAt(wnd, 2).yHeight, 40 * 20);
  EXPECT_EQ(MemoTest::ColorAt(wnd, 0), ColorToRGB(clMaroon));
  // A new size while zoomed is the new base that the zoom scales.
  memo->Font().SetSize(12);
  EXPECT_EQ(memo->Font().Size(), 48);
  EXPECT_EQ(MemoTest::FormatAt(wnd, 2).yHeight, 48 * 20);
  memo->SetZoomPercent(100);
  EXPECT_EQ(memo->Font().Size(), 12);
  // Without Ctrl the wheel scrolls and the zoom stays.
  memo->SetZoomPercent(100);
  SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(-120))), 0);
  EXPECT_EQ(memo->ZoomPercent(), 100);
}

}  // namespace
