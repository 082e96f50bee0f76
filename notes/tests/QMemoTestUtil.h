// Helpers for the notes editor's tests: an editor on a host form, typing,
// reading the control's own text and formats, and the raw clipboard.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "notes/QMemo.h"
#include "ui/Graphics.h"
#include "ui/ImageList.h"
#include "ui/tests/UiTestUtil.h"

namespace MemoTest {

// The control's wide text as it holds it (line break = CR).
inline std::u16string ControlWide(HWND wnd) {
  GETTEXTLENGTHEX gl{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT n = SendMessageW(wnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&gl), 0);
  std::u16string s(static_cast<std::size_t>(n > 0 ? n : 0) + 1, u'\0');
  GETTEXTEX gt{};
  gt.cb = static_cast<DWORD>(s.size() * sizeof(char16_t));
  gt.flags = GT_DEFAULT;
  gt.codepage = 1200;
  const LRESULT got = SendMessageW(wnd, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&gt), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return s;
}

// Puts wide text into the control behind the editor's back (as a drop or
// another program would), with the caret at the end.
inline void ReplaceSelectionWide(HWND wnd, const std::u16string& wide) {
  SendMessageW(wnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
}

// Adds a 16 x 16 image of one colour to a list of 16 x 16 images; its index
// (-1 when it could not be made).
inline int AddSolidImage(TImageList& list, TColor color) {
  TBitmap bitmap;
  if (!bitmap.SetSize(16, 16)) return -1;
  bitmap.Canvas().Brush().SetColor(color);
  bitmap.Canvas().FillRect(RECT{0, 0, 16, 16});
  return list.AddMasked(bitmap, clFuchsia);
}

inline void TypeChar(HWND wnd, char16_t ch) { SendMessageW(wnd, WM_CHAR, ch, 1); }

inline void TypeText(HWND wnd, const std::u16string& text) {
  for (char16_t c : text) TypeChar(wnd, c);
}

// A key going down, as the keyboard would send it (the shift keys are not
// pressed: use a keyboard state for those).
inline void KeyDown(HWND wnd, WORD key) { SendMessageW(wnd, WM_KEYDOWN, key, 1); }

// Holds the given keys down in this thread's keyboard state while alive.
class THeldKeys {
 public:
  explicit THeldKeys(std::initializer_list<int> keys) {
    GetKeyboardState(saved_);
    BYTE state[256];
    std::memcpy(state, saved_, sizeof state);
    for (int k : keys) state[k] |= 0x80;
    SetKeyboardState(state);
  }
  THeldKeys(const THeldKeys&) = delete;
  THeldKeys& operator=(const THeldKeys&) = delete;
  ~THeldKeys() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256];
};

// The character format of the character at index (the selection is kept).
inline CHARFORMAT2W FormatAt(HWND wnd, int index) {
  CHARRANGE saved;
  SendMessageW(wnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&saved));
  SendMessageW(wnd, EM_SETSEL, static_cast<WPARAM>(index), index + 1);
  CHARFORMAT2W cf;
  std::memset(&cf, 0, sizeof cf);
  cf.cbSize = sizeof cf;
  SendMessageW(wnd, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(wnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&saved));
  return cf;
}

inline bool IsHidden(HWND wnd, int index) { return (FormatAt(wnd, index).dwEffects & CFE_HIDDEN) != 0; }
inline COLORREF ColorAt(HWND wnd, int index) { return FormatAt(wnd, index).crTextColor; }
inline bool IsBold(HWND wnd, int index) { return (FormatAt(wnd, index).dwEffects & CFE_BOLD) != 0; }

// The raw clipboard.
inline bool OpenClipboardRetry() {
  for (int i = 0; i < 20; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(10);
  }
  return false;
}

inline void PutClipboard(UINT format, const void* data, std::size_t size) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(mem), data, size);
  GlobalUnlock(mem);
  if (!SetClipboardData(format, mem)) GlobalFree(mem);
}

// Replaces the clipboard by UTF-16 text (a window of the test owns it).
inline bool SetClipboardWide(HWND owner, const std::u16string& text) {
  for (int i = 0; i < 20 && !OpenClipboard(owner); ++i) Sleep(10);
  if (!EmptyClipboard()) {
    CloseClipboard();
    return false;
  }
  PutClipboard(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  CloseClipboard();
  return true;
}

inline bool SetClipboardAnsi(HWND owner, const std::string& text) {
  for (int i = 0; i < 20 && !OpenClipboard(owner); ++i) Sleep(10);
  if (!EmptyClipboard()) {
    CloseClipboard();
    return false;
  }
  PutClipboard(CF_TEXT, text.c_str(), text.size() + 1);
  CloseClipboard();
  return true;
}

inline std::u16string ClipboardWide() {
  std::u16string out;
  if (!OpenClipboardRetry()) return out;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
      out = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return out;
}

inline std::string ClipboardAnsi() {
  std::string out;
  if (!OpenClipboardRetry()) return out;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const auto* p = static_cast<const char*>(GlobalLock(h))) {
      out = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return out;
}

// An editor filling a shown host form.
struct MemoFixture : ::testing::Test {
  UiTest::THostForm form{520, 320, "VLMemoTestHost"};
  TQMemo* memo = nullptr;
  HWND wnd = nullptr;

  void SetUp() override {
    memo = new TQMemo(&form);
    memo->SetParent(&form);
    memo->SetBounds(0, 0, 520, 320);
    memo->Show();
    form.Show();
    wnd = memo->Handle();
    UiTest::Pump();
  }
  void TearDown() override { TQMemo::PopupMenuHook = nullptr; }

  std::u16string Wide() { return ControlWide(wnd); }
};

}  // namespace MemoTest
