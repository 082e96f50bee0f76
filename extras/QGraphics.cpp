#include "extras/QGraphics.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "extras/ExprCore.h"
#include "extras/PlotMessages.h"

namespace {

constexpr TColor kClearColor = 0xC0C0C0;  // silver
// Pixel coordinates stay within this band: far beyond any canvas, well
// inside what GDI takes.
constexpr long double kPixelLimit = 16777216.0L;  // 2^24
// The curves' step along x and the evaluator's result texts.
constexpr int kEvaluatorPrecision = 8;

// The tree of every plotter's evaluator in the process.
TExprTree& PlotterRoot() {
  static TExprTree root;
  return root;
}

std::function<void()>& MessagesHook() {
  static std::function<void()> hook;
  return hook;
}

// Truncates toward zero into the pixel band; NaN gives 0.
int PixelOf(long double v) {
  if (std::isnan(v)) return 0;
  if (v > kPixelLimit) v = kPixelLimit;
  if (v < -kPixelLimit) v = -kPixelLimit;
  return static_cast<int>(std::trunc(v));
}

// |q| truncated, at most cap (the lines beyond the canvas are not drawn).
int LineCount(long double q, int cap) {
  if (cap <= 0) return 0;
  if (!std::isfinite(q)) return cap;
  long double n = std::fabs(std::trunc(q));
  return n >= cap ? cap : static_cast<int>(n);
}

// Pixel columns between the samples of a curve: at least 1, at most the
// width (one sample).
int PixelStep(long double v, int width) {
  int most = width > 1 ? width : 1;
  if (!(v >= 1)) return 1;  // also NaN
  if (v >= most) return most;
  return static_cast<int>(std::trunc(v));
}

// The run-time library's text-to-long: blanks, a sign and leading decimal
// digits, 0 when there are none; kept within the 32-bit range, then taken
// as a TColor bit for bit (-16777211 is 0xFF000005, a system colour).
TColor ColorFromText(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (v <= INT32_MAX) v = v * 10 + (text[i] - '0');
  if (negative) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  return static_cast<TColor>(static_cast<std::int32_t>(v));
}

}  // namespace

TQGraphics::TQGraphics(TComponent* owner) : TComponent(owner) {}

TQGraphics::~TQGraphics() { *alive_ = false; }

void TQGraphics::SetExpressions(const TStringList& list) {
  if (&list != &expressions_) expressions_.Items() = list.Items();
}
void TQGraphics::SetColors(const TStringList& list) {
  if (&list != &colors_) colors_.Items() = list.Items();
}
void TQGraphics::SetSteps(const TStringList& list) {
  if (&list != &steps_) steps_.Items() = list.Items();
}

void TQGraphics::SetProcessMessagesHook(std::function<void()> hook) { MessagesHook() = std::move(hook); }

bool TQGraphics::ProcessMessages() {
  std::shared_ptr<bool> alive = alive_;
  std::function<void()> hook = MessagesHook();
  if (hook)
    hook();
  else
    ProcessApplicationMessages();
  // A handler may have destroyed this plotter: touch nothing of it then.
  return *alive;
}

int TQGraphics::UmrechnenX(long double v, int size, double from, double to) const {
  const long double range = static_cast<long double>(to) - from;
  if (!std::isfinite(range) || range == 0) return 0;
  return PixelOf((v - from) * size / range);
}

int TQGraphics::UmrechnenY(long double v, int size, double from, double to) const {
  const long double range = static_cast<long double>(to) - from;
  if (!std::isfinite(range) || range == 0) return 0;
  return PixelOf((to - v) * size / range);
}

