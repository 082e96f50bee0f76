// Test support for the program: screenshots written as PNG files, and an
// end-to-end harness that runs copies of the real Vaultline.exe under Wine,
// each in a folder of its own with a prepared Vaultline.ini, and drives them
// through their windows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace harness {

// ---- Screenshots --------------------------------------------------------------

// Writes 32-bit pixels (0x00RRGGBB, rows top-down) as an RGB PNG with stored
// (uncompressed) deflate blocks.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels);

// Copies what the screen shows of a window (frame included) into pixels.
bool CaptureWindow(HWND wnd, int& width, int& height, std::vector<std::uint32_t>& pixels);

// Captures the window into <build tree>/screenshots/<name>.png; the path, or
// "" on failure.
std::string SaveScreenshot(HWND wnd, const std::string& name);

// ---- The running program -----------------------------------------------------------

// The program as built, as a Windows path.
std::string ExePath();

// A folder with a copy of Vaultline.exe and a Vaultline.ini; the processes
// started from it end (at the latest) when it goes out of scope.
class TProgramFolder {
 public:
  // iniLines: the settings file's lines (written with CR LF, after the
  // empty first line the settings store writes).
  explicit TProgramFolder(const std::vector<std::string>& iniLines);
  ~TProgramFolder();
  TProgramFolder(const TProgramFolder&) = delete;
  TProgramFolder& operator=(const TProgramFolder&) = delete;

  const std::string& Folder() const { return folder_; }
  std::string File(const std::string& name) const { return folder_ + "\\" + name; }
  std::string Exe() const { return File("Vaultline.exe"); }

  // Starts the copy with arguments, in workingDir (the folder when empty).
  // Returns the process index, or -1.
  int Start(const std::string& args = "", const std::string& workingDir = "");
  DWORD Pid(int index) const { return processes_.at(static_cast<std::size_t>(index)).dwProcessId; }
  // Waits for the process to end; its exit code, or -1 on timeout.
  int WaitExit(int index, DWORD timeoutMs);
  bool Running(int index) const;

 private:
  std::string folder_;
  std::vector<PROCESS_INFORMATION> processes_;
};

// The top-level window of a class that belongs to the process, or null after
// the timeout.
HWND FindProcessWindow(DWORD pid, const char* className, DWORD timeoutMs);

// The visible edit controls of a window, top to bottom.
std::vector<HWND> VisibleEdits(HWND parent);

// Waits until pred(wnd) holds; false after the timeout.
template <class Pred>
bool WaitFor(Pred pred, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += 50) {
    if (pred()) return true;
    if (waited >= timeoutMs) return false;
    Sleep(50);
  }
}

std::string WindowText(HWND wnd);

// File > Exit of the program's main window, as a posted WM_COMMAND: closing
// the window only hides it in the tray, Exit ends the program. Wine does
// not let one process read another's menus, so the item goes by its
// command id: menu ids are handed out in creation order from 0x1000, and
// the main window's menu bar (its root item first) is the first menu the
// program makes. A test of the main window checks the item's place.
inline constexpr UINT kFirstMenuCommand = 0x1000;
inline constexpr UINT kExitCommandOffset = 0x11;
bool ExitProgram(HWND mainWindow);

// A message box of the process with that caption, or null after the timeout.
HWND FindMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs);
// The message text of a message box.
std::string MessageBoxText(HWND box);
// Presses a button of a message box (IDOK, IDYES, …).
void PressMessageBoxButton(HWND box, int id);

// ---- Driving the program's windows -------------------------------------------------

inline constexpr DWORD kWindowTimeout = 30000;

// Menu command offsets from kFirstMenuCommand (VaultDocument.MenuCommandsKeepTheirPlaces
// checks the places in the test process).
inline constexpr UINT kNewOffset = 0x02, kOpenOffset = 0x03, kLockOffset = 0x04, kCloseOffset = 0x05,
                      kSaveOffset = 0x09, kSaveAsOffset = 0x0A, kImportOffset = 0x0C, kExportOffset = 0x0D,
                      kSettingsOffset = 0x0F, kAddGroupOffset = 0x13, kAddEntryOffset = 0x1C;

