// TQMemo: the colouring passes, their setters, the glyph cache and the
// images painted over tokens.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <richole.h>
#include <tom.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Wipe.h"
#include "notes/QMemo.h"
#include "notes/RichEditFormat.h"
#include "notes/RichEditHelpers.h"
#include "notes/text/LineText.h"
#include "notes/text/Tokens.h"

namespace {

// A DC of the editor's window with the editor's font selected, for
// measuring token characters. A view shows the same few tokens many times,
// and each is measured a character at a time: every text is measured once.
class TFontDC {
 public:
  TFontDC(HWND wnd, HFONT font) : dc_(wnd), guard_(dc_.get(), font) {}
  TFontDC(const TFontDC&) = delete;
  TFontDC& operator=(const TFontDC&) = delete;
  ~TFontDC() {
    for (auto& [text, width] : widths_) WipeString(text);
  }
  HDC get() const { return dc_.get(); }
  int Width(const char* text, int count) {
    if (!dc_.get() || count <= 0) return 0;
    const std::string_view wanted(text, static_cast<std::size_t>(count));
    for (const auto& [known, width] : widths_) {
      if (known == wanted) return width;
    }
    SIZE sz{0, 0};
    GetTextExtentPoint32A(dc_.get(), text, count, &sz);
    widths_.emplace_back(std::string(wanted), static_cast<int>(sz.cx));
    return sz.cx;
  }

 private:
  TWindowDC dc_;
  TSelectGuard guard_;
  std::vector<std::pair<std::string, int>> widths_;
};

// The icons of one painting, each taken from its image list once: a note
// shows the same few images many times, and taking an icon out of a list
// costs far more than drawing it. (The glyphs' icons are kept longer: the
// editor knows when their list changes.)
class TPaintIcons {
 public:
  TPaintIcons() = default;
  TPaintIcons(const TPaintIcons&) = delete;
  TPaintIcons& operator=(const TPaintIcons&) = delete;
  ~TPaintIcons() {
    for (const TEntry& e : entries_) {
      if (e.icon) DestroyIcon(e.icon);
    }
  }
  HICON Get(HIMAGELIST list, int index) {
    for (const TEntry& e : entries_) {
      if (e.list == list && e.index == index) return e.icon;
    }
    const HICON icon = ImageList_GetIcon(list, index, ILD_TRANSPARENT);
    entries_.push_back({list, index, icon});
    return icon;
  }

