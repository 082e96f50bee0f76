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
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/model/VaultText.h"
#include "app/tests/Harness.h"
#include "base/SysUtils.h"
#include "engine/QEnc.h"

using namespace harness;

namespace {

constexpr DWORD kTimeout = kWindowTimeout;

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

// Adds an entry with its id, group and title to model.
TVaultEntry* AddEntry(TVaultModel& model, int id, TVaultGroup* group, const std::string& title) {
  auto e = std::make_unique<TVaultEntry>();
  e->id = id;
  e->group = group;
  e->title = title;
  model.Entries.push_back(std::move(e));
  return model.Entries.back().get();
}

HTREEITEM TreeNext(HWND tree, UINT code, HTREEITEM from) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(from)));
}

HTREEITEM SelectedTreeItem(HWND tree) { return TreeNext(tree, TVGN_CARET, nullptr); }

// Every item of a tree view, parents before their children.
std::vector<HTREEITEM> AllTreeItems(HWND tree) {
  std::vector<HTREEITEM> items;
  std::vector<HTREEITEM> stack;
  for (HTREEITEM i = TreeNext(tree, TVGN_ROOT, nullptr); i; i = TreeNext(tree, TVGN_NEXT, i)) stack.push_back(i);
  std::reverse(stack.begin(), stack.end());
  while (!stack.empty()) {
    HTREEITEM item = stack.back();
    stack.pop_back();
    items.push_back(item);
    std::vector<HTREEITEM> children;
    for (HTREEITEM c = TreeNext(tree, TVGN_CHILD, item); c; c = TreeNext(tree, TVGN_NEXT, c)) children.push_back(c);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return items;
}

// Two groups and three entries made through the menus, the group dialog and
// the details panel are written as the engine of this process reads them,
// and after Close and Open with the password the window shows them again.
TEST(VaultProgram, AVaultMadeThroughTheMenusIsWrittenAsTheEngineReadsIt) {
  TProgramFolder folder({"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"});
  const int p = folder.Start();
  ASSERT_GE(p, 0);
  const DWORD pid = folder.Pid(p);
  HWND wnd = FindProcessWindow(pid, "TFormMain", kTimeout);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Visible(wnd); }, kTimeout));
  HWND tree = ChildOfClass(wnd, WC_TREEVIEWA);
  HWND list = ChildOfClass(wnd, WC_LISTVIEWA);
  ASSERT_NE(tree, nullptr);
  ASSERT_NE(list, nullptr);
  TRemoteItem remote(pid);
  ASSERT_TRUE(remote.Ok());
  auto treeCount = [&] { return static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0)); };
  // The start-up work (settings into the engine) is done before the first
  // command.
  Sleep(1000);
  const std::string password = "Correct-Horse-42x";
  const std::string vault = folder.File("made.qvl");

  // New: a new master password, typed twice.
  PostMenuCommand(wnd, kNewOffset);
  ASSERT_TRUE(AnswerPassword(pid, password, 2));
  // Two top-level groups through the group dialog: with no group selected
  // a new group goes to the top level.
  for (const char* name : {"Mail", "Bank"}) {
    SelectTreeItem(tree, nullptr);
    const int before = treeCount();
    PostMenuCommand(wnd, kAddGroupOffset);
    HWND groupDialog = WaitShown(pid, "TFormIcon");
    ASSERT_NE(groupDialog, nullptr) << name;
    std::vector<HWND> edits = VisibleEdits(groupDialog);
    ASSERT_FALSE(edits.empty()) << name;
    SendMessageA(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
    PostMessageA(edits[0], WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitFor([&] { return !Visible(groupDialog) && treeCount() == before + 1; }, kTimeout)) << name;
  }
  auto groups = TopTreeItems(remote, tree);
  ASSERT_EQ(groups.size(), 2u);
  // Entries: each title typed into the details panel's title edit, which
  // Add Entry empties and focuses (the command is sent: it opens no dialog,
  // and the focus is read once it has run).
  const struct {
    std::size_t group;
    const char* title;
    int rows;  // the group's list after the title is typed
  } entries[] = {{0, "Gmail", 1}, {0, "Outlook", 2}, {1, "Chase", 1}};
  HWND title = nullptr;
  for (const auto& e : entries) {
    SelectTreeItem(tree, groups[e.group].first);
    SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(kFirstMenuCommand + kAddEntryOffset, 0), 0);
    HWND focus = FocusOf(wnd);
    char cls[32] = {};
    if (focus) GetClassNameA(focus, cls, sizeof cls);
    ASSERT_EQ(lstrcmpiA(cls, "Edit"), 0) << e.title << ": " << cls;
    if (title) {
      ASSERT_EQ(focus, title) << e.title;
    }
    title = focus;
    EXPECT_EQ(EditText(title), "") << e.title;
    SendMessageA(title, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(e.title));
    EXPECT_EQ(static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)), e.rows) << e.title;
  }

  // Save As through the system's dialog.
  PostMenuCommand(wnd, kSaveAsOffset);
  ASSERT_TRUE(AnswerFileDialog(pid, "Save Vaultline File", vault));
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "made.qvl - Vaultline"; }, kTimeout)) << WindowText(wnd);

  // What the program wrote is read by the engine of this process.
  TQEnc engine(nullptr);
  engine.SetCompatibilityMode(false);  // as the main form's engine
  engine.SetKey(KeyFor(password, 5000));
  const std::string text = engine.DecryptFileToString(vault);
  ASSERT_EQ(engine.LastError(), ErrNone) << TQEnc::ErrorToString(engine.LastError());
  EXPECT_EQ(engine.Algorithm(), qeaTwofishCTR);
  EXPECT_EQ(engine.Algorithm2(), qeaAES128CTR);
  EXPECT_EQ(engine.Algorithm3(), qeaChaCha20);
  EXPECT_EQ(engine.Iterations(), 5000);
  TVaultModel model;
  ParseVaultText(text, model);
  ASSERT_EQ(model.Groups.Count(), 2);
  ASSERT_EQ(model.Entries.size(), 3u);
  TVaultGroup* mail = model.Groups.TopItem(0);
  TVaultGroup* bank = model.Groups.TopItem(1);
  EXPECT_EQ(mail->Caption(), "Mail");
  EXPECT_EQ(bank->Caption(), "Bank");
  EXPECT_EQ(model.Groups.Nodes().size(), 2u);
  const std::pair<const char*, TVaultGroup*> expected[] = {{"Gmail", mail}, {"Outlook", mail}, {"Chase", bank}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(model.Entries[i]->id, static_cast<int>(i + 1));
    EXPECT_EQ(model.Entries[i]->title, expected[i].first);
    EXPECT_EQ(model.Entries[i]->group, expected[i].second) << expected[i].first;
  }
  EXPECT_EQ(BuildVaultText(model), text);

  // Close, then Open with the password.
  PostMenuCommand(wnd, kCloseOffset);
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "Untitled - Vaultline"; }, kTimeout)) << WindowText(wnd);
  EXPECT_EQ(treeCount(), 0);
  EXPECT_NE(ReadFileBytes(vault + ".lock").find("active=0"), std::string::npos);
  PostMenuCommand(wnd, kOpenOffset);
  ASSERT_TRUE(AnswerFileDialog(pid, "Open Vaultline File", vault));
  ASSERT_TRUE(AnswerPassword(pid, password, 1));
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "made.qvl - Vaultline"; }, kTimeout)) << WindowText(wnd);
  EXPECT_NE(ReadFileBytes(vault + ".lock").find("active=1"), std::string::npos);
  // The settings file remembers the vault.
  EXPECT_NE(ReadFileBytes(folder.File("Vaultline.ini")).find("LastOpenedFile=" + vault), std::string::npos);

  // The reopened window: both groups in the tree, the first one selected
  // and listing its entries without a click; each lists its own.
  EXPECT_EQ(treeCount(), 2);
  groups = TopTreeItems(remote, tree);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].second, "Mail");
  EXPECT_EQ(groups[1].second, "Bank");
  EXPECT_EQ(SelectedTreeItem(tree), groups[0].first);
  EXPECT_EQ(ListTitles(remote, list), (std::vector<std::string>{"Gmail", "Outlook"}));
  EXPECT_NE(SaveScreenshot(wnd, "main-window-reopened-vault"), "");
  SelectTreeItem(tree, groups[1].first);
  EXPECT_EQ(ListTitles(remote, list), std::vector<std::string>{"Chase"});
  SelectTreeItem(tree, groups[0].first);
  EXPECT_EQ(ListTitles(remote, list), (std::vector<std::string>{"Gmail", "Outlook"}));
}

