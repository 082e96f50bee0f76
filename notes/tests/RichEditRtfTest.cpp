#include "notes/RichEditRtf.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <string>

#include "notes/tests/RichEditStandIn.h"
#include "ui/tests/UiTestUtil.h"

namespace {

struct RichEditRtfTest : ::testing::Test {
  UiTest::THostForm form{300, 200, "VLRtfHost"};
  TRichEditStandIn from{&form};
  TRichEditStandIn to{&form};
  void SetUp() override {
    from.SetParent(&form);
    to.SetParent(&form);
    from.HandleNeeded();
    to.HandleNeeded();
  }
};

DWORD EffectsAt(TRichEditStandIn& e, int index) {
  e.SetSel(index, index + 1);
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  SendMessageW(e.Handle(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  return cf.dwEffects;
}

}  // namespace

TEST_F(RichEditRtfTest, FormattedTextRoundTrips) {
  from.SetPlainText("plain bold\rnext");
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_BOLD | CFM_HIDDEN;
  cf.dwEffects = 0;  // the control's default font may be bold
  SendMessageW(from.Handle(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  from.SetSel(6, 10);
  cf.dwEffects = CFE_BOLD | CFE_HIDDEN;
  SendMessageW(from.Handle(), EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));

  const std::string rtf = RichEditGetRtf(from.Handle());
  ASSERT_EQ(rtf.substr(0, 5), "{\\rtf");
  EXPECT_NE(rtf.find("\\b"), std::string::npos);

  to.SetPlainText("old content");
  cf.dwEffects = 0;
  SendMessageW(to.Handle(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  ASSERT_TRUE(RichEditSetRtf(to.Handle(), rtf));
  EXPECT_EQ(to.ControlText(), "plain bold\rnext");
  EXPECT_EQ(EffectsAt(to, 0) & CFE_BOLD, 0u);
  EXPECT_NE(EffectsAt(to, 7) & CFE_BOLD, 0u);
  EXPECT_NE(EffectsAt(to, 7) & CFE_HIDDEN, 0u);  // hidden text (tokens' tails) survives
}

TEST_F(RichEditRtfTest, LargeContentStreamsInManyBlocks) {
  std::string text;
  for (int i = 0; i < 8000; ++i) text += "line " + std::to_string(i) + " with some words\r";
  text.pop_back();
  from.SetPlainText(text);
  const std::string rtf = RichEditGetRtf(from.Handle());
  EXPECT_GT(rtf.size(), text.size());
  ASSERT_TRUE(RichEditSetRtf(to.Handle(), rtf));
  EXPECT_EQ(to.ControlText(), text);
}

TEST_F(RichEditRtfTest, NoWindowNoRtf) {
  EXPECT_EQ(RichEditGetRtf(nullptr), "");
  EXPECT_FALSE(RichEditSetRtf(nullptr, "{\\rtf1 x}"));
}
