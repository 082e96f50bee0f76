// TCustomControl: a control of our own window class that paints itself on a
// canvas. It paints through an off-screen bitmap (no flicker), answers
// WM_PRINTCLIENT with the same drawing, follows the mouse in and out
// (TrackMouseEvent) and turns mouse messages into events.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/Graphics.h"
#include "ui/WinControl.h"

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftFlag : unsigned {
  ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64
};
using TShiftState = unsigned;

// Shift, Ctrl and Alt as the keyboard has them now.
TShiftState KeyboardShiftState();
// The MK_… flags of a mouse message, with Alt from the keyboard.
TShiftState MouseShiftState(WPARAM keys);

using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

// Follows the mouse in and out of one window. Feed it every message of the
// window: the first WM_MOUSEMOVE reports mtEnter and asks Windows for a
// WM_MOUSELEAVE, which reports mtLeave.
class TMouseTracker {
 public:
  enum TChange { mtNone, mtEnter, mtLeave };
  TChange Track(HWND wnd, UINT msg);
  bool Inside() const { return inside_; }

 private:
  bool inside_ = false;
};

class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;

  // The background colour; a change repaints. Setting it clears
  // ParentColor.
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  // The control's font; a change repaints. Changing it clears ParentFont.
  TFont& Font() { return font_; }
  void SetFont(const TFont& font) { font_.Assign(font); }
  // The canvas Paint draws on; it has a DC only while painting.
  TCanvas& Canvas() { return canvas_; }
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool value) { doubleBuffered_ = value; }
  bool MouseInControl() const { return tracker_.Inside(); }

  // Paints the whole client area into dc at dc's origin (what WM_PRINTCLIENT
  // does); the DC's state is left as it was.
  void PaintTo(HDC dc);
  // Marks part of the client area for repainting, without erasing.
  void InvalidatePart(const RECT& r);

  // True for a control that is part of its parent's background (a picture):
  // controls that draw the parent's background under themselves draw it too.
  virtual bool IsBackgroundPicture() const { return false; }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  const TColor* ColorForChildren() const override { return &color_; }
  const TFont* FontForChildren() override { return &font_; }
  void ApplyParentColor(TColor color) override { SetColor(color); }
  void ApplyParentFont(const TFont& font) override { font_.Assign(font); }

  // Draws the control on Canvas(), whose font is Font and whose brush is
  // Color when it is called. The default fills the client area with Color.
  virtual void Paint();
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();

 private:
  void PaintOn(HDC dc);
  void HandlePaint();

  TColor color_ = clBtnFace;
  TFont font_;
  TCanvas canvas_;
  TMouseTracker tracker_;
  bool doubleBuffered_ = true;
  bool clicked_ = false;
};