 private:
  struct TEntry {
    HIMAGELIST list;
    int index;
    HICON icon;
  };
  std::vector<TEntry> entries_;
};

// ITextDocument {8CC497C0-A1DF-11CE-8098-00AA0047BE5D}.
const GUID kIidTextDocument = {0x8CC497C0, 0xA1DF, 0x11CE, {0x80, 0x98, 0x00, 0xAA, 0x00, 0x47, 0xBE, 0x5D}};

// Whether the character at index is hidden or drawn in the given colour,
// read through the control's text objects (the selection stays as it is).
bool HiddenOrInColor(HWND wnd, int index, COLORREF color) {
  IRichEditOle* ole = nullptr;
  if (!SendMessageW(wnd, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole)) || !ole) return false;
  void* docPtr = nullptr;
  const bool haveDoc = SUCCEEDED(ole->QueryInterface(kIidTextDocument, &docPtr)) && docPtr;
  ole->Release();
  if (!haveDoc) return false;
  auto* doc = static_cast<ITextDocument*>(docPtr);
  bool result = false;
  ITextRange* range = nullptr;
  if (SUCCEEDED(doc->Range(index, index + 1, &range)) && range) {
    ITextFont* font = nullptr;
    if (SUCCEEDED(range->GetFont(&font)) && font) {
      long hidden = tomFalse;
      long fore = 0;
      if (SUCCEEDED(font->GetHidden(&hidden)) && hidden == tomTrue) {
        result = true;
      } else if (SUCCEEDED(font->GetForeColor(&fore)) && static_cast<COLORREF>(fore) == color) {
        result = true;
      }
      font->Release();
    }
    range->Release();
  }
  doc->Release();
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// What a pass draws

NoteText::TColorFlags TQMemo::ColorFlags() const {
  NoteText::TColorFlags f;
  f.syntaxHighlighting = syntaxHighlighting_;
  f.inlineStyles = inlineStyles_;
  f.showGlyphs = showUtf8IconsInline_ && glyphImages_ != nullptr;
  f.imageCount = imageList_ ? std::max(0, imageList_->Count()) : 0;
  return f;
}

NoteText::TSyntaxPalette TQMemo::Palette() const {
  NoteText::TSyntaxPalette p;
  const bool n = nightMode_;
  p.text = ColorToRGB(GetDefaultTextColor());
  p.keyword = ColorToRGB(n ? keywordColorNight_ : keywordColor_);
  p.string = ColorToRGB(n ? stringColorNight_ : stringColor_);
  p.comment = ColorToRGB(n ? commentColorNight_ : commentColor_);
  p.method = ColorToRGB(n ? methodColorNight_ : methodColor_);
  p.token = ColorToRGB(n ? tokenColorNight_ : tokenColor_);
  return p;
}

bool TQMemo::ColoringWantedFor(const std::string& text) const {
  // Tokens formatted by an earlier pass are put back to plain text once
  // they are gone, so a pass is due then too.
  return tokensFormatted_ || NoteText::ColoringWanted(text, ColorFlags());
}

// ---------------------------------------------------------------------------
// Deferred passes

void TQMemo::ScheduleColorize(int delayMs, bool keepView) {
  if (internalUpdate_ || !HandleAllocated()) return;
  if (!syntaxHighlighting_) {
    if (!ColoringWantedFor(CurrentText())) return;
  }
  colorPending_ = true;
  colorKeepView_ = keepView;
  colorTimer_->SetEnabled(false);
  colorTimer_->SetInterval(static_cast<unsigned>(std::max(1, delayMs)));
  colorTimer_->SetEnabled(true);
}

void TQMemo::ColorTimerHandler() {
  colorTimer_->SetEnabled(false);
  if (!colorPending_) return;
  colorPending_ = false;
  const bool keepView = colorKeepView_;
  colorKeepView_ = false;
  if (!HandleAllocated() || !Parent()) return;
  if (keepView) {
    ColorizeTextKeepView();
    return;
  }
  ColorizeText();
  if (!IsCaretVisibleInView()) ScrollCaret();
}

void TQMemo::CheckVisibleAndColorize() {
  if (internalUpdate_ || !HandleAllocated()) return;
  const int first = FirstVisibleLine();
  if (first == lastTopLine_) return;
  lastTopLine_ = first;
  ScheduleColorize(222, true);
}

bool TQMemo::IsCaretVisibleInView() {
  if (!HandleAllocated()) return true;
  const int metrics = MetricsLineHeight();
  const int lineHeight = metrics < 1 ? 16 : metrics;
  RECT client;
  GetClientRect(Handle(), &client);
  const int visible = std::max(1, static_cast<int>(client.bottom) / lineHeight);
  const int first = FirstVisibleLine();
  const int line = LineFromChar(CaretIndex());
  return line >= first && line < first + visible;
}

void TQMemo::PrepareInsertionFormat() {
  // The control gives new text the format of the character before it. After
  // a token's hidden tail, a hidden markup marker or a colour token that
  // would keep typed text invisible until the next pass, which every key
  // puts off again.
  if (!tokensFormatted_ || !HandleAllocated()) return;
  int s, e;
  GetSel(s, e);
  if (s != e || s <= 0) return;
  const COLORREF background = ColorToRGB(color_);
  if (!HiddenOrInColor(Handle(), s - 1, background)) return;
  COLORREF color = ColorToRGB(GetDefaultTextColor());
  const std::string& text = CurrentText();
  if (NoteText::InlineTokensPresent(text, ColorFlags()) && s <= static_cast<int>(text.size())) {
    // The colour in force: the nearest colour token that ends at or before
    // the caret.
    std::size_t from = static_cast<std::size_t>(s - 1);
    for (;;) {
      const std::size_t f = text.rfind("[[COLOR:", from);
      if (f == std::string::npos) break;
      bool off = false;
      TColor tokenColor = 0;
      const int n = NoteText::ParseColorToken(text, static_cast<int>(f), off, tokenColor);
      if (n > 0 && static_cast<int>(f) + n <= s) {
        if (!off) color = ColorToRGB(tokenColor);
        break;
      }
      if (f == 0) break;
      from = f - 1;
    }
  }
  CHARFORMAT2W cf = RichEdit::EmptyFormat();
  cf.dwMask = CFM_COLOR | CFM_HIDDEN;
  cf.crTextColor = color;
  RichEdit::SetFormat(Handle(), cf, SCF_SELECTION);
}

// ---------------------------------------------------------------------------
// The pass

void TQMemo::ColorizeText() {
  if (internalUpdate_ || !HandleAllocated()) return;
  const std::string& text = CurrentText();
  if (!ColoringWantedFor(text)) return;
  internalUpdate_ = true;
  const TQMemoViewState view = SaveViewState();
  const bool atBottom = IsViewScrolledToBottom();
  SetRedraw(false);
  if (text.empty()) {
    tokensFormatted_ = false;
    SetRedraw(true);
    lastTopLine_ = FirstVisibleLine();
    Invalidate();
    internalUpdate_ = false;
    return;
  }
  const NoteText::TColorFlags flags = ColorFlags();
  if (tokensFormatted_ && !NoteText::InlineTokensPresent(text, flags) && !NoteText::GlyphTokensPresent(text, flags)) {
    // The last formatted token went: nothing may stay hidden anywhere.
    ResetWholeText(true);
    tokensFormatted_ = false;
  }
  const NoteText::TLineIndex lines(text);
  RECT client;
  GetClientRect(Handle(), &client);
  const int lineHeight = LineHeightWg();
  const NoteText::TColorRange range =
      NoteText::VisibleColorRange(lines, FirstVisibleLine(), static_cast<int>(client.bottom), lineHeight);
  const std::vector<NoteText::TFormatOp> ops =
      NoteText::PlanColoring(text, range.start, range.end, flags, Palette(), keywords_);
  ApplyFormatOps(text, ops, lineHeight);

  lastTopLine_ = FirstVisibleLine();
  RestoreViewState(view, true);
  if (atBottom && LineFromChar(view.SelStart) != LineCount() - 1) {
    SendMessageW(Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  }
  SetRedraw(true);
  lastTopLine_ = FirstVisibleLine();
  Invalidate();
  internalUpdate_ = false;
}

void TQMemo::ColorizeTextKeepView() {
  if (!HandleAllocated() || !ColoringWantedFor(CurrentText())) return;
  ColorizeText();
  Invalidate();
}

void TQMemo::ApplyFormatOps(const std::string& text, const std::vector<NoteText::TFormatOp>& ops, int lineHeight) {
  HWND wnd = Handle();
  const COLORREF background = ColorToRGB(color_);
  const int fontSize = std::max(1, font_.Size());
  TFontDC dc(wnd, font_.Handle());
  // Each token shown as an image: its first characters, as wide as a line
  // is high, stay in place in the background colour (the image is painted
  // over them); the rest of the token is hidden.
  std::vector<NoteText::TFormatOp> resolved;
  resolved.reserve(ops.size() + ops.size() / 2);
  bool sizeOrFace = false;
  for (const NoteText::TFormatOp& op : ops) {
    if (op.length <= 0) continue;
    switch (op.kind) {
      case NoteText::TFormatKind::ImageToken:
      case NoteText::TFormatKind::GlyphToken: {
        if (op.kind == NoteText::TFormatKind::GlyphToken && GetUnicodeImageIndex(op.value) < 0) continue;
        const char* token = text.data() + op.start;
        const int k = NoteText::TokenCharsForWidth(op.length, lineHeight,
                                                   [&](int count) { return dc.Width(token, count); });
        NoteText::TFormatOp covered;
        covered.kind = NoteText::TFormatKind::Cover;
        covered.start = op.start;
        covered.length = k;
        covered.color = background;
        resolved.push_back(covered);
        NoteText::TFormatOp hidden;
        hidden.kind = NoteText::TFormatKind::Hide;
        hidden.start = op.start + k;
        hidden.length = op.length - k;
        resolved.push_back(hidden);
        tokensFormatted_ = true;
        continue;
      }
      case NoteText::TFormatKind::Hide:
        tokensFormatted_ = true;
        break;
      case NoteText::TFormatKind::Style:
        sizeOrFace = sizeOrFace || op.codeFace;
        break;
      case NoteText::TFormatKind::Heading:
        sizeOrFace = true;
        break;
      default:
        break;
    }
    resolved.push_back(op);
  }
  if (resolved.empty()) return;
  int rangeStart = resolved.front().start, rangeEnd = rangeStart;
  for (const NoteText::TFormatOp& op : resolved) {
    if (op.length <= 0) continue;
    rangeStart = std::min(rangeStart, op.start);
    rangeEnd = std::max(rangeEnd, op.start + op.length);
  }
  // Size and face are reset only where some pass changed them: they cost
  // the control a new layout of every line they touch.
  const std::vector<NoteText::TFormatRun> runs =
      NoteText::FlattenFormatOps(resolved, rangeStart, rangeEnd, fontSize, sizeOrFaceFormatted_);
  if (sizeOrFace) sizeOrFaceFormatted_ = true;
  // Every character is formatted once, with only what it does not show
  // already: the pass before left most of the view as it should be, and
  // each change makes the control lay its lines out again.
  RichEdit::TRangeFormatter formatter(wnd);
  // What the whole range shows already needs no reading run by run: after
  // an edit or a scroll most of it is plain text.
  RichEdit::TCharSpec plain;
  plain.setHidden = plain.setBold = plain.setItalic = true;
  plain.setFace = plain.setSize = sizeOrFaceFormatted_;
  plain.face = font_.Name();
  plain.points = fontSize;
  formatter.DropPresent(rangeStart, rangeEnd, plain);
  std::vector<RichEdit::TRangeSpec> changes;
  changes.reserve(runs.size());
  for (const NoteText::TFormatRun& run : runs) {
    const NoteText::TCharState& st = run.state;
    RichEdit::TCharSpec change;
    change.setColor = st.hasColor;
    change.color = ColorToRGB(st.color);
    change.setHidden = st.hasHidden;
    change.hidden = st.hidden;
    change.setBold = st.hasBold;
    change.bold = st.bold;
    change.setItalic = st.hasItalic;
    change.italic = st.italic;
    change.setFace = st.hasFace;
    change.face = st.codeFace ? "Consolas" : font_.Name();
    change.setSize = st.hasSize;
    change.points = st.points;
    if (!plain.setHidden && !change.hidden) change.setHidden = false;
    if (!plain.setBold && !change.bold) change.setBold = false;
    if (!plain.setItalic && !change.italic) change.setItalic = false;
    if (!plain.setFace && change.face == plain.face) change.setFace = false;
    if (!plain.setSize && change.points == plain.points) change.setSize = false;
    changes.push_back({run.start, run.end, std::move(change)});
  }
  formatter.ApplyRuns(changes);
}

void TQMemo::ResetWholeText(bool fullReset) {
  // A format for all text leaves the selection and the view as they are.
  if (!HandleAllocated() || TextLength() == 0) return;
  CHARFORMAT2W cf = RichEdit::EmptyFormat();
  cf.dwMask = CFM_COLOR;
  cf.crTextColor = ColorToRGB(GetDefaultTextColor());
  if (fullReset) {
    cf.dwMask |= CFM_SIZE | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_HIDDEN;
    cf.yHeight = std::max(1, font_.Size()) * 20;
    RichEdit::SetFace(cf, font_.Name());
  }
  const bool wasInternal = internalUpdate_;
  internalUpdate_ = true;
  RichEdit::SetFormat(Handle(), cf, SCF_ALL);
  internalUpdate_ = wasInternal;
  if (fullReset) sizeOrFaceFormatted_ = false;
  Invalidate();
}

// ---------------------------------------------------------------------------
// Setters

void TQMemo::SetSyntaxHighlighting(bool value) {
  if (value == syntaxHighlighting_) return;
  colorPending_ = false;
  colorTimer_->SetEnabled(false);
  syntaxHighlighting_ = value;
  if (!HandleAllocated()) return;
  if (value) {
    ColorizeTextKeepView();
    return;
  }
  const int top = FirstVisibleLine();
  std::string text = ControlText();
  if (!text.empty()) {
    // Everything back to the default text colour, the view kept.
    ResetWholeText(false);
    RestoreTopVisibleLine(top);
    const NoteText::TColorFlags flags = ColorFlags();
    if (NoteText::InlineTokensPresent(text, flags) || NoteText::GlyphTokensPresent(text, flags)) {
      ColorizeTextKeepView();
    }
  }
  WipeString(text);
  Invalidate();
}

void TQMemo::SetInlineStyles(bool value) {
  if (value == inlineStyles_) return;
  colorPending_ = false;
  colorTimer_->SetEnabled(false);
  inlineStyles_ = value;
  if (!HandleAllocated()) return;
  if (!value) {
    ResetWholeText(true);
    const bool glyphs = NoteText::GlyphTokensPresent(CurrentText(), ColorFlags());
    if (!syntaxHighlighting_ && !glyphs) {
      tokensFormatted_ = false;
      Invalidate();
      return;
    }
  }
  ColorizeTextKeepView();
}

void TQMemo::SetShowUTF8IconsInline(bool value) {
  if (value == showUtf8IconsInline_) return;
  showUtf8IconsInline_ = value;
  if (!HandleAllocated()) return;
  if (!value) {
    // Every code-point token shows its letters again.
    std::string text = ControlText();
    if (text.find("[[") != std::string::npos) {
      const bool wasInternal = internalUpdate_;
      internalUpdate_ = true;
      const TQMemoViewState view = SaveViewState();
      SetRedraw(false);
      CHARFORMAT2W cf = RichEdit::EmptyFormat();
      cf.dwMask = CFM_COLOR | CFM_HIDDEN;
      cf.crTextColor = ColorToRGB(GetDefaultTextColor());
      for (std::size_t i = text.find("[["); i != std::string::npos; i = text.find("[[", i + 1)) {
        std::uint32_t cp = 0;
        const int n = NoteText::ParseCodePointToken(text, static_cast<int>(i), cp);
        if (n == 0) continue;
        SetSel(static_cast<int>(i), static_cast<int>(i) + n);
        RichEdit::SetFormat(Handle(), cf, SCF_SELECTION);
      }
      RestoreViewState(view, true);
      SetRedraw(true);
      internalUpdate_ = wasInternal;
    }
    const bool inlineTokens = NoteText::InlineTokensPresent(text, ColorFlags());
    WipeString(text);
    if (!syntaxHighlighting_ && !inlineTokens) {
      Invalidate();
      return;
    }
  }
  ColorizeTextKeepView();
  Invalidate();
}

void TQMemo::SetImageList(TImageList* list) {
  if (list == imageList_) return;
  SetReference(imageList_, list);
  ImageListChanged();
}

void TQMemo::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && DropReference(imageList_, component)) ImageListChanged();
}

