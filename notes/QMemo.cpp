// TQMemo: the window, its properties, and the window procedure that routes
// keys, characters, mouse chords and clipboard messages.
#include "notes/QMemo.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "base/CodePage.h"
#include "base/Wipe.h"
#include "notes/RichEditHelpers.h"
#include "notes/text/Bookmarks.h"
#include "notes/text/LineCommands.h"
#include "notes/text/LineText.h"
#include "notes/text/TextQueries.h"
#include "notes/text/Tokens.h"

std::function<int(HMENU, int, int)> TQMemo::PopupMenuHook;

namespace {

// The End key's memory, shared by every editor of the process: the second
// End on the same line goes to the last non-blank character, the third back
// to the line's end, and so on.
struct TEndMemory {
  bool active = false;
  HWND wnd = nullptr;
  int line = -1;
  bool shift = false;
  int anchor = -1;  // with Shift: where the selection started
  int repeats = 0;
};
TEndMemory gEnd;

// The last left click of the process, for the third and fourth clicks.
// State 1 after a single click, 2 after a double click, 3 after a third
// click, 0 after a fourth.
struct TClickMemory {
  bool timed = false;
  HWND wnd = nullptr;
  DWORD time = 0;
  POINT pt{0, 0};
  int state = 0;
};
TClickMemory gClick;

bool KeyDown(int vk) { return GetKeyState(vk) < 0; }

bool IsShiftKey(WORD key) { return key == VK_SHIFT || key == VK_LSHIFT || key == VK_RSHIFT; }

}  // namespace

const char* TQMemo::RichEditClassName() {
  // Each library is loaded once per process, whatever the result.
  static const char* const name = [] {
    if (LoadLibraryA("msftedit.dll")) return "RICHEDIT50W";
    if (LoadLibraryA("riched20.dll")) return "RichEdit20W";
    LoadLibraryA("riched32.dll");
    return "RICHEDIT";
  }();
  return name;
}

TQMemo::TQMemo(TComponent* owner) : TWinControl(owner) {
  glyphImages_ = std::make_unique<TImageList>(nullptr);
  glyphImages_->SetSize(32, 32);
  colorTimer_ = std::make_unique<TTimer>(nullptr);
  colorTimer_->SetEnabled(false);
  colorTimer_->SetInterval(222);
  colorTimer_->OnTimer = [this](TObject*) { ColorTimerHandler(); };
  font_.SetColor(textColor_);
  font_.OnChange = [this](TGraphicsObject*) { FontChanged(); };
  SetKeywordList(kDefaultKeywords);
  fileJobs_ = std::make_unique<TQMemoFileJobs>(*this);
  completion_ = std::make_unique<TQMemoCompletion>(*this);
  darkBars_ = std::make_unique<TQMemoDarkScrollBars>(*this);
}

TQMemo::~TQMemo() {
  // A list that goes away from now on has nothing here to recolour.
  SetReference<TImageList>(imageList_, nullptr);
  ReleaseAttachments();
  colorTimer_->SetEnabled(false);
  colorTimer_->OnTimer = nullptr;
  font_.OnChange = nullptr;
  DestroyHandle();
  DestroyGlyphIcons();
  WipeString(pendingText_);
  WipeString(textCache_);
  WipeString(lastReportedText_);
}

void TQMemo::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = RichEditClassName();
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
  if (!wordWrap_) params.Style |= ES_AUTOHSCROLL;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
  if (readOnly_) params.Style |= ES_READONLY;
  params.ExStyle = borderStyle_ == bsNone ? 0 : WS_EX_CLIENTEDGE;
  params.Caption.clear();
}

void TQMemo::CreateWnd() {
  HWND wnd = Handle();
  SendMessageW(wnd, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  // The editor keeps its own undo.
  SendMessageW(wnd, EM_SETUNDOLIMIT, 0, 0);
  SendMessageW(wnd, EM_EMPTYUNDOBUFFER, 0, 0);
  SendMessageW(wnd, EM_SETEVENTMASK, 0, ENM_CHANGE);
  SendMessageW(wnd, EM_SETTARGETDEVICE, 0, wordWrap_ ? 0 : 1);
  SendMessageW(wnd, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(color_)));
  if (baseFontSize_ < 1) baseFontSize_ = font_.Size();
  ApplyFontToText();
  if (!pendingText_.empty()) {
    hostAssign_ = true;
    std::u16string wide = CodePage::AnsiToWide(pendingText_);
    SetWideText(wide);
    RichEdit::WipeWide(wide);
    hostAssign_ = false;
    WipeString(pendingText_);
  }
  if (!recreating_) {
    const std::string& text = CurrentText();
    undo_.Reset(text);
    WipeString(lastReportedText_);
    lastReportedText_ = text;
  }
  if (showLineNumbers_) {
    gutterWidth_ = -1;
    UpdateGutter();
  } else {
    gutterWidth_ = 0;
    RebuildFormatRect();
  }
  UpdateDarkScrollBars();
}

// ---------------------------------------------------------------------------
// Rich-edit access

