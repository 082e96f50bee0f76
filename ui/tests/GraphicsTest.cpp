#include "ui/Graphics.h"

#include <gtest/gtest.h>

#include "ui/tests/PngWriter.h"
#include "ui/tests/UiTestUtil.h"

namespace {

TEST(ColorTest, PlainAndSystemColours) {
  struct Case {
    TColor in;
    TColor rgb;
  };
  const Case cases[] = {
      {clRed, 0x0000FF},
      {clNavy, 0x800000},
      {RGBColor(80, 150, 255), 0xFF9650},
      {0x12345678u & 0xFFFFFF, 0x345678},
      {clBtnFace, static_cast<TColor>(GetSysColor(COLOR_BTNFACE))},
      {clGrayText, static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT))},
      {clBtnHighlight, static_cast<TColor>(GetSysColor(COLOR_BTNHIGHLIGHT))},
  };
  for (const Case& c : cases) EXPECT_EQ(ColorToRGB(c.in), c.rgb) << std::hex << c.in;
  EXPECT_EQ(RedOf(RGBColor(1, 2, 3)), 1);
  EXPECT_EQ(GreenOf(RGBColor(1, 2, 3)), 2);
  EXPECT_EQ(BlueOf(RGBColor(1, 2, 3)), 3);
  EXPECT_TRUE(IsSystemColor(clWindow));
  EXPECT_FALSE(IsSystemColor(clWhite));
}

TEST(BitmapTest, SizePixelsAndScanLines) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  ASSERT_TRUE(b.SetSize(5, 3));
  EXPECT_EQ(b.Pixel(4, 2), clBlack);
  b.SetPixel(1, 2, RGBColor(10, 20, 30));
  EXPECT_EQ(b.Pixel(1, 2), RGBColor(10, 20, 30));
  // Rows are top-down, pixels 0x00RRGGBB as the DIB keeps them.
  EXPECT_EQ(b.ScanLine(2)[1], 0x000A141Eu);
  EXPECT_EQ(b.Pixel(5, 0), clNone);
  EXPECT_EQ(b.Pixel(0, -1), clNone);
  EXPECT_EQ(b.ScanLine(3), nullptr);

  // Drawing through the canvas and reading the memory agree.
  b.Canvas().Brush().SetColor(clLime);
  RECT r{2, 0, 4, 2};
  b.Canvas().FillRect(r);
  EXPECT_EQ(b.Pixel(2, 0), clLime);
  EXPECT_EQ(b.Pixel(3, 1), clLime);
  EXPECT_EQ(b.Pixel(4, 1), clBlack);
  EXPECT_EQ(b.Canvas().Pixel(3, 1), clLime);
}

TEST(BitmapTest, ImpossibleSizeFailsQuietly) {
  TBitmap b;
  ASSERT_TRUE(b.SetSize(4, 4));
  EXPECT_FALSE(b.SetSize(200000, 200000));
  EXPECT_TRUE(b.Empty());
  b.Canvas().FillRect(RECT{0, 0, 4, 4});  // no DC: nothing happens
  EXPECT_EQ(b.Pixel(0, 0), clNone);
}

TEST(BitmapTest, AssignCopiesPixelsAndTransparency) {
  TBitmap a;
  ASSERT_TRUE(a.SetSize(3, 2));
  a.SetPixel(2, 1, clYellow);
  a.SetTransparent(true);
  a.SetTransparentColor(clFuchsia);
  TBitmap b;
  b.Assign(a);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Pixel(2, 1), clYellow);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clFuchsia);
  // Until a colour is fixed the bottom-left pixel is the transparent one.
  TBitmap c;
  ASSERT_TRUE(c.SetSize(2, 2));
  c.SetPixel(0, 1, clTeal);
  EXPECT_FALSE(c.TransparentColorFixed());
  EXPECT_EQ(c.TransparentColor(), clTeal);
}