// A vault path given at start: after the password the window shows every
// group expanded, the first group selected and its entries listed.
TEST(VaultProgram, AVaultGivenAtStartIsShownWithTheFirstGroupListed) {
  TProgramFolder folder({"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"});
  const std::string vault = folder.File("start.qvl");
  const std::string password = "Correct-Horse-42x";
  {
    TVaultModel model;
    TVaultGroup* mail = model.Groups.Add(nullptr, "Mail", 3);
    TVaultGroup* work = model.Groups.Add(mail, "Work", 23);
    model.Groups.Add(work, "Archive", 45);
    TVaultGroup* bank = model.Groups.Add(nullptr, "Bank", 5);
    model.Groups.Add(bank, "Cards", 4);
    const std::pair<TVaultGroup*, const char*> rows[] = {
        {bank, "Chase"}, {mail, "Gmail"}, {work, "Office"}, {mail, "Outlook"}};
    int id = 0;
    for (const auto& [group, title] : rows) AddEntry(model, ++id, group, title);
    ASSERT_TRUE(WriteProgramVault(vault, BuildVaultText(model), password));
  }
  TOpenedVault opened;
  ASSERT_TRUE(StartOnVault(folder, vault, password, opened)) << WindowText(opened.Window);
  const DWORD pid = opened.Pid;
  HWND wnd = opened.Window;
  HWND tree = ChildOfClass(wnd, WC_TREEVIEWA);
  HWND list = ChildOfClass(wnd, WC_LISTVIEWA);
  ASSERT_NE(tree, nullptr);
  ASSERT_NE(list, nullptr);
  TRemoteItem remote(pid);
  ASSERT_TRUE(remote.Ok());

  const auto top = TopTreeItems(remote, tree);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0].second, "Mail");
  EXPECT_EQ(SelectedTreeItem(tree), top[0].first);
  // Every group that has subgroups is open, down to the deepest.
  int withChildren = 0;
  for (HTREEITEM item : AllTreeItems(tree)) {
    if (!TreeNext(tree, TVGN_CHILD, item)) continue;
    ++withChildren;
    const auto state = static_cast<UINT>(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED));
    EXPECT_TRUE(state & TVIS_EXPANDED);
  }
  EXPECT_EQ(withChildren, 3);
  EXPECT_EQ(static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0)), 5);
  EXPECT_EQ(ListTitles(remote, list), (std::vector<std::string>{"Gmail", "Outlook"}));
  EXPECT_NE(SaveScreenshot(wnd, "main-window-vault-given-at-start"), "");
  ASSERT_TRUE(ExitProgram(wnd));
  EXPECT_EQ(folder.WaitExit(opened.Index, kTimeout), 0);
}