std::u16string TQMemo::WideText() {
  std::u16string s;
  if (!HandleAllocated()) return s;
  GETTEXTLENGTHEX gl{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT n = SendMessageW(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&gl), 0);
  if (n <= 0) return s;
  s.assign(static_cast<std::size_t>(n) + 1, u'\0');
  GETTEXTEX gt{};
  gt.cb = static_cast<DWORD>((static_cast<std::size_t>(n) + 1) * sizeof(char16_t));
  gt.flags = GT_DEFAULT;
  gt.codepage = 1200;
  const LRESULT got = SendMessageW(Handle(), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&gt),
                                   reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, n)));
  return s;
}

std::u16string TQMemo::WideRange(int start, int end) {
  std::u16string s;
  if (!HandleAllocated() || end <= start || start < 0) return s;
  s.assign(static_cast<std::size_t>(end - start) + 1, u'\0');
  TEXTRANGEW tr;
  tr.chrg.cpMin = start;
  tr.chrg.cpMax = end;
  tr.lpstrText = reinterpret_cast<LPWSTR>(s.data());
  const LRESULT got = SendMessageW(Handle(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr));
  s.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, end - start)));
  return s;
}

void TQMemo::SetWideText(const std::u16string& wide) {
  textCacheValid_ = false;
  SETTEXTEX st{ST_DEFAULT, 1200};
  SendMessageW(Handle(), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&st), reinterpret_cast<LPARAM>(wide.c_str()));
}

void TQMemo::ReplaceDifference(std::u16string_view oldWide, std::u16string_view newWide) {
  std::size_t prefix = 0;
  const std::size_t common = std::min(oldWide.size(), newWide.size());
  while (prefix < common && oldWide[prefix] == newWide[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < common - prefix &&
         oldWide[oldWide.size() - 1 - suffix] == newWide[newWide.size() - 1 - suffix]) {
    ++suffix;
  }
  if (prefix + suffix == oldWide.size() && oldWide.size() == newWide.size()) return;
  SetSel(static_cast<int>(prefix), static_cast<int>(oldWide.size() - suffix));
  std::u16string middle(newWide.substr(prefix, newWide.size() - suffix - prefix));
  ReplaceSelWide(middle);
  RichEdit::WipeWide(middle);
}

void TQMemo::RecreateWindow() {
  HWND old = Handle();
  HWND above = GetWindow(old, GW_HWNDPREV);
  const bool focused = Focused();
  colorTimer_->SetEnabled(false);
  colorPending_ = false;
  textCacheValid_ = false;
  WipeString(pendingText_);
  {
    // The new window starts empty and gets the new text at once: the text
    // before it (for the bookmarks' shift, and to tell whether the text
    // changed at all) and what was last reported stay as they were.
    TFlagGuard guard(recreating_);
    DestroyHandle();
    HandleNeeded();
  }
  if (!HandleAllocated()) return;
  // The same place among its siblings as before.
  SetWindowPos(Handle(), above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (focused) SetFocus();
}

void TQMemo::GetSel(int& start, int& end) {
  CHARRANGE cr{0, 0};
  if (HandleAllocated()) SendMessageW(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr));
  start = cr.cpMin;
  end = cr.cpMax;
  // The control's own "select all" takes the final paragraph mark too,
  // which is no character of the text.
  if (end > start) {
    const int n = TextLength();
    start = std::min(start, n);
    end = std::min(end, n);
  }
}

void TQMemo::SetSel(int start, int end) {
  if (!HandleAllocated()) return;
  // EM_SETSEL keeps the caret at end even when it lies before start.
  SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void TQMemo::ReplaceSelWide(const std::u16string& wide) {
  textCacheValid_ = false;
  SendMessageW(Handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
}

int TQMemo::CharFromPoint(int x, int y) {
  if (!HandleAllocated()) return 0;
  POINTL pt{x, y};
  const LRESULT i = SendMessageW(Handle(), EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&pt));
  return std::clamp(static_cast<int>(i), 0, TextLength());
}

bool TQMemo::PosFromChar(int index, POINT& pt) {
  if (!HandleAllocated()) return false;
  POINTL p{0, 0};
  SendMessageW(Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), index);
  pt.x = p.x;
  pt.y = p.y;
  return true;
}

int TQMemo::NearerToCaret(int a, int b) {
  POINT caret;
  if (!Focused() || !GetCaretPos(&caret)) return b;
  POINT pa, pb;
  if (!PosFromChar(a, pa) || !PosFromChar(b, pb)) return b;
  const long da = std::labs(pa.x - caret.x) + std::labs(pa.y - caret.y);
  const long db = std::labs(pb.x - caret.x) + std::labs(pb.y - caret.y);
  return db < da ? b : a;
}

int TQMemo::CaretIndex() {
  int s, e;
  GetSel(s, e);
  return s == e ? s : NearerToCaret(e, s);
}

int TQMemo::TextLength() {
  if (!HandleAllocated()) return static_cast<int>(pendingText_.size());
  GETTEXTLENGTHEX gl{GTL_NUMCHARS | GTL_PRECISE, 1200};
  return std::max(0, static_cast<int>(SendMessageW(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&gl), 0)));
}

int TQMemo::FirstVisibleLine() {
  if (!HandleAllocated()) return 0;
  return std::max(0, static_cast<int>(SendMessageW(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0)));
}

