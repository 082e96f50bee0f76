#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/SysUtils.h"

TEST(SysUtils, TrimAndCase) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x "), "  x");
  EXPECT_EQ(UpperCase("abc\xE9Z"), "ABC\xE9Z");  // ASCII only
  EXPECT_TRUE(SameText("Vault.QVL", "vault.qvl"));
  EXPECT_TRUE(EndsText(".qvl", "a.QVL"));
  EXPECT_FALSE(EndsText(".qvl", "qvl"));
  EXPECT_EQ(StringReplaceAll("a--b--", "--", "+"), "a+b+");
}

TEST(SysUtils, StrictIntegers) {
  struct Case { const char* text; bool ok; int value; };
  const Case cases[] = {
      {"0", true, 0},           {"42", true, 42},          {"-7", true, -7},
      {"+7", true, 7},          {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0}, {"-2147483649", false, 0}, {"", false, 0},
      {"-", false, 0},          {" 1", false, 0},          {"1 ", false, 0},
      {"0x10", false, 0},       {"$10", false, 0},         {"1e3", false, 0},
      {"12a", false, 0},        {"99999999999999999999", false, 0},
  };
  for (const auto& c : cases) {
    int v = -1;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(StrToIntDef("x", 5), 5);
  EXPECT_THROW(StrToIntStrict("x"), EConvertError);
  std::int64_t big;
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", big));
  EXPECT_EQ(big, INT64_MIN);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", big));
}

TEST(SysUtils, HexAndInt) {
  EXPECT_EQ(IntToStr(-12), "-12");
  EXPECT_EQ(IntToHex(0xAB, 4), "00AB");
  EXPECT_EQ(IntToHex(0x1F44D, 4), "1F44D");
}

TEST(SysUtils, PathParts) {
  struct Case { const char* path; const char* name; const char* dir; const char* ext; };
  const Case cases[] = {
      {"C:\\data\\vault.qvl", "vault.qvl", "C:\\data\\", ".qvl"},
      {"/home/u/v.qvl", "v.qvl", "/home/u/", ".qvl"},
      {"C:vault.qvl", "vault.qvl", "C:", ".qvl"},
      {"mixed/dir\\f", "f", "mixed/dir\\", ""},
      {"noext", "noext", "", ""},
      {"dir.d\\file", "file", "dir.d\\", ""},
      {"a.tar.gz", "a.tar.gz", "", ".gz"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFilePath(c.path), c.dir) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
  }
  EXPECT_EQ(ChangeFileExt("dir.d\\file", ".bak"), "dir.d\\file.bak");
  EXPECT_EQ(ChangeFileExt("v.qvl", ".lock"), "v.lock");
  EXPECT_EQ(ExtractFileDir("C:\\data\\vault.qvl"), "C:\\data");
  EXPECT_EQ(ExtractFileDir("C:\\vault.qvl"), "C:\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a/"), "a/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a\\"), "a");
}

TEST(SysUtils, ExpandFileNameIsAbsolute) {
  std::string full = ExpandFileName("some/./dir/../file.qvl");
  EXPECT_NE(full.find("some"), std::string::npos);
  EXPECT_EQ(full.find(".."), std::string::npos);
  EXPECT_EQ(ExtractFileName(full), "file.qvl");
#ifdef _WIN32
  EXPECT_EQ(full[1], ':');
#else
  EXPECT_EQ(full[0], '/');
  EXPECT_EQ(ExpandFileName("/a/b/../c"), "/a/c");
#endif
}