// A tree item's row (its text only) in the tree's client area.
RECT TreeItemRect(TRemoteItem& remote, HWND tree, HTREEITEM item) {
  RECT r{};
  std::memcpy(&r, &item, sizeof item);
  return remote.Read(tree, TVM_GETITEMRECT, TRUE, r);
}

// The colour most pixels of a rectangle of a picture have.
std::uint32_t CommonColour(const std::vector<std::uint32_t>& pixels, int width, int height, const RECT& r) {
  std::map<std::uint32_t, int> counts;
  for (int y = std::max(0, static_cast<int>(r.top)); y < std::min(height, static_cast<int>(r.bottom)); ++y)
    for (int x = std::max(0, static_cast<int>(r.left)); x < std::min(width, static_cast<int>(r.right)); ++x)
      ++counts[pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF];
  std::pair<std::uint32_t, int> most{0, -1};
  for (const auto& c : counts)
    if (c.second > most.second) most = c;
  return most.first;
}

int ColourDistance(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int shift : {0, 8, 16}) d += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return d;
}

// After a read the keys go to the group tree, and its chosen group's row
// stands out from the row below it as a focused selection does (an
// unfocused one is drawn a shade off the background). The tree's picture
// is written to <build tree>/screenshots/<shot>.png.
void ExpectKeysInTheGroupTree(HWND wnd, TRemoteItem& remote, const std::string& shot) {
  HWND tree = ChildOfClass(wnd, WC_TREEVIEWA);
  ASSERT_NE(tree, nullptr);
  EXPECT_TRUE(WaitFor([&] { return FocusOf(wnd) == tree; }, kTimeout)) << "the focus is on " << FocusOf(wnd);
  const HTREEITEM selected = SelectedTreeItem(tree);
  ASSERT_NE(selected, nullptr);
  const HTREEITEM below = TreeNext(tree, TVGN_NEXTVISIBLE, selected);
  ASSERT_NE(below, nullptr);
  Sleep(300);  // the tree repaints its selection
  int w = 0, h = 0;
  std::vector<std::uint32_t> pixels;
  ASSERT_TRUE(CaptureWindow(tree, w, h, pixels));
  const std::filesystem::path dir = std::filesystem::path(VL_BINARY_DIR) / "screenshots";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  EXPECT_TRUE(WritePng((dir / (shot + ".png")).string(), w, h, pixels));
  // Client points in the picture of the whole window (its border first).
  RECT window{};
  GetWindowRect(tree, &window);
  POINT origin{0, 0};
  ClientToScreen(tree, &origin);
  RECT chosen = TreeItemRect(remote, tree, selected);
  const RECT next = TreeItemRect(remote, tree, below);
  ASSERT_LT(chosen.left, chosen.right);
  OffsetRect(&chosen, origin.x - window.left, origin.y - window.top);
  RECT under = chosen;  // the same columns one row lower
  OffsetRect(&under, 0, next.top - TreeItemRect(remote, tree, selected).top);
  const std::uint32_t selectedColour = CommonColour(pixels, w, h, chosen);
  const std::uint32_t belowColour = CommonColour(pixels, w, h, under);
  EXPECT_GE(ColourDistance(selectedColour, belowColour), 120)
      << std::hex << "selected row #" << selectedColour << ", the row below #" << belowColour;
}