int TQMemo::LineCount() {
  if (!HandleAllocated()) return 1;
  return std::max(1, static_cast<int>(SendMessageW(Handle(), EM_GETLINECOUNT, 0, 0)));
}

int TQMemo::LineFromChar(int index) {
  if (!HandleAllocated()) return 0;
  return std::max(0, static_cast<int>(SendMessageW(Handle(), EM_EXLINEFROMCHAR, 0, index)));
}

int TQMemo::LineIndex(int line) {
  if (!HandleAllocated()) return -1;
  return static_cast<int>(SendMessageW(Handle(), EM_LINEINDEX, static_cast<WPARAM>(line), 0));
}

void TQMemo::ScrollCaret() {
  if (HandleAllocated()) SendMessageW(Handle(), EM_SCROLLCARET, 0, 0);
}

int TQMemo::HorizontalScroll() {
  POINT p{0, 0};
  if (HandleAllocated()) SendMessageW(Handle(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&p));
  return p.x;
}

void TQMemo::SetRedraw(bool on) {
  if (HandleAllocated()) SendMessageW(Handle(), WM_SETREDRAW, on ? TRUE : FALSE, 0);
}

int TQMemo::LineHeightWg() {
  if (!HandleAllocated()) return 16;
  TWindowDC dc(Handle());
  if (!dc.get()) return 16;
  TSelectGuard font(dc.get(), font_.Handle());
  SIZE sz{0, 0};
  GetTextExtentPoint32A(dc.get(), "Wg", 2, &sz);
  return sz.cy < 1 ? 16 : static_cast<int>(sz.cy);
}

// ---------------------------------------------------------------------------
// Selection

int TQMemo::SelStart() {
  int s, e;
  GetSel(s, e);
  return s;
}

int TQMemo::SelLength() {
  int s, e;
  GetSel(s, e);
  return std::max(0, e - s);
}

void TQMemo::SetSelection(int start, int length) {
  const int n = TextLength();
  start = std::clamp(start, 0, n);
  length = std::clamp(length, 0, n - start);
  SetSel(start, start + length);
}

std::string TQMemo::SelText() {
  int s, e;
  GetSel(s, e);
  std::u16string wide = WideRange(s, e);
  std::string text = NoteText::WideToEditorText(wide);
  RichEdit::WipeWide(wide);
  return text;
}

void TQMemo::SelectAll() {
  VSLeave(false);
  if (!HandleAllocated()) return;
  SetFocus();
  SetSel(0, TextLength());
  Invalidate();
}

void TQMemo::ReplaceSelection(const std::string& text) {
  if (readOnly_ || !HandleAllocated()) return;
  std::string control = NoteText::ToControlText(text);
  std::u16string wide = CodePage::AnsiToWide(control);
  WipeString(control);
  PrepareInsertionFormat();
  ReplaceSelWide(wide);
  RichEdit::WipeWide(wide);
}

void TQMemo::DeleteSelection() {
  if (readOnly_ || !HandleAllocated() || !HasSelection()) return;
  VSLeave(false);
  ReplaceSelWide(std::u16string());
  ColorizeText();
}

// ---------------------------------------------------------------------------
// Plain properties

void TQMemo::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
}

void TQMemo::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (!HandleAllocated()) return;
  SendMessageW(Handle(), EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(color)));
  // The visible characters under a glyph or image take the background colour.
  const std::string& text = CurrentText();
  const NoteText::TColorFlags flags = ColorFlags();
  if (NoteText::GlyphTokensPresent(text, flags) || NoteText::InlineTokensPresent(text, flags)) ColorizeText();
  Invalidate();
}

void TQMemo::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETTARGETDEVICE, 0, value ? 0 : 1);
}

void TQMemo::SetScrollBars(TScrollStyle value) { scrollBars_ = value; }

int TQMemo::ZoomedFontSize(int base) const { return std::max(6, (base * zoomPercent_ + 50) / 100); }

void TQMemo::ApplyFontToText() {
  if (!HandleAllocated()) return;
  CHARFORMAT2W cf = RichEdit::EmptyFormat();
  cf.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC;
  RichEdit::SetFace(cf, font_.Name());
  cf.yHeight = std::max(1, font_.Size()) * 20;
  cf.bCharSet = font_.Charset();
  cf.crTextColor = ColorToRGB(font_.Color());
  if (font_.Style() & fsBold) cf.dwEffects |= CFE_BOLD;
  if (font_.Style() & fsItalic) cf.dwEffects |= CFE_ITALIC;
  RichEdit::SetFormat(Handle(), cf, SCF_DEFAULT);
  RichEdit::SetFormat(Handle(), cf, SCF_ALL);
  sizeOrFaceFormatted_ = false;
}

void TQMemo::FontChanged() {
  if (internalUpdate_ || !HandleAllocated()) return;
  const int size = font_.Size();
  if (size < 1) return;
  // A change of another attribute leaves the zoomed size as it is: only a
  // new size becomes the base that the zoom scales.
  if (baseFontSize_ < 1 || size != ZoomedFontSize(baseFontSize_)) baseFontSize_ = size;
  const int zoomed = ZoomedFontSize(baseFontSize_);
  internalUpdate_ = true;
  if (zoomed != size) font_.SetSize(zoomed);
  ApplyFontToText();
  internalUpdate_ = false;
  if (showLineNumbers_) {
    gutterWidth_ = -1;
    UpdateGutter();
  } else {
    RebuildFormatRect();
  }
  ColorizeTextKeepView();
  Invalidate();
}

