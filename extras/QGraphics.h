// TQGraphics: draws the graphs of functions y = f(x), given as expression
// texts, onto a canvas, with a background, an optional grid and the axes.
// The expressions follow TQParser's grammar; they are evaluated by a
// private evaluator of the same implementation whose tree is shared by all
// plotters (but not with TQParser).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/Component.h"
#include "base/StringList.h"
#include "extras/PlotCanvas.h"

class TQGraphics : public TComponent {
 public:
  explicit TQGraphics(TComponent* owner = nullptr);
  ~TQGraphics() override;

  // Line i of each list belongs to curve i: the expression, its pen colour
  // as a decimal TColor and its step along x in world units (an atom: a
  // number, "pi" or "e"). Steps and Colors need as many lines as
  // Expressions; a missing line ends DrawToCanvas with EListError.
  const TStringList& Expressions() const { return expressions_; }
  TStringList& Expressions() { return expressions_; }
  void SetExpressions(const TStringList& list);
  const TStringList& Colors() const { return colors_; }
  TStringList& Colors() { return colors_; }
  void SetColors(const TStringList& list);
  const TStringList& Steps() const { return steps_; }
  TStringList& Steps() { return steps_; }
  void SetSteps(const TStringList& list);

  TColor Background() const { return background_; }
  void SetBackground(TColor v) { background_ = v; }
  // Every point a one-pixel stroke (true) or the points joined (false).
  bool PointsOnly() const { return pointsOnly_; }
  void SetPointsOnly(bool v) { pointsOnly_ = v; }
  bool Cross() const { return cross_; }
  void SetCross(bool v) { cross_ = v; }
  TColor CrossColor() const { return crossColor_; }
  void SetCrossColor(TColor v) { crossColor_ = v; }
  bool Grid() const { return grid_; }
  void SetGrid(bool v) { grid_ = v; }
  TColor GridColor() const { return gridColor_; }
  void SetGridColor(TColor v) { gridColor_ = v; }
  long double GridSpace() const { return gridSpace_; }
  void SetGridSpace(long double v) { gridSpace_ = v; }
  long double X_From() const { return xFrom_; }
  void SetMinusX(long double v) { xFrom_ = v; }
  long double X_To() const { return xTo_; }
  void SetPlusX(long double v) { xTo_ = v; }
  long double Y_From() const { return yFrom_; }
  void SetMinusY(long double v) { yFrom_ = v; }
  long double Y_To() const { return yTo_; }
  void SetPlusY(long double v) { yTo_ = v; }
  int DestinationWidth() const { return width_; }
  void SetDestWidth(int v) { width_ = v; }
  int DestinationHeight() const { return height_; }
  void SetDestHeight(int v) { height_ = v; }
  // Jump threshold: a point whose y differs from the previous point's by at
  // least this much is not joined to it. 0 switches the test off.
  long double Y_MaxDifference() const { return yMaxDifference_; }
  void SetAbstand(long double v) { yMaxDifference_ = v; }
  bool ClearCanvas() const { return clearCanvas_; }
  void SetClearCanvas(bool v) { clearCanvas_ = v; }

  // Draws everything. Returns -1 when Cancel stopped it (or when a drawing
  // is already running on this plotter), otherwise 0 when every expression
  // could be built, or the 1-based number of the last one that could not.
  // Draws nothing and returns 0 when a range has no usable width.
  int DrawToCanvas(TPlotCanvas* canvas);
  // Stops a running DrawToCanvas at its next check.
  void Cancel() { cancel_ = true; }

  // World to pixel: (v - from) * size / (to - from), and for y from the top
  // (to maps to pixel 0); truncated toward zero and kept within +-2^24.
  int UmrechnenX(long double v, int size, double from, double to) const;
  int UmrechnenY(long double v, int size, double from, double to) const;

  // The application's message processing, run before every grid line and
  // every curve so the interface stays alive and Cancel can arrive. By
  // default the application object's, when one exists; a hook replaces it
  // (null puts the default back).
  static void SetProcessMessagesHook(std::function<void()> hook);

 private:
  bool ProcessMessages();

  TStringList expressions_, colors_, steps_;
  TColor background_ = 0xFFFFFF;
  bool pointsOnly_ = true;
  bool cross_ = true;
  TColor crossColor_ = 0;
  bool grid_ = false;
  TColor gridColor_ = 0xC0C0C0;
  long double gridSpace_ = 1;
  long double xFrom_ = -10, xTo_ = 10, yFrom_ = -10, yTo_ = 10;
  int width_ = 640, height_ = 480;
  long double yMaxDifference_ = 0;
  bool clearCanvas_ = true;

  bool cancel_ = false;
  bool drawing_ = false;
  // Cleared by the destructor, so a drawing notices when a message handler
  // destroyed its plotter.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
