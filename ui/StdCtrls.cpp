#include "ui/StdCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/Form.h"

TStdControl::TStdControl(TComponent* owner) : TWinControl(owner) {
  font_.OnChange = [this](TGraphicsObject*) {
    ApplyFont();
    FontChanged();
  };
}

TStdControl::~TStdControl() {
  font_.OnChange = nullptr;
  // The window must not keep a font that is about to be deleted.
  if (HandleAllocated()) SendMessageA(Handle(), WM_SETFONT, 0, FALSE);
}

void TStdControl::ApplyFont() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
}

void TStdControl::CreateWnd() { ApplyFont(); }

// ---------------------------------------------------------------------------

TButton::TButton(TComponent* owner) : TStdControl(owner) {}

void TButton::CreateParams(TCreateParams& params) {
  params.WinClassName = "BUTTON";
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON;
}

LRESULT TButton::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // A quick second click is a click of its own, not a double click.
  if (msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;
  return TStdControl::WndProc(msg, wParam, lParam);
}

bool TButton::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    Click();
    result = 0;
    return true;
  }
  return false;
}

void TButton::Click() {
  // The result first, so that an OnClick handler can still take it back.
  if (modalResult_ != mrNone) {
    for (TWinControl* p = Parent(); p; p = p->Parent()) {
      if (auto* form = dynamic_cast<TForm*>(p)) {
        form->SetModalResult(modalResult_);
        break;
      }
    }
  }
  if (OnClick) OnClick(this);
}

// ---------------------------------------------------------------------------

