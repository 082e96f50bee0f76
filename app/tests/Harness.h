// Test support for the program: screenshots written as PNG files, and an
// end-to-end harness that runs copies of the real Vaultline.exe under Wine,
// each in a folder of its own with a prepared Vaultline.ini, and drives them
// through their windows.
#pragma once

#include <windows.h>

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

}  // namespace harness
