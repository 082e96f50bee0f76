// Entries, the line helpers and the number and text conversions.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "settings/QDReg.h"

namespace {

std::vector<std::string> Items(const TStringList& l) { return l.Items(); }

TEST(QDRegEntries, AddReplacesAndMovesTheEntryToTheEnd) {
  TQDReg r;
  r.Add("a", "1", "");
  r.Add("b", "2", "");
  r.Add("a", "1", "F");
  r.Add("a", "3", "");  // rewrites the root "a" only
  EXPECT_EQ(Items(r.Keys()), (std::vector<std::string>{"b", "a", "a"}));
  EXPECT_EQ(Items(r.Folders()), (std::vector<std::string>{"", "F", ""}));
  EXPECT_EQ(Items(r.Values()), (std::vector<std::string>{"2", "1", "3"}));
  EXPECT_EQ(r.GetIndex("a"), 2);
  EXPECT_EQ(r.GetIndex("a", "F"), 1);
}

TEST(QDRegEntries, KeysAndFoldersCompareExactly) {
  TQDReg r;
  r.Add("Key", "1", "Folder");
  EXPECT_TRUE(r.Exist("Key", "Folder"));
  EXPECT_FALSE(r.Exist("key", "Folder"));
  EXPECT_FALSE(r.Exist("Key", "folder"));
  EXPECT_FALSE(r.Exist("Key"));  // the one-argument form is the root folder
  EXPECT_EQ(r.GetIndex("Key "), -1);
}

TEST(QDRegEntries, DeleteAndClear) {
  TQDReg r;
  r.Add("a", "1", "");
  r.Add("b", "2", "F");
  EXPECT_FALSE(r.Delete("b"));  // not in the root
  EXPECT_TRUE(r.Delete("b", "F"));
  EXPECT_FALSE(r.Delete("b", "F"));
  EXPECT_EQ(r.Count(), 1);
  EXPECT_TRUE(r.Delete("a"));
  EXPECT_EQ(r.Count(), 0);
  r.Add("x", "1", "");
  r.Clear();
  EXPECT_EQ(r.Count(), 0);
  EXPECT_EQ(r.Folders().Count(), 0);
  EXPECT_EQ(r.Values().Count(), 0);
}

TEST(QDRegEntries, ConstructorValues) {
  TQDReg r;
  EXPECT_EQ(r.Programmname(), "");
  EXPECT_EQ(r.Firmenname(), "");
  EXPECT_EQ(r.IniFileName(), "config.ini");
  EXPECT_EQ(r.IniFileDir(), TQDReg::AppDir());
  EXPECT_EQ(r.Count(), 0);
}

TEST(QDRegLines, KeyValueSplitAtTheFirstEquals) {
  struct Case { const char* line; const char* key; const char* value; };
  const Case cases[] = {
      {"a=1", "a", "1"},
      {"a=b=c", "a", "b=c"},
      {" a = 1 ", " a ", " 1 "},
      {"novalue", "novalue", ""},
      {"=x", "", "x"},
      {"a=", "a", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(TQDReg::GetDataKey(c.line), c.key);
    EXPECT_EQ(TQDReg::GetDataValue(c.line), c.value);
  }
  EXPECT_EQ(TQDReg::BuildData("k", "v=w"), "k=v=w");
}

TEST(QDRegLines, FolderLines) {
  struct Case { const char* line; const char* folder; };
  const Case cases[] = {
      {"[F]", "F"},
      {"  [Folder]  ", "Folder"},
      {"[ a b ]", " a b "},     // spaces inside belong to the name
      {"[a=1]", "a=1"},
      {"[]", ""},               // empty pair: no folder
      {"[A][B]", ""},           // two names
      {"[A] [B]", ""},
      {"[F] x", ""},            // text after the brackets
      {"x [F]", ""},            // text before them
      {"[F]\t", ""},            // only spaces may surround the brackets
      {"a=1", ""},
      {"", ""},
      {"   ", ""},
      {"[F]]", "F"},
      {"[[F]", "F"},
      {"[F", "F"},              // an unclosed bracket still names a folder
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(TQDReg::ExtractFolderName(c.line), c.folder);
  }
}

TEST(QDRegLines, StrToIntIsTrimmedStrictDecimal) {
  struct Case { const char* text; int def; int want; };
  const Case cases[] = {
      {"12", -1, 12},
      {" 12 ", -1, 12},
      {"\t-5\r\n", 0, -5},
      {"+7", 0, 7},
      {"007", 0, 7},
      {"-0", 9, 0},
      {"2147483647", 0, INT_MAX},
      {"-2147483648", 0, INT_MIN},
      {"", 9, 9},
      {"   ", 9, 9},
      {"12a", 9, 9},
      {"a12", 9, 9},
      {"1 2", 9, 9},
      {"1.5", 9, 9},
      {"1e3", 9, 9},
      {"$FF", 9, 9},
      {"0x1F", 9, 9},
      {"-", 9, 9},
      {"+-1", 9, 9},
      {"- 1", 9, 9},
      {"2147483648", 9, 9},
      {"-2147483649", 9, 9},
      {"99999999999999999999", 9, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TQDReg::StrToInt(c.text, c.def), c.want);
  }
}

TEST(QDRegLines, EncodeAndDecodeLineBreaks) {
  struct Case { const char* text; const char* sep; const char* encoded; const char* decoded; };
  const Case cases[] = {
      {"a\r\nb", "|", "a|b", "a\r\nb"},
      {"a\rb\nc", "|", "a|b|c", "a\r\nb\r\nc"},
      {"a\n\rb", "|", "a||b", "a\r\n\r\nb"},  // LF CR is two breaks
      {"\r\n\r\n", "<br>", "<br><br>", "\r\n\r\n"},
      {"plain", "|", "plain", "plain"},
      {"", "|", "", ""},
      {"a\r", "||", "a||", "a\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string enc = TQDReg::EncodeText(c.text, c.sep);
    EXPECT_EQ(enc, c.encoded);
    EXPECT_EQ(TQDReg::DecodeText(enc, c.sep), c.decoded);
  }
  // A separator that was already in the text decodes too.
  EXPECT_EQ(TQDReg::DecodeText("a|b||", "|"), "a\r\nb\r\n\r\n");
  EXPECT_EQ(TQDReg::DecodeText("a<b<br>", "<br>"), "a<b\r\n");
  // An empty separator leaves the text alone instead of never finishing.
  EXPECT_EQ(TQDReg::DecodeText("abc", ""), "abc");
}

TEST(QDRegLines, IsIntLooksAtTheFirstCharacterOnly) {
  EXPECT_TRUE(TQDReg::IsInt("0"));
  EXPECT_TRUE(TQDReg::IsInt("9lives"));
  EXPECT_FALSE(TQDReg::IsInt(""));
  EXPECT_FALSE(TQDReg::IsInt("-1"));
  EXPECT_FALSE(TQDReg::IsInt(" 1"));
  EXPECT_FALSE(TQDReg::IsInt("a1"));
}

TEST(QDRegLines, ProgramKey) {
  TQDReg r;
  r.SetProgrammname("Vaultline");
  EXPECT_EQ(r.ProgramKey(), "Software\\Vaultline");
  r.SetFirmenname("quorvane");
  EXPECT_EQ(r.ProgramKey(), "Software\\quorvane\\Vaultline");
}

}  // namespace
