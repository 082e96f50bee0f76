// No plaintext stays in the real program's memory after Lock, Close, New or
// the Open of another vault. The program opens a vault whose every field
// starts and ends with a marker (and whose long notes carry one on every
// line), is driven through a scenario (entries shown one after another,
// long notes, typing, the mouse), and then the test reads all of the
// program's committed, readable memory and looks for every marker, as ANSI
// and as UTF-16LE, and for the master password and the session key.
//
// Before the end of each scenario the same scan must see the shown entry's
// first and last markers in the controls' UTF-16 text: a scan that sees
// nothing fails there.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/model/VaultText.h"
#include "app/tests/Harness.h"
#include "engine/QEnc.h"

using namespace harness;

namespace {

constexpr char kPassword[] = "Mk-Master-Pass-7QZ";
constexpr char kNewPassword[] = "Mk-Fresh-Pass-4WD";

// Every marker of the vault that must go: "QZX", a field letter, where in
// the field it stands, the entry and "JWVK". The other vault's markers
// start with "QZY" and are not looked for.
constexpr char kHead[] = "QZX";
constexpr char kTail[] = "JWVK";

std::string Mark(const std::string& head, char field, const std::string& where, int entry) {
  return head + field + where + "-" + std::to_string(entry) + kTail;
}

// The fields as the details panel shows them; 'N' is the notes.
struct TField {
  char Letter;
  std::string TVaultEntry::*Member;
};
const TField kFields[] = {{'T', &TVaultEntry::title},
                          {'U', &TVaultEntry::username},
                          {'P', &TVaultEntry::password},
                          {'R', &TVaultEntry::url},
                          {'N', &TVaultEntry::notes}};

// The entries of the first group, in the list's order (by number).
enum TShown { kLong, kShort, kNotes1400, kNotes1600, kNotes3000, kShownCount };
constexpr int kFirstId = 1001;
constexpr int kNoteLines[kShownCount] = {3, 1, 1400, 1600, 3000};
constexpr int kOtherEntries = 6;  // in the second group, never shown

// A field between its two markers. The long entry's fields are long, the
// others' short, so that a wipe as long as the text now shown misses the
// end of a longer one shown before; each title has a length of its own, by
// which the test sees which entry is shown.
std::string FieldText(const std::string& head, const TField& f, int index, int id) {
  std::size_t filler = index == kLong ? 180 + 20 * static_cast<std::size_t>(f.Letter % 7) : 0;
  if (f.Letter == 'T') filler += static_cast<std::size_t>(index) * 3;
  return Mark(head, f.Letter, "S", id) + std::string(filler, 'x') + Mark(head, f.Letter, "E", id);
}

// The notes: the field markers around lines that carry one each.
std::string NotesText(const std::string& head, int lines, int id) {
  std::string notes = Mark(head, 'N', "S", id);
  for (int line = 1; line <= lines; ++line) notes += "\r\nline " + Mark(head, 'N', "L" + std::to_string(line), id);
  return notes + "\r\n" + Mark(head, 'N', "E", id);
}

std::unique_ptr<TVaultEntry> MarkedEntry(const std::string& head, int index, int lines, TVaultGroup* group) {
  auto e = std::make_unique<TVaultEntry>();
  e->id = kFirstId + index;
  e->group = group;
  for (const TField& f : kFields) (*e).*f.Member = FieldText(head, f, index, e->id);
  e->notes = NotesText(head, lines, e->id);
  return e;
}

// A group's name, between two markers: the tree shows it.
std::string GroupName(const std::string& head, int group) {
  return Mark(head, 'G', "S", group) + " group " + Mark(head, 'G', "E", group);
}

std::string VaultText(const std::string& head) {
  TVaultModel model;
  TVaultGroup* first = model.Groups.Add(nullptr, GroupName(head, 1), 2);
  TVaultGroup* second = model.Groups.Add(nullptr, GroupName(head, 2), 3);
  for (int i = 0; i < kShownCount; ++i) model.Entries.push_back(MarkedEntry(head, i, kNoteLines[i], first));
  for (int i = kShownCount; i < kShownCount + kOtherEntries; ++i)
    model.Entries.push_back(MarkedEntry(head, i, 2, second));
  return BuildVaultText(model);
}

// The texts of the marked vault that must go, and the length of each title.
struct TVaultSecrets {
  TVaultSecrets() {
    TVaultModel model;
    ParseVaultText(VaultText(kHead), model);
    auto collect = [this](const std::string& text) {
      for (std::size_t at = text.find(kHead); at != std::string::npos; at = text.find(kHead, at + 1))
        Markers.insert(text.substr(at, text.find(kTail, at) + std::strlen(kTail) - at));
    };
    for (const auto& e : model.Entries) {
      for (const TField& f : kFields) collect((*e).*f.Member);
      TitleLength.push_back(e->title.size());
    }
    for (TVaultGroup* g : model.Groups.Nodes()) collect(g->Caption());
    for (const char* where : {"S", "E"}) Markers.insert(Mark(kHead, 'Y', where, 1));  // typed
    TQEnc engine(nullptr);
    engine.SetIterations(5000);
    SessionKey = engine.DeriveSessionKey(kPassword);
  }
  std::set<std::string> Markers;
  std::vector<std::size_t> TitleLength;
  std::string SessionKey;
};

const TVaultSecrets& Secrets() {
  static const TVaultSecrets secrets;
  return secrets;
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
  std::uintptr_t AllocationBase;  // of the region it lies in
  std::uintptr_t RegionSize;
  std::string Around;  // the printable bytes around it
};

std::string Printable(const std::string& bytes) {
  std::string out;
  for (char c : bytes) out += (c >= 32 && c < 127) ? c : '.';
  return out;
}

// Looks through one region for the vault's markers (found by their common
// head, then looked up) and for the other secrets.
void ScanRegion(const std::string& data, const MEMORY_BASIC_INFORMATION& m, const std::vector<std::string>& others,
                std::vector<THit>& hits) {
  const auto base = reinterpret_cast<std::uintptr_t>(m.BaseAddress);
  const std::set<std::string>& markers = Secrets().Markers;
  for (bool wide : {false, true}) {
    const std::string head = wide ? Utf16(kHead) : kHead;
    const std::size_t step = wide ? 2 : 1;
    auto hit = [&](std::size_t p, const std::string& secret, std::size_t size) {
      const std::size_t from = p > 48 ? p - 48 : 0;
      hits.push_back({secret, wide, base + p, m.Type, reinterpret_cast<std::uintptr_t>(m.AllocationBase), m.RegionSize,
                      Printable(data.substr(from, size + 96))});
    };
    for (std::size_t p = data.find(head); p != std::string::npos; p = data.find(head, p + 1)) {
      // The marker's characters up to its tail, read in the encoding found.
      std::string marker;
      for (std::size_t q = p; q < data.size() && marker.size() < 40; q += step) {
        if (wide && (q + 1 >= data.size() || data[q + 1] != '\0')) break;
        marker += data[q];
        if (marker.size() >= 4 && marker.compare(marker.size() - 4, 4, kTail) == 0) break;
      }
      if (markers.count(marker)) hit(p, marker, marker.size() * step);
    }
    for (const std::string& secret : others) {
      const std::string needle = wide ? Utf16(secret) : secret;
      for (std::size_t p = data.find(needle); p != std::string::npos; p = data.find(needle, p + 1))
        hit(p, secret, needle.size());
    }
  }
}

// Every committed, readable page of the process, region by region.
std::vector<THit> ScanProcess(HANDLE process, const std::vector<std::string>& others) {
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
        ScanRegion(data, m, others, hits);
      }
    }
    if (base + m.RegionSize <= at) break;
    at = base + m.RegionSize;
  }
  return hits;
}