void TQMemo::ImageListChanged() {
  if (!HandleAllocated()) return;
  std::string text = ControlText();
  const bool images = inlineStyles_ && text.find("[[IMG:") != std::string::npos;
  WipeString(text);
  if (images) {
    ColorizeTextKeepView();
  } else {
    Invalidate();
  }
}

void TQMemo::SetKeywordList(const std::string& list) {
  keywordList_ = list;
  keywords_.SetList(list);
}

void TQMemo::SetTextColor(TColor color) {
  if (color == textColor_) return;
  textColor_ = color;
  if (!nightMode_) TextColorInForceChanged(color);
}

void TQMemo::TextColorInForceChanged(TColor color) {
  // Glyphs are drawn in the text colour.
  ClearUnicodeImageCache();
  font_.SetColor(color);
  if (!HandleAllocated()) return;
  if (NoteText::GlyphTokensPresent(CurrentText(), ColorFlags())) {
    ColorizeTextKeepView();
  } else {
    Invalidate();
  }
}

void TQMemo::SetTextColorNight(TColor color) {
  if (color == textColorNight_) return;
  textColorNight_ = color;
  if (nightMode_) TextColorInForceChanged(color);
}

void TQMemo::SetTokenColor(TColor c) {
  if (c == tokenColor_) return;
  tokenColor_ = c;
  Invalidate();
}