// ---------------------------------------------------------------------------
// Zoom, gutter and view

void TQMemo::SetZoomPercent(int value) {
  value = std::clamp(value, 20, 400);
  if (value == zoomPercent_) return;
  zoomPercent_ = value;
  if (!HandleAllocated()) return;
  int base = baseFontSize_;
  if (base < 1) base = font_.Size() <= 0 ? 10 : font_.Size();
  const int size = ZoomedFontSize(base);
  internalUpdate_ = true;
  // Zooming switches syntax colouring on (the value only, without a pass).
  syntaxHighlighting_ = true;
  font_.SetSize(size);
  CHARFORMAT2W cf = RichEdit::EmptyFormat();
  cf.dwMask = CFM_SIZE;
  cf.yHeight = size * 20;
  RichEdit::SetFormat(Handle(), cf, SCF_DEFAULT);
  RichEdit::SetFormat(Handle(), cf, SCF_ALL);
  internalUpdate_ = false;
  if (showLineNumbers_) {
    UpdateGutter();
  } else {
    RebuildFormatRect();
  }
  const std::string& text = CurrentText();
  const bool images = inlineStyles_ && imageList_ && text.find("[[IMG:") != std::string::npos;
  const bool glyphs = NoteText::GlyphTokensPresent(text, ColorFlags());
  if (images || glyphs) {
    ColorizeTextKeepView();
  } else {
    Invalidate();
  }
  if (OnZoom) OnZoom(this, zoomPercent_);
}

void TQMemo::SetShowLineNumbers(bool value) {
  if (value == showLineNumbers_) return;
  showLineNumbers_ = value;
  if (!HandleAllocated()) return;
  if (value) {
    gutterWidth_ = -1;
    UpdateGutter();
  } else {
    gutterWidth_ = 0;
    RebuildFormatRect();
  }
  Invalidate();
}

void TQMemo::UpdateGutter() {
  if (!showLineNumbers_ || !HandleAllocated()) return;
  int average = 8;
  {
    TWindowDC dc(Handle());
    if (dc.get()) {
      TSelectGuard font(dc.get(), font_.Handle());
      TEXTMETRICA tm{};
      if (GetTextMetricsA(dc.get(), &tm) && tm.tmAveCharWidth > 0) average = tm.tmAveCharWidth;
    }
  }
  const int width = NoteText::GutterWidthFor(LineCount(), average);
  if (width != gutterWidth_) {
    gutterWidth_ = width;
    RebuildFormatRect();
    Invalidate();
  }
}

void TQMemo::RebuildFormatRect() {
  if (!HandleAllocated()) return;
  RECT client;
  GetClientRect(Handle(), &client);
  RECT r{std::max(0, gutterWidth_) + 2, 4, client.right - 2, client.bottom - 2};
  // wParam 0: absolute coordinates (what Wine also does with 1).
  SendMessageW(Handle(), EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r));
  Invalidate();
}

void TQMemo::CenterLineVertically(int line) {
  if (!HandleAllocated()) return;
  RECT client;
  GetClientRect(Handle(), &client);
  const int visible = std::max(1, static_cast<int>(client.bottom) / LineHeightWg());
  const int target = std::clamp(line - visible / 2, 0, std::max(0, LineCount() - visible));
  const int delta = target - FirstVisibleLine();
  if (delta != 0) SendMessageW(Handle(), EM_LINESCROLL, 0, delta);
}

TQMemo::TQMemoViewState TQMemo::SaveViewState() {
  TQMemoViewState v;
  int s, e;
  GetSel(s, e);
  v.SelStart = s;
  v.SelLength = std::max(0, e - s);
  if (HandleAllocated()) {
    v.TopLine = FirstVisibleLine();
    POINT p{0, 0};
    SendMessageW(Handle(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&p));
    v.ScrollX = p.x;
    v.ScrollY = p.y;
  }
  return v;
}

void TQMemo::RestoreViewState(const TQMemoViewState& state, bool restoreScroll) {
  if (!HandleAllocated()) return;
  const int n = TextLength();
  const int start = std::clamp(state.SelStart, 0, n);
  SetSel(start, start + std::clamp(state.SelLength, 0, n - start));
  if (!restoreScroll) {
    ScrollCaret();
    return;
  }
  RestoreTopVisibleLine(state.TopLine);
  POINT p{0, 0};
  SendMessageW(Handle(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&p));
  if (p.x != state.ScrollX) {
    p.x = state.ScrollX;
    SendMessageW(Handle(), EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&p));
  }
}

void TQMemo::RestoreTopVisibleLine(int line) {
  if (!HandleAllocated()) return;
  const int delta = std::max(0, line) - FirstVisibleLine();
  if (delta != 0) SendMessageW(Handle(), EM_LINESCROLL, 0, delta);
}

