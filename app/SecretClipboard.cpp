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

// Empties the clipboard and puts the markers. The markers go in first, so
// that no listener sees the text unmarked.
bool EmptyAndMark() {
  if (!EmptyClipboard()) return false;
  const DWORD zero = 0;
  if (UINT f = RegisterClipboardFormatA(kExcludeFromMonitoring)) PutFormat(f, &zero, sizeof zero);
  if (UINT f = RegisterClipboardFormatA(kCanIncludeInHistory)) PutFormat(f, &zero, sizeof zero);
  if (UINT f = RegisterClipboardFormatA(kCanUploadToCloud)) PutFormat(f, &zero, sizeof zero);
  return true;
}

}  // namespace

bool SetText(HWND owner, const std::string& text) {
  if (!OpenWithRetry(owner)) return false;
  const bool ok = EmptyAndMark() && PutFormat(CF_TEXT, text.c_str(), text.size() + 1);
  CloseClipboard();
  return ok;
}

bool SetWideText(HWND owner, const std::u16string& text) {
  if (!OpenWithRetry(owner)) return false;
  bool ok = EmptyAndMark() && PutFormat(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  if (ok) {
    // The code page's nearest characters, as the system would give them.
    const auto* wide = reinterpret_cast<LPCWSTR>(text.c_str());
    const int units = static_cast<int>(text.size());
    const int n = units ? WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr) : 0;
    std::string ansi(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide, units, ansi.data(), n, nullptr, nullptr);
    ok = PutFormat(CF_TEXT, ansi.c_str(), ansi.size() + 1);
    WipeString(ansi);
  }
  CloseClipboard();
  return ok;
}

}  // namespace SecretClipboard
