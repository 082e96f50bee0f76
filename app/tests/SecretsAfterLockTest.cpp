// No plaintext stays in the real program's memory after Lock and after
// Close: the program opens a vault whose every field carries a marker, shows
// an entry (its details and notes), then locks or closes, and the test reads
// all of the program's committed, readable memory and looks for every
// marker, as ANSI and as UTF-16LE, and for the master password and the
// session key.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
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

constexpr char kPassword[] = "Mk-Master-Pass-7QZ";
constexpr int kEntries = 40;

// A marker no other text of the program or the system holds: the field,
// the entry and a fixed tail.
std::string Marker(const char* field, int entry) {
  return std::string("QZX") + field + std::to_string(1000 + entry) + "JWVK";
}

struct TField {
  const char* Name;
  std::string TVaultEntry::*Member;
};
const TField kFields[] = {{"Title", &TVaultEntry::title},     {"User", &TVaultEntry::username},
                          {"Pass", &TVaultEntry::password},   {"Url", &TVaultEntry::url},
                          {"Note", &TVaultEntry::notes}};

std::string VaultText() {
  TVaultModel model;
  TVaultGroup* groups[] = {model.Groups.Add(nullptr, "Alpha", 2), model.Groups.Add(nullptr, "Beta", 3)};
  for (int i = 1; i <= kEntries; ++i) {
    auto e = std::make_unique<TVaultEntry>();
    e->id = i;
    e->group = groups[i % 2];
    for (const TField& f : kFields) (*e).*f.Member = Marker(f.Name, i);
    e->notes += "\r\nsecond line " + Marker("Note2", i);
    model.Entries.push_back(std::move(e));
  }
  return BuildVaultText(model);
}

std::string SessionKey() {
  TQEnc e(nullptr);
  e.SetIterations(5000);
  return e.DeriveSessionKey(kPassword);
}

std::string Utf16(const std::string& ansi) {
  std::string wide;
  for (char c : ansi) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

// A place where a secret was found.
struct THit {
  std::string Secret;
  bool Wide;
  std::uintptr_t Address;
  DWORD Type;  // MEM_IMAGE, MEM_MAPPED or MEM_PRIVATE
  std::string Around;  // the printable bytes around it
};

std::string Printable(const std::string& bytes) {
  std::string out;
  for (char c : bytes) out += (c >= 32 && c < 127) ? c : '.';
  return out;
}

// Every committed, readable page of the process, region by region, searched
// for every secret as ANSI and as UTF-16LE.
std::vector<THit> ScanProcess(HANDLE process, const std::vector<std::string>& secrets) {
  std::vector<THit> hits;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  auto at = reinterpret_cast<std::uintptr_t>(info.lpMinimumApplicationAddress);
  const auto end = reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress);
  std::string data;
  while (at < end) {
    MEMORY_BASIC_INFORMATION m{};
    if (VirtualQueryEx(process, reinterpret_cast<void*>(at), &m, sizeof m) != sizeof m) break;
    const auto base = reinterpret_cast<std::uintptr_t>(m.BaseAddress);
    const bool readable = m.State == MEM_COMMIT && !(m.Protect & (PAGE_NOACCESS | PAGE_GUARD)) && m.Protect != 0;
    if (readable) {
      data.assign(m.RegionSize, '\0');
      SIZE_T got = 0;
      if (ReadProcessMemory(process, m.BaseAddress, data.data(), m.RegionSize, &got) || got > 0) {
        data.resize(got);
        for (const std::string& secret : secrets)
          for (bool wide : {false, true}) {
            const std::string needle = wide ? Utf16(secret) : secret;
            for (std::size_t p = data.find(needle); p != std::string::npos; p = data.find(needle, p + 1)) {
              const std::size_t from = p > 48 ? p - 48 : 0;
              hits.push_back({secret, wide, base + p, m.Type, Printable(data.substr(from, needle.size() + 96))});
            }
          }
      }
    }
    if (base + m.RegionSize <= at) break;
    at = base + m.RegionSize;
  }
  return hits;
}

// The hits as copies: runs of hits of one encoding less than 4 KiB apart,
// each with its size in secrets and the bytes around its first one.
std::string Describe(std::vector<THit> hits) {
  std::sort(hits.begin(), hits.end(), [](const THit& a, const THit& b) {
    return a.Wide != b.Wide ? a.Wide < b.Wide : a.Address < b.Address;
  });
  std::string out;
  for (std::size_t i = 0; i < hits.size();) {
    std::size_t j = i + 1;
    while (j < hits.size() && hits[j].Wide == hits[i].Wide && hits[j].Address - hits[j - 1].Address < 4096) ++j;
    const THit& h = hits[i];
    char line[160];
    std::snprintf(line, sizeof line, "  %s copy at %#llx (%s), %u secrets, first %s: ", h.Wide ? "UTF-16" : "ANSI",
                  static_cast<unsigned long long>(h.Address),
                  h.Type == MEM_IMAGE ? "image" : h.Type == MEM_MAPPED ? "mapped" : "private",
                  static_cast<unsigned>(j - i), h.Secret.c_str());
    out += line + h.Around + "\n";
    i = j;
  }
  return out;
}