int TQMemo::MetricsLineHeight() {
  if (!HandleAllocated()) return 0;
  TWindowDC dc(Handle());
  if (!dc.get()) return 0;
  TSelectGuard guard(dc.get(), font_.Handle());
  TEXTMETRICA tm{};
  if (!GetTextMetricsA(dc.get(), &tm)) return 0;
  const int h = tm.tmHeight + tm.tmExternalLeading;
  return h > 0 ? h : 16;
}

bool TQMemo::IsViewScrolledToBottom() {
  if (!HandleAllocated()) return false;
  const int first = static_cast<int>(SendMessageW(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
  const int count = static_cast<int>(SendMessageW(Handle(), EM_GETLINECOUNT, 0, 0));
  if (first < 0 || count <= 0) return false;
  const int lineHeight = MetricsLineHeight();
  if (lineHeight <= 0) return false;
  RECT client;
  GetClientRect(Handle(), &client);
  const int visible = std::max(1, static_cast<int>(client.bottom) / lineHeight);
  return first + visible >= count - 1;
}

// ---------------------------------------------------------------------------
// The window procedure

bool TQMemo::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    Change();
    result = 0;
    return true;
  }
  return false;
}

LRESULT TQMemo::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  struct TDepth {
    int& depth;
    explicit TDepth(int& d) : depth(d) { ++depth; }
    ~TDepth() { --depth; }
  } depth(messageDepth_);
  switch (msg) {
    case WM_GETDLGCODE: {
      // Enter, Tab, the arrows and every character belong to the editor,
      // also on a form with a default button; Esc stays the form's, except
      // while the completion popup shows (Esc closes the popup).
      const auto* m = reinterpret_cast<const MSG*>(lParam);
      const bool escape = m && m->message == WM_KEYDOWN && m->wParam == VK_ESCAPE && !CompletionVisible();
      return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS | (escape ? 0 : DLGC_WANTALLKEYS);
    }

    case WM_CHAR:
    case WM_IME_CHAR: {
      const LRESULT r = HandleChar(msg, wParam, lParam);
      CompletionAfterChar(msg, wParam);
      return r;
    }

    case WM_KEYDOWN: {
      const WORD key = static_cast<WORD>(wParam);
      if (HandlePopupKeyDown(key)) return 0;
      if (HandleKeyDown(key)) return 0;
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      if (!KeyDown(VK_SHIFT) && (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT ||
                                 key == VK_HOME || key == VK_END)) {
        ScheduleColorize(80, true);
      }
      return r;
    }

    case WM_CONTEXTMENU:
      return HandleContextMenu(lParam);

    case WM_LBUTTONDOWN: {
      if (HandleLeftButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) return 0;
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      AfterEditingButton(true);
      return r;
    }

    case WM_LBUTTONUP: {
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      AfterEditingButton(false);
      return r;
    }

    case WM_KEYUP:
      HandleEditingKeyUp(static_cast<WORD>(wParam));
      break;

    case WM_MOUSEMOVE:
      HandleEditingMouseMove(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      break;

    case WM_LBUTTONDBLCLK: {
      if (HandleLeftButtonDblClk(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) return 0;
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      if (OnDblClick) OnDblClick(this);
      return r;
    }

    case WM_MOUSEWHEEL: {
      CompletionHide();
      if (zoomWithMouseWheel_ && (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL)) {
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        if (delta > 0) SetZoomPercent(zoomPercent_ + 10);
        if (delta < 0) SetZoomPercent(zoomPercent_ - 10);
        return 0;
      }
      const int before = FirstVisibleLine();
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      lastTopLine_ = FirstVisibleLine();
      VSClearDragState();
      if (vs_.Active()) Invalidate();
      ScheduleColorize(777, true);
      if (before != lastTopLine_ || HorizontalScroll() != 0) Invalidate();
      return r;
    }

    case WM_VSCROLL: {
      // The user scrolled (a colouring pass keeping the view at the bottom
      // scrolls too, under the internal-update flag).
      if (!internalUpdate_) CompletionHide();
      const int before = FirstVisibleLine();
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      lastTopLine_ = FirstVisibleLine();
      VSClearDragState();
      if (vs_.Active()) Invalidate();
      if (before != lastTopLine_ || HorizontalScroll() != 0) {
        Invalidate();
        ScheduleColorize(222, true);
      }
      return r;
    }

    case WM_CUT:
      HandleCopyWithTokens(true);
      return 0;
    case WM_COPY:
      HandleCopyWithTokens(false);
      return 0;
    case WM_PASTE:
      if (vs_.inVirtual) VSMaterialize();
      HandlePasteWithTokens();
      return 0;
    case WM_CLEAR:
      if (readOnly_) return 0;
      textCacheValid_ = false;
      break;

    case WM_SETTEXT:
    case WM_UNDO:
    case EM_REPLACESEL:
    case EM_SETTEXTEX:
    case EM_STREAMIN:
    case EM_UNDO:
    case EM_REDO:
      textCacheValid_ = false;
      break;

    case WM_SIZE: {
      CompletionHideOnResize();
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      if (showLineNumbers_) {
        gutterWidth_ = -1;
        UpdateGutter();
      } else {
        RebuildFormatRect();
      }
      CheckVisibleAndColorize();
      return r;
    }

    case WM_SETFOCUS: {
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      AfterFocusGained();
      VSUpdateCaret();
      return r;
    }

    case WM_KILLFOCUS: {
      CompletionHideUnlessFocusTo(reinterpret_cast<HWND>(wParam));
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      AfterFocusLost();
      EditingFocusLost();
      return r;
    }

    case WM_PAINT: {
      const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      PaintEditingOverlay();
      PaintInlineImages();
      return r;
    }

    case WM_DESTROY:
      colorTimer_->SetEnabled(false);
      colorPending_ = false;
      break;

    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

LRESULT TQMemo::HandleChar(UINT msg, WPARAM wParam, LPARAM lParam) {
  const char16_t ch = static_cast<char16_t>(msg == WM_IME_CHAR ? LOWORD(wParam) : wParam);
  if (swallowNextBlank_) {
    swallowNextBlank_ = false;
    if (ch == u' ' || ch == u'\r' || ch == u'\n' || ch == u'\t') return 1;
  }
  if (ch == u' ' && KeyDown(VK_CONTROL)) return 1;
  if (HandleEditingChar(ch)) return 1;
  // Tab was handled when the key went down.
  if (ch == u'\t') return 1;
  if (!readOnly_ && ((ch >= 0x20 && ch != 0x7F) || ch == u'\r')) PrepareInsertionFormat();
  if (ch < 0x80) return DefaultChar(msg, wParam, lParam, ch);
  // A character from VK_PACKET arrives here too, once: it is converted here
  // and nowhere else.
  if (NoteText::IsHighSurrogate(ch)) {
    pendingHighSurrogate_ = ch;
    return 1;
  }
  if (NoteText::IsLowSurrogate(ch) && pendingHighSurrogate_ != 0) {
    const std::uint32_t cp = NoteText::CodePointFromSurrogates(pendingHighSurrogate_, ch);
    pendingHighSurrogate_ = 0;
    InsertCodePointToken(cp);
    return 1;
  }
  pendingHighSurrogate_ = 0;
  if (!NoteText::IsLowSurrogate(ch) && CodePage::IsRepresentable(ch)) {
    return DefaultChar(msg, wParam, lParam, ch);
  }
  InsertCodePointToken(ch);
  return 1;
}

LRESULT TQMemo::DefaultChar(UINT msg, WPARAM wParam, LPARAM lParam, char16_t ch) {
  // A keystroke in a long note need not read the whole text again: the
  // control puts the character in place of the selection.
  const bool printable = ch >= 0x20 && ch != 0x7F;
  if (printable && !readOnly_ && textCacheValid_ && textCacheClean_ && !typedChar_.active) {
    int s, e;
    GetSel(s, e);
    typedChar_ = {true, s, e, static_cast<int>(textCache_.size()), ch};
  }
  const LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
  typedChar_.active = false;
  return r;
}

void TQMemo::InsertCodePointToken(std::uint32_t codePoint) {
  if (readOnly_ || !HandleAllocated()) return;
  undo_.ForceBoundary();
  std::u16string wide = CodePage::AnsiToWide(NoteText::FormatCodePointToken(codePoint));
  PrepareInsertionFormat();
  ReplaceSelWide(wide);
}

bool TQMemo::HandleKeyDown(WORD key) {
  const bool ctrl = KeyDown(VK_CONTROL), shift = KeyDown(VK_SHIFT), alt = KeyDown(VK_MENU);
  if (key != VK_END && !IsShiftKey(key)) gEnd.active = false;
  if (HandleEditingKeyDown(key)) return true;
  if (key == VK_END && !ctrl && !alt && HandleEndKey(shift)) return true;
  if ((key == VK_LEFT || key == VK_RIGHT) && shift && !ctrl && !alt && showUtf8IconsInline_ &&
      HandleGlyphSelect(key)) {
    return true;
  }
  if (ctrl && !alt) {
    switch (key) {
      case 'V':
        HandlePasteWithTokens();
        return true;
      case 'C':
        HandleCopyWithTokens(false);
        return true;
      case 'X':
        HandleCopyWithTokens(true);
        return true;
      default:
        break;
    }
  }
  // The older chords for the same commands take the same token-aware way.
  if (!alt && key == VK_INSERT && (ctrl || shift)) {
    if (ctrl) {
      HandleCopyWithTokens(false);
    } else {
      HandlePasteWithTokens();
    }
    return true;
  }
  if (!alt && !ctrl && shift && key == VK_DELETE) {
    HandleCopyWithTokens(true);
    return true;
  }
  if (key == VK_TAB) {
    HandleTabKey(shift);
    return true;
  }
  // The control breaks the line when the key goes down.
  if (key == VK_RETURN && !readOnly_) PrepareInsertionFormat();
  return false;
}

bool TQMemo::HandleEndKey(bool shift) {
  HWND wnd = Handle();
  const int caret = CaretIndex();
  const int line = LineFromChar(caret);
  const int start = LineIndex(line);
  if (start < 0) return false;
  const int length = static_cast<int>(SendMessageW(wnd, EM_LINELENGTH, static_cast<WPARAM>(start), 0));
  const int end = start + std::max(0, length);
  std::u16string lineText = WideRange(start, end);
  int trimmed = end;
  while (trimmed > start && (lineText[static_cast<std::size_t>(trimmed - start - 1)] == u' ' ||
                             lineText[static_cast<std::size_t>(trimmed - start - 1)] == u'\t')) {
    --trimmed;
  }
  RichEdit::WipeWide(lineText);
  if (gEnd.active && gEnd.wnd == wnd && gEnd.line == line && gEnd.shift == shift && trimmed != end) {
    ++gEnd.repeats;
    const int target = (gEnd.repeats % 2 == 1) ? trimmed : end;
    if (shift) {
      SetSel(gEnd.anchor, target);
    } else {
      SetSel(target, target);
    }
    ScrollCaret();
    ScheduleColorize(80, true);
    return true;
  }
  int s, e;
  GetSel(s, e);
  gEnd.active = true;
  gEnd.wnd = wnd;
  gEnd.line = line;
  gEnd.shift = shift;
  gEnd.anchor = shift ? (s == e ? caret : (caret == s ? e : s)) : -1;
  gEnd.repeats = 0;
  return false;
}

bool TQMemo::HandleGlyphSelect(WORD key) {
  int s, e;
  GetSel(s, e);
  if (glyphSelActive_ &&
      (std::min(glyphSelAnchor_, glyphSelCaret_) != s || std::max(glyphSelAnchor_, glyphSelCaret_) != e)) {
    glyphSelActive_ = false;
  }
  const int direction = key == VK_RIGHT ? 1 : -1;
  // The valid code-point token with a glyph that the moving end meets.
  auto glyphTokenNear = [&](int pos, NoteText::TCodePointToken& token) {
    const int from = std::max(0, pos - 12);
    std::u16string wide = WideRange(from, std::min(TextLength(), pos + 12));
    const std::string local = NoteText::WideToEditorText(wide);
    RichEdit::WipeWide(wide);
    if (!NoteText::FindGlyphTokenNear(local, pos - from, direction, token)) return false;
    token.start += from;
    token.end += from;
    return GetUnicodeImageIndex(token.codePoint) >= 0;
  };
  NoteText::TCodePointToken token;
  if (!glyphSelActive_) {
    const int moving = s == e ? s : CaretIndex();
    if (!glyphTokenNear(moving, token)) return false;
    glyphSelActive_ = true;
    glyphSelAnchor_ = s == e ? s : (moving == s ? e : s);
    glyphSelCaret_ = moving;
  }
  if (glyphTokenNear(glyphSelCaret_, token)) {
    glyphSelCaret_ = direction > 0 ? token.end : token.start;
  } else {
    glyphSelCaret_ += direction;
  }
  glyphSelCaret_ = std::clamp(glyphSelCaret_, 0, TextLength());
  SetSel(glyphSelAnchor_, glyphSelCaret_);
  ScrollCaret();
  Invalidate();
  return true;
}

void TQMemo::HandleTabKey(bool shift) {
  if (!HandleAllocated()) return;
  int s, e;
  GetSel(s, e);
  if (s != e) {
    IndentSelectedLines(shift);
    return;
  }
  if (readOnly_ || shift) return;
  PrepareInsertionFormat();
  ReplaceSelWide(tabSpaces_ > 0 ? std::u16string(static_cast<std::size_t>(tabSpaces_), u' ') : std::u16string(u"\t"));
}

LRESULT TQMemo::HandleContextMenu(LPARAM lParam) {
  switch (contextMenuMode_) {
    case cmmNone:
      return 0;
    case cmmCustom:
      return TWinControl::WndProc(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()), lParam);
    default:
      break;
  }
  HMENU menu = CreatePopupMenu();
  if (!menu) return 0;
  const bool selection = HasSelection();
  const bool paste = !readOnly_ && (IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_UNICODETEXT));
  auto add = [menu](UINT id, const char* caption, bool enabled) {
    AppendMenuA(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, caption);
  };
  add(1, "&Undo", CanUndo() && !readOnly_);
  add(2, "&Redo", CanRedo() && !readOnly_);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  add(3, "Cu&t", selection && !readOnly_);
  add(4, "&Copy", selection);
  add(5, "&Paste", paste);
  add(6, "&Delete", selection && !readOnly_);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  add(7, "Select &All", TextLength() > 0);
  int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  if (x == -1 && y == -1) {
    POINT p;
    if (Focused() && GetCaretPos(&p)) {
      ClientToScreen(Handle(), &p);
    } else {
      RECT r;
      GetWindowRect(Handle(), &r);
      p = POINT{r.left + 10, r.top + 10};
    }
    x = p.x;
    y = p.y;
  }
  const int command = PopupMenuHook ? PopupMenuHook(menu, x, y)
                                    : static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y,
                                                                      0, Handle(), nullptr));
  DestroyMenu(menu);
  switch (command) {
    case 1:
      Undo();
      break;
    case 2:
      Redo();
      break;
    case 3:
      HandleCopyWithTokens(true);
      break;
    case 4:
      HandleCopyWithTokens(false);
      break;
    case 5:
      HandlePasteWithTokens();
      break;
    case 6:
      DeleteSelection();
      break;
    case 7:
      SelectAll();
      break;
    default:
      break;
  }
  return 0;
}