// Posts the menu command to the main window.
void PostMenuCommand(HWND wnd, UINT offset);

bool Visible(HWND wnd);

// A dialog of the program (its own window class) once it is shown.
HWND WaitShown(DWORD pid, const char* className);

// Types the password into the password dialog's visible edits (the retype
// field too when it is shown) and presses Enter.
bool AnswerPassword(DWORD pid, const std::string& password, int expectedEdits);

// Writes text to path the way the program saves a vault: its engine's
// container settings, under a key derived from password in `iterations`
// rounds. False when the encryption fails.
bool WriteProgramVault(const std::string& path, const std::string& text, const std::string& password,
                       int iterations = 5000);

// The program started on a vault, past its password prompt.
struct TOpenedVault {
  int Index = -1;  // the process's number in its folder
  DWORD Pid = 0;
  HWND Window = nullptr;  // the main window
};
// Starts the program in folder on vault, types password into its prompt and
// waits until the main window's caption names the vault; false when any of
// that fails.
bool StartOnVault(TProgramFolder& folder, const std::string& vault, const std::string& password,
                  TOpenedVault& opened);

// Fills the file name of the system's open or save dialog and presses OK.
bool AnswerFileDialog(DWORD pid, const std::string& caption, const std::string& path);

// The control that has the keyboard focus in the window's GUI thread.
HWND FocusOf(HWND wnd);

// The first child window of a class, at any depth.
HWND ChildOfClass(HWND parent, const char* className);

// An edit control's text (WM_GETTEXT, which the system carries across
// processes).
std::string EditText(HWND edit);

// Memory in the program's process, for the tree and list messages whose
// structures the system does not carry across processes: a structure and
// a text buffer behind it.
class TRemoteItem {
 public:
  static constexpr SIZE_T kTextSize = 256;
  explicit TRemoteItem(DWORD pid);
  ~TRemoteItem();
  TRemoteItem(const TRemoteItem&) = delete;
  TRemoteItem& operator=(const TRemoteItem&) = delete;
  bool Ok() const { return remote_ != nullptr; }
  char* Text() const { return remote_ + 512; }
  // Writes the structure, sends the message with its remote address, and
  // reads the text back.
  template <class Item>
  std::string Send(HWND wnd, UINT msg, WPARAM wParam, const Item& item) {
    if (!remote_ || !WriteProcessMemory(process_, remote_, &item, sizeof item, nullptr)) return "<no memory>";
    return SendAndRead(wnd, msg, wParam);
  }
  // Writes the structure, sends the message and reads the structure back.
  template <class Item>
  Item Read(HWND wnd, UINT msg, WPARAM wParam, Item item) {
    if (!remote_ || !WriteProcessMemory(process_, remote_, &item, sizeof item, nullptr)) return item;
    SendMessageA(wnd, msg, wParam, reinterpret_cast<LPARAM>(remote_));
    ReadProcessMemory(process_, remote_, &item, sizeof item, nullptr);
    return item;
  }

 private:
  std::string SendAndRead(HWND wnd, UINT msg, WPARAM wParam);
  HANDLE process_;
  char* remote_ = nullptr;
};

// The top-level items of a tree view in the program, with their texts.
std::vector<std::pair<HTREEITEM, std::string>> TopTreeItems(TRemoteItem& remote, HWND tree);

// The titles a list view of the program shows, top to bottom.
std::vector<std::string> ListTitles(TRemoteItem& remote, HWND list);
// The text a list view of the program shows in a cell (column 0: the
// caption), and the image index of a row.
std::string ListCell(TRemoteItem& remote, HWND list, int row, int column);
int ListImage(TRemoteItem& remote, HWND list, int row);

void SelectTreeItem(HWND tree, HTREEITEM item);

// A path of the Linux file system as Wine's Z: drive shows it; other paths
// as they are.
std::string WinePath(const std::string& linuxPath);

}  // namespace harness