std::vector<std::string> Secrets() {
  std::vector<std::string> secrets = {kPassword, SessionKey()};
  for (int i = 1; i <= kEntries; ++i) {
    for (const TField& f : kFields) secrets.push_back(Marker(f.Name, i));
    secrets.push_back(Marker("Note2", i));
  }
  return secrets;
}

// The program with the marked vault open, one entry shown in the details
// panel and its notes in the notes editor.
struct TOpenVault {
  TOpenVault() : folder({"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"}) {}
  void Open() {
    const std::string vault = folder.File("marked.qvl");
    ASSERT_TRUE(WriteProgramVault(vault, VaultText(), kPassword));
    TOpenedVault opened;
    ASSERT_TRUE(StartOnVault(folder, vault, kPassword, opened)) << WindowText(opened.Window);
    pid = opened.Pid;
    wnd = opened.Window;
    HWND list = ChildOfClass(wnd, WC_LISTVIEWA);
    HWND tree = ChildOfClass(wnd, WC_TREEVIEWA);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(tree, nullptr);
    // The first group lists its entries; the first entry shows in the
    // details and the notes.
    TRemoteItem remote(pid);
    ASSERT_TRUE(remote.Ok());
    const auto groups = TopTreeItems(remote, tree);
    ASSERT_EQ(groups.size(), 2u);
    SelectTreeItem(tree, groups[0].first);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, kWindowTimeout));
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    remote.Send(list, LVM_SETITEMSTATE, 0, item);
    ASSERT_TRUE(WaitFor(
        [&] {
          for (HWND e : VisibleEdits(wnd))
            if (EditText(e).rfind("QZXTitle", 0) == 0) return (title = e) != nullptr;
          return false;
        },
        kWindowTimeout));
    process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    ASSERT_NE(process, nullptr);
    // Before the lock the scan finds the shown entry: it sees what the
    // program holds.
    const std::vector<THit> before = ScanProcess(process, {Marker("Pass", 2), Marker("Note", 2)});
    ASSERT_FALSE(before.empty());
  }
  ~TOpenVault() {
    if (process) CloseHandle(process);
    if (wnd) ExitProgram(wnd);
  }
  // Edits the shown entry's title (the whole text is built again) and
  // saves the vault (the text is encrypted into the file).
  void EditAndSave() {
    const std::string edited = Marker("Title", 2) + " edited " + Marker("Pass", 2);
    SendMessageA(title, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(edited.c_str()));
    ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) != "marked.qvl - Vaultline"; }, kWindowTimeout));
    PostMenuCommand(wnd, kSaveOffset);
    ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "marked.qvl - Vaultline"; }, kWindowTimeout))
        << WindowText(wnd);
  }
  TProgramFolder folder;
  DWORD pid = 0;
  HWND wnd = nullptr;
  HWND title = nullptr;  // the details panel's title edit
  HANDLE process = nullptr;
};

TEST(SecretsAfterLock, LockLeavesNoMarkerOfTheVaultInTheProgramsMemory) {
  TOpenVault v;
  ASSERT_NO_FATAL_FAILURE(v.Open());
  PostMenuCommand(v.wnd, kLockOffset);
  HWND tree = ChildOfClass(v.wnd, WC_TREEVIEWA);
  ASSERT_TRUE(WaitFor([&] { return SendMessageA(tree, TVM_GETCOUNT, 0, 0) == 0; }, kWindowTimeout));
  Sleep(500);  // the timers that run after a lock
  const std::vector<THit> hits = ScanProcess(v.process, Secrets());
  EXPECT_TRUE(hits.empty()) << hits.size() << " secrets left after Lock, in these copies:\n" << Describe(hits);
}

TEST(SecretsAfterLock, LockAfterAnEditAndASaveLeavesNoMarkerInTheProgramsMemory) {
  TOpenVault v;
  ASSERT_NO_FATAL_FAILURE(v.Open());
  ASSERT_NO_FATAL_FAILURE(v.EditAndSave());
  PostMenuCommand(v.wnd, kLockOffset);
  HWND tree = ChildOfClass(v.wnd, WC_TREEVIEWA);
  ASSERT_TRUE(WaitFor([&] { return SendMessageA(tree, TVM_GETCOUNT, 0, 0) == 0; }, kWindowTimeout));
  Sleep(500);
  const std::vector<THit> hits = ScanProcess(v.process, Secrets());
  EXPECT_TRUE(hits.empty()) << hits.size() << " secrets left after an edit, a save and Lock, in these copies:\n"
                            << Describe(hits);
}

TEST(SecretsAfterLock, CloseLeavesNoMarkerOfTheVaultInTheProgramsMemory) {
  TOpenVault v;
  ASSERT_NO_FATAL_FAILURE(v.Open());
  PostMenuCommand(v.wnd, kCloseOffset);
  ASSERT_TRUE(WaitFor([&] { return WindowText(v.wnd) == "Untitled - Vaultline"; }, kWindowTimeout))
      << WindowText(v.wnd);
  Sleep(500);
  const std::vector<THit> hits = ScanProcess(v.process, Secrets());
  EXPECT_TRUE(hits.empty()) << hits.size() << " secrets left after Close, in these copies:\n" << Describe(hits);
}

}  // namespace