TEST(BitmapTest, LoadFromHandleCopiesAnyBitmap) {
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, 6, 4);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(ddb, nullptr);
  {
    TMemoryDC dc(CreateCompatibleDC(nullptr));
    HGDIOBJ old = SelectObject(dc.get(), ddb);
    RECT all{0, 0, 6, 4};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc.get(), &all, red);
    DeleteObject(red);
    SelectObject(dc.get(), old);
  }
  TBitmap b;
  ASSERT_TRUE(b.LoadFromHandle(ddb));
  DeleteObject(ddb);
  EXPECT_EQ(b.Width(), 6);
  EXPECT_EQ(b.Height(), 4);
  EXPECT_EQ(b.Pixel(5, 3), clRed);
  EXPECT_FALSE(b.LoadFromHandle(nullptr));
  EXPECT_FALSE(b.LoadFromResourceName(GetModuleHandleA(nullptr), "NO_SUCH_BITMAP"));
}

TEST(CanvasTest, RectanglePenAndBrush) {
  TBitmap b;
  ASSERT_TRUE(b.SetSize(10, 10));
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect(RECT{0, 0, 10, 10});
  c.Pen().SetColor(clBlue);
  c.Brush().SetColor(clYellow);
  c.Rectangle(1, 1, 9, 9);
  EXPECT_EQ(b.Pixel(1, 1), clBlue);
  EXPECT_EQ(b.Pixel(8, 8), clBlue);
  EXPECT_EQ(b.Pixel(4, 4), clYellow);
  EXPECT_EQ(b.Pixel(9, 9), clWhite);
  // Changing the selected pen and brush takes effect at the next call.
  c.Pen().SetColor(clRed);
  c.Brush().SetStyle(bsClear);
  c.Rectangle(2, 2, 8, 8);
  EXPECT_EQ(b.Pixel(2, 2), clRed);
  EXPECT_EQ(b.Pixel(4, 4), clYellow);  // a clear brush leaves the inside
  // A wide pen.
  c.Pen().SetWidth(3);
  c.Pen().SetColor(clGreen);
  c.MoveTo(0, 5);
  c.LineTo(10, 5);
  EXPECT_EQ(b.Pixel(5, 4), clGreen);
  EXPECT_EQ(b.Pixel(5, 6), clGreen);
  EXPECT_EQ(b.Pixel(5, 7), clRed);  // the outline below the line stays
}

TEST(CanvasTest, GivesTheDcItsObjectsBack) {
  TMemoryDC dc(CreateCompatibleDC(nullptr));
  HGDIOBJ pen = GetCurrentObject(dc.get(), OBJ_PEN);
  HGDIOBJ brush = GetCurrentObject(dc.get(), OBJ_BRUSH);
  HGDIOBJ font = GetCurrentObject(dc.get(), OBJ_FONT);
  {
    TCanvas c(dc.get());
    c.Pen().SetColor(clRed);
    c.Rectangle(0, 0, 1, 1);
    c.TextExtent("x");
    c.Pen().SetColor(clBlue);  // reselected after a change
    c.Rectangle(0, 0, 1, 1);
    EXPECT_NE(GetCurrentObject(dc.get(), OBJ_PEN), pen);
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), brush);
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), font);
}

TEST(CanvasTest, TextInFontColourOnAClearBackground) {
  TBitmap b;
  ASSERT_TRUE(b.SetSize(60, 20));
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect(RECT{0, 0, 60, 20});
  c.Font().SetColor(clRed);
  c.Font().SetHeight(-12);
  c.Brush().SetStyle(bsClear);
  SIZE s = c.TextExtent("Wg");
  EXPECT_GT(s.cx, 4);
  EXPECT_GE(s.cy, 12);
  c.TextOut(2, 2, "Wg");
  RECT box = UiTest::BoundsOf(b, clRed);
  EXPECT_GT(box.right, box.left);
  EXPECT_GE(box.left, 2);
  EXPECT_LE(box.right, 2 + s.cx);
  EXPECT_LE(box.bottom, 2 + s.cy);
  // Around the glyphs the background stays.
  EXPECT_EQ(b.Pixel(0, 0), clWhite);
  EXPECT_EQ(b.Pixel(59, 19), clWhite);
}