void TQMemo::SetLineNumberColor(TColor c) {
  if (c == lineNumberColor_) return;
  lineNumberColor_ = c;
  Invalidate();
}

void TQMemo::SetNightMode(bool value) {
  if (value == nightMode_) return;
  {
    const bool wasInternal = internalUpdate_;
    struct TRestore {
      bool& flag;
      bool value;
      ~TRestore() { flag = value; }
    } restore{internalUpdate_, wasInternal};
    internalUpdate_ = true;
    UpdateNightModeBorder(value);
    nightMode_ = value;
    ClearUnicodeImageCache();
    color_ = value ? clBlack : clWindow;
    font_.SetColor(value ? textColorNight_ : textColor_);
    if (HandleAllocated()) {
      SendMessageW(Handle(), EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(color_)));
      ApplyFontToText();
    }
  }
  if (!HandleAllocated()) {
    AfterNightModeSwitch();
    return;
  }
  if (syntaxHighlighting_) {
    SetSyntaxHighlighting(false);
    SetSyntaxHighlighting(true);
  } else {
    ColorizeTextKeepView();
  }
  Invalidate();
  AfterNightModeSwitch();
}

// ---------------------------------------------------------------------------
// Glyphs

int TQMemo::GlyphCount() const { return static_cast<int>(glyphKeys_.size()); }

