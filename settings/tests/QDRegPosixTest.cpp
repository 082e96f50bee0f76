// The native build's executable directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/QDReg.h"

namespace {

TEST(QDRegPosix, AppDirIsTheExecutablesFolderWithADelimiter) {
  std::string dir = TQDReg::AppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(dir, exe.parent_path().string() + "/");
}

}  // namespace
