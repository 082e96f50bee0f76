// The main window and the dialogs in this process under Wine, driven through
// the test seams: the modal-run hook fills the dialogs and presses their
// buttons, the message-box hook answers and records every message, and the
// random source, sleep and web-page seams are replaced.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/AppSeams.h"
#include "app/FormAbout.h"
#include "app/FormIcon.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/Helpers.h"
#include "app/model/PasswordGenerator.h"
#include "app/model/ShellHelpers.h"
#include "app/model/VaultDocument.h"
#include "app/tests/FormFixture.h"
#include "app/tests/Harness.h"
#include "settings/QDReg.h"
#include "ui/Application.h"
#include "ui/Clipboard.h"
#include "ui/Dialogs.h"

namespace {

struct FormsFixture : FormFixture {
  TFormIcon* icon = nullptr;
  TFormAbout* about = nullptr;
  TFormPwd* pwd = nullptr;

  void SetUp() override {
    FormFixture::SetUp();
    icon = new TFormIcon(&app);
    about = new TFormAbout(&app);
    pwd = new TFormPwd(&app);
  }

  // A key pressed in a control of a modal dialog, as the message loop sees it.
  static void PostKey(TWinControl* control, WORD key) { PostMessageA(control->Handle(), WM_KEYDOWN, key, 1); }
  std::string LastBoxText() const { return boxes.empty() ? std::string() : boxes.back().Text; }
};

// A scripted random source: the 32-bit values in order.
TRandomSource Scripted(std::deque<std::uint32_t> values) {
  auto queue = std::make_shared<std::deque<std::uint32_t>>(std::move(values));
  return [queue](std::uint8_t* buf, std::size_t n) {
    if (n != 4 || queue->empty()) return false;
    const std::uint32_t v = queue->front();
    queue->pop_front();
    for (int i = 0; i < 4; ++i) buf[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return true;
  };
}

// ---- The password dialog -----------------------------------------------------------

TEST_F(FormsFixture, PasswordDialogModesShowTheirControls) {
  struct Case {
    const char* use;
    bool generate, verify, change, allowClose;
    const char* caption;
    const char* label;
    bool retype, generator, close, bevel;
  };
  const Case cases[] = {
      {"new vault", false, false, false, false, "Master Password", "Provide a password:", true, true, false, false},
      {"change", false, false, true, false, "Change Master Password", "Provide a password:", true, true, false, false},
      {"open", false, true, false, false, "Master Password", "Password:", false, false, false, true},
      {"unlock", false, true, false, true, "Master Password", "Password:", false, false, true, true},
      {"generate", true, false, false, false, "Generate Password", "Generated password:", false, true, false, false},
  };
  for (const Case& c : cases) {
    pwd->GenerateMode = c.generate;
    pwd->VerifyMode = c.verify;
    pwd->ChangeMode = c.change;
    pwd->AllowClose = c.allowClose;
    int clientHeight = 0;
    const int result = RunModal(pwd, [&] {
      EXPECT_EQ(pwd->Caption(), c.caption) << c.use;
      EXPECT_EQ(pwd->Label1->Caption(), c.label) << c.use;
      EXPECT_EQ(pwd->EditPwd2->Visible(), c.retype) << c.use;
      EXPECT_EQ(pwd->LabelRetype->Visible(), c.retype) << c.use;
      EXPECT_EQ(pwd->ButtonPwdRnd->Visible(), c.generator) << c.use;
      EXPECT_EQ(pwd->ButtonPwSentence->Visible(), c.generator) << c.use;
      EXPECT_EQ(pwd->ButtonClose->Visible(), c.close) << c.use;
      EXPECT_EQ(pwd->Bevel1->Visible(), c.bevel) << c.use;
      EXPECT_TRUE(pwd->CheckViewPwd->Visible()) << c.use;
      EXPECT_TRUE(pwd->Cancelled) << c.use;
      EXPECT_EQ(pwd->EditPwd->Top(), c.verify ? 67 : 47) << c.use;
      clientHeight = pwd->ClientHeight();
      PostKey(pwd->EditPwd, VK_ESCAPE);  // Esc runs Cancel
    });
    EXPECT_EQ(result, mrCancel) << c.use;
    EXPECT_TRUE(pwd->Cancelled) << c.use;
    EXPECT_FALSE(pwd->ClosePressed) << c.use;
    EXPECT_FALSE(pwd->ChangeMode) << c.use;  // cleared at every show
    EXPECT_EQ(clientHeight, 226) << c.use;
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormsFixture, PasswordDialogOkChecksInOrderAndEmptiesTheRetypeField) {
  pwd->EditPwd2->SetText("left from the last run");
  const std::string strong = "Ab1!Ab1!Ab1!x";
  const int result = RunModal(pwd, [&] {
    // The retype field keeps nothing from an earlier showing.
    EXPECT_EQ(pwd->EditPwd2->Text(), "");
    pwd->EditPwd->SetText("   ");
    pwd->ButtonOK->Click();
    pwd->EditPwd->SetText("abc");
    pwd->EditPwd2->SetText("abd");
    pwd->ButtonOK->Click();
    pwd->EditPwd2->SetText("abc");
    pwd->ButtonOK->Click();
    EXPECT_TRUE(pwd->Modal());
    EXPECT_TRUE(pwd->Cancelled);
    pwd->EditPwd->SetText(strong);
    pwd->EditPwd2->SetText(strong);
    PostKey(pwd->EditPwd2, VK_RETURN);  // Enter runs OK
  });
  EXPECT_EQ(result, mrOk);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].Text, "Please enter or generate a password.");
  EXPECT_EQ(boxes[1].Text, "Passwords do not match! Please retype password");
  EXPECT_EQ(boxes[2].Text, "Password quality too bad.");
  for (const TMessageBoxCall& b : boxes) {
    EXPECT_EQ(b.Caption, app.Title());
    EXPECT_EQ(b.Owner, pwd->Handle());
    EXPECT_EQ(b.Flags, static_cast<UINT>(MB_OK));
  }
  EXPECT_FALSE(pwd->Cancelled);
  EXPECT_EQ(pwd->EditPwd->Text(), strong);  // for the caller, who empties it
  EXPECT_EQ(pwd->EditPwd2->Text(), "");     // the copy goes at once
  pwd->EditPwd->ClearSecret();
}

TEST_F(FormsFixture, PasswordDialogBlanksAroundAPasswordAreKept) {
  const int ok = RunModal(pwd, [&] {
    pwd->EditPwd->SetText("  Ab1!Ab1!Ab1!x  ");
    pwd->EditPwd2->SetText("  Ab1!Ab1!Ab1!x  ");
    pwd->ButtonOK->Click();
  });
  EXPECT_EQ(ok, mrOk);
  EXPECT_EQ(pwd->EditPwd->Text(), "  Ab1!Ab1!Ab1!x  ");
}

TEST_F(FormsFixture, PasswordDialogGeneratesFromTheRandomSource) {
  // Lower 0 'a', upper 1 'B', digit 2 '2', special 3 '$', twelve mixed, a
  // shuffle that moves nothing.
  std::deque<std::uint32_t> draws = {0, 1, 2, 3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  for (std::uint32_t i = 16; i >= 2; --i) draws.push_back(i - 1);
  AppSeams().Random = Scripted(draws);
  pwd->GenerateMode = true;
  std::string first, second;
  const int result = RunModal(pwd, [&] {
    first = pwd->EditPwd->Text();
    EXPECT_TRUE(pwd->CheckViewPwd->Checked());
    EXPECT_EQ(SendMessageA(pwd->EditPwd->Handle(), EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(pwd->LabelPW->Caption(), "excellent");
    AppSeams().Random = SystemRandomSource();
    pwd->ButtonPwdRnd->Click();
    second = pwd->EditPwd->Text();
    pwd->ButtonOK->Click();  // no retype in generate mode
  });
  pwd->GenerateMode = false;
  EXPECT_EQ(first, "aB2$abcdefghijkl");
  EXPECT_EQ(second.size(), 16u);
  EXPECT_NE(second, first);
  EXPECT_EQ(result, mrOk);
  EXPECT_FALSE(pwd->Cancelled);
  pwd->EditPwd->ClearSecret();
}

TEST_F(FormsFixture, PasswordDialogVerifyModeAndTheCloseButton) {
  pwd->VerifyMode = true;
  pwd->AllowClose = true;
  EXPECT_EQ(RunModal(pwd,
                     [&] {
                       pwd->EditPwd->SetText("x");  // no retype, no quality check
                       pwd->ButtonOK->Click();
                     }),
            mrOk);
  EXPECT_FALSE(pwd->Cancelled);
  EXPECT_TRUE(boxes.empty());
  RunModal(pwd, [&] { pwd->ButtonClose->Click(); });
  EXPECT_TRUE(pwd->ClosePressed);
  EXPECT_TRUE(pwd->Cancelled);
  // The next showing starts with ClosePressed cleared.
  RunModal(pwd, [&] {
    EXPECT_FALSE(pwd->ClosePressed);
    pwd->ButtonCancel->Click();
  });
  EXPECT_FALSE(pwd->ClosePressed);
  pwd->VerifyMode = pwd->AllowClose = false;
}

TEST_F(FormsFixture, PasswordDialogQualityMeterWordColourAndScore) {
  const struct {
    const char* text;
    int score;
    const char* word;
    TColor color;
  } cases[] = {
      {"", 0, "bad", 255},
      {"abc", 13, "bad", 255},
      {"abcDEF12", 58, "medium", 32896},
      {"abcDE12!", 78, "good", 32768},
      {"abcDEF12!?xy", 93, "good", 32768},
      {"abcDEF12!?xyZ9-q", 100, "excellent", 16711680},
  };
  for (const auto& c : cases) {
    pwd->EditPwd->SetText(c.text);  // the change handler updates the meter
    EXPECT_EQ(pwd->ProgressBarQuality->Position(), c.score) << c.text;
    EXPECT_EQ(pwd->LabelPW->Caption(), c.word) << c.text;
    EXPECT_EQ(pwd->LabelPW->Font().Color(), c.color) << c.text;
    EXPECT_EQ(pwd->ProgressBarQuality->BeginColor(), c.color) << c.text;
  }
  pwd->EditPwd->ClearSecret();
}

TEST_F(FormsFixture, PasswordDialogEmptiesTheClipboardTextWhenThePasswordChanges) {
  ASSERT_TRUE(Clipboard::SetText("pasted secret"));
  pwd->EditPwd->SetText("pasted secret");
  std::string text = "unchanged";
  ASSERT_TRUE(Clipboard::GetText(text));
  EXPECT_EQ(text, "");
  pwd->EditPwd->ClearSecret();
}

TEST_F(FormsFixture, PasswordDialogSentenceGuide) {
  auto withoutExtras = [](const std::string& p) {
    std::string r;
    for (char ch : p)
      if (std::string(kSentenceExtras).find(ch) == std::string::npos) r.push_back(ch);
    return r;
  };
  RunModal(pwd, [&] {
    EXPECT_FALSE(pwd->EditSentence->Visible());
    pwd->ButtonPwSentence->Click();
    EXPECT_TRUE(pwd->EditSentence->Visible());
    EXPECT_TRUE(pwd->LabelSentence->Visible());
    EXPECT_TRUE(pwd->CheckViewPwd->Checked());
    EXPECT_EQ(pwd->EditSentence->Text(), TFormPwd::kDefaultSentence);
    EXPECT_NE(withoutExtras(pwd->EditPwd->Text()).find("13"), std::string::npos) << pwd->EditPwd->Text();
    // Typing a sentence shapes the password from it: one word, kept whole.
    pwd->EditSentence->SetText("vault 42");
    EXPECT_EQ(withoutExtras(pwd->EditPwd->Text()), "vault42") << pwd->EditPwd->Text();
    pwd->ButtonPwSentence->Click();
    EXPECT_FALSE(pwd->EditSentence->Visible());
    EXPECT_FALSE(pwd->LabelSentence->Visible());
    EXPECT_FALSE(pwd->CheckViewPwd->Checked());
    pwd->ButtonCancel->Click();
  });
  pwd->EditPwd->ClearSecret();
}

TEST_F(FormsFixture, EventsFireWhileAModalDialogIsUp) {
  std::vector<std::string> seen;
  RunModal(pwd, [&] {
    // A timer tick and window messages reach the main window during the run.
    main->TimerUpdateUI->Tick();
    seen.push_back(main->QStatus1->PanelText(0));
    seen.push_back(std::to_string(SendMessageA(main->Handle(), WM_POWERBROADCAST, 4 /* PBT_APMSUSPEND */, 0)));
    // A hand-over arrives while the dialog is up: the password dialog is
    // not shown a second time inside its own run.
    const std::string path = "C:\\no such folder\\v.qvl";
    std::string data = EncodeHandOverPath(path);
    COPYDATASTRUCT cds{kHandOverTag, static_cast<DWORD>(data.size()), data.data()};
    seen.push_back(std::to_string(SendMessageA(main->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds))));
    seen.push_back(std::to_string(pwd->ShowModal()));
    EXPECT_TRUE(pwd->Modal());
    pwd->ButtonCancel->Click();
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"0 Entries", "1", "1", std::to_string(mrCancel)}));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "The selected file does not exist.");
  EXPECT_EQ(boxes[0].Caption, "Open error");
  EXPECT_EQ(boxes[0].Owner, main->Handle());
  EXPECT_EQ(boxes[0].Flags, static_cast<UINT>(MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND));
}

TEST_F(FormsFixture, PasswordDialogScreenshot) {
  RunModal(pwd, [&] {
    pwd->EditPwd->SetText("Tr4vel!ng-Light");
    pwd->EditPwd2->SetText("Tr4vel!ng");
    const std::string png = harness::SaveScreenshot(pwd->Handle(), "password-dialog");
    EXPECT_FALSE(png.empty());
    pwd->ButtonCancel->Click();
  });
  // The unlock prompt: verify mode with the Close button.
  pwd->VerifyMode = pwd->AllowClose = true;
  RunModal(pwd, [&] {
    pwd->EditPwd->SetText("secret");
    EXPECT_FALSE(harness::SaveScreenshot(pwd->Handle(), "password-dialog-unlock").empty());
    pwd->ButtonCancel->Click();
  });
  pwd->VerifyMode = pwd->AllowClose = false;
  pwd->EditPwd->ClearSecret();
}

// ---- The group and icon dialog ------------------------------------------------------

TEST_F(FormsFixture, GroupDialogRefusesBlankAndColonNamesAndTrimsTheRest) {
  icon->GroupMode = true;
  icon->SetCaption("New Group");
  icon->Edit1->SetText("");
  icon->IconIndex = 0;
  const int result = RunModal(icon, [&] {
    for (const char* bad : {"", "   ", "a:b"}) {
      icon->Edit1->SetText(bad);
      icon->ButtonOK->Click();
      EXPECT_TRUE(icon->Modal()) << bad;
    }
    icon->Edit1->SetText("  Work stuff  ");
    icon->ListView1->Item(7)->SetSelected(true);
    icon->ButtonOK->Click();
  });
  EXPECT_EQ(result, mrOk);
  ASSERT_EQ(boxes.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(boxes[static_cast<std::size_t>(i)].Text, "Please enter a group name.");
    EXPECT_EQ(boxes[static_cast<std::size_t>(i)].Caption, "Group Name Required");
    EXPECT_TRUE(boxes[static_cast<std::size_t>(i)].Flags & MB_ICONINFORMATION);
  }
  EXPECT_EQ(boxes[2].Text, "A group name cannot contain a colon.");
  EXPECT_EQ(boxes[2].Caption, "Invalid Group Name");
  EXPECT_EQ(icon->Edit1->Text(), "Work stuff");
  EXPECT_EQ(icon->IconIndex, 7);
  EXPECT_FALSE(icon->Cancelled);
}

TEST_F(FormsFixture, IconDialogListsTheIconsAndClampsTheIndex) {
  icon->GroupMode = false;
  icon->IconIndex = 999;
  // Every icon number a vault or a KeePass import can hold, 0 to 302.
  const int count = main->ImageListIcons->Count();
  ASSERT_EQ(count, 303);
  int height = 0;
  const int result = RunModal(icon, [&] {
    ASSERT_EQ(icon->ListView1->Count(), count);
    EXPECT_EQ(icon->ListView1->Item(0)->Caption(), "0.");
    EXPECT_EQ(icon->ListView1->Item(10)->Caption(), "10.");
    EXPECT_EQ(icon->ListView1->Item(10)->ImageIndex(), 10);
    ASSERT_NE(icon->ListView1->Selected(), nullptr);
    EXPECT_EQ(icon->ListView1->Selected()->Index(), 0);
    EXPECT_EQ(icon->IconIndex, 0);
    EXPECT_FALSE(icon->Edit1->Visible());
    height = icon->Height();
    icon->ListView1->Item(5)->SetSelected(true);
    PostKey(icon->ListView1, VK_ESCAPE);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_TRUE(icon->Cancelled);
  EXPECT_EQ(icon->IconIndex, 5);  // Cancel leaves the last selection
  EXPECT_EQ(height, 321);
}

// The icon dialog opened on the last icons: KeePass's set, then the
// screenshot of what the user sees.
TEST_F(FormsFixture, IconDialogShowsTheLastIconsInView) {
  icon->GroupMode = false;
  icon->IconIndex = 302;
  // What opening costs: the list is filled with every icon at each showing.
  const auto start = std::chrono::steady_clock::now();
  icon->FormShow(icon);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ speed ] icon dialog filled with %d icons: %.1f ms\n", icon->ListView1->Count(), ms);
  RunModal(icon, [&] {
    ASSERT_NE(icon->ListView1->Selected(), nullptr);
    EXPECT_EQ(icon->ListView1->Selected()->Index(), 302);
    app.ProcessMessages();
    // The list's first shown item and the number it shows.
    HWND list = icon->ListView1->Handle();
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    const int page = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_LE(top, 302);
    EXPECT_GT(top + page, 302) << "top " << top << ", " << page << " shown";
    icon->ListView1->Repaint();
    EXPECT_FALSE(harness::SaveScreenshot(icon->Handle(), "icon-dialog-last-icons").empty());
    icon->ListView1->Item(120)->SetSelected(true);
    icon->ListView1->Item(120)->MakeVisible(false);
    icon->ListView1->Repaint();
    EXPECT_FALSE(harness::SaveScreenshot(icon->Handle(), "icon-dialog").empty());
    icon->ButtonCancel->Click();
  });
}

TEST_F(FormsFixture, IconDialogDoubleClickAccepts) {
  icon->GroupMode = false;
  icon->IconIndex = 2;
  const int result = RunModal(icon, [&] {
    icon->ListView1->Item(4)->SetSelected(true);
    NMHDR hdr{icon->ListView1->Handle(), static_cast<UINT_PTR>(GetDlgCtrlID(icon->ListView1->Handle())),
              static_cast<UINT>(NM_DBLCLK)};
    SendMessageA(icon->Handle(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(icon->IconIndex, 4);
  EXPECT_FALSE(icon->Cancelled);
}

TEST_F(FormsFixture, GroupDialogFocusesTheNameWhenItsTimerFires) {
  icon->GroupMode = true;
  icon->Edit1->SetText("Mail");
  icon->IconIndex = 3;
  int height = 0;
  RunModal(icon, [&] {
    height = icon->Height();
    EXPECT_TRUE(icon->Edit1->Visible());
    EXPECT_TRUE(icon->TimerStart->Enabled());
    icon->TimerStart->Tick();
    EXPECT_FALSE(icon->TimerStart->Enabled());
    EXPECT_TRUE(icon->Edit1->Focused());
    EXPECT_EQ(icon->Edit1->SelStart(), 0);
    EXPECT_EQ(icon->Edit1->SelLength(), 4);
    const std::string png = harness::SaveScreenshot(icon->Handle(), "group-dialog");
    EXPECT_FALSE(png.empty());
    icon->ButtonCancel->Click();
  });
  EXPECT_EQ(height, 339);
  EXPECT_TRUE(icon->Cancelled);
}

// ---- Message boxes ------------------------------------------------------------------

struct TWantedWindow {
  const char* cls;
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchWantedWindow(HWND w, LPARAM p) {
  auto* want = reinterpret_cast<TWantedWindow*>(p);
  char cls[64] = {}, text[128] = {};
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, text, sizeof text);
  if (lstrcmpA(cls, want->cls) != 0 || lstrcmpA(text, want->caption) != 0) return TRUE;
  want->found = w;
  return FALSE;
}

// A top-level window of a thread by class and caption, or null.
HWND ThreadWindow(DWORD thread, const char* className, const char* caption) {
  TWantedWindow wanted{className, caption, nullptr};
  EnumThreadWindows(thread, MatchWantedWindow, reinterpret_cast<LPARAM>(&wanted));
  return wanted.found;
}

// A message box shows every character of its text: laid out in the font the
// box draws it with, the text fits its control (a text measured in one font
// and drawn in another loses the end of its longest line).
TEST_F(FormsFixture, MessageBoxShowsItsWholeText) {
  const struct {
    const char* caption;
    std::string text;
    UINT flags;
    const char* screenshot;
  } cases[] = {
      {"KeePass Export",
       "The KeePass text export was created successfully.\r\n\r\n"
       "Delete or securely store the plain-text file after use.",
       MB_OK | MB_ICONWARNING, "message-box"},
      {"Save changes?",
       std::string("accounts.qvl") + DocumentTexts::kSaveChangesQuestion,
       MB_YESNOCANCEL | MB_ICONQUESTION, "message-box-save-changes"},
      {"Open error", DocumentTexts::kWrongPassword, MB_OK | MB_ICONERROR, "message-box-wrong-password"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    std::string shown, png;
    RECT need{}, room{};
    const DWORD thread = GetCurrentThreadId();
    std::thread watcher([&] {
      // The box of this thread (another program's window may carry the
      // same caption).
      HWND box = nullptr;
      for (int i = 0; i < 400 && !(box && IsWindowVisible(box)); ++i) {
        Sleep(25);
        box = ThreadWindow(thread, "#32770", c.caption);
      }
      if (!box) return;
      Sleep(300);  // drawn
      if (HWND label = GetDlgItem(box, 0xFFFF)) {
        char buffer[512] = {};
        GetWindowTextA(label, buffer, sizeof buffer);
        shown = buffer;
        GetClientRect(label, &room);
        // The text laid out as the box lays it out (word wrap at the
        // control's width) in the control's font.
        HDC dc = GetDC(label);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
        need = RECT{0, 0, room.right, 0};
        DrawTextA(dc, shown.c_str(), static_cast<int>(shown.size()), &need,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
      }
      png = harness::SaveScreenshot(box, c.screenshot);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    auto hook = std::move(MessageBoxHook);
    MessageBoxHook = nullptr;
    const int answer = UiMessageBox(main->Handle(), c.text, c.caption, c.flags);
    MessageBoxHook = std::move(hook);
    watcher.join();
    EXPECT_NE(answer, 0);
    EXPECT_EQ(shown, c.text);
    EXPECT_LE(need.right, room.right);
    EXPECT_LE(need.bottom, room.bottom);
    EXPECT_FALSE(png.empty());
  }
}

// ---- The About box ------------------------------------------------------------------

TEST_F(FormsFixture, AboutBoxLinksOpenTheirPagesAndKeysCloseIt) {
  std::vector<std::string> opened;
  AppSeams().OpenUrl = [&](const std::string& url) {
    opened.push_back(url);
    return true;
  };
  const int result = RunModal(about, [&] {
    EXPECT_EQ(about->Caption(), "About Quorvane Vaultline");
    EXPECT_EQ(about->LabelVersion->Caption(), "Version 1.4.1");
    for (TLabel* link : {about->Label1, about->Label8})
      SendMessageA(about->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(link->Handle()), STN_CLICKED),
                   reinterpret_cast<LPARAM>(link->Handle()));
    EXPECT_FALSE(harness::SaveScreenshot(about->Handle(), "about-box").empty());
    PostKey(about->ButtonOK, VK_ESCAPE);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(opened, (std::vector<std::string>{kProductUrl, kMakerUrl}));
}

// ---- The main window ----------------------------------------------------------------

TEST_F(FormsFixture, HandOverReadsNoFurtherThanItsSize) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string plain = std::string(temp) + "vl-handover-plain.txt";
  std::ofstream(plain) << "x";
  // The path without its zero byte, followed by more characters that the
  // size leaves out: read beyond it, they would name another file.
  std::string buffer = plain + "X.qvl";
  COPYDATASTRUCT cds{kHandOverTag, static_cast<DWORD>(plain.size()), buffer.data()};
  EXPECT_EQ(SendMessageA(main->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Invalid file type");
  EXPECT_EQ(boxes[0].Text, "Only .qvl files are supported.");

  // Another tag is not a hand-over.
  cds.dwData = 0x31464C56;  // "VLF1" the other way round
  EXPECT_EQ(SendMessageA(main->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
  EXPECT_EQ(boxes.size(), 1u);

  // No path: the window comes forward.
  main->Hide();
  COPYDATASTRUCT empty{kHandOverTag, 0, nullptr};
  EXPECT_EQ(SendMessageA(main->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty)), 1);
  EXPECT_TRUE(IsWindowVisible(main->Handle()));
  std::filesystem::remove(plain);
}

TEST_F(FormsFixture, CaptionNamesTheStateOfTheDocument) {
  const struct {
    std::string path;
    bool locked, readOnly, modified;
    const char* caption;
  } cases[] = {
      {"", false, false, false, "Untitled - Vaultline"},
      {"", false, false, true, "*Untitled - Vaultline"},
      {"C:\\v\\Mail.qvl", false, false, false, "Mail.qvl - Vaultline"},
      {"C:\\v\\Mail.qvl", true, true, true, "[Locked] [Read-only] *Mail.qvl - Vaultline"},
      {"C:\\v\\Mail.qvl", true, false, false, "[Locked] Mail.qvl - Vaultline"},
  };
  for (const auto& c : cases) {
    main->VaultPath = c.path;
    main->Locked = c.locked;
    main->ReadOnly = c.readOnly;
    main->Modified = c.modified;
    main->UpdateCaption();
    EXPECT_EQ(main->Caption(), c.caption);
    EXPECT_EQ(app.Title(), c.caption);
    EXPECT_EQ(main->TrayIcon1->Hint(), c.caption);
  }
  main->Locked = main->ReadOnly = main->Modified = false;
  main->VaultPath.clear();
}

TEST_F(FormsFixture, ProgressIsClampedAndFinishesAfterAPause) {
  std::vector<std::uint32_t> sleeps;
  AppSeams().Sleep = [&](std::uint32_t ms) { sleeps.push_back(ms); };
  main->ShowProgress(150);
  EXPECT_TRUE(main->Progress->Visible());
  EXPECT_EQ(main->Progress->Position(), 100);
  main->ShowProgress(-5);
  EXPECT_EQ(main->Progress->Position(), 0);
  main->ShowProgress(60);
  EXPECT_EQ(main->Progress->Position(), 60);
  main->FinishProgress();
  EXPECT_EQ(sleeps, std::vector<std::uint32_t>{150});
  EXPECT_FALSE(main->Progress->Visible());
  EXPECT_EQ(main->Progress->Position(), 0);
  // The bar lies in the status bar's fourth panel.
  EXPECT_EQ(GetParent(main->Progress->Handle()), main->QStatus1->Handle());
}

TEST_F(FormsFixture, MainWindowStartsWithThePresetsAndTheEditingCommandsOff) {
  ASSERT_EQ(main->EditAutomate->ItemCount(), 5);
  EXPECT_EQ(main->EditAutomate->Item(0), "USERNAME");
  EXPECT_EQ(main->EditAutomate->Item(4), "OPENURL AWAIT USERNAME PASSWORD ENTER");
  EXPECT_EQ(main->EditAutomate->ItemIndex(), -1);
  EXPECT_EQ(main->EditAutomate->Text(), "");
  EXPECT_EQ(main->DefaultAutomate, "USERNAME TAB PASSWORD ENTER");
  EXPECT_FALSE(main->Progress->Visible());
  main->TimerUpdateUI->Tick();
  EXPECT_EQ(main->QStatus1->PanelText(0), "0 Entries");
  EXPECT_EQ(main->QStatus1->PanelText(1), "");
  for (TMenuItem* item : {main->Save1, main->AddGroup1, main->AddEntry1, main->ChangeMasterPassword1, main->Import1})
    EXPECT_FALSE(item->Enabled()) << item->Name();
  EXPECT_TRUE(main->Open1->Enabled());
  EXPECT_TRUE(main->New1->Enabled());
  EXPECT_FALSE(main->ToolSave->Enabled());
  EXPECT_FALSE(main->EditTitle->Enabled());
  EXPECT_EQ(main->QStatus1->PanelCount(), 5);
  EXPECT_EQ(main->ListView1->Count(), 0);
  // The menu bar with the window's commands; Ctrl+S is Save.
  EXPECT_EQ(GetMenu(main->Handle()), main->MainMenu1->Handle());
  EXPECT_EQ(main->Save1->ShortCut(), scCtrl | 'S');
}

TEST_F(FormsFixture, TabFromTheSearchEditSelectsTheFirstEntry) {
  main->Show();
  for (const char* title : {"Mail", "Bank"}) main->ListView1->Add()->SetCaption(title);
  main->ListView1->Item(1)->SetSelected(true);
  main->QEdit1->SetFocus();
  ASSERT_TRUE(main->QEdit1->Focused());
  PostMessageA(main->QEdit1->Handle(), WM_KEYDOWN, VK_TAB, 1);
  app.ProcessMessages();
  EXPECT_TRUE(main->ListView1->Focused());
  ASSERT_NE(main->ListView1->Selected(), nullptr);
  EXPECT_EQ(main->ListView1->Selected()->Index(), 0);
  EXPECT_EQ(main->ListView1->SelCount(), 1);
}

// The settings file beside this test program, removed afterwards.
struct SettingsFile {
  std::string path = TQDReg::AppDir() + TFormMain::kSettingsFile;
  explicit SettingsFile(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  ~SettingsFile() { DeleteFileA(path.c_str()); }
  std::string Read() const {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
};

TEST_F(FormsFixture, SaveStateKeepsTheOtherSettings) {
  SettingsFile ini("\r\nIterations=5000\r\n");
  main->VaultPath = "";
  main->SaveState();  // no vault: nothing written
  EXPECT_EQ(ini.Read(), "\r\nIterations=5000\r\n");
  main->VaultPath = "C:\\v\\Mail.qvl";
  auto entry = std::make_unique<TVaultEntry>();
  entry->id = 3;
  entry->shortcut = "Ctrl+Alt+K";
  main->Vault.Entries.push_back(std::move(entry));
  main->SaveState();  // the remembered shortcuts come from the entries
  main->Vault.Entries.clear();
  EXPECT_EQ(ini.Read(),
            "\r\nIterations=5000\r\nLastOpenedFile=C:\\v\\Mail.qvl\r\nLastEntryShortcuts=3=Ctrl+Alt+K\r\n");
  RememberedShortcuts.clear();
  main->VaultPath.clear();
}

TEST_F(FormsFixture, LoadStateRemembersAnExistingVaultLockedOrIgnoresIt) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string vault = std::string(temp) + "vl-loadstate.qvl";
  const std::string other = std::string(temp) + "vl-loadstate.txt";
  std::ofstream(vault) << "x";
  std::ofstream(other) << "x";
  for (const std::string& last : {std::string(temp) + "missing.qvl", other}) {
    SettingsFile ini("\r\nLastOpenedFile=" + last + "\r\n");
    main->LoadState(true);
    EXPECT_FALSE(main->Locked) << last;
    EXPECT_EQ(main->VaultPath, "") << last;
  }
  {
    SettingsFile ini("\r\nLastOpenedFile=" + vault + "\r\nLastEntryShortcuts=4=Ctrl+Alt+M\r\n");
    PendingHotKeyId = 12;
    main->LoadState(true);
    EXPECT_TRUE(main->Locked);
    EXPECT_EQ(main->VaultPath, vault);
    EXPECT_EQ(RememberedShortcuts, "4=Ctrl+Alt+M");
    EXPECT_EQ(PendingHotKeyId, -1);
    EXPECT_EQ(main->Caption(), "[Locked] vl-loadstate.qvl - Vaultline");
  }
  main->Locked = false;
  main->VaultPath.clear();
  RememberedShortcuts.clear();
  DeleteFileA(vault.c_str());
  DeleteFileA(other.c_str());
}

TEST_F(FormsFixture, SessionNotificationAndMessageFilterReportTheirResult) {
  EXPECT_TRUE(SetSessionNotification(main->Handle(), true));
  SetSessionNotification(main->Handle(), false);  // Wine answers false here; Windows true
  EXPECT_FALSE(AllowCopyDataMessage(nullptr));
  EXPECT_TRUE(AllowCopyDataMessage(main->Handle()));
  EXPECT_GE(UtcNowMs(), 1700000000000);
  AppSeams().UtcNowMs = [] { return std::int64_t{-5}; };
  EXPECT_EQ(UtcNowMs(), 0);
}

}  // namespace
