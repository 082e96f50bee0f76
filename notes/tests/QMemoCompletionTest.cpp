// The notes editor's completion popup and icon picker, driven through the
// editor's own window messages.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/IconPicker.h"
#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"
#include "ui/Application.h"
#include "ui/StdCtrls.h"

using MemoTest::MemoFixture;
using MemoTest::THeldKeys;

namespace {

const char* const kCode =
    "function draw(ctx, x) {}\r\n"
    "function redraw() {}\r\n"
    "function Draw2D(a) {}\r\n"
    "function init() {}\r\n";

struct QMemoCompletionTest : MemoFixture {
  void SetUp() override {
    MemoFixture::SetUp();
    memo->SetFocus();
  }
  void TearDown() override {
    TQMemoIconPicker::ShellOpenHook = nullptr;
    MemoFixture::TearDown();
  }
  // The text, then the caret at its end.
  void SetTextCaretAtEnd(const std::string& text) {
    memo->SetText(text);
    memo->SetSelection(memo->TextLength(), 0);
  }
  // Ctrl+Space as the keyboard delivers it: the key, then its blank.
  void CtrlSpace() {
    THeldKeys ctrl({VK_CONTROL});
    MemoTest::KeyDown(wnd, VK_SPACE);
    MemoTest::TypeChar(wnd, u' ');
  }
  // A key with its character, as the keyboard delivers Enter and Tab.
  void Press(WORD key, char16_t ch) {
    MemoTest::KeyDown(wnd, key);
    MemoTest::TypeChar(wnd, ch);
  }
  std::vector<std::string> Items() {
    std::vector<std::string> v;
    TColorListBox* box = memo->Completion().Box();
    for (int i = 0; box && i < box->Count(); ++i) v.push_back(box->Item(i));
    return v;
  }
  std::string Tail(std::size_t n) {
    const std::string t = memo->Text();
    return t.size() <= n ? t : t.substr(t.size() - n);
  }
};

}  // namespace

TEST_F(QMemoCompletionTest, CtrlSpaceTypingAndEnterThroughTheEditor) {
  SetTextCaretAtEnd(std::string(kCode) + "x = d");
  CtrlSpace();
  ASSERT_TRUE(memo->CompletionVisible());
  EXPECT_EQ(Tail(5), "x = d");  // the blank of Ctrl+Space is not typed
  EXPECT_EQ(Items(), (std::vector<std::string>{"draw(ctx, x)", "Draw2D(a)", "redraw()"}));
  // Typing goes into the text and narrows the list.
  MemoTest::TypeText(wnd, u"raw2");
  EXPECT_EQ(Items(), (std::vector<std::string>{"Draw2D(a)"}));
  Press(VK_BACK, u'\b');
  EXPECT_EQ(Items(), (std::vector<std::string>{"draw(ctx, x)", "Draw2D(a)", "redraw()"}));
  // The arrows move in the list, not the caret.
  const int caret = memo->SelStart();
  MemoTest::KeyDown(wnd, VK_DOWN);
  MemoTest::KeyDown(wnd, VK_UP);
  EXPECT_EQ(memo->SelStart(), caret);
  EXPECT_EQ(memo->Completion().Box()->ItemIndex(), 0);
  // Enter inserts the call with the caret before its first parameter; the
  // Enter's own line break is not typed.
  Press(VK_RETURN, u'\r');
  EXPECT_FALSE(memo->CompletionVisible());
  EXPECT_EQ(Tail(16), "x = draw(ctx, x)");
  EXPECT_EQ(memo->SelStart(), memo->TextLength() - 7);
  // The next blank is typed as usual.
  MemoTest::TypeChar(wnd, u' ');
  EXPECT_EQ(Tail(17), "x = draw( ctx, x)");

  // Tab puts the caret behind the parentheses.
  SetTextCaretAtEnd(std::string(kCode) + "in");
  CtrlSpace();
  Press(VK_TAB, u'\t');
  EXPECT_EQ(Tail(8), "\r\ninit()");
  EXPECT_EQ(memo->SelStart(), memo->TextLength());
}

TEST_F(QMemoCompletionTest, AcceptingAfterAClickElsewhereDeletesNothing) {
  SetTextCaretAtEnd(std::string(kCode) + "dr and more text");
  const int dr = memo->TextLength() - 16;
  memo->SetSelection(dr + 2, 0);
  CtrlSpace();
  ASSERT_TRUE(memo->CompletionVisible());
  // A click further on the line moves the caret; the popup stays.
  POINTL p{0, 0};
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), dr + 9);
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x + 1, p.y + 3));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(p.x + 1, p.y + 3));
  ASSERT_EQ(memo->SelStart(), dr + 9);
  ASSERT_TRUE(memo->CompletionVisible());
  Press(VK_RETURN, u'\r');
  // Only the identifier before the caret now ("mo") was replaced.
  EXPECT_EQ(Tail(26), "dr and draw(ctx, x)re text");
}