TGlyphPlacement PlaceGlyphAndCaption(const RECT& p, bool hasGlyph, int gw, int gh, bool hasCaption,
                                     int tw, int th, TButtonLayout layout, int margin, int spacing) {
  if (!hasGlyph) gw = gh = 0;
  if (!hasCaption) tw = th = 0;
  if (spacing < 0) spacing = 4;
  const int s = (hasGlyph && hasCaption) ? spacing : 0;
  const int pw = p.right - p.left, ph = p.bottom - p.top;
  int bw = tw, bh = th;
  if (hasGlyph) {
    if (layout == blGlyphLeft || layout == blGlyphRight) {
      bw = gw + s + tw;
      bh = std::max(th, gh);
    } else {
      bw = std::max(tw, gw);
      bh = th + gh + s;
    }
  }
  const int x0 = margin < 0 ? p.left + (pw - bw) / 2 : p.left + margin;
  const int y0 = p.top + (ph - bh) / 2;
  TGlyphPlacement r;
  switch (layout) {
    case blGlyphLeft:
      r.Glyph = {x0, p.top + (ph - gh) / 2};
      r.Text = {x0 + gw + s, p.top + (ph - th) / 2};
      break;
    case blGlyphRight:
      r.Text = {x0, p.top + (ph - th) / 2};
      r.Glyph = {x0 + tw + s, p.top + (ph - gh) / 2};
      break;
    case blGlyphTop:
      r.Glyph = {p.left + (pw - gw) / 2, y0};
      r.Text = {p.left + (pw - tw) / 2, y0 + gh + s};
      break;
    case blGlyphBottom:
      r.Text = {p.left + (pw - tw) / 2, y0};
      r.Glyph = {p.left + (pw - gw) / 2, y0 + th + s};
      break;
  }
  return r;
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::CreateParams(TCreateParams& params) {
  TButton::CreateParams(params);
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_OWNERDRAW;
}

void TBitBtn::InvalidateButton() {
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TBitBtn::SetGlyph(const TBitmap& glyph) {
  glyph_.Assign(glyph);
  GlyphChanged();
}

void TBitBtn::SetNumGlyphs(int count) {
  count = std::clamp(count, 1, 4);
  if (count == numGlyphs_) return;
  numGlyphs_ = count;
  InvalidateButton();
}

void TBitBtn::SetLayout(TButtonLayout layout) {
  if (layout == layout_) return;
  layout_ = layout;
  InvalidateButton();
}

void TBitBtn::SetMargin(int margin) {
  if (margin == margin_) return;
  margin_ = margin;
  InvalidateButton();
}

void TBitBtn::SetSpacing(int spacing) {
  if (spacing == spacing_) return;
  spacing_ = spacing;
  InvalidateButton();
}

void TBitBtn::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  InvalidateButton();
}

void TBitBtn::SetKind(TBitBtnKind kind) {
  if (kind == kind_) return;
  kind_ = kind;
  static const int results[] = {mrNone, mrOk, mrCancel, mrNone, mrYes, mrNo,
                                mrNone, mrAbort, mrRetry, mrIgnore, mrNo + 1 /* all */};
  SetModalResult(results[kind]);
}

void TBitBtn::Click() {
  TButton::Click();
  if (kind_ == bkClose) {
    for (TWinControl* p = Parent(); p; p = p->Parent()) {
      if (auto* form = dynamic_cast<TForm*>(p)) {
        form->Close();
        break;
      }
    }
  }
}

bool TBitBtn::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_DRAWITEM) {
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (dis && dis->CtlType == ODT_BUTTON) {
      DrawItem(*dis);
      result = TRUE;
      return true;
    }
  }
  return TButton::ReflectedMessage(msg, wParam, lParam, result);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& dis) {
  TCanvas canvas(dis.hDC);
  RECT r = dis.rcItem;
  const bool pressed = (dis.itemState & ODS_SELECTED) != 0;
  const bool disabled = (dis.itemState & ODS_DISABLED) != 0;
  canvas.Brush().SetColor(color_);
  canvas.FillRect(r);
  DrawFrameControl(dis.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  InflateRect(&r, -4, -2);
  if (pressed) OffsetRect(&r, 1, 1);
  canvas.Font().Assign(Font());
  canvas.Font().SetColor(disabled ? clGrayText : clBtnText);
  canvas.Brush().SetStyle(bsClear);
  const std::string caption = Text();
  SIZE t = caption.empty() ? SIZE{0, 0} : canvas.TextExtent(caption);
  const bool hasGlyph = !glyph_.Empty();
  const int gw = hasGlyph ? glyph_.Width() / numGlyphs_ : 0, gh = glyph_.Height();
  TGlyphPlacement at = PlaceGlyphAndCaption(r, hasGlyph, gw, gh, !caption.empty(), t.cx, t.cy, layout_,
                                            margin_, spacing_);
  if (hasGlyph) {
    int cell = (disabled && numGlyphs_ >= 2) ? 1 : 0;
    RECT src{cell * gw, 0, cell * gw + gw, gh};
    canvas.DrawPart(at.Glyph.x, at.Glyph.y, glyph_, src);
  }
  if (!caption.empty()) canvas.TextOut(at.Text.x, at.Text.y, caption);
  if ((dis.itemState & ODS_FOCUS) && !disabled) {
    RECT f = dis.rcItem;
    InflateRect(&f, -4, -4);
    canvas.DrawFocusRect(f);
  }
}

// ---------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TStdControl(owner) {}

void TEdit::CreateParams(TCreateParams& params) {
  params.WinClassName = "EDIT";
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL;
  params.ExStyle = WS_EX_CLIENTEDGE;
}

int TEdit::SelStart() {
  DWORD start = 0, end = 0;
  if (Handle()) SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

int TEdit::SelLength() {
  DWORD start = 0, end = 0;
  if (Handle()) SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TEdit::SetSelection(int start, int length) {
  if (!Handle()) return;
  const int n = GetWindowTextLengthA(Handle());
  start = std::clamp(start, 0, n);
  length = std::clamp(length, 0, n - start);
  SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start + length));
}

void TEdit::SetSelStart(int start) { SetSelection(start, 0); }

void TEdit::SetSelLength(int length) { SetSelection(SelStart(), length); }

std::string TEdit::SelText() {
  const std::string text = Text();
  const int start = std::clamp(SelStart(), 0, static_cast<int>(text.size()));
  const int length = std::clamp(SelLength(), 0, static_cast<int>(text.size()) - start);
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

void TEdit::SelectAll() {
  if (Handle()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

LRESULT TEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP: {
      WORD key = static_cast<WORD>(wParam);
      if (msg == WM_KEYDOWN)
        KeyDown(key, KeyboardShiftState());
      else
        KeyUp(key, KeyboardShiftState());
      if (key == 0 || !HandleAllocated()) return 0;
      return TStdControl::WndProc(msg, key, lParam);
    }
    case WM_SETFOCUS: {
      LRESULT r = TStdControl::WndProc(msg, wParam, lParam);
      DoEnter();
      return r;
    }
    case WM_KILLFOCUS: {
      LRESULT r = TStdControl::WndProc(msg, wParam, lParam);
      DoExit();
      return r;
    }
    default:
      return TStdControl::WndProc(msg, wParam, lParam);
  }
}

bool TEdit::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    Change();
    result = 0;
    return true;
  }
  return false;
}

