// The inactivity countdown, the lock status text and the task bar watch.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "app/model/LockRules.h"

namespace {

TEST(LockRules, TimeoutTextGivesMinutes) {
  const struct {
    const char* text;
    int minutes;
  } cases[] = {
      {"1", 1},     {"120", 120},  {"45", 45},   {"abc", 120}, {"", 120},  {"12x", 120},
      {"0", 1},     {"-5", 1},     {"-2147483648", 1},         {"2147483647", 2147483647},
      {"2147483648", 120},  // not an int: the default
  };
  for (const auto& c : cases) EXPECT_EQ(IdleLockMinutes(c.text), c.minutes) << c.text;
}

TEST(LockRules, SecondsUntilTheIdleLock) {
  const struct {
    int minutes;
    std::uint32_t idleMs;
    int seconds;
  } cases[] = {
      {1, 0, 60},           {1, 1, 60},            {1, 999, 60},          {1, 1000, 59},
      {1, 59001, 1},        {1, 59999, 1},         {1, 60000, 0},         {1, 4000000000u, 0},
      {2, 60000, 60},       {120, 0, 7200},        {120, 7199000, 1},     {120, 7200000, 0},
      // Minutes whose milliseconds do not fit 32 bits count down as well:
      // they never turn into an immediate lock.
      {35792, 0, 2147520},  {40000, 0, 2400000},   {71582, 5000, 4294915},
      {40000, 2399999999u, 1},              {40000, 4294967295u, 0},
      // More seconds than an int holds.
      {INT_MAX, 0, INT_MAX},
      // Minutes below 1 count as 1.
      {0, 0, 60},           {-5, 30000, 30},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SecondsUntilIdleLockAt(c.minutes, c.idleMs), c.seconds) << c.minutes << " min, idle " << c.idleMs;
}

TEST(LockRules, StatusText) {
  const struct {
    int seconds;
    bool windows, standby, exit;
    const char* text;
  } cases[] = {
      {60, true, true, true, "Lock in 60 Sec"},
      {0, false, false, false, "Lock in 0 Sec"},
      {-1, true, true, true, "Lock w/ Windows"},
      {-1, false, true, true, "Lock on Standby"},
      {-1, false, false, true, "Lock on Exit"},
      {-1, false, false, false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LockStatusText(c.seconds, c.windows, c.standby, c.exit), c.text);
}

TEST(LockRules, TaskbarWatchReportsARecreatedTaskbar) {
  TTaskbarWatch watch;
  EXPECT_FALSE(watch.Seen(0, 0));        // no task bar yet
  EXPECT_FALSE(watch.Seen(0x100, 0));    // no process: ignored
  EXPECT_FALSE(watch.Seen(0x100, 42));   // first seen: noted only
  EXPECT_FALSE(watch.Seen(0x100, 42));
  EXPECT_FALSE(watch.Seen(0, 42));       // gone for a moment
  EXPECT_TRUE(watch.Seen(0x200, 42));    // a new window
  EXPECT_FALSE(watch.Seen(0x200, 42));
  EXPECT_TRUE(watch.Seen(0x200, 43));    // the same handle in a new process
  EXPECT_FALSE(watch.Seen(0x200, 43));
}

}  // namespace