namespace {
bool IsRepeatClick(HWND wnd, int x, int y, DWORD now) {
  return gClick.timed && gClick.wnd == wnd && now - gClick.time <= GetDoubleClickTime() &&
         std::abs(x - gClick.pt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
         std::abs(y - gClick.pt.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
}
void RecordClick(HWND wnd, int x, int y, DWORD now, int state) {
  gClick.timed = true;
  gClick.wnd = wnd;
  gClick.time = now;
  gClick.pt = POINT{x, y};
  gClick.state = state;
}
}  // namespace

bool TQMemo::HandleLeftButtonDown(int x, int y) {
  gEnd.active = false;
  const DWORD now = GetTickCount();
  if (IsRepeatClick(Handle(), x, y, now) && gClick.state == 2) {
    RecordClick(Handle(), x, y, now, 3);
    VSLeave(false);
    SetFocus();
    SelectRunAtPoint(x, y);
    return true;
  }
  RecordClick(Handle(), x, y, now, 1);
  return HandleEditingLeftClick(x, y);
}

bool TQMemo::HandleLeftButtonDblClk(int x, int y) {
  if (HandleEditingDblClk(x, y)) return true;
  const DWORD now = GetTickCount();
  if (IsRepeatClick(Handle(), x, y, now) && gClick.state == 3) {
    gClick.state = 0;
    gClick.timed = false;
    VSLeave(false);
    SetFocus();
    SelectLineAtPoint(x, y);
    return true;
  }
  RecordClick(Handle(), x, y, now, 2);
  return false;
}

void TQMemo::SelectRunAtPoint(int x, int y) {
  const int index = CharFromPoint(x, y);
  const int line = LineFromChar(index);
  const int start = LineIndex(line);
  if (start < 0) return;
  const int length = static_cast<int>(SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(start), 0));
  std::u16string wide = WideRange(start, start + std::max(0, length));
  const std::string local = NoteText::WideToEditorText(wide);
  RichEdit::WipeWide(wide);
  int a = 0, b = 0;
  NoteText::RunAt(local, index - start, a, b);
  SetSel(start + a, start + b);
}

void TQMemo::SelectLineAtPoint(int x, int y) {
  const int index = CharFromPoint(x, y);
  const int line = LineFromChar(index);
  const int start = LineIndex(line);
  if (start < 0) return;
  const int length = static_cast<int>(SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(start), 0));
  std::u16string wide = WideRange(start, start + std::max(0, length));
  const std::string local = NoteText::WideToEditorText(wide);
  RichEdit::WipeWide(wide);
  const NoteText::TLineInfo info = NoteText::LineInfoAt(local, 0);
  SetSel(start + info.start, start + info.trimmedEnd);
}