void TQMemo::ClearUnicodeImageCache() {
  DestroyGlyphIcons();
  if (glyphImages_) glyphImages_->Clear();
  glyphKeys_.clear();
  glyphFailures_.clear();
}

void TQMemo::DestroyGlyphIcons() {
  for (HICON icon : glyphIcons_) {
    if (icon) DestroyIcon(icon);
  }
  glyphIcons_.clear();
}

HICON TQMemo::GlyphIcon(int index) {
  if (!glyphImages_ || index < 0 || index >= static_cast<int>(glyphKeys_.size())) return nullptr;
  if (glyphIcons_.size() < glyphKeys_.size()) glyphIcons_.resize(glyphKeys_.size(), nullptr);
  HICON& icon = glyphIcons_[static_cast<std::size_t>(index)];
  if (!icon) icon = ImageList_GetIcon(glyphImages_->Handle(), index, ILD_TRANSPARENT);
  return icon;
}

int TQMemo::GetUnicodeImageIndex(std::uint32_t codePoint) {
  if (!glyphImages_) return -1;
  const auto hit = std::find(glyphKeys_.begin(), glyphKeys_.end(), codePoint);
  if (hit != glyphKeys_.end()) return static_cast<int>(hit - glyphKeys_.begin());
  // A code point that could not be drawn is not tried again until the cache
  // is cleared.
  if (std::find(glyphFailures_.begin(), glyphFailures_.end(), codePoint) != glyphFailures_.end()) return -1;
  TBitmap bitmap;
  int index = -1;
  if (RenderUnicodeImage(codePoint, bitmap)) index = glyphImages_->AddMasked(bitmap, clFuchsia);
  if (index >= 0 && index != static_cast<int>(glyphKeys_.size())) {
    glyphImages_->Delete(index);
    index = -1;
  }
  if (index < 0) {
    glyphFailures_.push_back(codePoint);
    return -1;
  }
  glyphKeys_.push_back(codePoint);
  return index;
}

