// A plain rich-edit control for the tests of the editor's attachments (the
// completion popup, the dark scroll bars), in place of the notes editor:
// the same window class and messages, without the editor's own handling.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <string>

#include "ui/WinControl.h"

class TRichEditStandIn : public TWinControl {
 public:
  explicit TRichEditStandIn(TComponent* owner, bool wordWrap = false) : TWinControl(owner), wordWrap_(wordWrap) {}

  // Text of ASCII characters; "\n" or "\r" breaks lines.
  void SetPlainText(const std::string& text) {
    std::wstring w(text.begin(), text.end());
    SetWindowTextW(Handle(), w.c_str());
  }
  // The control's own text: one CR per line break.
  std::string ControlText() {
    GETTEXTLENGTHEX gl{GTL_DEFAULT, 1200};
    const LRESULT n = SendMessageW(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&gl), 0);
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    GETTEXTEX gt{};
    gt.cb = static_cast<DWORD>(w.size() * sizeof(wchar_t));
    gt.flags = GT_DEFAULT;
    gt.codepage = 1200;
    const LRESULT got = SendMessageW(Handle(), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&gt),
                                     reinterpret_cast<LPARAM>(w.data()));
    w.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
    return std::string(w.begin(), w.end());
  }
  void SetSel(int start, int end) {
    CHARRANGE cr{start, end};
    SendMessageW(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
  }
  int SelStart() {
    CHARRANGE cr{0, 0};
    SendMessageW(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr));
    return cr.cpMin;
  }
  void ReplaceSel(const std::string& text) {
    std::wstring w(text.begin(), text.end());
    SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(w.c_str()));
  }
  int FirstVisibleLine() { return static_cast<int>(SendMessageW(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0)); }
  int LineCount() { return static_cast<int>(SendMessageW(Handle(), EM_GETLINECOUNT, 0, 0)); }
  POINT ScrollPos() {
    POINT p{0, 0};
    SendMessageW(Handle(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&p));
    return p;
  }
  bool WordWrap() const { return wordWrap_; }

 protected:
  void CreateParams(TCreateParams& params) override {
    static const bool loaded = LoadLibraryA("msftedit.dll") != nullptr;
    params.WinClassName = loaded ? "RICHEDIT50W" : "RichEdit20W";
    if (!loaded) LoadLibraryA("riched20.dll");
    params.BuiltInClass = true;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                   ES_NOHIDESEL | (wordWrap_ ? 0 : WS_HSCROLL | ES_AUTOHSCROLL);
    params.ExStyle = WS_EX_CLIENTEDGE;
  }
  void CreateWnd() override { SendMessageW(Handle(), EM_EXLIMITTEXT, 0, 0x7FFFFFFE); }

 private:
  bool wordWrap_;
};