void TEdit::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TEdit::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TEdit::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TEdit::DoExit() {
  if (OnExit) OnExit(this);
}

void TEdit::Change() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* owner) : TStdControl(owner) {}

void TStatusBar::CreateParams(TCreateParams& params) {
  params.WinClassName = STATUSCLASSNAMEA;
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | CCS_BOTTOM | (sizeGrip_ ? SBARS_SIZEGRIP : 0);
}

void TStatusBar::CreateWnd() {
  TStdControl::CreateWnd();
  ApplyParts();
}

void TStatusBar::ApplyParts() {
  if (!HandleAllocated()) return;
  std::vector<int> edges;
  int edge = 0;
  for (const TPanel& p : panels_) {
    edge += p.Width;
    edges.push_back(edge);
  }
  if (!edges.empty()) edges.back() = -1;
  if (edges.empty()) {
    int all = -1;
    SendMessageA(Handle(), SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&all));
    SendMessageA(Handle(), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(""));
    return;
  }
  SendMessageA(Handle(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  for (std::size_t i = 0; i < panels_.size(); ++i)
    SendMessageA(Handle(), SB_SETTEXTA, i, reinterpret_cast<LPARAM>(panels_[i].Text.c_str()));
}

void TStatusBar::AddPanel(int width, const std::string& text) {
  panels_.push_back(TPanel{std::max(width, 0), text});
  ApplyParts();
}

void TStatusBar::ClearPanels() {
  panels_.clear();
  ApplyParts();
}

int TStatusBar::PanelWidth(int index) const {
  if (index < 0 || index >= PanelCount()) return 0;
  return panels_[static_cast<std::size_t>(index)].Width;
}

void TStatusBar::SetPanelWidth(int index, int width) {
  if (index < 0 || index >= PanelCount()) return;
  width = std::max(width, 0);
  if (panels_[static_cast<std::size_t>(index)].Width == width) return;
  panels_[static_cast<std::size_t>(index)].Width = width;
  ApplyParts();
}

std::string TStatusBar::PanelText(int index) const {
  if (index < 0 || index >= PanelCount()) return std::string();
  return panels_[static_cast<std::size_t>(index)].Text;
}

void TStatusBar::SetPanelText(int index, const std::string& text) {
  if (index < 0 || index >= PanelCount()) return;
  if (panels_[static_cast<std::size_t>(index)].Text == text) return;
  panels_[static_cast<std::size_t>(index)].Text = text;
  if (HandleAllocated()) SendMessageA(Handle(), SB_SETTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
}

RECT TStatusBar::PanelRect(int index) {
  RECT r{0, 0, 0, 0};
  if (index < 0 || index >= PanelCount() || !Handle()) return r;
  if (!SendMessageA(Handle(), SB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r))) r = RECT{0, 0, 0, 0};
  return r;
}

void TStatusBar::Realign() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_SIZE, 0, 0);
}
