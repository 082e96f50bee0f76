// Timers, panels, splitters, pictures and bevels.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/CustomControl.h"
#include "ui/Graphics.h"
#include "ui/MessageWindow.h"

// ---------------------------------------------------------------------------
// TTimer: calls OnTimer every Interval milliseconds while Enabled, from the
// message loop (so also while a modal dialog or message box is up).
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner = nullptr);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  // A new interval restarts a running timer.
  void SetInterval(unsigned ms);

  TNotifyEvent OnTimer;

  // Runs OnTimer now, as a tick would (tests drive timers this way).
  void Tick();

 private:
  void Update();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  bool running_ = false;
  std::unique_ptr<TMessageWindow> window_;
};

// ---------------------------------------------------------------------------
// (bc…: the progress bar's bevel names bv… are its own.)
enum TBevelCut { bcNone, bcLowered, bcRaised };

// TPanel: a container that paints its colour, an optional bevel and an
// optional centred caption.
class TPanel : public TCustomControl {
 public:
  explicit TPanel(TComponent* owner);

  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut bevel);
  std::string Caption() { return Text(); }
  void SetCaption(const std::string& caption);

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Paint() override;

 private:
  TBevelCut bevelOuter_ = bcRaised;
};

// ---------------------------------------------------------------------------
// TSplitter: a bar the user drags to resize the controls beside it. It does
// not move anything itself: OnMoved reports how far the mouse went (pixels
// across the bar) and the owner lays its controls out again.
class TSplitter : public TCustomControl {
 public:
  // vertical: a bar between controls side by side (dragged left and right).
  TSplitter(TComponent* owner, bool vertical);

  bool Vertical() const { return vertical_; }

  std::function<void(TSplitter* sender, int delta)> OnMoved;

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  bool vertical_;
  bool dragging_ = false;
  POINT last_{0, 0};
};

// ---------------------------------------------------------------------------
// TImage: shows a picture at its own size from the top-left corner, centred,
// or stretched over the control.
class TImage : public TCustomControl {
 public:
  explicit TImage(TComponent* owner);

  TBitmap& Picture() { return picture_; }
  // Call after drawing on Picture() to show the change.
  void PictureChanged() { Invalidate(); }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);

  bool IsBackgroundPicture() const override { return true; }

 protected:
  void Paint() override;

 private:
  TBitmap picture_;
  bool stretch_ = false;
  bool center_ = false;
};

// ---------------------------------------------------------------------------
// TBevel: a sunken frame around its rectangle.
class TBevel : public TCustomControl {
 public:
  explicit TBevel(TComponent* owner);

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
};
