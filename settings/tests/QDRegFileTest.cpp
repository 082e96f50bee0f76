// The INI text file: exact bytes written, lines read back, file operations.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "base/SysUtils.h"
#include "base/tests/TestUtil.h"
#include "settings/QDReg.h"

namespace {

using Entry = std::tuple<std::string, std::string, std::string>;  // key, folder, value

std::vector<Entry> Entries(const TQDReg& r) {
  std::vector<Entry> out;
  for (int i = 0; i < r.Count(); ++i) out.emplace_back(r.Keys()[i], r.Folders()[i], r.Values()[i]);
  return out;
}

class QDRegFile : public ::testing::Test {
 protected:
  void SetUp() override {
    reg.SetIniFileDir(dir.Path());
    reg.SetIniFileName("test.ini");
  }
  std::string Path() const { return dir.File("test.ini"); }

  // Loads text as the settings file into a fresh store.
  std::vector<Entry> Read(const std::string& text) {
    WriteTestFile(Path(), text);
    TQDReg r;
    r.SetIniFileDir(dir.Path());
    r.SetIniFileName("test.ini");
    EXPECT_TRUE(r.LoadFromFile());
    return Entries(r);
  }

  TempDir dir;
  TQDReg reg;
};

TEST_F(QDRegFile, WritesTheExampleFileByteForByte) {
  reg.PushString("a", "1");
  reg.PushString("b", "2");
  reg.PushString("k", "v", "F");
  ASSERT_TRUE(reg.SaveToFile());
  EXPECT_EQ(ReadTestFile(Path()), std::string("\r\na=1\r\nb=2\r\n\r\n[F]\r\nk=v\r\n"));
}

TEST_F(QDRegFile, FoldersFollowTheirFirstEntryAndTheRootComesFirst) {
  reg.PushString("x", "1", "B");
  reg.PushString("y", "2", "A");
  reg.PushString("z", "3", "B");
  reg.PushString("r", "4");
  ASSERT_TRUE(reg.SaveToFile());
  EXPECT_EQ(ReadTestFile(Path()),
            std::string("\r\nr=4\r\n\r\n[B]\r\nx=1\r\nz=3\r\n\r\n[A]\r\ny=2\r\n"));
}

TEST_F(QDRegFile, EmptyStoreWritesOneEmptyLineAndReadsBackEmpty) {
  ASSERT_TRUE(reg.SaveToFile());
  EXPECT_EQ(ReadTestFile(Path()), "\r\n");
  reg.PushString("stale", "1");
  EXPECT_TRUE(reg.LoadFromFile());
  EXPECT_EQ(reg.Count(), 0);
}

TEST_F(QDRegFile, RewritingInPlaceLeavesNoOldBytes) {
  for (int i = 0; i < 50; ++i) reg.PushInt("key" + std::to_string(i), i);
  ASSERT_TRUE(reg.SaveToFile());
  reg.Clear();
  reg.PushString("a", "1");
  ASSERT_TRUE(reg.SaveToFile());
  EXPECT_EQ(ReadTestFile(Path()), "\r\na=1\r\n");
}

TEST_F(QDRegFile, RewrittenKeyMovesToTheEndOfTheFile) {
  reg.PushString("a", "1");
  reg.PushString("b", "2");
  reg.PushInt("a", 3);
  ASSERT_TRUE(reg.SaveToFile());
  EXPECT_EQ(ReadTestFile(Path()), "\r\nb=2\r\na=3\r\n");
}

TEST_F(QDRegFile, LineEndingsCrLfAndLoneCrAndLoneLfReadAlike) {
  const std::vector<Entry> want = {{"a", "", "1"}, {"b", "", " 2 "}, {"k", "F", "v"}};
  EXPECT_EQ(Read("\r\na=1\r\nb= 2 \r\n\r\n[F]\r\nk=v\r\n"), want);
  EXPECT_EQ(Read("\na=1\nb= 2 \n\n[F]\nk=v\n"), want);
  EXPECT_EQ(Read("\ra=1\rb= 2 \r\r[F]\rk=v\r"), want);
  EXPECT_EQ(Read("a=1\rb= 2 \n[F]\r\nk=v"), want);  // mixed, no final break
}

TEST_F(QDRegFile, ReaderTable) {
  struct Case { const char* name; const char* text; std::vector<Entry> want; };
  const Case cases[] = {
      {"spaces around a folder line", "  [F]  \r\nk=v\r\n", {{"k", "F", "v"}}},
      {"spaces inside the brackets", "[ F ]\r\nk=v\r\n", {{"k", " F ", "v"}}},
      {"text after the brackets is data", "[F] x\r\n", {{"[F] x", "", ""}}},
      {"empty brackets are a key", "[]\r\n", {{"[]", "", ""}}},
      {"two bracket pairs are a key", "[A][B]=1\r\n", {{"[A][B]", "", "1"}}},
      {"tab after a folder name is data", "[F]\t\r\n", {{"[F]", "", ""}}},
      {"key trimmed, value kept", "  key \t=  value  \r\n", {{"key", "", "  value  "}}},
      {"no equals sign", "novalue\r\n", {{"novalue", "", ""}}},
      {"empty key dropped", "=x\r\n \t=y\r\n", {}},
      {"blank lines add nothing", "\r\n   \r\n\t\r\n", {}},
      {"value holds equals signs", "a=b=c\r\n", {{"a", "", "b=c"}}},
      {"a later duplicate wins and moves last", "a=1\r\nb=2\r\na=3\r\n", {{"b", "", "2"}, {"a", "", "3"}}},
      {"no way back to the root", "[F]\r\na=1\r\n\r\nb=2\r\n", {{"a", "F", "1"}, {"b", "F", "2"}}},
      {"folders differ by case", "[f]\r\nk=1\r\n[F]\r\nk=2\r\n", {{"k", "f", "1"}, {"k", "F", "2"}}},
      {"control characters trimmed from the key", "\x01k\x7f=1\r\n", {{"k\x7f", "", "1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(c.text), c.want);
  }
}

TEST_F(QDRegFile, FoldersDifferingOnlyInCaseRoundTrip) {
  reg.PushString("k", "1", "Folder");
  reg.PushString("k", "2", "folder");
  ASSERT_TRUE(reg.SaveToFile());
  EXPECT_EQ(ReadTestFile(Path()), "\r\n\r\n[Folder]\r\nk=1\r\n\r\n[folder]\r\nk=2\r\n");
  TQDReg r;
  r.SetIniFileDir(dir.Path());
  r.SetIniFileName("test.ini");
  ASSERT_TRUE(r.LoadFromFile());
  EXPECT_EQ(Entries(r), Entries(reg));
}

TEST_F(QDRegFile, MultiLineValuesSplitUnlessEncoded) {
  reg.PushString("raw", "x\r\ny=z");
  reg.PushString("coded", TQDReg::EncodeText("x\r\ny=z", "\\n"));
  ASSERT_TRUE(reg.SaveToFile());
  TQDReg r;
  r.SetIniFileDir(dir.Path());
  r.SetIniFileName("test.ini");
  ASSERT_TRUE(r.LoadFromFile());
  EXPECT_EQ(r.PopString("raw"), "x");
  EXPECT_EQ(r.PopString("y"), "z");
  EXPECT_EQ(TQDReg::DecodeText(r.PopString("coded"), "\\n"), "x\r\ny=z");
}

TEST_F(QDRegFile, LoadClearsButAppendMerges) {
  WriteTestFile(Path(), "a=file\r\n");
  reg.PushString("a", "mem");
  reg.PushString("b", "mem");
  ASSERT_TRUE(reg.AppendFromFile());
  EXPECT_EQ(Entries(reg), (std::vector<Entry>{{"b", "", "mem"}, {"a", "", "file"}}));
  ASSERT_TRUE(reg.LoadFromFile());
  EXPECT_EQ(Entries(reg), (std::vector<Entry>{{"a", "", "file"}}));
}

// A key met again in the file replaces its earlier entry and moves to the
// end, per folder, exactly as adding the lines one by one does; entries held
// before an append are replaced the same way.
TEST_F(QDRegFile, RepeatedKeysLeaveWhatAddingLineByLineLeaves) {
  const std::string text =
      "a=1\r\nb=2\r\n[F]\r\na=f1\r\nc=f2\r\n[]\r\nx=still in F\r\n"
      "[G]\r\na=g\r\n[F]\r\na=f3\r\n  b =f4\r\nb=f5\r\n";
  TQDReg model;
  model.PushString("held", "h", "F");
  model.PushString("c", "old", "F");
  model.PushString("a", "old");
  TQDReg loaded;
  loaded.SetIniFileDir(dir.Path());
  loaded.SetIniFileName("test.ini");
  for (int i = 0; i < model.Count(); ++i) loaded.PushString(model.Keys()[i], model.Values()[i], model.Folders()[i]);
  // The lines of text, added one by one.
  std::string folder;
  for (const char* line : {"a=1", "b=2", "[F]", "a=f1", "c=f2", "[]", "x=still in F",
                                  "[G]", "a=g", "[F]", "a=f3", "  b =f4", "b=f5"}) {
    const std::string name = TQDReg::ExtractFolderName(line);
    if (!name.empty()) {
      folder = name;
      continue;
    }
    model.PushString(Trim(TQDReg::GetDataKey(line)), TQDReg::GetDataValue(line), folder);
  }
  WriteTestFile(Path(), text);
  ASSERT_TRUE(loaded.AppendFromFile());
  EXPECT_EQ(Entries(loaded), Entries(model));
  EXPECT_EQ(loaded.PopString("b", "", "F"), "f5");
  EXPECT_EQ(loaded.PopString("held", "", "F"), "h");
  EXPECT_EQ(loaded.PopString("c", "", "F"), "f2");
}

TEST_F(QDRegFile, MissingFile) {
  reg.PushString("a", "1");
  EXPECT_FALSE(reg.AppendFromFile());
  EXPECT_EQ(reg.Count(), 1);
  EXPECT_FALSE(reg.LoadFromFile());
  EXPECT_EQ(reg.Count(), 0);
  EXPECT_FALSE(reg.ClearFile());
}

TEST_F(QDRegFile, ClearFileDeletesTheFile) {
  ASSERT_TRUE(reg.SaveToFile());
  ASSERT_TRUE(PathExists(Path()));
  EXPECT_TRUE(reg.ClearFile());
  EXPECT_FALSE(PathExists(Path()));
  EXPECT_FALSE(reg.ClearFile());
}

TEST_F(QDRegFile, SaveFailuresReturnFalse) {
  reg.PushString("a", "1");
  reg.SetIniFileDir(dir.File("missing"));
  EXPECT_FALSE(reg.SaveToFile());
  // A folder standing at the file's path is neither written nor read.
  reg.SetIniFileDir(dir.Path());
  reg.SetIniFileName("sub");
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("sub")));
  EXPECT_FALSE(reg.SaveToFile());
  EXPECT_FALSE(reg.LoadFromFile());
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
}

TEST_F(QDRegFile, FilePathJoinsTheFolderAndTheName) {
  TQDReg r;
  r.SetIniFileName("x.ini");
  r.SetIniFileDir("");
  EXPECT_EQ(r.IniFilePath(), "x.ini");
  r.SetIniFileDir("C:\\Prog\\");
  EXPECT_EQ(r.IniFilePath(), "C:\\Prog\\x.ini");
  r.SetIniFileDir("C:\\Prog");
  EXPECT_EQ(r.IniFilePath(), std::string("C:\\Prog") + PathDelimiter() + "x.ini");

  // Without a trailing delimiter the file still lands inside the folder.
  reg.SetIniFileDir(ExcludeTrailingPathDelimiter(dir.Path()));
  reg.PushString("a", "1");
  ASSERT_TRUE(reg.SaveToFile());
  EXPECT_EQ(ReadTestFile(Path()), "\r\na=1\r\n");
}

}  // namespace
