#include "app/tests/Harness.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/QEnc.h"

namespace harness {

// ---- PNG ----------------------------------------------------------------------

namespace {

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0) {
  static std::uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  std::vector<std::uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  Put32(out, Crc32(body.data(), body.size()));
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * height) return false;
  // The raw scan lines: filter byte 0, then R, G, B.
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * width));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
      raw.push_back(static_cast<std::uint8_t>(p >> 16));
      raw.push_back(static_cast<std::uint8_t>(p >> 8));
      raw.push_back(static_cast<std::uint8_t>(p));
    }
  }
  // zlib stream of stored blocks (at most 65535 bytes each) and Adler-32.
  std::vector<std::uint8_t> z{0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t pos = 0; pos < raw.size() || raw.empty();) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    const bool last = pos + n >= raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos), raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
    pos += n;
    if (last) break;
  }
  Put32(z, (b << 16) | a);

  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> ihdr;
  Put32(ihdr, static_cast<std::uint32_t>(width));
  Put32(ihdr, static_cast<std::uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter choice, no interlace
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  std::ofstream f(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return f.good();
}

bool CaptureWindow(HWND wnd, int& width, int& height, std::vector<std::uint32_t>& pixels) {
  RECT r;
  if (!GetWindowRect(wnd, &r)) return false;
  width = r.right - r.left;
  height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib && bits) {
    HGDIOBJ old = SelectObject(mem, dib);
    ok = BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    if (ok) {
      const auto* p = static_cast<const std::uint32_t*>(bits);
      pixels.assign(p, p + static_cast<std::size_t>(width) * height);
    }
    SelectObject(mem, old);
  }
  if (dib) DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

std::string SaveScreenshot(HWND wnd, const std::string& name) {
  // Above every other window while the picture is taken.
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  Sleep(500);
  int w = 0, h = 0;
  std::vector<std::uint32_t> pixels;
  const bool ok = CaptureWindow(wnd, w, h, pixels);
  SetWindowPos(wnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (!ok) return "";
  std::filesystem::path dir = std::filesystem::path(VL_BINARY_DIR) / "screenshots";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const std::string path = (dir / (name + ".png")).string();
  return WritePng(path, w, h, pixels) ? path : "";
}

// ---- Processes -----------------------------------------------------------------

std::string ExePath() { return WinePath(VL_EXE_PATH); }

TProgramFolder::TProgramFolder(const std::vector<std::string>& iniLines) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::random_device rd;
  for (int i = 0; i < 100 && folder_.empty(); ++i) {
    std::string candidate = std::string(temp) + "vlprog-" + std::to_string(rd()) + std::to_string(i);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) folder_ = candidate;
  }
  CopyFileA(ExePath().c_str(), Exe().c_str(), FALSE);
  std::string ini = "\r\n";
  for (const std::string& line : iniLines) ini += line + "\r\n";
  std::ofstream f(File("Vaultline.ini"), std::ios::binary);
  f << ini;
}

