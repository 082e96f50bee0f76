// The real program under Wine against vault files of someone else's making:
// vault_peer (a reader and writer built natively on OpenSSL and libgcrypt,
// sharing no code with the engine) writes vaults that the program must open
// and show whole, and reads the vaults that the program makes here through
// its menus and dialogs. CTest runs the peer's writing step before these
// tests and its checking step after them, in the folder VL_CONFORMANCE_DIR;
// outside that run they are skipped.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/tests/Harness.h"
#include "engine/tests/native/peer/VaultListing.h"

using namespace harness;

namespace {

// The master password and iteration count shared with the peer's steps.
constexpr char kPassword[] = "Conformance-Pass-7";
constexpr char kIterationsSetting[] = "Iterations=5000";

std::string ConformanceDir() {
  const char* dir = std::getenv("VL_CONFORMANCE_DIR");
  return dir ? WinePath(dir) : "";
}

#define REQUIRE_CONFORMANCE_RUN()                                                                     \
  if (ConformanceDir().empty()) GTEST_SKIP() << "runs as app_conformance_tests between the peer's steps"

// A listing as vault_peer writes and reads it: group lines "group|path",
// entry lines "entry|id|group|title|username|password|url|automate|notes|icon".
struct TListedEntry {
  std::string Group, Title, Username, Password, Url, Automate, Notes;
  int Icon = 1;
};
struct TListing {
  std::vector<std::string> Groups;
  std::vector<TListedEntry> Entries;
};

using VaultListing::Escape;
using VaultListing::Fields;

bool ReadListing(const std::string& path, TListing& listing) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  for (std::string line; std::getline(f, line);) {
    const std::vector<std::string> v = Fields(line);
    if (v.size() == 2 && v[0] == "group") listing.Groups.push_back(v[1]);
    if (v.size() == 10 && v[0] == "entry")
      listing.Entries.push_back({v[2], v[3], v[4], v[5], v[6], v[7], v[8], std::atoi(v[9].c_str())});
  }
  return true;
}

bool WriteListing(const std::string& path, const TListing& listing) {
  std::string out;
  for (const std::string& g : listing.Groups) out += "group|" + Escape(g) + "\n";
  int id = 0;
  for (const TListedEntry& e : listing.Entries)
    out += "entry|" + std::to_string(++id) + "|" + Escape(e.Group) + "|" + Escape(e.Title) + "|" +
           Escape(e.Username) + "|" + Escape(e.Password) + "|" + Escape(e.Url) + "|" + Escape(e.Automate) + "|" +
           Escape(e.Notes) + "|" + std::to_string(e.Icon) + "\n";
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << out;
  return static_cast<bool>(f.flush());
}

// The running program with its main window, tree and list.
struct TProgram {
  explicit TProgram(TProgramFolder& folder) {
    const int p = folder.Start();
    if (p < 0) return;
    Pid = folder.Pid(p);
    Wnd = FindProcessWindow(Pid, "TFormMain", kWindowTimeout);
    if (!Wnd || !WaitFor([&] { return Visible(Wnd); }, kWindowTimeout)) return;
    Tree = ChildOfClass(Wnd, WC_TREEVIEWA);
    List = ChildOfClass(Wnd, WC_LISTVIEWA);
    // The start-up work (settings into the engine) is done before the
    // first command.
    Sleep(1000);
  }
  bool Ok() const { return Wnd && Tree && List; }
  int TreeCount() const { return static_cast<int>(SendMessageA(Tree, TVM_GETCOUNT, 0, 0)); }
  DWORD Pid = 0;
  HWND Wnd = nullptr, Tree = nullptr, List = nullptr;
};

std::vector<std::string> IniLines() { return {"CheckBoxLastFile=0", "CheckBoxMinimized=0", kIterationsSetting}; }

// The details panel's direct child edits, top to bottom: title, username,
// password, url, shortcut.
std::vector<HWND> DetailEdits(HWND panel) {
  std::vector<HWND> edits;
  for (HWND e : VisibleEdits(panel))
    if (GetParent(e) == panel) edits.push_back(e);
  return edits;
}

// The notes editor: the rich-edit child of the details panel (at any depth
// below parent).
HWND NotesEditor(HWND parent) {
  for (const char* cls : {"RICHEDIT50W", "RichEdit20W", "RichEdit20A", "RICHEDIT"})
    if (HWND w = ChildOfClass(parent, cls)) return w;
  return nullptr;
}

// Selects a row of the program's entry list, as a click does.
void SelectListRow(TRemoteItem& remote, HWND list, int row) {
  LVITEMA lv{};
  lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  lv.state = LVIS_SELECTED | LVIS_FOCUSED;
  remote.Read(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), lv);
}