int TQGraphics::DrawToCanvas(TPlotCanvas* canvas) {
  if (canvas == nullptr || drawing_) return -1;
  // Marks the drawing as running; the mark is cleared on every way out,
  // unless the plotter is gone by then.
  struct RunningMark {
    std::shared_ptr<bool> alive;
    bool* flag;
    ~RunningMark() {
      if (*alive) *flag = false;
    }
  } mark{alive_, &drawing_};
  drawing_ = true;
  cancel_ = false;

  // The drawing works on the properties as they are now, whatever message
  // handlers change while it runs.
  const int W = width_, H = height_;
  const long double xFrom = xFrom_, xTo = xTo_, yFrom = yFrom_, yTo = yTo_;
  const long double wx = xTo - xFrom, wy = yTo - yFrom;
  if (!std::isfinite(wx) || !std::isfinite(wy) || wx == 0 || wy == 0) return 0;
  const bool pointsOnly = pointsOnly_;
  const long double yMaxDifference = yMaxDifference_;

  if (clearCanvas_) {
    canvas->SetBrushColor(kClearColor);
    canvas->FillRect(0, 0, W, H);
  }
  TExprCore eval(PlotterRoot(), /*normaliseInPlace=*/false, TPowerFailure::Platform);
  eval.Precision = kEvaluatorPrecision;

  canvas->SetBrushColor(background_);
  canvas->FloodFillBorder(10, 10, background_);

  const int ox = UmrechnenX(0, W, static_cast<double>(xFrom), static_cast<double>(xTo));
  const int oy = UmrechnenY(0, H, static_cast<double>(yFrom), static_cast<double>(yTo));
  if (grid_) {
    canvas->SetPenColor(gridColor_);
    const long double space = gridSpace_;
    if (space > 0 && std::isfinite(space)) {
      const std::int64_t sx = PixelOf(W * space / wx), sy = PixelOf(H * space / wy);
      // Below the x axis, above it, right of the y axis, left of it.
      const struct {
        int count;
        bool horizontal;
        int direction;
      } runs[] = {{LineCount(yFrom / space, H), true, 1},
                  {LineCount(yTo / space, H), true, -1},
                  {LineCount(xTo / space, W), false, 1},
                  {LineCount(xFrom / space, W), false, -1}};
      for (const auto& run : runs) {
        std::int64_t offset = 0;
        for (int k = 0; k < run.count; ++k) {
          offset += run.horizontal ? sy : sx;
          if (cancel_) return -1;
          if (!ProcessMessages()) return -1;
          if (run.horizontal) {
            int y = PixelOf(static_cast<long double>(oy + run.direction * offset));
            canvas->MoveTo(1, y);
            canvas->LineTo(W, y);
          } else {
            int x = PixelOf(static_cast<long double>(ox + run.direction * offset));
            canvas->MoveTo(x, 1);
            canvas->LineTo(x, H);
          }
        }
      }
    }
  }

  if (cross_) {
    canvas->SetPenColor(crossColor_);
    canvas->MoveTo(1, oy);
    canvas->LineTo(W, oy);
    canvas->MoveTo(ox, 1);
    canvas->LineTo(ox, H);
  }

  int lastFailure = -1;
  long double step = 1;
  for (int m = 0; m < expressions_.Count(); ++m) {
    if (cancel_) return -1;
    if (!ProcessMessages()) return -1;
    if (m >= expressions_.Count()) break;  // a handler shortened the list
    const std::string expression = expressions_[m];
    const std::string stepText = steps_[m];
    const TColor color = ColorFromText(colors_[m]);
    try {
      step = eval.StrToLongDouble(stepText);
    } catch (const Exception&) {
      // keeps the step of the previous curve
    }
    eval.Expression = expression;
    if (!eval.CreateTree()) {
      lastFailure = m;
      continue;
    }

    const int p = PixelStep(W * step / wx, W);
    canvas->SetPenColor(color);
    bool havePoint = false;  // a previous point to join to
    int prevX = 0, prevY = 0;
    bool haveY = false;  // the y of the previous point, for the jump test
    long double lastY = 0;
    for (std::int64_t px = 1; px <= W; px += p) {
      if (cancel_) return -1;
      const long double x = px * wx / W + xFrom;
      eval.X = eval.LongDoubleToStr(x);
      long double y;
      try {
        y = eval.Evaluate();
      } catch (const Exception&) {
        havePoint = haveY = false;
        continue;
      }
      if (!std::isfinite(y)) {  // no place on any canvas: a gap
        havePoint = haveY = false;
        continue;
      }
      if (yMaxDifference > 0 && haveY && std::fabs(y - lastY) >= yMaxDifference) havePoint = false;
      lastY = y;
      haveY = true;

      const int ix = static_cast<int>(px);
      const int py = UmrechnenY(y, H, static_cast<double>(yFrom), static_cast<double>(yTo));
      if (!havePoint) {
        prevX = ix - 1;
        prevY = py - 1;
        havePoint = true;
      }
      if (pointsOnly) {
        canvas->MoveTo(ix - 1, py - 1);
      } else {
        canvas->MoveTo(prevX, prevY);
        prevX = ix;
        prevY = py;
      }
      canvas->LineTo(ix, py);
    }
  }
  return lastFailure + 1;
}