bool Sees(const std::vector<THit>& hits, const std::string& secret, bool wide) {
  return std::any_of(hits.begin(), hits.end(), [&](const THit& h) { return h.Secret == secret && h.Wide == wide; });
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
    char line[260];
    std::snprintf(line, sizeof line, "  %s copy at %#llx (%s, allocated at %#llx, region of %llu KiB), %u secrets, first %s: ",
                  h.Wide ? "UTF-16" : "ANSI", static_cast<unsigned long long>(h.Address),
                  h.Type == MEM_IMAGE ? "image" : h.Type == MEM_MAPPED ? "mapped" : "private",
                  static_cast<unsigned long long>(h.AllocationBase), static_cast<unsigned long long>(h.RegionSize / 1024),
                  static_cast<unsigned>(j - i), h.Secret.c_str());
    out += line + h.Around + "\n";
    i = j;
  }
  return out;
}

// A window's text length, asked in the window's own character set so that
// the system makes no converted copy of its text on the way.
LRESULT TextLength(HWND wnd) {
  return IsWindowUnicode(wnd) ? SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0) : SendMessageA(wnd, WM_GETTEXTLENGTH, 0, 0);
}

// How a scenario ends.
enum class TEnd { Lock, LockSaving, LockDiscarding, Close, New, OpenOther };

