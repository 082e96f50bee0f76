#include "notes/ColorListBox.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "ui/tests/UiTestUtil.h"

namespace {

struct ColorListBoxTest : ::testing::Test {
  UiTest::THostForm form{300, 200, "VLColorListHost"};
  TColorListBox list{&form};
  void SetUp() override {
    list.SetParent(&form);
    list.SetBounds(10, 10, 200, 150);
    list.SetColor(clWhite);
    list.Font().SetColor(clBlack);
    list.Show();
    form.Show();
    UiTest::Pump();
  }
};

// How many pixels of an item's row have colour c.
int RowPixels(TBitmap& shot, TColorListBox& list, int index, TColor c) {
  RECT r{0, 0, 0, 0};
  SendMessageA(list.Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return UiTest::CountColor(shot, r, c);
}

}  // namespace

TEST_F(ColorListBoxTest, ItemHeightFollowsTheFontAndIsNeverBelowEighteen) {
  list.Font().SetHeight(-8);
  EXPECT_EQ(list.ItemHeight(), 18);
  list.Font().SetHeight(-30);
  const int big = list.ItemHeight();
  EXPECT_GE(big, 36);
  // What the window uses is what was measured.
  EXPECT_EQ(static_cast<int>(SendMessageA(list.Handle(), LB_GETITEMHEIGHT, 0, 0)), big);
  // The "Wg" height + 6 exactly.
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, list.Font().Handle());
  SIZE s{};
  GetTextExtentPoint32A(dc, "Wg", 2, &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(big, s.cy + 6);
}

TEST_F(ColorListBoxTest, ItemsKeepTheirObjectsAndSelection) {
  list.AddItem("one", 11);
  list.AddItem("two", 12);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(static_cast<int>(SendMessageA(list.Handle(), LB_GETCOUNT, 0, 0)), 2);
  EXPECT_EQ(list.ItemIndex(), -1);
  list.SetItemIndex(1);
  EXPECT_EQ(list.ItemIndex(), 1);
  list.SetItemIndex(5);  // outside: nothing changes
  EXPECT_EQ(list.ItemIndex(), 1);
  list.SetItems({{"a", 1}, {"b", 2}, {"c", 3}});
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.ItemIndex(), -1);
  EXPECT_EQ(list.Item(2), "c");
  EXPECT_EQ(list.ItemObject(2), 3);
  EXPECT_EQ(list.Item(3), "");
  EXPECT_EQ(list.ItemObject(-1), 0);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(static_cast<int>(SendMessageA(list.Handle(), LB_GETCOUNT, 0, 0)), 0);
}

TEST_F(ColorListBoxTest, EachItemIsDrawnInTheColoursTheEventChooses) {
  list.SetItems({{"plain", 0}, {"coloured", 1}, {"selected", 2}});
  list.SetItemIndex(2);
  int asked = -1;
  list.OnGetItemColor = [&](TObject* sender, int index, TColor& text, TColor& back, bool& handled) {
    EXPECT_EQ(sender, &list);
    EXPECT_EQ(text, clBlack);  // the font's colour comes in
    EXPECT_EQ(back, clWhite);  // and the list's
    asked = std::max(asked, index);
    if (index == 1) {
      back = RGBColor(0, 0, 255);
      text = RGBColor(255, 255, 0);
      handled = true;
    }
  };
  RedrawWindow(list.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(list.Handle(), shot));
  const int row = list.ItemHeight() * 200;
  EXPECT_GT(RowPixels(shot, list, 0, clWhite), row / 2);
  EXPECT_GT(RowPixels(shot, list, 1, RGBColor(0, 0, 255)), row / 2);
  EXPECT_GT(RowPixels(shot, list, 1, RGBColor(255, 255, 0)), 0);  // its text
  // The selected item takes the system's highlight colours; the event is
  // not asked for it.
  EXPECT_GT(RowPixels(shot, list, 2, ColorToRGB(clHighlight)), row / 2);
  EXPECT_EQ(asked, 1);
  UiTest::SavePng(shot, UiTest::ScreenshotPath("notes-color-list.png"));
}

TEST_F(ColorListBoxTest, DoubleClickAndKeysReachTheEvents) {
  list.SetItems({{"a", 1}, {"b", 2}});
  int dbl = 0;
  std::vector<WORD> keys;
  list.OnDblClick = [&](TObject*) { ++dbl; };
  list.OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    keys.push_back(key);
    if (key == VK_DOWN) key = 0;  // kept from the list
  };
  list.SetItemIndex(0);
  SendMessageA(list.Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(list.ItemIndex(), 0);
  SendMessageA(list.Handle(), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(keys, (std::vector<WORD>{VK_DOWN, VK_END}));
  RECT r{};
  SendMessageA(list.Handle(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
  SendMessageA(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 5, r.top + 3));
  SendMessageA(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 5, r.top + 3));
  SendMessageA(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.left + 5, r.top + 3));
  SendMessageA(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 5, r.top + 3));
  UiTest::Pump();
  EXPECT_EQ(dbl, 1);
  EXPECT_EQ(list.ItemIndex(), 0);
}
