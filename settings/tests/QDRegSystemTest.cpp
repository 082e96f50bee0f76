// Autostart, the executable's directory and the shell folders, under Wine.
// shlwapi.h comes first on purpose: its StrToInt macro must not rename ours.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/ModuleFileName.h"
#include "settings/QDReg.h"
#include "settings/tests/RegTestUtil.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kMapGroupsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups";

TEST(QDRegSystem, StrToIntKeepsItsNameBesideShlwapi) {
  TQDReg r;
  EXPECT_EQ(r.StrToInt(" 12 ", 0), 12);
  EXPECT_EQ(TQDReg::StrToInt("0x12", 5), 5);
}

// Wine runs the Run entries at every start of the prefix: each test removes
// its value again, and a left-over from a crashed run is removed first.
class QDRegAutostart : public ::testing::Test {
 protected:
  void SetUp() override { Remove(); }
  void TearDown() override { Remove(); }
  void Remove() {
    regtest::DeleteValue(HKEY_CURRENT_USER, kRunKey, name);
    regtest::DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, name);
  }
  const std::string name = "VlSettingsTestAutostart";
};

TEST_F(QDRegAutostart, CurrentUserSetGetDelete) {
  EXPECT_FALSE(TQDReg::GetSystemStartupCurrentUser(name));
  TQDReg::SetSystemStartupCurrentUser(true, name);
  EXPECT_TRUE(TQDReg::GetSystemStartupCurrentUser(name));
  EXPECT_FALSE(TQDReg::GetSystemStartup(name));  // the machine's Run key is another
  std::string data;
  ASSERT_TRUE(regtest::ReadText(HKEY_CURRENT_USER, kRunKey, name, data));
  EXPECT_EQ(data, "\"" + qdreg_win32::ModuleFileName() + "\"");  // quoted: the path may hold spaces

  TQDReg::SetSystemStartupCurrentUser(false, name);
  EXPECT_FALSE(TQDReg::GetSystemStartupCurrentUser(name));
  const auto run = regtest::Listing(HKEY_CURRENT_USER, kRunKey);
  TQDReg::SetSystemStartupCurrentUser(false, name);  // absent: nothing changes
  EXPECT_EQ(regtest::Listing(HKEY_CURRENT_USER, kRunKey), run);
}

TEST_F(QDRegAutostart, MachineSetGetDelete) {
  TQDReg::SetSystemStartup(true, name);
  EXPECT_TRUE(TQDReg::GetSystemStartup(name));
  EXPECT_FALSE(TQDReg::GetSystemStartupCurrentUser(name));
  std::string data;
  ASSERT_TRUE(regtest::ReadText(HKEY_LOCAL_MACHINE, kRunKey, name, data));
  EXPECT_EQ(data, "\"" + qdreg_win32::ModuleFileName() + "\"");
  TQDReg::SetSystemStartup(false, name);
  EXPECT_FALSE(TQDReg::GetSystemStartup(name));
}

TEST(QDRegSystem, ModuleFileNameGrowsItsBufferUntilThePathFits) {
  std::vector<char> buf(65536);
  DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, buf.size());
  const std::string full(buf.data(), n);
  // Every starting size, including those that cut the name, gives it whole.
  // (Wine's CreateProcess cannot start a program whose folder alone is longer than a
  // fixed 256-byte buffer, so growth is driven by a small first buffer instead.)
  for (std::uint32_t size = 1; size <= n + 2; ++size)
    ASSERT_EQ(qdreg_win32::ModuleFileName(size), full) << "starting size " << size;
}

TEST(QDRegSystem, AppDirIsTheExecutablesFolderWithABackslash) {
  const std::string exe = qdreg_win32::ModuleFileName();
  const std::string dir = TQDReg::AppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_EQ(dir, exe.substr(0, exe.find_last_of('\\') + 1));
  TQDReg r;
  EXPECT_EQ(r.IniFileDir(), dir);
  EXPECT_EQ(r.IniFilePath(), dir + "config.ini");
}

TEST(QDRegSystem, ShellFoldersEndInABackslash) {
  struct Case { const char* name; std::string (*get)(); };
  const Case cases[] = {
      {"Cache", TQDReg::GetDirCache},         {"Desktop", TQDReg::GetDirDesktop},
      {"Favorites", TQDReg::GetDirFavorites}, {"Fonts", TQDReg::GetDirFonts},
      {"NetHood", TQDReg::GetDirNetHood},     {"Personal", TQDReg::GetDirPersonal},
      {"Programs", TQDReg::GetDirPrograms},   {"SendTo", TQDReg::GetDirSendTo},
      {"Start Menu", TQDReg::GetDirStartMenu}, {"Startup", TQDReg::GetDirStartup},
      {"AppData", TQDReg::GetDirAppData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = c.get();
    ASSERT_GT(dir.size(), 1u);
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_NE(dir[dir.size() - 2], '\\');
    EXPECT_EQ(TQDReg::GetShellFolder(c.name), dir);
  }
  EXPECT_EQ(TQDReg::GetShellFolder("No Such Folder"), "");
}

TEST(QDRegSystem, QuickLaunchFolder) {
  const bool had = regtest::KeyExists(HKEY_CURRENT_USER, kMapGroupsKey);
  std::string old;
  const bool hadValue = regtest::ReadText(HKEY_CURRENT_USER, kMapGroupsKey, "Quick Launch", old);
  if (!hadValue) {
    EXPECT_EQ(TQDReg::GetDirQuickLaunch(), "");
  }

  regtest::WriteText(HKEY_CURRENT_USER, kMapGroupsKey, "Quick Launch", "C:\\Quick Launch");
  EXPECT_EQ(TQDReg::GetDirQuickLaunch(), "C:\\Quick Launch\\");
  regtest::WriteText(HKEY_CURRENT_USER, kMapGroupsKey, "Quick Launch", "C:\\QL\\");
  EXPECT_EQ(TQDReg::GetDirQuickLaunch(), "C:\\QL\\");
  regtest::WriteText(HKEY_CURRENT_USER, kMapGroupsKey, "Quick Launch", "");
  EXPECT_EQ(TQDReg::GetDirQuickLaunch(), "");

  if (hadValue)
    regtest::WriteText(HKEY_CURRENT_USER, kMapGroupsKey, "Quick Launch", old);
  else if (had)
    regtest::DeleteValue(HKEY_CURRENT_USER, kMapGroupsKey, "Quick Launch");
  else
    regtest::DeleteTree(HKEY_CURRENT_USER, kMapGroupsKey);
}

}  // namespace