// Every way a vault is read, and New, leave the keyboard in the group tree:
// a path given at start, the unlock of a vault locked to the tray, a path
// handed over by a second start, File > Open and New. Before each, Add
// Entry puts the focus into the details panel.
TEST(VaultProgram, EveryReadAndNewLeaveTheKeysInTheGroupTree) {
  TProgramFolder folder({"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"});
  const std::string password = "Correct-Horse-42x";
  const std::string first = folder.File("first.qvl"), second = folder.File("second.qvl");
  for (const std::string& vault : {first, second}) {
    TVaultModel model;
    TVaultGroup* mail = model.Groups.Add(nullptr, "Mail", 3);
    model.Groups.Add(nullptr, "Bank", 5);
    model.Groups.Add(nullptr, "Travel", 7);
    AddEntry(model, 1, mail, "Gmail");
    ASSERT_TRUE(WriteProgramVault(vault, BuildVaultText(model), password));
  }
  TOpenedVault opened;
  ASSERT_TRUE(StartOnVault(folder, first, password, opened)) << WindowText(opened.Window);
  const DWORD pid = opened.Pid;
  HWND wnd = opened.Window;
  TRemoteItem remote(pid);
  ASSERT_TRUE(remote.Ok());
  ASSERT_NO_FATAL_FAILURE(ExpectKeysInTheGroupTree(wnd, remote, "group-tree-focused-after-start"));

  auto focusElsewhere = [&] {
    SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(kFirstMenuCommand + kAddEntryOffset, 0), 0);
    HWND focus = FocusOf(wnd);
    char cls[32] = {};
    if (focus) GetClassNameA(focus, cls, sizeof cls);
    if (lstrcmpiA(cls, "Edit") == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Add Entry left the focus on " << cls;
  };
  auto captionIs = [&](const std::string& caption) {
    return WaitFor([&] { return WindowText(wnd) == caption; }, kTimeout);
  };

  // Unlock: the window comes back from the tray with the prompt.
  ASSERT_TRUE(focusElsewhere());
  PostMenuCommand(wnd, kLockOffset);
  ASSERT_TRUE(captionIs("[Locked] first.qvl - Vaultline")) << WindowText(wnd);
  const int unlocker = folder.Start();
  ASSERT_TRUE(AnswerPassword(pid, password, 1));
  EXPECT_EQ(folder.WaitExit(unlocker, kTimeout), 0);
  ASSERT_TRUE(captionIs("first.qvl - Vaultline")) << WindowText(wnd);
  ASSERT_NO_FATAL_FAILURE(ExpectKeysInTheGroupTree(wnd, remote, "group-tree-focused-after-unlock"));

  // A second start hands over another vault (same password: no prompt).
  ASSERT_TRUE(focusElsewhere());
  const int handOver = folder.Start("\"" + second + "\"");
  EXPECT_EQ(folder.WaitExit(handOver, kTimeout), 0);
  ASSERT_TRUE(captionIs("second.qvl - Vaultline")) << WindowText(wnd);
  ASSERT_NO_FATAL_FAILURE(ExpectKeysInTheGroupTree(wnd, remote, "group-tree-focused-after-hand-over"));

  // File > Open.
  ASSERT_TRUE(focusElsewhere());
  PostMenuCommand(wnd, kOpenOffset);
  ASSERT_TRUE(AnswerFileDialog(pid, "Open Vaultline File", first));
  ASSERT_TRUE(captionIs("first.qvl - Vaultline")) << WindowText(wnd);
  ASSERT_NO_FATAL_FAILURE(ExpectKeysInTheGroupTree(wnd, remote, "group-tree-focused-after-open"));

  // New: an empty tree, but the keys are there for the first group.
  ASSERT_TRUE(focusElsewhere());
  PostMenuCommand(wnd, kNewOffset);
  ASSERT_TRUE(AnswerPassword(pid, "Another-Horse-43y", 2));
  ASSERT_TRUE(captionIs("Untitled - Vaultline")) << WindowText(wnd);
  EXPECT_TRUE(WaitFor([&] { return FocusOf(wnd) == ChildOfClass(wnd, WC_TREEVIEWA); }, kTimeout));

  ASSERT_TRUE(ExitProgram(wnd));
  EXPECT_EQ(folder.WaitExit(opened.Index, kTimeout), 0);
}