// Both vaults the peer wrote (the default cascade and AES alone, each with
// well over 64 KiB of text) open with the password, and the program shows
// every field of every entry as the peer wrote it: each group lists its
// entries with their title, user name, URL, first line of notes and icon,
// and each entry chosen fills the details panel with its title, user name,
// password, URL and whole notes.
TEST(VaultConformance, TheProgramShowsEveryEntryOfTheVaultsThePeerWrote) {
  REQUIRE_CONFORMANCE_RUN();
  for (const std::string name : {"peer-cascade", "peer-aes"}) {
    SCOPED_TRACE(name);
    TListing listing;
    ASSERT_TRUE(ReadListing(ConformanceDir() + "\\" + name + ".txt", listing)) << "the peer's listing is missing";
    ASSERT_EQ(listing.Entries.size(), 150u);
    TProgramFolder folder(IniLines());
    TProgram program(folder);
    ASSERT_TRUE(program.Ok());
    TRemoteItem remote(program.Pid);
    ASSERT_TRUE(remote.Ok());
    PostMenuCommand(program.Wnd, kOpenOffset);
    ASSERT_TRUE(AnswerFileDialog(program.Pid, "Open Vaultline File", ConformanceDir() + "\\" + name + ".qvl"));
    ASSERT_TRUE(AnswerPassword(program.Pid, kPassword, 1));
    const std::string caption = name + ".qvl - Vaultline";
    ASSERT_TRUE(WaitFor([&] { return WindowText(program.Wnd) == caption; }, kWindowTimeout))
        << WindowText(program.Wnd);
    // No message box: the vault opened as it is.
    EXPECT_EQ(FindMessageBox(program.Pid, "Vaultline", 200), nullptr);

    const auto groups = TopTreeItems(remote, program.Tree);
    std::vector<std::string> names;
    for (const auto& g : groups) names.push_back(g.second);
    EXPECT_EQ(names, listing.Groups);
    HWND notes = NotesEditor(program.Wnd);
    ASSERT_NE(notes, nullptr);
    const std::vector<HWND> fields = DetailEdits(GetParent(notes));
    ASSERT_GE(fields.size(), 4u);
    std::size_t shown = 0;
    for (const auto& [item, group] : groups) {
      std::vector<const TListedEntry*> wanted;
      for (const TListedEntry& e : listing.Entries)
        if (e.Group == group) wanted.push_back(&e);
      SelectTreeItem(program.Tree, item);
      const int rows = static_cast<int>(SendMessageA(program.List, LVM_GETITEMCOUNT, 0, 0));
      EXPECT_EQ(rows, static_cast<int>(wanted.size())) << group;
      for (int row = 0; row < std::min(rows, static_cast<int>(wanted.size())); ++row) {
        const TListedEntry& e = *wanted[static_cast<std::size_t>(row)];
        SCOPED_TRACE(group + ": " + e.Title);
        ++shown;
        EXPECT_EQ(ListCell(remote, program.List, row, 0), e.Title);
        EXPECT_EQ(ListCell(remote, program.List, row, 1), e.Username);
        EXPECT_EQ(ListCell(remote, program.List, row, 2), e.Url);
        EXPECT_EQ(ListCell(remote, program.List, row, 3), e.Notes.substr(0, e.Notes.find("\r\n")));
        EXPECT_EQ(ListImage(remote, program.List, row), e.Icon);
        SelectListRow(remote, program.List, row);
        const std::string* values[] = {&e.Title, &e.Username, &e.Password, &e.Url};
        for (std::size_t f = 0; f < 4; ++f) EXPECT_EQ(EditText(fields[f]), *values[f]) << "field " << f;
        // The notes editor may take the text after the selection.
        WaitFor([&] { return EditText(notes) == e.Notes; }, 2000);
        EXPECT_EQ(EditText(notes), e.Notes);
      }
    }
    EXPECT_EQ(shown, listing.Entries.size());
    if (name == "peer-cascade") {
      EXPECT_NE(SaveScreenshot(program.Wnd, "conformance-peer-vault-opened"), "");
    }
    EXPECT_TRUE(ExitProgram(program.Wnd));
  }
}

// A notes text of about 10 KiB: lines a user could have typed.
std::string NotesFor(int entry) {
  std::string notes;
  for (int line = 0; line < 120; ++line)
    notes += (line ? "\r\n" : "") + std::string("Notes ") + std::to_string(entry) + "." + std::to_string(line) +
             ": account recovery codes, PIN hints and the answers to the security questions.";
  return notes;
}

BOOL CALLBACK FindCaptionChild(HWND w, LPARAM p) {
  auto* wanted = reinterpret_cast<std::pair<const char*, HWND>*>(p);
  if (WindowText(w) != wanted->first) return TRUE;
  wanted->second = w;
  return FALSE;
}

// The first child window with that caption, at any depth.
HWND ChildWithCaption(HWND parent, const char* caption) {
  std::pair<const char*, HWND> wanted{caption, nullptr};
  EnumChildWindows(parent, FindCaptionChild, reinterpret_cast<LPARAM>(&wanted));
  return wanted.second;
}