TEST_F(QMemoCompletionTest, AKeyPressedInTheListLeavesTheEditorsNextBlankAlone) {
  SetTextCaretAtEnd(std::string(kCode) + "re");
  CtrlSpace();
  ASSERT_TRUE(memo->CompletionVisible());
  HWND box = memo->Completion().Box()->Handle();
  // The list took the focus (a click on it) and gets Enter itself.
  ::SetFocus(box);
  EXPECT_TRUE(memo->CompletionVisible());  // the focus went to the popup
  SendMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
  SendMessageW(box, WM_CHAR, u'\r', 1);
  EXPECT_FALSE(memo->CompletionVisible());
  EXPECT_EQ(Tail(8), "redraw()");
  EXPECT_EQ(GetFocus(), wnd);
  MemoTest::TypeChar(wnd, u' ');
  EXPECT_EQ(Tail(9), "redraw() ");
}

TEST_F(QMemoCompletionTest, ThePopupGoesWithTheFocusScrollingAndResizing) {
  struct Case {
    const char* what;
    std::function<void(QMemoCompletionTest&)> act;
  };
  const Case cases[] = {
      {"focus elsewhere", [](QMemoCompletionTest& t) { ::SetFocus(t.form.Handle()); }},
      {"focus to the list, then elsewhere",
       [](QMemoCompletionTest& t) {
         ::SetFocus(t.memo->Completion().Box()->Handle());
         EXPECT_TRUE(t.memo->CompletionVisible());
         ::SetFocus(t.form.Handle());
       }},
      {"resize", [](QMemoCompletionTest& t) { t.memo->SetBounds(0, 0, 500, 300); }},
      {"scroll", [](QMemoCompletionTest& t) { SendMessageW(t.wnd, WM_VSCROLL, SB_LINEDOWN, 0); }},
      {"wheel", [](QMemoCompletionTest& t) { SendMessageW(t.wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0); }},
      {"escape", [](QMemoCompletionTest& t) { MemoTest::KeyDown(t.wnd, VK_ESCAPE); }},
      {"left", [](QMemoCompletionTest& t) { MemoTest::KeyDown(t.wnd, VK_LEFT); }},
  };
  for (const auto& c : cases) {
    memo->SetBounds(0, 0, 520, 320);
    memo->SetFocus();
    SetTextCaretAtEnd(std::string(kCode) + "dr");
    CtrlSpace();
    ASSERT_TRUE(memo->CompletionVisible()) << c.what;
    c.act(*this);
    EXPECT_FALSE(memo->CompletionVisible()) << c.what;
  }
}

TEST_F(QMemoCompletionTest, ReadOnlyOrSwitchedOffGivesNoPopupAndNoEdit) {
  SetTextCaretAtEnd(std::string(kCode) + "dr");
  memo->SetReadOnly(true);
  CtrlSpace();
  EXPECT_FALSE(memo->CompletionVisible());
  // Opened before the editor became read-only: Enter changes nothing.
  memo->SetReadOnly(false);
  CtrlSpace();
  ASSERT_TRUE(memo->CompletionVisible());
  memo->SetReadOnly(true);
  Press(VK_RETURN, u'\r');
  EXPECT_EQ(Tail(4), "\r\ndr");
  EXPECT_FALSE(memo->CompletionVisible());

  memo->SetReadOnly(false);
  memo->SetCodeCompletion(false);
  CtrlSpace();
  EXPECT_FALSE(memo->CompletionVisible());
  EXPECT_EQ(Tail(4), "\r\ndr");  // and the blank stays out
}

