#include "ui/CommonControlText.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace CommonControlText {

std::string FromWide(const wchar_t* text) {
  if (!text) return "";
  const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return "";
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, s.data(), n, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(n - 1));
  return s;
}

void CopyToBuffer(const std::string& text, void* buffer, int max, bool wide) {
  if (!buffer || max <= 0) return;
  if (wide) {
    auto* w = static_cast<wchar_t*>(buffer);
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), w, max - 1);
    w[n < 0 ? 0 : n] = L'\0';
  } else {
    auto* a = static_cast<char*>(buffer);
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(max - 1));
    std::memcpy(a, text.data(), n);
    a[n] = '\0';
  }
}

POINT CursorIn(HWND wnd) {
  POINT p{0, 0};
  GetCursorPos(&p);
  ScreenToClient(wnd, &p);
  return p;
}

void InsertListColumn(HWND listView, int index, const std::string& caption, int width) {
  std::string text = caption;  // the message takes a writable buffer
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.pszText = text.data();
  col.cx = width;
  SendMessageA(listView, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&col));
}

}  // namespace CommonControlText
