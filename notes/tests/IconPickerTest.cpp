#include "notes/IconPicker.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ui/tests/UiTestUtil.h"

namespace {

struct IconPickerTest : ::testing::Test {
  std::vector<std::string> picks;
  int client = 0;  // stands for the editor

  TQMemoIconPicker* Open() {
    return TQMemoIconPicker::ShowIconPickerWindow(&client, [this](const std::string& t) { picks.push_back(t); });
  }
  void TearDown() override {
    TQMemoIconPicker::CloseIconPickerFor(&client);
    UiTest::Pump();
  }
};

}  // namespace

TEST_F(IconPickerTest, ANavigationToNpiconDeliversTheTokensAndClosesThePicker) {
  TQMemoIconPicker* picker = Open();
  ASSERT_NE(picker, nullptr);
  ASSERT_TRUE(picker->BrowserReady()) << "the web-browser control could not be created";
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), picker);
  HWND wnd = picker->Handle();
  // The page's own address went through untouched (it cannot load here).
  EXPECT_GE(picker->NavigationCount(), 1);
  EXPECT_EQ(picker->LastNavigationUrl().substr(0, 8), "https://");
  EXPECT_TRUE(picks.empty());

  // The browser announces a navigation from its message loop.
  ASSERT_TRUE(picker->Navigate("npicon:1F44D"));
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !picks.empty(); }));
  ASSERT_EQ(picks, (std::vector<std::string>{"[[U+1F44D]]"}));
  // Closed at once, freed once the browser's event has returned.
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), nullptr);
  EXPECT_FALSE(IsWindowVisible(wnd));
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !IsWindow(wnd); }));
}

TEST_F(IconPickerTest, APickOfSeveralCodePoints) {
  TQMemoIconPicker* picker = Open();
  ASSERT_TRUE(picker->BrowserReady());
  ASSERT_TRUE(picker->Navigate("npicon:1F44D-1F3FD#"));
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !picks.empty(); }));
  EXPECT_EQ(picks, (std::vector<std::string>{"[[U+1F44D]][[U+1F3FD]]"}));
}

TEST_F(IconPickerTest, OtherAddressesAndBadPicksAreNotInserted) {
  TQMemoIconPicker* picker = Open();
  ASSERT_TRUE(picker->BrowserReady());
  struct Case {
    const char* url;
  };
  const Case cases[] = {
      {"NPICON:1F44D"},                        // the scheme is matched exactly
      {"https://example.org/icon/?style=bcb5"},
      {"npicon:]]x[["},                        // not code points: ignored
      {"npicon:D800"},
      {"npicon:1F44D-ZZZZ"},
  };
  for (const auto& c : cases) {
    const int before = picker->NavigationCount();
    picker->Navigate(c.url);
    EXPECT_TRUE(UiTest::PumpUntil([&] { return picker->NavigationCount() > before; })) << c.url;  // the browser asked
    EXPECT_EQ(picker->LastNavigationUrl(), c.url);
    EXPECT_TRUE(picks.empty()) << c.url;
    EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), picker) << c.url;  // still open
  }
  bool cancel = false;
  picker->BeforeNavigate2("npicon:]]x[[", cancel);
  EXPECT_TRUE(cancel);  // an npicon: address never leaves the picker
  cancel = false;
  picker->BeforeNavigate2("https://example.org/", cancel);
  EXPECT_FALSE(cancel);
}

TEST_F(IconPickerTest, TheWindow) {
  TQMemoIconPicker* picker = Open();
  EXPECT_EQ(picker->Caption(), "Icon Picker");
  RECT r;
  GetWindowRect(picker->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 300);
  const LONG ex = GetWindowLongA(picker->Handle(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(IsWindowVisible(picker->Handle()));
  // Opening it again brings the same window back, now picking for the new caller.
  int other = 0;
  std::vector<std::string> otherPicks;
  EXPECT_EQ(TQMemoIconPicker::ShowIconPickerWindow(&other, [&](const std::string& t) { otherPicks.push_back(t); }),
            picker);
  picker->Navigate("npicon:2764");
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !otherPicks.empty(); }));
  EXPECT_TRUE(picks.empty());
  EXPECT_EQ(otherPicks, (std::vector<std::string>{"[[U+2764]]"}));
}

TEST_F(IconPickerTest, AnEditorThatGoesClosesItsPicker) {
  TQMemoIconPicker* picker = Open();
  HWND wnd = picker->Handle();
  int stranger = 0;
  TQMemoIconPicker::CloseIconPickerFor(&stranger);  // not its picker
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), picker);
  TQMemoIconPicker::CloseIconPickerFor(&client);
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), nullptr);
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !IsWindow(wnd); }));
  EXPECT_TRUE(picks.empty());

  // Closed by the user: gone as well.
  picker = Open();
  wnd = picker->Handle();
  SendMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(TQMemoIconPicker::IconPickerForm(), nullptr);
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !IsWindow(wnd); }));
}

TEST_F(IconPickerTest, TheOverviewOpensInTheUsersBrowser) {
  std::string verb, url;
  TQMemoIconPicker::ShellOpenHook = [&](const std::string& v, const std::string& u) {
    verb = v;
    url = u;
    return true;
  };
  EXPECT_TRUE(TQMemoIconPicker::OpenIconServiceOverview());
  TQMemoIconPicker::ShellOpenHook = nullptr;
  EXPECT_EQ(verb, "open");
  EXPECT_EQ(url, TQMemoIconPicker::IconServiceHost() + "/icon/");
  EXPECT_EQ(TQMemoIconPicker::PageUrl(), TQMemoIconPicker::IconServiceHost() + "/icon/?style=bcb5");
}
