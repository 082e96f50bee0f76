// The vault document in the real program under Wine: a vault made through
// the menus, the password dialog, the group dialog, the details panel and
// the system's save and open dialogs, written to disk and read back by the
// engine in this process; and the time a large vault takes to open.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/model/VaultText.h"
#include "app/tests/Harness.h"
#include "base/SysUtils.h"
#include "engine/QEnc.h"

using namespace harness;

namespace {

constexpr DWORD kTimeout = 30000;

// Menu command ids: handed out in creation order from 0x1000, the menu
// bar's root item first (VaultDocument.MenuCommandsKeepTheirPlaces checks
// the places in this process).
constexpr UINT kMenuIdBase = 0x1000;
constexpr UINT kNewOffset = 0x02, kOpenOffset = 0x03, kCloseOffset = 0x05, kSaveAsOffset = 0x0A,
               kAddGroupOffset = 0x13, kAddEntryOffset = 0x1C;

void Command(HWND wnd, UINT offset) { PostMessageA(wnd, WM_COMMAND, MAKEWPARAM(kMenuIdBase + offset, 0), 0); }

bool Visible(HWND wnd) { return wnd && IsWindowVisible(wnd) != FALSE; }

BOOL CALLBACK CollectVisibleEdit(HWND w, LPARAM p) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") == 0 && IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
  return TRUE;
}

// The visible edit controls of a window, top to bottom.
std::vector<HWND> VisibleEdits(HWND parent) {
  std::vector<HWND> edits;
  EnumChildWindows(parent, CollectVisibleEdit, reinterpret_cast<LPARAM>(&edits));
  std::sort(edits.begin(), edits.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.top < rb.top;
  });
  return edits;
}

// A dialog of the program (its own window class) once it is shown.
HWND WaitShown(DWORD pid, const char* className) {
  HWND wnd = FindProcessWindow(pid, className, kTimeout);
  if (!wnd || !WaitFor([&] { return Visible(wnd); }, kTimeout)) return nullptr;
  return wnd;
}

// Types the password into the dialog's visible edits (the retype field
// too when it is shown) and presses Enter.
bool AnswerPassword(DWORD pid, const std::string& password, int expectedEdits) {
  HWND dialog = WaitShown(pid, "TFormPwd");
  if (!dialog) return false;
  std::vector<HWND> edits;
  if (!WaitFor([&] { return static_cast<int>((edits = VisibleEdits(dialog)).size()) == expectedEdits; }, kTimeout))
    return false;
  for (HWND e : edits) SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
  PostMessageA(edits[0], WM_KEYDOWN, VK_RETURN, 0);
  return WaitFor([&] { return !Visible(dialog); }, kTimeout);
}

// Fills the file name of the system's open or save dialog and presses OK.
bool AnswerFileDialog(DWORD pid, const std::string& caption, const std::string& path) {
  HWND dialog = FindMessageBox(pid, caption, kTimeout);
  if (!dialog) return false;
  HWND name = nullptr;
  WaitFor(
      [&] {
        for (int id : {0x47C, 0x480}) {  // the file name combo box or edit
          HWND c = GetDlgItem(dialog, id);
          if (c && IsWindowVisible(c)) return (name = c) != nullptr;
        }
        return false;
      },
      kTimeout);
  if (!name) return false;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return WaitFor([&] { return !IsWindow(dialog) || !Visible(dialog); }, kTimeout);
}

// The control that has the keyboard focus in the process's GUI thread.
HWND FocusOf(HWND wnd) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::string KeyFor(const std::string& password, int iterations) {
  TQEnc e(nullptr);
  e.SetIterations(iterations);
  return e.DeriveSessionKey(password);
}

std::string ReadFileBytes(const std::string& path) {
  std::string data;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    std::fclose(f);
  }
  return data;
}

