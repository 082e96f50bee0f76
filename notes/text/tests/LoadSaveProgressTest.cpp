#include <gtest/gtest.h>

#include <climits>

#include "notes/text/LoadSaveProgress.h"

using namespace NoteText;

TEST(LoadSaveProgress, EstimateClimbsToNinetyFiveAndNoFurther) {
  TLoadSaveProgress p;
  EXPECT_EQ(p.Start(true, 100, 1000), 0);  // raised to 300 ms
  EXPECT_TRUE(p.Busy());
  EXPECT_TRUE(p.Loading());
  EXPECT_EQ(p.ExpectedMs(), 300);
  struct Case {
    std::uint32_t now;
    int percent;
  };
  const Case cases[] = {{1000, 0}, {1080, 25}, {1150, 47}, {1300, 95}, {1000000, 95}};
  for (const auto& c : cases) EXPECT_EQ(p.PercentAt(c.now), c.percent) << c.now;

  // The tick count wraps like GetTickCount.
  p.Start(false, 1000, 0xFFFFFF00u);
  EXPECT_FALSE(p.Loading());
  EXPECT_EQ(p.PercentAt(0x100u), 512 * 95 / 1000);
}

TEST(LoadSaveProgress, ReportsEachValueOnceClampedToAHundred) {
  TLoadSaveProgress p;
  p.Start(true, 1000, 0);
  int v = 0;
  EXPECT_TRUE(p.Accept(v));
  v = 0;
  EXPECT_FALSE(p.Accept(v));
  v = 40;
  EXPECT_TRUE(p.Accept(v));
  v = 150;
  EXPECT_TRUE(p.Accept(v));
  EXPECT_EQ(v, 100);
  v = -3;
  EXPECT_TRUE(p.Accept(v));
  EXPECT_EQ(v, 0);
  // A new job reports its 0 again.
  p.Start(true, 1000, 0);
  v = 0;
  EXPECT_TRUE(p.Accept(v));
}

TEST(LoadSaveProgress, FinishLearnsTheRateOfItsOwnKind) {
  int load = 500, save = 250;
  TLoadSaveProgress p;
  p.Start(true, 1000, 10000);
  EXPECT_EQ(p.Finish(true, 2000, 10900, load, save), 100);  // 450 ms per 1000 lines
  EXPECT_EQ(load, (450 + 4 * 500) / 5);
  EXPECT_EQ(load, 490);
  EXPECT_EQ(save, 250);
  EXPECT_FALSE(p.Busy());

  p.Start(false, 1000, 0);
  EXPECT_EQ(p.Finish(false, 2000, 900, load, save), 0);  // a failure teaches nothing
  EXPECT_EQ(save, 250);

  struct Case {
    int old;
    std::uint32_t elapsed;
    int lines;
    int learned;
  };
  const Case cases[] = {
      {500, 900, 2000, 490},
      {0, 900, 2000, 450},        // no estimate yet: the measurement
      {-5, 900, 2000, 450},
      {500, 0, 2000, 500},        // no time went by
      {500, 900, 0, 500},         // no lines
      {0, 1, 1000000, 1},         // at least 1 ms per 1000 lines
      {INT_MAX, 4000000000u, 1, INT_MAX},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LearnMsPer1000Lines(c.old, c.elapsed, c.lines), c.learned) << c.old << " " << c.elapsed;
}

TEST(LoadSaveProgress, ExpectedTimesDoNotOverflow) {
  EXPECT_EQ(ExpectedLoadMs(1000, 500), 500);
  EXPECT_EQ(ExpectedLoadMs(5000000, 500), 2500000);  // a 400 MB file: the product passes 2^31
  EXPECT_EQ(ExpectedLoadMs(INT64_MAX / 80, INT_MAX), INT_MAX);
  EXPECT_EQ(ExpectedSaveMs(0, 250), 0);  // one line at least: 250 / 1000
  EXPECT_EQ(ExpectedSaveMs(4000, 250), 1000);
  EXPECT_EQ(ExpectedSaveMs(INT_MAX, INT_MAX), INT_MAX);
}
