#include "ui/ImageList.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "ui/ComCtrls.h"
#include "ui/TrayIcon.h"
#include "ui/tests/UiTestUtil.h"

namespace {

// A strip of n 8 x 8 images on magenta, image i with a 2 x 2 square of
// colour colours[i] at (2 + i, 3).
void MakeStrip(TBitmap& strip, int n, int extraWidth = 0) {
  static const TColor colours[] = {clRed, clGreen, clBlue, clYellow};
  ASSERT_TRUE(strip.SetSize(8 * n + extraWidth, 8));
  strip.Canvas().Brush().SetColor(clFuchsia);
  strip.Canvas().FillRect(RECT{0, 0, strip.Width(), 8});
  for (int i = 0; i < n; ++i) {
    strip.Canvas().Brush().SetColor(colours[i]);
    strip.Canvas().FillRect(RECT{8 * i + 2 + i, 3, 8 * i + 4 + i, 5});
  }
}

TEST(ImageListTest, StripBecomesImagesAndDrawsWithItsMask) {
  TImageList list;
  list.SetSize(8, 8);
  TBitmap strip;
  MakeStrip(strip, 3, 5);  // a partial fourth image is dropped
  EXPECT_EQ(list.AddMasked(strip, clFuchsia), 0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.AddMasked(strip, clFuchsia), 3);
  EXPECT_EQ(list.Count(), 6);

  TBitmap dest;
  ASSERT_TRUE(dest.SetSize(20, 20));
  dest.Canvas().Brush().SetColor(clWhite);
  dest.Canvas().FillRect(RECT{0, 0, 20, 20});
  ASSERT_TRUE(list.Draw(dest.Canvas(), 10, 10, 1));
  EXPECT_EQ(dest.Pixel(10 + 3, 10 + 3), clGreen);
  EXPECT_EQ(dest.Pixel(10 + 4, 10 + 4), clGreen);
  EXPECT_EQ(dest.Pixel(10, 10), clWhite);  // the mask colour is left out
  EXPECT_EQ(dest.Pixel(17, 17), clWhite);
  EXPECT_EQ(UiTest::CountColor(dest, RECT{0, 0, 20, 20}, clFuchsia), 0);

  EXPECT_FALSE(list.Draw(dest.Canvas(), 0, 0, 6));
  EXPECT_FALSE(list.Draw(dest.Canvas(), 0, 0, -1));
  // The strip is left as it was and still works as a bitmap.
  EXPECT_EQ(strip.Pixel(3, 3), clRed);
  EXPECT_EQ(strip.Pixel(0, 0), clFuchsia);
  EXPECT_EQ(strip.Pixel(20, 7), clFuchsia);
  strip.Canvas().Brush().SetColor(clBlack);
  strip.Canvas().FillRect(RECT{0, 0, 1, 1});
  EXPECT_EQ(strip.Pixel(0, 0), clBlack);
}

TEST(ImageListTest, SizeChangeEmptiesAndDeleteRemoves) {
  TImageList list;
  list.SetSize(8, 8);
  TBitmap strip;
  MakeStrip(strip, 2);
  list.AddMasked(strip, clFuchsia);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 1);
  list.SetSize(16, 16);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.AddMasked(strip, clFuchsia), 1 - 1);  // one 16-wide image fits
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  TBitmap narrow;
  ASSERT_TRUE(narrow.SetSize(4, 16));
  EXPECT_EQ(list.AddMasked(narrow, clFuchsia), -1);
}

TEST(ImageListTest, StripFromAResource) {
  // The common controls carry the standard tool-bar strip (16 x 16 images).
  HINSTANCE comctl = GetModuleHandleA("comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  TImageList list;
  EXPECT_EQ(list.AddMaskedFromResource(comctl, MAKEINTRESOURCEA(120), RGBColor(192, 192, 192)), 0);
  EXPECT_GE(list.Count(), 10);
  EXPECT_EQ(list.AddMaskedFromResource(comctl, "NO SUCH STRIP", clFuchsia), -1);
}

}  // namespace

namespace {

// Controls that show a list's images drop a list that is destroyed, in
// their object and in their window, so nothing reads a freed list.
TEST(ImageListTest, ControlsDropADestroyedList) {
  UiTest::THostForm form;
  TTreeView tree(&form);
  TListView view(&form);
  TToolBar bar(&form);
  TTrayIcon tray(&form);
  struct TUser {
    TWinControl* control;
    std::function<void(TImageList*)> set;
    std::function<HIMAGELIST()> shown;
  };
  const TUser users[] = {
      {&tree, [&](TImageList* l) { tree.SetImages(l); },
       [&] { return TreeView_GetImageList(tree.Handle(), TVSIL_NORMAL); }},
      {&view, [&](TImageList* l) { view.SetSmallImages(l); },
       [&] { return ListView_GetImageList(view.Handle(), LVSIL_SMALL); }},
      {&bar, [&](TImageList* l) { bar.SetImages(l); },
       [&] { return reinterpret_cast<HIMAGELIST>(SendMessageA(bar.Handle(), TB_GETIMAGELIST, 0, 0)); }},
  };
  for (const TUser& u : users) {
    u.control->SetParent(&form);
    u.control->HandleNeeded();
  }
  auto list = std::make_unique<TImageList>();
  TBitmap strip;
  MakeStrip(strip, 2);
  list->SetSize(8, 8);
  ASSERT_EQ(list->AddMasked(strip, clFuchsia), 0);
  for (const TUser& u : users) {
    u.set(list.get());
    EXPECT_EQ(u.shown(), list->Handle());
  }
  tray.SetIcons(list.get());
  list.reset();
  for (const TUser& u : users) EXPECT_EQ(u.shown(), nullptr);
  tray.SetIconIndex(1);  // reads no list
  // A list taken away before it goes tells nobody.
  auto again = std::make_unique<TImageList>();
  tree.SetImages(again.get());
  tree.SetImages(nullptr);
  again.reset();
  EXPECT_EQ(users[0].shown(), nullptr);
}

}  // namespace