TEST_F(QMemoCompletionTest, APickFromTheIconPickerIsInsertedAtTheCaret) {
  memo->SetText("ab");
  memo->SetSelection(1, 0);
  {
    THeldKeys ctrl({VK_CONTROL});
    MemoTest::KeyDown(wnd, VK_OEM_PERIOD);
  }
  TQMemoIconPicker* picker = TQMemoIconPicker::IconPickerForm();
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(picker->BrowserReady()) << "the web-browser control could not be created";
  // What the page does when a character is chosen.
  ASSERT_TRUE(picker->Navigate("npicon:1F44D"));
  ASSERT_TRUE(UiTest::PumpUntil([&] { return memo->Text() != "ab"; }));
  EXPECT_EQ(memo->Text(), "a[[U+1F44D]]b");
  EXPECT_EQ(memo->SelStart(), 12);
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), nullptr);
  // The pick is a step of its own.
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "ab");

  // At a virtual column beyond the line's end the pick lands there.
  memo->SetVirtualSpace(true);
  memo->VSSet(0, 4);
  ASSERT_TRUE(memo->InVirtualSpace());
  memo->InsertPickedTokens("[[U+2764]]");
  EXPECT_EQ(memo->Text(), "ab  [[U+2764]]");
  EXPECT_FALSE(memo->InVirtualSpace());
  memo->SetVirtualSpace(false);
  memo->SetText("ab");

  // Read-only: no picker.
  memo->SetReadOnly(true);
  {
    THeldKeys ctrl({VK_CONTROL});
    MemoTest::KeyDown(wnd, VK_OEM_PERIOD);
  }
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), nullptr);
  memo->SetReadOnly(false);

  // An editor that goes takes its picker with it.
  memo->ShowIconPickerWindow();
  picker = TQMemoIconPicker::IconPickerForm();
  ASSERT_NE(picker, nullptr);
  HWND pickerWnd = picker->Handle();
  delete memo;
  memo = nullptr;
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), nullptr);
  EXPECT_TRUE(UiTest::PumpUntil([&] { return !IsWindow(pickerWnd); }));
}

TEST_F(QMemoCompletionTest, WinPeriodOpensTheOverviewInTheUsersBrowser) {
  std::vector<std::string> opened;
  TQMemoIconPicker::ShellOpenHook = [&](const std::string& verb, const std::string& url) {
    opened.push_back(verb + " " + url);
    return true;
  };
  {
    THeldKeys win({VK_LWIN});
    MemoTest::KeyDown(wnd, VK_OEM_PERIOD);
  }
  EXPECT_EQ(opened, (std::vector<std::string>{"open " + TQMemoIconPicker::OverviewUrl()}));
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), nullptr);
}

namespace {

// A form with a default button: Enter and Esc that the focused control does
// not take go to the form.
class TDialogForm : public TForm {
 public:
  explicit TDialogForm(TComponent* owner) : TForm(owner, "VLMemoCompletionDialog") {}
  std::vector<WORD> dialogKeys;
  bool DialogKey(WORD key, unsigned) override {
    dialogKeys.push_back(key);
    return key == VK_RETURN || key == VK_ESCAPE;
  }
};

}  // namespace

TEST(QMemoCompletionDialogTest, EscClosesThePopupBeforeItReachesTheForm) {
  TApplication app;
  app.Initialize();
  auto* form = new TDialogForm(&app);
  app.SetMainForm(form);
  form->SetBounds(0, 0, 420, 300);
  auto* memo = new TQMemo(form);
  memo->SetParent(form);
  memo->SetBounds(8, 8, 300, 200);
  auto* ok = new TButton(form);
  ok->SetParent(form);
  ok->SetBounds(320, 8, 80, 24);
  ok->SetCaption("OK");
  memo->Show();
  ok->Show();
  form->Show();
  HWND wnd = memo->Handle();
  auto postKey = [&](WORD key) {
    PostMessageW(wnd, WM_KEYDOWN, key, 1);
    PostMessageW(wnd, WM_KEYUP, key, 0xC0000001);
    app.ProcessMessages();
  };
  // The popup goes with the focus, which Wine may move around late: the
  // popup is opened again until Esc finds it open.
  bool closedByEsc = false;
  for (int attempt = 0; attempt < 10 && !closedByEsc; ++attempt) {
    form->dialogKeys.clear();
    memo->SetFocus();
    memo->SetText(kCode);
    memo->SetSelection(memo->TextLength(), 0);
    memo->ReplaceSelection("dr");
    {
      THeldKeys ctrl({VK_CONTROL});
      MemoTest::KeyDown(wnd, VK_SPACE);
    }
    if (!memo->CompletionVisible()) continue;
    postKey(VK_ESCAPE);
    closedByEsc = form->dialogKeys.empty() && !memo->CompletionVisible();
  }
  EXPECT_TRUE(closedByEsc);
  // Without the popup, Esc is the form's again.
  form->dialogKeys.clear();
  postKey(VK_ESCAPE);
  EXPECT_EQ(form->dialogKeys, (std::vector<WORD>{VK_ESCAPE}));
}
