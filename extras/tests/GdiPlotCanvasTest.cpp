// The plotter drawing through GDI into an off-screen 32-bit DIB section,
// checked pixel by pixel.
#include "extras/GdiPlotCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "extras/LocaleFormat.h"
#include "extras/QGraphics.h"
#include "ui/Application.h"

namespace {

// DIB pixels are 0x00RRGGBB; GDI colours 0x00BBGGRR.
constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0xFF0000, kSilver = 0xC0C0C0;

class Dib {
 public:
  Dib(int w, int h) : w_(w), h_(h) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
    old_ = SelectObject(dc_, bmp_);
    Fill(0x123456);  // neither silver nor white: the plotter must paint it
  }
  ~Dib() {
    SelectObject(dc_, old_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  bool Ok() const { return dc_ != nullptr && bmp_ != nullptr && bits_ != nullptr; }
  HDC Dc() const { return dc_; }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return static_cast<const std::uint32_t*>(bits_)[y * w_ + x] & 0xFFFFFFu;
  }
  void Fill(std::uint32_t rgb) {
    GdiFlush();
    auto* p = static_cast<std::uint32_t*>(bits_);
    for (int i = 0; i < w_ * h_; ++i) p[i] = rgb;
  }
  // A picture to look at.
  void SaveBmp(const std::string& path) const {
    GdiFlush();
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = w_;
    ih.biHeight = -h_;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    const DWORD bytes = static_cast<DWORD>(w_ * h_ * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + bytes;
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    f.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    f.write(static_cast<const char*>(bits_), bytes);
  }

 private:
  int w_, h_;
  HDC dc_ = nullptr;
  HBITMAP bmp_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

class GdiPlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = DecimalSeparator();
    SetDecimalSeparator('.');
  }
  void TearDown() override {
    TQGraphics::SetProcessMessagesHook(nullptr);
    SetDecimalSeparator(saved_);
  }
  char saved_ = '.';
};

// The picture the default plot of y = x must give: white, the axes from
// pixel 1 (a line leaves out its end pixel), and one red pixel at
// (px - 1, py - 1) for every sample px = 1..640 that lands on the canvas.
std::vector<std::uint32_t> ExpectedDefaultPlot(bool grid) {
  std::vector<std::uint32_t> img(640 * 480, kWhite);
  auto set = [&](int x, int y, std::uint32_t c) {
    if (x >= 0 && x < 640 && y >= 0 && y < 480) img[static_cast<std::size_t>(y * 640 + x)] = c;
  };
  if (grid) {
    for (int k = 1; k <= 10; ++k) {
      for (int x = 1; x < 640; ++x) {
        set(x, 240 + 24 * k, kSilver);
        set(x, 240 - 24 * k, kSilver);
      }
      for (int y = 1; y < 480; ++y) {
        set(320 + 32 * k, y, kSilver);
        set(320 - 32 * k, y, kSilver);
      }
    }
  }
  for (int x = 1; x < 640; ++x) set(x, 240, kBlack);
  for (int y = 1; y < 480; ++y) set(320, y, kBlack);
  for (int px = 1; px <= 640; ++px) {
    double x = px * 20.0 / 640 - 10;
    int py = static_cast<int>(std::trunc((10 - x) * 24));
    set(px - 1, py - 1, kRed);
  }
  return img;
}

void ExpectPicture(const Dib& dib, const std::vector<std::uint32_t>& want) {
  int wrong = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      std::uint32_t got = dib.At(x, y), exp = want[static_cast<std::size_t>(y * 640 + x)];
      if (got != exp && ++wrong <= 10)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << got << ", expected " << exp;
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(GdiPlotTest, DefaultPlotPixels) {
  Dib dib(640, 480);
  ASSERT_TRUE(dib.Ok());
  TQGraphics g;
  g.Expressions().Add("x");
  g.Colors().Add("255");
  g.Steps().Add("0.03125");
  {
    TGdiPlotCanvas canvas(dib.Dc());
    ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  }
  ExpectPicture(dib, ExpectedDefaultPlot(false));
  // Red on the diagonal in columns 0..637; the last two samples fall on row -1.
  EXPECT_EQ(dib.At(0, 478), kRed);
  EXPECT_EQ(dib.At(637, 0), kRed);
  dib.SaveBmp(std::string(VL_BINARY_DIR) + "/extras/default-plot.bmp");
}

TEST_F(GdiPlotTest, GridPixels) {
  Dib dib(640, 480);
  ASSERT_TRUE(dib.Ok());
  TQGraphics g;
  g.SetGrid(true);
  g.Expressions().Add("x");
  g.Colors().Add("255");
  g.Steps().Add("0.03125");
  {
    TGdiPlotCanvas canvas(dib.Dc());
    ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  }
  ExpectPicture(dib, ExpectedDefaultPlot(true));
  dib.SaveBmp(std::string(VL_BINARY_DIR) + "/extras/grid-plot.bmp");
}

TEST_F(GdiPlotTest, JoinedCurveIsConnected) {
  Dib dib(640, 480);
  ASSERT_TRUE(dib.Ok());
  TQGraphics g;
  g.SetPointsOnly(false);
  g.SetCross(false);
  g.Expressions().Add("x^2/10-5");
  g.Colors().Add("255");
  g.Steps().Add("0.25");  // a sample every 8 pixels, joined by lines
  {
    TGdiPlotCanvas canvas(dib.Dc());
    ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  }
  // Every column between the first and the last sample has red in it.
  for (int x = 1; x < 633; ++x) {
    bool red = false;
    for (int y = 0; y < 480 && !red; ++y) red = dib.At(x, y) == kRed;
    EXPECT_TRUE(red) << "column " << x;
  }
}

// The message processing of an application: dispatches the thread's
// pending messages.
void ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A window whose handler cancels the plotter, reached through the thread's
// message queue while the grid is drawn.
TQGraphics* gPlotToCancel = nullptr;
const UINT kCancelMessage = WM_APP + 7;

LRESULT CALLBACK CancelWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kCancelMessage && gPlotToCancel != nullptr) {
    gPlotToCancel->Cancel();
    return 0;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

// The cancel message is posted before the drawing starts. It is dispatched
// by a test's hook, or by default through the application object; without
// either nothing is processed and the drawing runs to its end.
TEST_F(GdiPlotTest, CancelFromAWindowMessageDuringTheGrid) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = CancelWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "VaultlinePlotCancelTest";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(wnd, nullptr);

  enum TProcessing { hook, applicationObject, none };
  for (TProcessing processing : {hook, applicationObject, none}) {
    SCOPED_TRACE(processing);
    Dib dib(640, 480);
    ASSERT_TRUE(dib.Ok());
    TQGraphics g;
    g.SetGrid(true);
    g.Expressions().Add("x");
    g.Colors().Add("255");
    g.Steps().Add("0.03125");
    gPlotToCancel = &g;
    TQGraphics::SetProcessMessagesHook(processing == hook ? ProcessPendingMessages : nullptr);
    std::unique_ptr<TApplication> app;
    if (processing == applicationObject) app = std::make_unique<TApplication>();
    ASSERT_EQ(Application, app.get());
    PostMessageA(wnd, kCancelMessage, 0, 0);
    int result;
    {
      TGdiPlotCanvas canvas(dib.Dc());
      result = g.DrawToCanvas(&canvas);
    }
    app.reset();
    ProcessPendingMessages();
    gPlotToCancel = nullptr;
    int silverRows = 0, red = 0;
    for (int y = 0; y < 480; ++y) silverRows += dib.At(5, y) == kSilver;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) red += dib.At(x, y) == kRed;
    if (processing == none) {
      EXPECT_EQ(result, 0);
      EXPECT_GT(red, 0);
      continue;
    }
    EXPECT_EQ(result, -1);
    // The message arrived before the first grid line: that one line is drawn
    // (row 264), then the drawing stops; no axes, no curve.
    EXPECT_EQ(silverRows, 1);
    EXPECT_EQ(dib.At(5, 264), kSilver);
    EXPECT_EQ(dib.At(320, 100), kWhite);
    EXPECT_EQ(red, 0);
  }
  DestroyWindow(wnd);
}

