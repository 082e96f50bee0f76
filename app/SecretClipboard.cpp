#include "app/SecretClipboard.h"

#include <cstring>

#include "base/Wipe.h"

namespace SecretClipboard {
namespace {

// A movable global block holding bytes; null when it cannot be had.
HGLOBAL GlobalCopy(const void* data, std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(p, data, size);
  GlobalUnlock(block);
  return block;
}

bool PutFormat(UINT format, const void* data, std::size_t size) {
  HGLOBAL block = GlobalCopy(data, size);
  if (!block) return false;
  if (!SetClipboardData(format, block)) {
    GlobalFree(block);
    return false;
  }
  return true;
}

// Another program may hold the clipboard for a moment.
bool OpenWithRetry(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

bool SetText(HWND owner, const std::string& text) {
  if (!OpenWithRetry(owner)) return false;
  bool ok = EmptyClipboard() != FALSE;
  if (ok) {
    // The markers go in first, so that no listener sees the text unmarked.
    const DWORD zero = 0;
    if (UINT f = RegisterClipboardFormatA(kExcludeFromMonitoring)) PutFormat(f, &zero, sizeof zero);
    if (UINT f = RegisterClipboardFormatA(kCanIncludeInHistory)) PutFormat(f, &zero, sizeof zero);
    if (UINT f = RegisterClipboardFormatA(kCanUploadToCloud)) PutFormat(f, &zero, sizeof zero);
    ok = PutFormat(CF_TEXT, text.c_str(), text.size() + 1);
  }
  CloseClipboard();
  return ok;
}

}  // namespace SecretClipboard
