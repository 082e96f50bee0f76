#include "ui/Clipboard.h"

#include <windows.h>

#include <cstring>

#include "base/Wipe.h"
#include "ui/MessageWindow.h"

namespace {

// The clipboard needs an owner window for SetClipboardData; one hidden window
// serves the whole run (the system removes it at the end of the process).
HWND ClipboardOwner() {
  static TMessageWindow* window = new TMessageWindow(nullptr, "TClipboardWindow", true);
  return window->Handle();
}

// Opens the clipboard, trying a few times while another program holds it.
bool OpenWithRetry() {
  HWND owner = ClipboardOwner();
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

namespace Clipboard {

bool HasText() { return IsClipboardFormatAvailable(CF_TEXT) != FALSE; }

bool GetText(std::string& text) {
  text.clear();
  if (!OpenWithRetry()) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(data))) {
      const SIZE_T size = GlobalSize(data);
      const void* zero = std::memchr(p, 0, size);
      text.assign(p, zero ? static_cast<const char*>(zero) - p : size);
      GlobalUnlock(data);
      ok = true;
    }
  }
  CloseClipboard();
  return ok;
}

bool SetText(const std::string& text) {
  if (!OpenWithRetry()) return false;
  bool ok = false;
  if (EmptyClipboard()) {
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
      if (char* p = static_cast<char*>(GlobalLock(mem))) {
        std::memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(mem);
        ok = SetClipboardData(CF_TEXT, mem) != nullptr;
      }
      if (!ok) GlobalFree(mem);
    }
  }
  CloseClipboard();
  return ok;
}

}  // namespace Clipboard
