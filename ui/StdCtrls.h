// Built-in Windows controls wrapped for our controls and forms: the push
// button, the owner-drawn bitmap button, the single-line edit and the status
// bar. Each is a subclassed system control; the parent's notifications about
// it (WM_COMMAND, WM_DRAWITEM) come back to its object as reflected messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/CustomControl.h"
#include "ui/Graphics.h"
#include "ui/WinControl.h"

using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;

// A built-in control that shows its text in Font (sent with WM_SETFONT).
class TStdControl : public TWinControl {
 public:
  explicit TStdControl(TComponent* owner);
  ~TStdControl() override;
  // Changing the font clears ParentFont.
  TFont& Font() { return font_; }
  void SetFont(const TFont& font) { font_.Assign(font); }

 protected:
  void CreateWnd() override;
  const TFont* FontForChildren() override { return &font_; }
  void ApplyParentFont(const TFont& font) override { font_.Assign(font); }

 private:
  void ApplyFont();
  TFont font_;
};

// ---------------------------------------------------------------------------
class TButton : public TStdControl {
 public:
  explicit TButton(TComponent* owner);

  std::string Caption() { return Text(); }
  void SetCaption(const std::string& caption) { SetText(caption); }
  // Set on the button's form when the button is clicked (mrNone: nothing).
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }

  TNotifyEvent OnClick;

  // The click: the form's ModalResult, then OnClick (which may set the
  // form's result back to mrNone). Runs on BN_CLICKED.
  virtual void Click();

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  int modalResult_ = 0;
};

// ---------------------------------------------------------------------------
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

// Where a bitmap button puts its glyph and caption inside the rectangle p:
// glyph cell gw x gh (0 x 0 without a glyph), caption tw x th.
struct TGlyphPlacement {
  POINT Glyph{0, 0};
  POINT Text{0, 0};
};
TGlyphPlacement PlaceGlyphAndCaption(const RECT& p, bool hasGlyph, int gw, int gh, bool hasCaption,
                                     int tw, int th, TButtonLayout layout, int margin, int spacing);

// A push button that draws itself (BS_OWNERDRAW) with a glyph beside its
// caption. The glyph may hold NumGlyphs cells side by side: up, disabled,
// pressed, down.
class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);

  TBitmap& Glyph() { return glyph_; }
  void SetGlyph(const TBitmap& glyph);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int count);  // 1 to 4
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout layout);
  int Margin() const { return margin_; }  // -1: centred
  void SetMargin(int margin);
  int Spacing() const { return spacing_; }
  void SetSpacing(int spacing);
  TBitBtnKind Kind() const { return kind_; }
  // Sets the modal result that goes with the kind.
  void SetKind(TBitBtnKind kind);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  void Click() override;

  // Repaints without erasing, when the window exists.
  void InvalidateButton();

 protected:
  void CreateParams(TCreateParams& params) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Draws the button for WM_DRAWITEM. The default is a plain push button.
  virtual void DrawItem(const DRAWITEMSTRUCT& dis);
  // The glyph was replaced.
  virtual void GlyphChanged() { InvalidateButton(); }

 private:
  TBitmap glyph_;
  int numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  TBitBtnKind kind_ = bkCustom;
  TColor color_ = clBtnFace;
};

// ---------------------------------------------------------------------------
// A single-line edit. Selection positions count characters of the text.
class TEdit : public TStdControl {
 public:
  explicit TEdit(TComponent* owner);

  int SelStart();
  void SetSelStart(int start);  // empties the selection
  int SelLength();
  void SetSelLength(int length);
  void SetSelection(int start, int length);
  std::string SelText();
  void SelectAll();

  TNotifyEvent OnChange;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // WM_KEYDOWN and WM_KEYUP; setting key to 0 keeps the key from the edit.
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  // The edit got and lost the focus.
  virtual void DoEnter();
  virtual void DoExit();
  // The text changed (EN_CHANGE).
  virtual void Change();
};

// ---------------------------------------------------------------------------
// The status bar along the bottom of its parent, with panels of fixed widths
// (the last one runs to the right edge).
class TStatusBar : public TStdControl {
 public:
  explicit TStatusBar(TComponent* owner);

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  void AddPanel(int width, const std::string& text = std::string());
  void ClearPanels();
  int PanelWidth(int index) const;
  void SetPanelWidth(int index, int width);
  std::string PanelText(int index) const;
  void SetPanelText(int index, const std::string& text);
  // A panel's rectangle in the bar's client coordinates (empty if none).
  RECT PanelRect(int index);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value) { sizeGrip_ = value; }  // before the window exists

  // Places the bar along its parent's bottom edge again; call it when the
  // parent changes size.
  void Realign();

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

 private:
  struct TPanel {
    int Width;
    std::string Text;
  };
  void ApplyParts();
  std::vector<TPanel> panels_;
  bool sizeGrip_ = true;
};