TEST(VaultProgram, AVaultMadeThroughTheMenusIsWrittenAsTheEngineReadsIt) {
  TProgramFolder folder({"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"});
  const int p = folder.Start();
  ASSERT_GE(p, 0);
  const DWORD pid = folder.Pid(p);
  HWND wnd = FindProcessWindow(pid, "TFormMain", kTimeout);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Visible(wnd); }, kTimeout));
  // The start-up work (settings into the engine) is done before the first
  // command.
  Sleep(1000);
  const std::string password = "Correct-Horse-42x";
  const std::string vault = folder.File("made.qvl");

  // New: a new master password, typed twice.
  Command(wnd, kNewOffset);
  ASSERT_TRUE(AnswerPassword(pid, password, 2));
  // A group through the group dialog.
  Command(wnd, kAddGroupOffset);
  HWND groupDialog = WaitShown(pid, "TFormIcon");
  ASSERT_NE(groupDialog, nullptr);
  std::vector<HWND> edits = VisibleEdits(groupDialog);
  ASSERT_FALSE(edits.empty());
  SendMessageA(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Mail"));
  PostMessageA(edits[0], WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitFor([&] { return !Visible(groupDialog); }, kTimeout));
  // An entry in it: its title typed into the details panel.
  Command(wnd, kAddEntryOffset);
  HWND title = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        title = FocusOf(wnd);
        char cls[32] = {};
        if (title) GetClassNameA(title, cls, sizeof cls);
        return lstrcmpiA(cls, "Edit") == 0;
      },
      kTimeout));
  SendMessageA(title, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Bank"));
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "*Untitled - Vaultline"; }, kTimeout)) << WindowText(wnd);

  // Save As through the system's dialog.
  Command(wnd, kSaveAsOffset);
  ASSERT_TRUE(AnswerFileDialog(pid, "Save Vaultline File", vault));
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "made.qvl - Vaultline"; }, kTimeout)) << WindowText(wnd);

  // What the program wrote is read by the engine of this process.
  TQEnc engine(nullptr);
  engine.SetKey(KeyFor(password, 5000));
  const std::string text = engine.DecryptFileToString(vault);
  ASSERT_EQ(engine.LastError(), ErrNone) << TQEnc::ErrorToString(engine.LastError());
  EXPECT_EQ(engine.Algorithm(), qeaTwofishCTR);
  EXPECT_EQ(engine.Algorithm2(), qeaAES128CTR);
  EXPECT_EQ(engine.Algorithm3(), qeaChaCha20);
  EXPECT_EQ(engine.Iterations(), 5000);
  TVaultModel model;
  ParseVaultText(text, model);
  ASSERT_EQ(model.Groups.Count(), 1);
  ASSERT_EQ(model.Entries.size(), 1u);
  EXPECT_EQ(model.Groups.Nodes()[0]->Caption(), "Mail");
  EXPECT_EQ(model.Entries[0]->title, "Bank");
  EXPECT_EQ(model.Entries[0]->group, model.Groups.Nodes()[0]);
  EXPECT_EQ(BuildVaultText(model), text);

  // Close, then Open with the password.
  Command(wnd, kCloseOffset);
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "Untitled - Vaultline"; }, kTimeout)) << WindowText(wnd);
  EXPECT_NE(ReadFileBytes(vault + ".lock").find("active=0"), std::string::npos);
  Command(wnd, kOpenOffset);
  ASSERT_TRUE(AnswerFileDialog(pid, "Open Vaultline File", vault));
  ASSERT_TRUE(AnswerPassword(pid, password, 1));
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "made.qvl - Vaultline"; }, kTimeout)) << WindowText(wnd);
  EXPECT_NE(ReadFileBytes(vault + ".lock").find("active=1"), std::string::npos);
  // The settings file remembers the vault.
  EXPECT_NE(ReadFileBytes(folder.File("Vaultline.ini")).find("LastOpenedFile=" + vault), std::string::npos);
}

// The time from the password dialog's OK to the filled window for a vault
// of 10,000 entries with the default cascade and iteration count. Printed,
// not asserted.
TEST(VaultProgram, OpenTimeOfALargeDefaultVault) {
  TProgramFolder folder({"CheckBoxLastFile=0", "CheckBoxMinimized=0"});
  const std::string vault = folder.File("large.qvl");
  const std::string password = "Correct-Horse-42x";
  {
    TVaultModel model;
    std::vector<TVaultGroup*> groups;
    for (int g = 0; g < 20; ++g) groups.push_back(model.Groups.Add(nullptr, "Group " + IntToStr(g), 2));
    for (int i = 1; i <= 10000; ++i) {
      auto e = std::make_unique<TVaultEntry>();
      e->id = i;
      e->group = groups[static_cast<std::size_t>(i % 20)];
      e->title = "Entry " + IntToStr(i);
      e->username = "user" + IntToStr(i) + "@example.com";
      e->password = "pw-" + IntToStr(i * 7919) + "-Xy!";
      e->url = "https://site" + IntToStr(i) + ".example/login";
      e->notes = "first line of notes " + IntToStr(i) + "\r\nsecond line";
      model.Entries.push_back(std::move(e));
    }
    TQEnc engine(nullptr);
    engine.SetFastMode(false);
    engine.SetAlgorithm(qeaTwofishCTR);
    engine.SetAlgorithm2(qeaAES128CTR);
    engine.SetAlgorithm3(qeaChaCha20);
    engine.SetIterations(200000);
    engine.SetKey(engine.DeriveSessionKey(password));
    ASSERT_TRUE(engine.EncryptStringToFile(BuildVaultText(model), vault, ""));
  }
  const int p = folder.Start("\"" + vault + "\"");
  ASSERT_GE(p, 0);
  const DWORD pid = folder.Pid(p);
  HWND wnd = FindProcessWindow(pid, "TFormMain", kTimeout);
  ASSERT_NE(wnd, nullptr);
  HWND dialog = WaitShown(pid, "TFormPwd");
  ASSERT_NE(dialog, nullptr);
  std::vector<HWND> edits;
  ASSERT_TRUE(WaitFor([&] { return (edits = VisibleEdits(dialog)).size() == 1; }, kTimeout));
  SendMessageA(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
  const auto start = std::chrono::steady_clock::now();
  PostMessageA(edits[0], WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "large.qvl - Vaultline"; }, 120000)) << WindowText(wnd);
  const auto filled = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(filled - start).count();
  std::printf("[ TIMING   ] open of a 10,000-entry vault (Twofish+AES+ChaCha20, 200,000 iterations), "
              "OK to the filled window: %.0f ms\n",
              ms);
  RecordProperty("open_ms", static_cast<int>(ms));
}

}  // namespace