TProgramFolder::~TProgramFolder() {
  for (PROCESS_INFORMATION& pi : processes_) {
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
      // A clean end first: the tray icon and the mutex go with it.
      HWND w = nullptr;
      while ((w = FindWindowExA(nullptr, w, "TFormMain", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pi.dwProcessId && !ExitProgram(w)) PostMessageA(w, WM_CLOSE, 0, 0);
      }
      if (WaitForSingleObject(pi.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

int TProgramFolder::Start(const std::string& args, const std::string& workingDir) {
  std::string cmd = "\"" + Exe() + "\"" + (args.empty() ? "" : " " + args);
  const std::string dir = workingDir.empty() ? folder_ : workingDir;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return -1;
  processes_.push_back(pi);
  return static_cast<int>(processes_.size()) - 1;
}

int TProgramFolder::WaitExit(int index, DWORD timeoutMs) {
  const PROCESS_INFORMATION& pi = processes_.at(static_cast<std::size_t>(index));
  if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  return static_cast<int>(code);
}

bool TProgramFolder::Running(int index) const {
  return WaitForSingleObject(processes_.at(static_cast<std::size_t>(index)).hProcess, 0) == WAIT_TIMEOUT;
}

namespace {
struct TFind {
  DWORD pid;
  const char* className;
  std::string caption;
  bool byCaption;
  HWND found;
};

BOOL CALLBACK FindTop(HWND wnd, LPARAM lp) {
  auto* f = reinterpret_cast<TFind*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(wnd, &owner);
  if (owner != f->pid) return TRUE;
  char cls[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  if (std::string(cls) != f->className) return TRUE;
  if (f->byCaption && WindowText(wnd) != f->caption) return TRUE;
  if (f->byCaption && !IsWindowVisible(wnd)) return TRUE;
  f->found = wnd;
  return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD pid, const char* className, DWORD timeoutMs) {
  TFind f{pid, className, "", false, nullptr};
  WaitFor(
      [&] {
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
        return f.found != nullptr;
      },
      timeoutMs);
  return f.found;
}

std::string WindowText(HWND wnd) {
  char text[1024] = {};
  GetWindowTextA(wnd, text, sizeof text);
  return text;
}

bool ExitProgram(HWND mainWindow) {
  return PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(kFirstMenuCommand + kExitCommandOffset, 0), 0) != FALSE;
}

HWND FindMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  TFind f{pid, "#32770", caption, true, nullptr};
  WaitFor(
      [&] {
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
        return f.found != nullptr;
      },
      timeoutMs);
  return f.found;
}

std::string MessageBoxText(HWND box) {
  char text[2048] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  return text;
}

void PressMessageBoxButton(HWND box, int id) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

namespace {

BOOL CALLBACK CollectVisibleEdit(HWND w, LPARAM p) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") == 0 && IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
  return TRUE;
}

}  // namespace

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

// ---- Driving the program's windows ---------------------------------------------------


void PostMenuCommand(HWND wnd, UINT offset) {
  PostMessageA(wnd, WM_COMMAND, MAKEWPARAM(kFirstMenuCommand + offset, 0), 0);
}

bool Visible(HWND wnd) { return wnd && IsWindowVisible(wnd) != FALSE; }

// A dialog of the program (its own window class) once it is shown.
HWND WaitShown(DWORD pid, const char* className) {
  HWND wnd = FindProcessWindow(pid, className, kWindowTimeout);
  if (!wnd || !WaitFor([&] { return Visible(wnd); }, kWindowTimeout)) return nullptr;
  return wnd;
}

// Types the password into the dialog's visible edits (the retype field
// too when it is shown) and presses Enter.
bool AnswerPassword(DWORD pid, const std::string& password, int expectedEdits) {
  HWND dialog = WaitShown(pid, "TFormPwd");
  if (!dialog) return false;
  std::vector<HWND> edits;
  if (!WaitFor([&] { return static_cast<int>((edits = VisibleEdits(dialog)).size()) == expectedEdits; }, kWindowTimeout))
    return false;
  for (HWND e : edits) SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
  PostMessageA(edits[0], WM_KEYDOWN, VK_RETURN, 0);
  return WaitFor([&] { return !Visible(dialog); }, kWindowTimeout);
}

bool WriteProgramVault(const std::string& path, const std::string& text, const std::string& password,
                       int iterations) {
  TQEnc engine(nullptr);
  engine.SetCompatibilityMode(false);  // as the main form's engine
  engine.SetIterations(iterations);
  engine.SetKey(engine.DeriveSessionKey(password));
  return engine.EncryptStringToFile(text, path, "");
}

bool StartOnVault(TProgramFolder& folder, const std::string& vault, const std::string& password,
                  TOpenedVault& opened) {
  opened.Index = folder.Start("\"" + vault + "\"");
  if (opened.Index < 0) return false;
  opened.Pid = folder.Pid(opened.Index);
  opened.Window = FindProcessWindow(opened.Pid, "TFormMain", kWindowTimeout);
  if (!opened.Window || !AnswerPassword(opened.Pid, password, 1)) return false;
  const std::string caption = std::filesystem::path(vault).filename().string() + " - Vaultline";
  return WaitFor([&] { return WindowText(opened.Window) == caption; }, kWindowTimeout);
}

// Fills the file name of the system's open or save dialog and presses OK.
bool AnswerFileDialog(DWORD pid, const std::string& caption, const std::string& path) {
  HWND dialog = FindMessageBox(pid, caption, kWindowTimeout);
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
      kWindowTimeout);
  if (!name) return false;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return WaitFor([&] { return !IsWindow(dialog) || !Visible(dialog); }, kWindowTimeout);
}

// The control that has the keyboard focus in the process's GUI thread.
HWND FocusOf(HWND wnd) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

namespace {

BOOL CALLBACK FindClassChild(HWND w, LPARAM p) {
  auto* wanted = reinterpret_cast<std::pair<const char*, HWND>*>(p);
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, wanted->first) != 0) return TRUE;
  wanted->second = w;
  return FALSE;
}

}  // namespace

// The first child window of a class, at any depth.
HWND ChildOfClass(HWND parent, const char* className) {
  std::pair<const char*, HWND> wanted{className, nullptr};
  EnumChildWindows(parent, FindClassChild, reinterpret_cast<LPARAM>(&wanted));
  return wanted.second;
}

// An edit control's text (WM_GETTEXT, which the system carries across
// processes).
std::string EditText(HWND edit) {
  std::string text(static_cast<std::size_t>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
  text.resize(static_cast<std::size_t>(
      SendMessageA(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

TRemoteItem::TRemoteItem(DWORD pid)
    : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid)) {
  if (process_) remote_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
}

TRemoteItem::~TRemoteItem() {
  if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

std::string TRemoteItem::SendAndRead(HWND wnd, UINT msg, WPARAM wParam) {
  const char zero = 0;
  WriteProcessMemory(process_, Text(), &zero, 1, nullptr);
  SendMessageA(wnd, msg, wParam, reinterpret_cast<LPARAM>(remote_));
  char text[kTextSize] = {};
  SIZE_T got = 0;
  ReadProcessMemory(process_, Text(), text, kTextSize - 1, &got);
  return text;
}

// The top-level items of a tree view in the program, with their texts.
std::vector<std::pair<HTREEITEM, std::string>> TopTreeItems(TRemoteItem& remote, HWND tree) {
  std::vector<std::pair<HTREEITEM, std::string>> items;
  auto next = [&](UINT code, HTREEITEM from) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(from)));
  };
  for (HTREEITEM item = next(TVGN_ROOT, nullptr); item; item = next(TVGN_NEXT, item)) {
    TVITEMA tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = remote.Text();
    tv.cchTextMax = TRemoteItem::kTextSize;
    items.emplace_back(item, remote.Send(tree, TVM_GETITEMA, 0, tv));
  }
  return items;
}

// The titles a list view of the program shows, top to bottom.
std::vector<std::string> ListTitles(TRemoteItem& remote, HWND list) {
  std::vector<std::string> titles;
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) titles.push_back(ListCell(remote, list, i, 0));
  return titles;
}

std::string ListCell(TRemoteItem& remote, HWND list, int row, int column) {
  LVITEMA lv{};
  lv.iSubItem = column;
  lv.pszText = remote.Text();
  lv.cchTextMax = TRemoteItem::kTextSize;
  return remote.Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), lv);
}

int ListImage(TRemoteItem& remote, HWND list, int row) {
  LVITEMA lv{};
  lv.mask = LVIF_IMAGE;
  lv.iItem = row;
  lv.iImage = -2;
  return remote.Read(list, LVM_GETITEMA, 0, lv).iImage;
}

void SelectTreeItem(HWND tree, HTREEITEM item) {
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

std::string WinePath(const std::string& linuxPath) {
  std::string p = linuxPath;
  if (!p.empty() && p[0] == '/') {
    for (char& c : p)
      if (c == '/') c = '\\';
    p = "Z:" + p;
  }
  return p;
}

}  // namespace harness