// The program with the marked vault open.
class TProgram {
 public:
  TProgram() : folder_({"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"}) {}
  ~TProgram() {
    if (process_) CloseHandle(process_);
    if (wnd_) ExitProgram(wnd_);
  }

  // The notes editor; a long note gets a window of its own.
  HWND Notes() const {
    HWND notes = ChildOfClass(wnd_, "RICHEDIT50W");
    return notes ? notes : ChildOfClass(wnd_, "RichEdit20W");
  }

  void Open() {
    // The pointer rests off the window until a scenario moves it.
    SetCursorPos(0, 0);
    const std::string vault = folder_.File("marked.qvl");
    ASSERT_TRUE(WriteProgramVault(vault, VaultText(kHead), kPassword));
    ASSERT_TRUE(WriteProgramVault(folder_.File("other.qvl"), VaultText("QZY"), kPassword));
    TOpenedVault opened;
    ASSERT_TRUE(StartOnVault(folder_, vault, kPassword, opened)) << WindowText(opened.Window);
    pid_ = opened.Pid;
    wnd_ = opened.Window;
    list_ = ChildOfClass(wnd_, WC_LISTVIEWA);
    ASSERT_NE(list_, nullptr);
    tree_ = ChildOfClass(wnd_, WC_TREEVIEWA);
    ASSERT_NE(tree_, nullptr);
    ASSERT_NE(Notes(), nullptr);
    // The first group is chosen and lists its entries.
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0) == kShownCount; }, kWindowTimeout));
    process_ = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid_);
    ASSERT_NE(process_, nullptr);
  }

  // Selects the entry in the list and waits until the details and the
  // notes show it; then the scan must see its first and last markers of
  // every field, and of the notes' lines, as the controls hold them.
  void Show(int index) {
    TRemoteItem remote(pid_);
    ASSERT_TRUE(remote.Ok());
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    remote.Send(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), item);
    const std::size_t titleLength = Secrets().TitleLength.at(static_cast<std::size_t>(index));
    ASSERT_TRUE(WaitFor(
        [&] {
          for (HWND e : VisibleEdits(wnd_))
            if (static_cast<std::size_t>(TextLength(e)) == titleLength) return true;
          return false;
        },
        kWindowTimeout))
        << "entry " << index << " is not shown";
    ASSERT_TRUE(WaitFor([&] { return TextLength(Notes()) > 0; }, kWindowTimeout));
    const int id = kFirstId + index;
    std::vector<std::string> shown;
    for (const TField& f : kFields)
      for (const char* where : {"S", "E"}) shown.push_back(Mark(kHead, f.Letter, where, id));
    shown.push_back(Mark(kHead, 'N', "L" + std::to_string(kNoteLines[index]), id));
    const std::vector<THit> hits = Scan();
    for (const std::string& marker : shown)
      EXPECT_TRUE(Sees(hits, marker, true)) << marker << " of the shown entry is not seen by the scan";
  }

  // Types text into the notes editor, as keys would, and waits until the
  // vault is marked modified.
  void TypeIntoNotes(const std::string& text) {
    HWND notes = Notes();
    const LRESULT before = TextLength(notes);
    for (char c : text) PostMessageW(notes, WM_CHAR, static_cast<unsigned char>(c), 1);
    ASSERT_TRUE(WaitFor([&] { return TextLength(notes) == before + static_cast<LRESULT>(text.size()); }, kWindowTimeout));
    ASSERT_TRUE(WaitFor([&] { return WindowText(wnd_).rfind("*", 0) == 0; }, kWindowTimeout)) << WindowText(wnd_);
    const std::vector<THit> hits = Scan();
    EXPECT_TRUE(Sees(hits, Mark(kHead, 'Y', "E", 1), true)) << "the typed text is not seen by the scan";
  }

  // Moves the mouse over the notes editor, over every column of the long
  // entry's row (whose texts the columns cut short), and over the groups of
  // the tree, resting on each place long enough for a tip to show.
  void MoveMouseOverNotesAndList() {
    std::vector<POINT> places;
    RECT r;
    GetWindowRect(Notes(), &r);
    places.push_back({r.left + 40, r.top + 12});
    TRemoteItem remote(pid_);
    ASSERT_TRUE(remote.Ok());
    RECT row{};
    row.left = LVIR_LABEL;
    row = remote.Read(list_, LVM_GETITEMRECT, kLong, row);
    const int columns = static_cast<int>(SendMessageA(
        reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    for (int column = 0, x = 0; column < columns; ++column) {
      const int width = static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, column, 0));
      POINT p{x + width / 2, (row.top + row.bottom) / 2};
      ClientToScreen(list_, &p);
      places.push_back(p);
      x += width;
    }
    for (int group = 0; group < 2; ++group) {
      // TVM_GETITEMRECT takes the item in the rectangle's place.
      RECT item{};
      const HTREEITEM handle = TopTreeItems(remote, tree_).at(static_cast<std::size_t>(group)).first;
      std::memcpy(&item, &handle, sizeof handle);
      item = remote.Read(tree_, TVM_GETITEMRECT, TRUE, item);
      POINT p{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
      ClientToScreen(tree_, &p);
      places.push_back(p);
    }
    for (const POINT& p : places) {
      for (int step = 0; step < 4; ++step) {
        SetCursorPos(p.x - 6 + step * 2, p.y);
        Sleep(60);
      }
      Sleep(1200);
    }
    SetCursorPos(0, 0);
  }

  // Sets the shown entry's title to a shorter text and saves the vault.
  void EditTitleAndSave() {
    HWND title = nullptr;
    const std::size_t length = Secrets().TitleLength.at(kLong);
    for (HWND e : VisibleEdits(wnd_))
      if (static_cast<std::size_t>(TextLength(e)) == length) title = e;
    ASSERT_NE(title, nullptr);
    const std::string edited = Mark(kHead, 'T', "S", kFirstId) + " edited " + Mark(kHead, 'T', "E", kFirstId);
    SendMessageA(title, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(edited.c_str()));
    ASSERT_TRUE(WaitFor([&] { return WindowText(wnd_) != "marked.qvl - Vaultline"; }, kWindowTimeout));
    PostMenuCommand(wnd_, kSaveOffset);
    ASSERT_TRUE(WaitFor([&] { return WindowText(wnd_) == "marked.qvl - Vaultline"; }, kWindowTimeout))
        << WindowText(wnd_);
  }

  void End(TEnd end) {
    switch (end) {
      case TEnd::Lock:
      case TEnd::LockSaving:
      case TEnd::LockDiscarding:
        PostMenuCommand(wnd_, kLockOffset);
        if (end != TEnd::Lock) {
          HWND box = FindMessageBox(pid_, "Lock Vaultline", kWindowTimeout);
          ASSERT_NE(box, nullptr);
          PressMessageBoxButton(box, end == TEnd::LockSaving ? IDYES : IDNO);
        }
        ASSERT_TRUE(WaitFor([&] { return WindowText(wnd_).rfind("[Locked] ", 0) == 0; }, kWindowTimeout))
            << WindowText(wnd_);
        break;
      case TEnd::Close:
        PostMenuCommand(wnd_, kCloseOffset);
        ASSERT_TRUE(WaitFor([&] { return WindowText(wnd_) == "Untitled - Vaultline"; }, kWindowTimeout))
            << WindowText(wnd_);
        break;
      case TEnd::New:
        PostMenuCommand(wnd_, kNewOffset);
        ASSERT_TRUE(AnswerPassword(pid_, kNewPassword, 2));
        ASSERT_TRUE(WaitFor([&] { return WindowText(wnd_) == "Untitled - Vaultline"; }, kWindowTimeout))
            << WindowText(wnd_);
        break;
      case TEnd::OpenOther:
        // The other vault has the same master password: it opens with the
        // key in hand, without a prompt.
        PostMenuCommand(wnd_, kOpenOffset);
        ASSERT_TRUE(AnswerFileDialog(pid_, "Open Vaultline File", folder_.File("other.qvl")));
        ASSERT_TRUE(WaitFor([&] { return WindowText(wnd_) == "other.qvl - Vaultline"; }, kWindowTimeout))
            << WindowText(wnd_);
        break;
    }
    Sleep(1000);  // the timers that run after it
  }

  // The hits of the marked vault's markers, and of the master password and
  // the session key unless the vault that follows uses them too.
  std::vector<THit> Scan(bool keyStillInUse = false) {
    std::vector<std::string> others;
    if (!keyStillInUse) others = {kPassword, Secrets().SessionKey};
    return ScanProcess(process_, others);
  }

 private:
  TProgramFolder folder_;
  DWORD pid_ = 0;
  HWND wnd_ = nullptr;
  HWND list_ = nullptr;
  HWND tree_ = nullptr;
  HANDLE process_ = nullptr;
};