// Picks the single cipher on the settings dialog's "Current Vault" page
// (the page it opens on) and applies the dialog.
void ChooseSingleCipher(const TProgram& program, const char* caption) {
  PostMenuCommand(program.Wnd, kSettingsOffset);
  HWND dialog = WaitShown(program.Pid, "TFormSettings");
  ASSERT_NE(dialog, nullptr);
  // The "Current Vault" page's buttons are made first.
  HWND cipher = ChildWithCaption(dialog, caption);
  ASSERT_NE(cipher, nullptr) << caption;
  SendMessageA(cipher, BM_CLICK, 0, 0);
  ASSERT_EQ(SendMessageA(cipher, BM_GETCHECK, 0, 0), BST_CHECKED);
  HWND apply = ChildWithCaption(dialog, "&Apply");
  ASSERT_NE(apply, nullptr);
  PostMessageA(apply, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !Visible(dialog); }, kWindowTimeout));
}

// Vaults made as a user makes them: New with a master password, three
// groups through the group dialog, entries typed into the details panel
// with notes that take the vault text well over 64 KiB, and Save As; with
// the default cascade, and with ChaCha20 alone and AES alone chosen in the
// settings dialog. The peer's checking step reads them afterwards.
TEST(VaultConformance, TheProgramMakesVaultsForThePeerToRead) {
  REQUIRE_CONFORMANCE_RUN();
  struct Case {
    const char* name;
    const char* cipher;  // the settings dialog's choice, or none for the default
  } cases[] = {{"program-cascade", nullptr}, {"program-chacha20", "ChaCha20"}, {"program-aes", "AES"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TProgramFolder folder(IniLines());
    TProgram program(folder);
    ASSERT_TRUE(program.Ok());
    TRemoteItem remote(program.Pid);
    ASSERT_TRUE(remote.Ok());

    PostMenuCommand(program.Wnd, kNewOffset);
    ASSERT_TRUE(AnswerPassword(program.Pid, kPassword, 2));
    if (c.cipher) {
      ASSERT_NO_FATAL_FAILURE(ChooseSingleCipher(program, c.cipher));
    }

    TListing listing;
    listing.Groups = {"Mail", "Bank | Cards", "Travel"};
    for (const std::string& name : listing.Groups) {
      SelectTreeItem(program.Tree, nullptr);
      const int before = program.TreeCount();
      PostMenuCommand(program.Wnd, kAddGroupOffset);
      HWND groupDialog = WaitShown(program.Pid, "TFormIcon");
      ASSERT_NE(groupDialog, nullptr) << name;
      std::vector<HWND> edits = VisibleEdits(groupDialog);
      ASSERT_FALSE(edits.empty()) << name;
      SendMessageA(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
      PostMessageA(edits[0], WM_KEYDOWN, VK_RETURN, 0);
      ASSERT_TRUE(WaitFor([&] { return !Visible(groupDialog) && program.TreeCount() == before + 1; }, kWindowTimeout))
          << name;
    }
    const auto groups = TopTreeItems(remote, program.Tree);
    ASSERT_EQ(groups.size(), 3u);

    for (int i = 1; i <= 8; ++i) {
      TListedEntry e;
      const auto& group = groups[static_cast<std::size_t>(i % 3)];
      e.Group = group.second;
      e.Title = "Account " + std::to_string(i);
      e.Username = "user" + std::to_string(i) + "@example.org";
      e.Password = "S3cret-" + std::to_string(i * 7919) + "!x";
      e.Url = "https://login" + std::to_string(i) + ".example.org/";
      e.Automate = "USERNAME TAB PASSWORD ENTER";  // what Add Entry puts into the details panel
      e.Icon = 1;  // Add Entry gives the group's icon, or 1 for the groups of icon 0 made here
      e.Notes = NotesFor(i);
      SelectTreeItem(program.Tree, group.first);
      SendMessageA(program.Wnd, WM_COMMAND, MAKEWPARAM(kFirstMenuCommand + kAddEntryOffset, 0), 0);
      HWND title = FocusOf(program.Wnd);
      ASSERT_NE(title, nullptr);
      const std::vector<HWND> fields = DetailEdits(GetParent(title));
      ASSERT_GE(fields.size(), 4u);
      ASSERT_EQ(fields[0], title);
      const std::string* values[] = {&e.Title, &e.Username, &e.Password, &e.Url};
      for (std::size_t f = 0; f < 4; ++f)
        SendMessageA(fields[f], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(values[f]->c_str()));
      HWND notes = NotesEditor(GetParent(title));
      ASSERT_NE(notes, nullptr);
      SendMessageA(notes, EM_SETSEL, 0, -1);
      SendMessageA(notes, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(e.Notes.c_str()));
      listing.Entries.push_back(e);
    }
    if (c.cipher) {
      EXPECT_NE(SaveScreenshot(program.Wnd, "conformance-program-vault-made"), "");
    }

    const std::string vault = ConformanceDir() + "\\" + c.name + ".qvl";
    PostMenuCommand(program.Wnd, kSaveAsOffset);
    ASSERT_TRUE(AnswerFileDialog(program.Pid, "Save Vaultline File", vault));
    const std::string caption = std::string(c.name) + ".qvl - Vaultline";
    ASSERT_TRUE(WaitFor([&] { return WindowText(program.Wnd) == caption; }, kWindowTimeout))
        << WindowText(program.Wnd);
    ASSERT_TRUE(WriteListing(ConformanceDir() + "\\" + c.name + ".txt", listing));
    EXPECT_TRUE(ExitProgram(program.Wnd));
  }
}

}  // namespace