TEST_F(GdiPlotTest, CanvasPrimitives) {
  Dib dib(64, 48);
  ASSERT_TRUE(dib.Ok());
  {
    TGdiPlotCanvas canvas(dib.Dc());
    canvas.SetBrushColor(0x00FF00);
    canvas.FillRect(2, 2, 10, 10);  // right and bottom left out
    canvas.SetPenColor(255);
    canvas.MoveTo(20, 5);
    canvas.LineTo(30, 5);  // the end pixel is left out
    canvas.SetPenColor(0);
    for (int x = 40; x < 50; ++x) {  // a closed black box
      canvas.MoveTo(x, 20);
      canvas.LineTo(x + 1, 20);
      canvas.MoveTo(x, 29);
      canvas.LineTo(x + 1, 29);
    }
    canvas.MoveTo(40, 20);
    canvas.LineTo(40, 30);
    canvas.MoveTo(49, 20);
    canvas.LineTo(49, 30);
    canvas.SetBrushColor(0xFF0000);
    canvas.FloodFillBorder(45, 25, 0);  // fills inside the box only
  }
  EXPECT_EQ(dib.At(2, 2), 0x00FF00u);
  EXPECT_EQ(dib.At(9, 9), 0x00FF00u);
  EXPECT_EQ(dib.At(10, 10), 0x123456u);
  EXPECT_EQ(dib.At(20, 5), kRed);
  EXPECT_EQ(dib.At(29, 5), kRed);
  EXPECT_EQ(dib.At(30, 5), 0x123456u);
  EXPECT_EQ(dib.At(45, 25), 0x0000FFu);  // GDI blue
  EXPECT_EQ(dib.At(45, 20), kBlack);
  EXPECT_EQ(dib.At(45, 35), 0x123456u);
  EXPECT_EQ(TGdiPlotCanvas::ToColorRef(0xFF000005u), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(TGdiPlotCanvas::ToColorRef(0x01123456u), 0x123456u);
}

}  // namespace