// What a scenario does before it ends.
enum class TStep { ShowLong, ShowShort, Notes1400, Notes1600, Notes3000, Type, Mouse, EditAndSave };

struct TScenario {
  const char* Name;
  std::vector<TStep> Steps;
  TEnd End;
  // An open of another vault leaves, in about one run in three, a copy of
  // a group name that the system's controls free only after the wipe of
  // freed memory (it lies in a block that a neighbour grows into first).
  bool GroupNamesMayStay = false;
};

void PrintTo(const TScenario& s, std::ostream* os) { *os << s.Name; }

const TScenario kScenarios[] = {
    {"LongThenShortThenLock", {TStep::ShowLong, TStep::ShowShort}, TEnd::Lock},
    {"LongThenShortThenClose", {TStep::ShowLong, TStep::ShowShort}, TEnd::Close},
    {"ShownThenClose", {TStep::ShowLong}, TEnd::Close},
    {"ShownThenNew", {TStep::ShowLong}, TEnd::New},
    {"ShownThenOpenOfAnotherVault", {TStep::ShowLong}, TEnd::OpenOther, true},
    {"EditedAndSavedThenLock", {TStep::ShowLong, TStep::EditAndSave}, TEnd::Lock},
    {"Notes1400ThenLock", {TStep::Notes1400}, TEnd::Lock},
    {"Notes1600ThenLock", {TStep::Notes1600}, TEnd::Lock},
    {"Notes3000ThenLock", {TStep::Notes3000}, TEnd::Lock},
    {"Notes1400ThenClose", {TStep::Notes1400}, TEnd::Close},
    {"Notes1600ThenClose", {TStep::Notes1600}, TEnd::Close},
    {"Notes3000ThenClose", {TStep::Notes3000}, TEnd::Close},
    {"Notes3000ThenShortThenLock", {TStep::Notes3000, TStep::ShowShort}, TEnd::Lock},
    {"TypedNotesThenLockDiscarding", {TStep::ShowShort, TStep::Type}, TEnd::LockDiscarding},
    {"TypedNotesThenLockSaving", {TStep::ShowShort, TStep::Type}, TEnd::LockSaving},
    {"MouseOverNotesAndListThenLock", {TStep::ShowLong, TStep::Mouse}, TEnd::Lock},
};

