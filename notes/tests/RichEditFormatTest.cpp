// Formats set on ranges of the real control without its selection: runs
// applied together land on their own characters, whatever neighbours share.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <vector>

#include "notes/QMemo.h"
#include "notes/RichEditFormat.h"
#include "notes/tests/QMemoTestUtil.h"

using MemoTest::FormatAt;
using MemoTest::MemoFixture;

namespace {

const COLORREF kRed = RGB(0xC0, 0, 0);
const COLORREF kBlue = RGB(0, 0, 0xFF);
const COLORREF kGreen = RGB(0, 0x80, 0);

RichEdit::TRangeSpec Range(int start, int end) { return RichEdit::TRangeSpec{start, end, {}}; }

// Neighbouring runs that share a colour and differ otherwise, a gap between
// two runs of the same colour, a run with a size between runs of the same
// colour, runs that leave the colour alone, and an empty run.
TEST_F(MemoFixture, RunsAppliedTogetherLandOnTheirOwnCharacters) {
  memo->SetSyntaxHighlighting(false);
  memo->SetInlineStyles(false);
  memo->SetText("abcdefghijklmnopqrstuvwxyz\r\n0123456789");
  const int points = memo->Font().Size();
  ASSERT_NE(points, 14);
  {
    // What the characters show before: 4 and 5 red, 18 to 19 bold.
    RichEdit::TRangeFormatter before(wnd);
    RichEdit::TCharSpec red;
    red.setColor = true;
    red.color = kRed;
    before.Apply(4, 6, red);
    RichEdit::TCharSpec bold;
    bold.setBold = true;
    bold.bold = true;
    before.Apply(18, 20, bold);
  }
  std::vector<RichEdit::TRangeSpec> runs;
  runs.push_back(Range(0, 4));  // blue
  runs.back().format.setColor = true;
  runs.back().format.color = kBlue;
  runs.back().format.setHidden = true;  // not hidden: as they are
  runs.push_back(Range(6, 9));  // blue, after a gap that stays red
  runs.back().format.setColor = true;
  runs.back().format.color = kBlue;
  runs.push_back(Range(9, 12));  // blue and hidden
  runs.back().format.setColor = true;
  runs.back().format.color = kBlue;
  runs.back().format.setHidden = true;
  runs.back().format.hidden = true;
  runs.push_back(Range(12, 15));  // green at 14 points
  runs.back().format.setColor = true;
  runs.back().format.color = kGreen;
  runs.back().format.setSize = true;
  runs.back().format.points = 14;
  runs.push_back(Range(15, 18));  // blue again, not italic
  runs.back().format.setColor = true;
  runs.back().format.color = kBlue;
  runs.back().format.setItalic = true;
  runs.push_back(Range(18, 18));  // nothing
  runs.back().format.setColor = true;
  runs.back().format.color = kGreen;
  runs.push_back(Range(18, 21));  // italic, colour and bold left alone
  runs.back().format.setItalic = true;
  runs.back().format.italic = true;
  runs.push_back(Range(21, 23));  // not bold: as they are
  runs.back().format.setBold = true;
  {
    RichEdit::TRangeFormatter formatter(wnd);
    formatter.ApplyRuns(runs);
  }

  struct TExpected {
    int from, to;
    COLORREF color;
    bool hidden, bold, italic;
    int points;
  };
  const COLORREF text = FormatAt(wnd, 25).crTextColor;
  const TExpected table[] = {
      {0, 4, kBlue, false, false, false, points},   {4, 6, kRed, false, false, false, points},
      {6, 9, kBlue, false, false, false, points},   {9, 12, kBlue, true, false, false, points},
      {12, 15, kGreen, false, false, false, 14},    {15, 18, kBlue, false, false, false, points},
      {18, 20, text, false, true, true, points},    {20, 21, text, false, false, true, points},
      {21, 28, text, false, false, false, points},
  };
  for (const TExpected& e : table) {
    for (int i = e.from; i < e.to; ++i) {
      const CHARFORMAT2W cf = FormatAt(wnd, i);
      EXPECT_EQ(cf.crTextColor, e.color) << "colour at " << i;
      EXPECT_EQ((cf.dwEffects & CFE_HIDDEN) != 0, e.hidden) << "hidden at " << i;
      EXPECT_EQ((cf.dwEffects & CFE_BOLD) != 0, e.bold) << "bold at " << i;
      EXPECT_EQ((cf.dwEffects & CFE_ITALIC) != 0, e.italic) << "italic at " << i;
      EXPECT_EQ(cf.yHeight, e.points * 20) << "size at " << i;
    }
  }
}

}  // namespace
