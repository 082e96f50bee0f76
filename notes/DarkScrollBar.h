// The notes editor's dark scroll bars. The system's scroll bars cannot be
// coloured, so in night mode two bars of our own (vertical and horizontal)
// lie over the editor's native ones, as siblings of the editor on its
// parent: a track in the editor's colour with a grey thumb that follows the
// editor's view and scrolls it when dragged or pressed.
//
// The bars read and move the view through the rich-edit control's own
// messages; what only the editor knows comes from IQMemoScrollHost.
#pragma once

#include <windows.h>

#include <memory>

#include "notes/text/ScrollThumb.h"
#include "ui/CustomControl.h"
#include "ui/ExtCtrls.h"

class IQMemoScrollHost {
 public:
  virtual ~IQMemoScrollHost() = default;
  // The editor control (a rich edit): its window, parent and bounds.
  virtual TWinControl* ScrollEditor() = 0;
  // The editor's Color: the track.
  virtual TColor ScrollTrackColor() = 0;
  // Height of a line of the editor's font plus its external leading.
  virtual int ScrollLineHeight() = 0;
  virtual bool ScrollWordWrap() = 0;
  // ScrollBars is ssVertical or ssBoth / ssHorizontal or ssBoth.
  virtual bool ScrollBarsVertical() = 0;
  virtual bool ScrollBarsHorizontal() = 0;
  virtual bool ScrollNightMode() = 0;
  // A drag moved the view: the editor schedules a colouring pass (120 ms)
  // and repaints.
  virtual void ScrollViewMoved() = 0;
};

constexpr TColor kDarkThumbColor = RGBColor(75, 75, 75);
constexpr TColor kDarkThumbDragColor = RGBColor(115, 115, 115);

class TQMemoDarkScrollBar : public TCustomControl {
 public:
  TQMemoDarkScrollBar(IQMemoScrollHost* editor, bool vertical);
  ~TQMemoDarkScrollBar() override;

  bool Vertical() const { return vertical_; }
  bool Dragging() const { return dragging_; }

  // Length of the track along the bar (the vertical one stops above the
  // editor's native horizontal bar when that shows); at least 1.
  int TrackLength();
  // The editor's position, maximum and page along this bar; false without
  // the editor's window (or its horizontal scroll information).
  bool GetScrollMetrics(NoteText::TScrollMetrics& metrics);
  // The thumb in client coordinates; empty when the metrics fail.
  NoteText::TBarRect ThumbRect();
  // Scrolls the editor so that the thumb, held at the grab offset, is at
  // (x, y); repaints the bar and tells the editor.
  void DragTo(int x, int y);
  // Every 80 ms: the native horizontal bar, the bar shown or hidden with
  // the editor, its place over the editor, and a repaint when the view moved.
  void SyncTimer();
  TTimer& Timer() { return *timer_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  friend class TQMemoDarkScrollBars;
  void PlaceOverEditor();

  IQMemoScrollHost* editor_;
  bool vertical_;
  // Night mode wants the bar; it shows while the editor does.
  bool wanted_ = false;
  bool dragging_ = false;
  int grabOffset_ = 0;
  int lastPosition_ = -1, lastMaximum_ = -1, lastPage_ = -1;
  std::unique_ptr<TTimer> timer_;
};

// The editor's pair of bars, made on first need.
class TQMemoDarkScrollBars {
 public:
  explicit TQMemoDarkScrollBars(IQMemoScrollHost& editor) : editor_(editor) {}

  // Makes the bars when the editor has a parent; shows the vertical one in
  // night mode with a vertical scroll bar, the horizontal one in night mode
  // with a horizontal scroll bar and no word wrap; places them over the
  // editor's edges and in front of it. Run it when the editor's window is
  // made and whenever NightMode changes. A bar stands only while the editor
  // is shown (its timer follows the editor's visibility).
  void Update();

  TQMemoDarkScrollBar* VerticalBar() { return vertical_.get(); }
  TQMemoDarkScrollBar* HorizontalBar() { return horizontal_.get(); }

 private:
  IQMemoScrollHost& editor_;
  std::unique_ptr<TQMemoDarkScrollBar> vertical_;
  std::unique_ptr<TQMemoDarkScrollBar> horizontal_;
};