bool TQMemo::RenderUnicodeImage(std::uint32_t codePoint, TBitmap& bitmap) {
  if (!NoteText::IsValidCodePoint(codePoint)) return false;
  if (!bitmap.SetSize(32, 32) || bitmap.Empty()) return false;
  bitmap.Canvas().Brush().SetColor(clFuchsia);
  bitmap.Canvas().FillRect(RECT{0, 0, 32, 32});
  const std::u16string units = NoteText::CodePointToUtf16(codePoint);
  const auto* text = reinterpret_cast<LPCWSTR>(units.c_str());
  const int count = static_cast<int>(units.size());
  HDC dc = bitmap.CanvasHandle();
  SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ColorToRGB(GetDefaultTextColor()));
  for (int height = 32; height >= 6; --height) {
    // Without smoothing: edge pixels blended with the mask colour would
    // stay on as a magenta fringe.
    TGdiObject font(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Segoe UI Emoji"));
    if (!font) continue;
    TSelectGuard guard(dc, font.get());
    SIZE sz{0, 0};
    if (!GetTextExtentPoint32W(dc, text, count, &sz)) continue;
    if (sz.cx < 1 || sz.cx > 30 || sz.cy < 1 || sz.cy > 30) continue;
    ExtTextOutW(dc, (32 - sz.cx) / 2, (32 - sz.cy) / 2, 0, nullptr, text, static_cast<UINT>(count), nullptr);
    GdiFlush();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Painting the images over their tokens

void TQMemo::PaintInlineImages() {
  if (internalUpdate_ || !HandleAllocated()) return;
  const bool images = inlineStyles_ && imageList_ && imageList_->Count() > 0;
  const bool glyphs = showUtf8IconsInline_ && glyphImages_ && glyphImages_->Count() > 0;
  if (!images && !glyphs) return;
  HWND wnd = Handle();
  TFontDC dc(wnd, font_.Handle());
  if (!dc.get()) return;
  TEXTMETRICA tm{};
  GetTextMetricsA(dc.get(), &tm);
  int lineHeight = tm.tmHeight + tm.tmExternalLeading;
  if (lineHeight <= 0) lineHeight = 16;
  RECT client;
  GetClientRect(wnd, &client);
  const int first = FirstVisibleLine();
  const int lines = std::max(4, static_cast<int>(client.bottom) / lineHeight + 4);
  const int start = LineIndex(first);
  if (start < 0) return;
  int end = LineIndex(first + lines);
  if (end < 0) end = TextLength();
  std::u16string wide = WideRange(start, end);
  std::string local = NoteText::WideToEditorText(wide);
  RichEdit::WipeWide(wide);
  const int size = lineHeight;
  TPaintIcons icons;
  for (int p = 0; p < static_cast<int>(local.size());) {
    if (local[static_cast<std::size_t>(p)] != '[') {
      ++p;
      continue;
    }
    HIMAGELIST list = nullptr;
    int index = -1;
    int length = 0;
    int number = 0;
    std::uint32_t cp = 0;
    if (images && (length = NoteText::ParseImageToken(local, p, number)) > 0 && number < imageList_->Count()) {
      list = imageList_->Handle();
      index = number;
    } else if (glyphs && (length = NoteText::ParseCodePointToken(local, p, cp)) > 0 &&
               (index = GetUnicodeImageIndex(cp)) >= 0) {
      list = glyphImages_->Handle();
    }
    if (!list || index < 0) {
      ++p;
      continue;
    }
    const char* token = local.data() + p;
    const int k = NoteText::TokenCharsForWidth(length, size, [&](int count) { return dc.Width(token, count); });
    POINT at;
    if (PosFromChar(start + p, at)) {
      const int w = dc.Width(token, k);
      int iw = 0, ih = 0;
      ImageList_GetIconSize(list, &iw, &ih);
      int dw = size, dh = size;
      NoteText::FitImageToSquare(iw, ih, size, dw, dh);
      const int x = at.x + (w - dw) / 2;
      const int y = at.y + (lineHeight - dh) / 2;
      const RECT r{x, y, x + dw, y + dh};
      RECT overlap;
      if (IntersectRect(&overlap, &r, &client)) {
        const HICON icon = glyphs && list == glyphImages_->Handle() ? GlyphIcon(index) : icons.Get(list, index);
        if (icon) DrawIconEx(dc.get(), x, y, icon, dw, dh, 0, nullptr, DI_NORMAL);
      }
    }
    p += length;
  }
  WipeString(local);
}