// KeePass icons through the program: imported icons 1, 2, 35 and 68 become
// the vault's icons 235, 236, 269 and 302, shown as such in the entry list,
// and an export writes the same KeePass numbers again.
TEST(VaultProgram, KeePassIconsAreImportedShownAndExportedAgain) {
  TProgramFolder folder({"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"});
  const std::string source = folder.File("keepass.txt");
  const std::string exported = folder.File("exported.txt");
  {
    std::string text = "\xEF\xBB\xBF";
    const std::pair<const char*, int> rows[] = {{"Web", 1}, {"Alarm", 2}, {"Remote", 35}, {"Berry", 68}};
    for (const auto& [title, icon] : rows)
      text += std::string("[") + title + "]\r\nGroup: Imported\r\nGroup Tree: \r\nUser Name: u\r\nURL: \r\n" +
              "Password: p\r\nNotes: \r\nIcon: " + std::to_string(icon) + "\r\n\r\n";
    FILE* f = std::fopen(source.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const int p = folder.Start();
  ASSERT_GE(p, 0);
  const DWORD pid = folder.Pid(p);
  HWND wnd = FindProcessWindow(pid, "TFormMain", kTimeout);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Visible(wnd); }, kTimeout));
  Sleep(1000);
  HWND list = ChildOfClass(wnd, WC_LISTVIEWA);
  ASSERT_NE(list, nullptr);
  TRemoteItem remote(pid);
  ASSERT_TRUE(remote.Ok());
  auto answerBox = [&](const char* caption, int button) {
    HWND box = FindMessageBox(pid, caption, kTimeout);
    if (!box) return false;
    PressMessageBoxButton(box, button);
    return WaitFor([&] { return !IsWindow(box) || !Visible(box); }, kTimeout);
  };

  PostMenuCommand(wnd, kNewOffset);
  ASSERT_TRUE(AnswerPassword(pid, "Correct-Horse-42x", 2));
  PostMenuCommand(wnd, kImportOffset);
  ASSERT_TRUE(AnswerFileDialog(pid, "Import KeePass Text File", source));
  ASSERT_TRUE(answerBox("KeePass Import", IDYES));  // the plain-text warning
  ASSERT_TRUE(answerBox("KeePass Import", IDOK));   // the summary
  ASSERT_EQ(ListTitles(remote, list), (std::vector<std::string>{"Web", "Alarm", "Remote", "Berry"}));
  std::vector<int> icons;
  for (int i = 0; i < 4; ++i) icons.push_back(ListImage(remote, list, i));
  EXPECT_EQ(icons, (std::vector<int>{235, 236, 269, 302}));

  PostMenuCommand(wnd, kExportOffset);
  ASSERT_TRUE(answerBox("KeePass Export", IDYES));
  ASSERT_TRUE(AnswerFileDialog(pid, "Export KeePass Text File", exported));
  ASSERT_TRUE(answerBox("KeePass Export", IDOK));
  const std::string written = ReadFileBytes(exported);
  std::vector<std::string> iconLines;
  for (std::size_t at = written.find("Icon: "); at != std::string::npos; at = written.find("Icon: ", at + 1))
    iconLines.push_back(written.substr(at, written.find("\r\n", at) - at));
  EXPECT_EQ(iconLines, (std::vector<std::string>{"Icon: 1", "Icon: 2", "Icon: 35", "Icon: 68"}));
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
      TVaultEntry* e = AddEntry(model, i, groups[static_cast<std::size_t>(i % 20)], "Entry " + IntToStr(i));
      e->username = "user" + IntToStr(i) + "@example.com";
      e->password = "pw-" + IntToStr(i * 7919) + "-Xy!";
      e->url = "https://site" + IntToStr(i) + ".example/login";
      e->notes = "first line of notes " + IntToStr(i) + "\r\nsecond line";
    }
    TQEnc engine(nullptr);
    engine.SetCompatibilityMode(false);  // as the main form's engine
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