TEST(CanvasTest, RotatedFontRunsDownwards) {
  TFont f;
  f.SetOrientation(2700);
  LOGFONTA lf{};
  ASSERT_TRUE(GetObjectA(f.Handle(), sizeof lf, &lf));
  EXPECT_EQ(lf.lfEscapement, 2700);
  TBitmap b;
  ASSERT_TRUE(b.SetSize(40, 80));
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect(RECT{0, 0, 40, 80});
  c.Font().Assign(f);
  c.Font().SetColor(clBlack);
  c.Brush().SetStyle(bsClear);
  c.TextOut(30, 2, "WWWWW");
  RECT box = UiTest::BoundsOf(b, clBlack);
  EXPECT_GT(box.bottom - box.top, box.right - box.left);  // taller than wide
}

TEST(CanvasTest, FontSizeAndHeight) {
  TFont f;
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -MulDiv(12, TFont::ScreenPixelsPerInch(), 72));
  EXPECT_EQ(f.Size(), 12);
  TFont g;
  g.Assign(f);
  EXPECT_EQ(g.Height(), f.Height());
  int changes = 0;
  g.OnChange = [&](TGraphicsObject*) { ++changes; };
  g.SetStyle(fsBold);
  g.SetStyle(fsBold);
  g.SetColor(clRed);
  EXPECT_EQ(changes, 2);
}

TEST(CanvasTest, TransparentDrawLeavesTheKeyColourOut) {
  TBitmap glyph;
  ASSERT_TRUE(glyph.SetSize(4, 4));
  glyph.Canvas().Brush().SetColor(clFuchsia);
  glyph.Canvas().FillRect(RECT{0, 0, 4, 4});
  glyph.SetPixel(1, 1, clGreen);

  for (bool transparent : {false, true}) {
    TBitmap dest;
    ASSERT_TRUE(dest.SetSize(8, 8));
    dest.Canvas().Brush().SetColor(clWhite);
    dest.Canvas().FillRect(RECT{0, 0, 8, 8});
    glyph.SetTransparent(transparent);
    glyph.SetTransparentColor(clFuchsia);
    dest.Canvas().Draw(2, 2, glyph);
    EXPECT_EQ(dest.Pixel(3, 3), clGreen);
    EXPECT_EQ(dest.Pixel(2, 2), transparent ? clWhite : clFuchsia);
    EXPECT_EQ(dest.Pixel(6, 6), clWhite);
  }
  // A part of the bitmap.
  TBitmap dest;
  ASSERT_TRUE(dest.SetSize(8, 8));
  dest.Canvas().Draw(0, 0, glyph);
  TBitmap part;
  ASSERT_TRUE(part.SetSize(8, 8));
  part.Canvas().DrawPart(5, 5, glyph, RECT{1, 1, 3, 3});
  EXPECT_EQ(part.Pixel(5, 5), clGreen);
}

TEST(PngWriterTest, Checksums) {
  const std::string digits = "123456789";
  const auto* d = reinterpret_cast<const std::uint8_t*>(digits.data());
  EXPECT_EQ(PngWriter::Crc32(d, digits.size()), 0xCBF43926u);
  const std::string wiki = "Wikipedia";
  EXPECT_EQ(PngWriter::Adler32(reinterpret_cast<const std::uint8_t*>(wiki.data()), wiki.size()), 0x11E60398u);
  // A 1 x 1 image: signature, IHDR with its size, stored block of 4 bytes.
  std::vector<std::uint8_t> png = PngWriter::Encode(1, 1, {1, 2, 3});
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png[0], 0x89);
  EXPECT_EQ(png[12], 'I');
  EXPECT_EQ(png[19], 1);  // width
  EXPECT_EQ(png[23], 1);  // height
}

}  // namespace