class SecretsAfterLock : public ::testing::TestWithParam<TScenario> {};

TEST_P(SecretsAfterLock, NoTextOfTheVaultStaysInTheProgramsMemory) {
  const TScenario& s = GetParam();
  TProgram program;
  ASSERT_NO_FATAL_FAILURE(program.Open());
  for (TStep step : s.Steps) {
    switch (step) {
      case TStep::ShowLong:
        ASSERT_NO_FATAL_FAILURE(program.Show(kLong));
        break;
      case TStep::ShowShort: {
        ASSERT_NO_FATAL_FAILURE(program.Show(kShort));
        // The longer text shown before is gone from the password edit as
        // soon as the shorter one replaces it (the password is in no other
        // control, so any UTF-16 copy of it is the edit's).
        const std::vector<THit> hits = program.Scan(true);
        for (const char* where : {"S", "E"})
          EXPECT_FALSE(Sees(hits, Mark(kHead, 'P', where, kFirstId + kLong), true))
              << "the long password's " << where << " marker stays after a shorter one is shown:\n"
              << Describe(hits);
        break;
      }
      case TStep::Notes1400:
        ASSERT_NO_FATAL_FAILURE(program.Show(kNotes1400));
        break;
      case TStep::Notes1600:
        ASSERT_NO_FATAL_FAILURE(program.Show(kNotes1600));
        break;
      case TStep::Notes3000:
        ASSERT_NO_FATAL_FAILURE(program.Show(kNotes3000));
        break;
      case TStep::Type:
        ASSERT_NO_FATAL_FAILURE(
            program.TypeIntoNotes(" " + Mark(kHead, 'Y', "S", 1) + " typed " + Mark(kHead, 'Y', "E", 1)));
        break;
      case TStep::Mouse:
        program.MoveMouseOverNotesAndList();
        break;
      case TStep::EditAndSave:
        ASSERT_NO_FATAL_FAILURE(program.EditTitleAndSave());
        break;
    }
  }
  ASSERT_NO_FATAL_FAILURE(program.End(s.End));
  std::vector<THit> hits = program.Scan(s.End == TEnd::OpenOther);
  if (s.GroupNamesMayStay)
    std::erase_if(hits, [](const THit& h) { return h.Secret.rfind(std::string(kHead) + 'G', 0) == 0; });
  EXPECT_TRUE(hits.empty()) << hits.size() << " secrets left in these copies:\n" << Describe(hits);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SecretsAfterLock, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<TScenario>& p) { return p.param.Name; });

}  // namespace