void TQMemo::AfterFocusLost() {
  if (HandleAllocated()) {
    savedTopLine_ = FirstVisibleLine();
    savedAtBottom_ = IsViewScrolledToBottom();
    savedHScroll_ = HorizontalScroll();
  } else {
    savedTopLine_ = -1;
    savedAtBottom_ = false;
    savedHScroll_ = 0;
  }
  Invalidate();
}

void TQMemo::AfterFocusGained() {
  // Coming back to a view kept at the bottom, the control may have moved it
  // by a line or two: it goes back to where it was.
  if (savedAtBottom_ && savedTopLine_ >= 0) {
    const int delta = savedTopLine_ - FirstVisibleLine();
    if (delta != 0 && std::abs(delta) <= 2) SendMessageW(Handle(), EM_LINESCROLL, 0, delta);
  }
  FixHorizontalScrollForShortCurrentLine(savedHScroll_);
  Invalidate();
}

void TQMemo::FixHorizontalScrollForShortCurrentLine(int savedHScroll) {
  if (!HandleAllocated() || savedHScroll != 0 || HorizontalScroll() == 0) return;
  int s, e;
  GetSel(s, e);
  const int start = LineIndex(LineFromChar(s));
  if (start < 0) return;
  const int length = static_cast<int>(SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(start), 0));
  std::u16string wide = WideRange(start, start + std::max(0, length));
  std::u16string expanded;
  const int tab = tabSpaces_ < 1 ? 4 : tabSpaces_;
  for (char16_t c : wide) {
    if (c == u'\t') {
      expanded.append(static_cast<std::size_t>(tab), u' ');
    } else {
      expanded.push_back(c);
    }
  }
  RichEdit::WipeWide(wide);
  SIZE sz{0, 0};
  {
    TWindowDC dc(Handle());
    if (!dc.get()) return;
    TSelectGuard font(dc.get(), font_.Handle());
    GetTextExtentPoint32W(dc.get(), reinterpret_cast<LPCWSTR>(expanded.c_str()), static_cast<int>(expanded.size()),
                          &sz);
  }
  RichEdit::WipeWide(expanded);
  RECT client;
  GetClientRect(Handle(), &client);
  const int available =
      std::max(0, static_cast<int>(client.right) - (showLineNumbers_ ? gutterWidth_ + 2 : 0) - 8);
  if (sz.cx <= available) SendMessageW(Handle(), WM_HSCROLL, SB_LEFT, 0);
}
