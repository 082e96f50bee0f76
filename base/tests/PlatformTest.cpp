#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <thread>

#include "base/FileUtil.h"
#include "base/Platform.h"
#include "base/tests/TestUtil.h"

TEST(Platform, RandomBytesDiffer) {
  std::array<unsigned char, 32> a{}, b{};
  ASSERT_TRUE(Platform::RandomBytes(a.data(), a.size()));
  ASSERT_TRUE(Platform::RandomBytes(b.data(), b.size()));
  EXPECT_NE(a, b);
  EXPECT_TRUE(Platform::RandomBytes(nullptr, 0));
}

TEST(Platform, ClocksAreSane) {
  EXPECT_GT(Platform::UtcNowMs(), 1700000000000LL);  // after Nov 2023
  auto t1 = Platform::TickCount64();
  auto t2 = Platform::TickCount64();
  EXPECT_LE(t1, t2);
}

// A thread told to avoid the processor it runs on is moved off it and stays
// off; with a single processor it is refused.
TEST(Platform, AvoidProcessorMovesTheThreadOff) {
  EXPECT_FALSE(Platform::AvoidProcessor(-1));
  std::thread([] {
    const int here = Platform::CurrentProcessor();
    ASSERT_GE(here, 0);
    if (std::thread::hardware_concurrency() < 2) {
      EXPECT_FALSE(Platform::AvoidProcessor(here));
      return;
    }
    ASSERT_TRUE(Platform::AvoidProcessor(here));
    for (int i = 0; i < 200; ++i) {
      ASSERT_NE(Platform::CurrentProcessor(), here);
      std::this_thread::yield();
    }
  }).join();
}

TEST(Platform, SecureZeroClears) {
  char buf[16] = "secret-password";
  Platform::SecureZero(buf, sizeof buf);
  for (char c : buf) EXPECT_EQ(c, 0);
}

TEST(Platform, MoveFileReplacingReplacesExistingTarget) {
  TempDir dir;
  WriteTestFile(dir.File("new"), "new contents");
  WriteTestFile(dir.File("target"), "old");
  ASSERT_TRUE(Platform::MoveFileReplacing(dir.File("new"), dir.File("target")));
  EXPECT_EQ(ReadTestFile(dir.File("target")), "new contents");
  EXPECT_FALSE(PathExists(dir.File("new")));
}

// The data is flushed before the move where the file can be written; a
// read-only source still moves.
TEST(Platform, MoveFileReplacingMovesAReadOnlySource) {
  TempDir dir;
  WriteTestFile(dir.File("new"), "kept contents");
  WriteTestFile(dir.File("target"), "old");
  std::filesystem::permissions(dir.File("new"), std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                    std::filesystem::perms::others_read);
  ASSERT_TRUE(Platform::MoveFileReplacing(dir.File("new"), dir.File("target")));
  EXPECT_EQ(ReadTestFile(dir.File("target")), "kept contents");
  EXPECT_FALSE(PathExists(dir.File("new")));
  std::filesystem::permissions(dir.File("target"), std::filesystem::perms::owner_all);
}

TEST(Platform, MoveFileReplacingFailureKeepsTarget) {
  TempDir dir;
  WriteTestFile(dir.File("target"), "old");
  // Missing source.
  EXPECT_FALSE(Platform::MoveFileReplacing(dir.File("missing"), dir.File("target")));
  EXPECT_EQ(ReadTestFile(dir.File("target")), "old");
  // Target folder missing: the source stays where it was.
  WriteTestFile(dir.File("src"), "data");
  EXPECT_FALSE(Platform::MoveFileReplacing(dir.File("src"), dir.File("nofolder/target")));
  EXPECT_EQ(ReadTestFile(dir.File("src")), "data");
  // A folder as the source is refused.
  std::filesystem::create_directory(dir.File("sub"));
  EXPECT_FALSE(Platform::MoveFileReplacing(dir.File("sub"), dir.File("target")));
  EXPECT_EQ(ReadTestFile(dir.File("target")), "old");
}

TEST(SaveFileReplacing, WritesThroughTemporary) {
  TempDir dir;
  WriteTestFile(dir.File("vault"), "old");
  ASSERT_TRUE(SaveFileReplacing(dir.File("vault"), std::string("fresh")));
  EXPECT_EQ(ReadTestFile(dir.File("vault")), "fresh");
  EXPECT_FALSE(PathExists(dir.File("vault.tmp")));
}

TEST(SaveFileReplacing, FailuresLeaveOldFileAndNoTemporary) {
  TempDir dir;
  WriteTestFile(dir.File("vault"), "old");
  // The writer fails half way.
  EXPECT_FALSE(SaveFileReplacing(dir.File("vault"), [](TStream& s) {
    s.WriteBuffer("partial", 7);
    throw std::runtime_error("disk full");
  }));
  EXPECT_EQ(ReadTestFile(dir.File("vault")), "old");
  EXPECT_FALSE(PathExists(dir.File("vault.tmp")));

  // A folder stands where the target goes: the move fails.
  std::filesystem::create_directory(dir.File("dirtarget"));
  WriteTestFile(dir.File("dirtarget/inside"), "keep");
  EXPECT_FALSE(SaveFileReplacing(dir.File("dirtarget"), std::string("x")));
  EXPECT_EQ(ReadTestFile(dir.File("dirtarget/inside")), "keep");
  EXPECT_FALSE(PathExists(dir.File("dirtarget.tmp")));

  // The target's folder does not exist.
  EXPECT_FALSE(SaveFileReplacing(dir.File("missing/vault"), std::string("x")));
  EXPECT_FALSE(PathExists(dir.File("missing")));
}

TEST(ReadWholeFile, RespectsLimit) {
  TempDir dir;
  WriteTestFile(dir.File("f"), std::string(100, 'a'));
  std::string data;
  EXPECT_TRUE(ReadWholeFile(dir.File("f"), data, 100));
  EXPECT_EQ(data.size(), 100u);
  EXPECT_FALSE(ReadWholeFile(dir.File("f"), data, 99));
  EXPECT_FALSE(ReadWholeFile(dir.File("nothere"), data));
}

TEST(Platform, Names) {
  EXPECT_FALSE(Platform::ComputerName().empty());
  EXPECT_FALSE(Platform::UserName().empty());
}
