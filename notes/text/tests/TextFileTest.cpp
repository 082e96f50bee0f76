#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/CodePage.h"
#include "base/tests/TestUtil.h"
#include "notes/text/TextFile.h"

using namespace NoteText;

namespace {

// The tests that spell ANSI bytes assume Windows-1252, the code page of the
// native build and of Wine with LANG unset or English.
bool Is1252() { return CodePage::AnsiCodePage() == 1252; }

std::string Hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  std::string r;
  for (unsigned char c : s) {
    if (!r.empty()) r += ' ';
    r += d[c >> 4];
    r += d[c & 15];
  }
  return r;
}

// A disk in memory whose steps can be made to fail.
class TFakeDisk : public TTextFileSystem {
 public:
  std::map<std::string, std::string> files;
  bool failRead = false;
  int writeFailsAfter = -1;  // WriteNew keeps this many bytes, then fails
  bool failReplace = false;
  int writes = 0;

  bool ReadAll(const std::string& path, std::string& bytes) override {
    auto it = files.find(path);
    if (failRead || it == files.end()) return false;
    bytes = it->second;
    return true;
  }
  std::int64_t FileSize(const std::string& path) override {
    auto it = files.find(path);
    return it == files.end() ? -1 : static_cast<std::int64_t>(it->second.size());
  }
  bool WriteNew(const std::string& path, std::string_view bytes) override {
    ++writes;
    if (writeFailsAfter >= 0 && static_cast<std::size_t>(writeFailsAfter) < bytes.size()) {
      files[path] = std::string(bytes.substr(0, static_cast<std::size_t>(writeFailsAfter)));
      return false;
    }
    files[path] = std::string(bytes);
    return true;
  }
  bool Replace(const std::string& source, const std::string& target) override {
    if (failReplace || !files.count(source)) return false;
    files[target] = files[source];
    files.erase(source);
    return true;
  }
  bool Remove(const std::string& path) override { return files.erase(path) > 0; }
};

}  // namespace

TEST(TextFile, StrictUtf8AcceptsWellFormedTextOnly) {
  struct Case {
    const char* name;
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"empty", "", true},
      {"ascii", "abc\r\n", true},
      {"two-byte", "\xC3\xA9", true},
      {"emoji", "\xF0\x9F\x98\x80", true},
      {"lone BOM", "\xEF\xBB\xBF", true},
      {"last before surrogates", "\xED\x9F\xBF", true},
      {"first after surrogates", "\xEE\x80\x80", true},
      {"U+10FFFF", "\xF4\x8F\xBF\xBF", true},
      {"overlong two-byte NUL", std::string("\xC0\x80", 2), false},
      {"overlong two-byte C1", "\xC1\xBF", false},
      {"overlong three-byte", "\xE0\x80\xAF", false},
      {"overlong four-byte", "\xF0\x80\x80\xAF", false},
      {"surrogate D800", "\xED\xA0\x80", false},
      {"surrogate DFFF", "\xED\xBF\xBF", false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
      {"lead F5", "\xF5\x80\x80\x80", false},
      {"lead FF", "\xFF", false},
      {"truncated two-byte", "a\xC3", false},
      {"truncated three-byte", "\xE2\x82", false},
      {"truncated four-byte", "\xF0\x9F\x98", false},
      {"stray continuation", "a\x80z", false},
      {"Latin-1", "caf\xE9", false},
      {"half a BOM", "\xEF\xBB", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsStrictUtf8(c.bytes), c.valid) << c.name;
}

TEST(TextFile, LenientDecodingReplacesEachIllFormedPart) {
  struct Case {
    std::string bytes;
    std::u16string wide;
  };
  const Case cases[] = {
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {std::string("a\xC0\x80z", 4), u"a\xFFFD\xFFFDz"},   // C0 is never a lead byte
      {"a\xE2\x82z", u"a\xFFFDz"},                       // one truncated sequence
      {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},           // a surrogate: ED, then two strays
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
      {"\xE2\x82\xAC", u"\x20AC"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUtf8(c.bytes), c.wide) << Hex(c.bytes);
  EXPECT_EQ(EncodeUtf8(u"\xD83D\xDE00\x20AC" u"a"), "\xF0\x9F\x98\x80\xE2\x82\xAC" "a");
  EXPECT_EQ(EncodeUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // a lone surrogate
}

TEST(TextFile, LoadDetectsTheEncodingFromTheBytes) {
  struct Case {
    const char* name;
    std::string bytes;
    int encoding;
    std::string text;
    int lines;
    bool needs1252;
  };
  const Case cases[] = {
      {"empty file", "", 2, "", 0, false},
      {"only a BOM", "\xEF\xBB\xBF", 3, "", 0, false},
      {"BOM and text", "\xEF\xBB\xBFx\r\ny", 3, "x\r\ny", 2, false},
      {"plain ASCII is UTF-8", "abc", 2, "abc", 1, false},
      {"UTF-8 emoji becomes a token", "a\xF0\x9F\x98\x80\n", 2, "a[[U+1F600]]\n", 2, false},
      {"UTF-8 outside the code page", "\xD0\x96", 2, "[[U+0416]]", 1, false},
      {"UTF-8 inside the code page", "caf\xC3\xA9", 2, "caf\xE9", 1, true},
      {"Latin-1 bytes are ANSI", "caf\xE9", 1, "caf\xE9", 1, true},
      {"half a BOM is ANSI", "\xEF\xBB", 1, "\xEF\xBB", 1, true},
      {"overlong NUL is ANSI", std::string("\xC0\x80", 2), 1, std::string("\xC0\x80", 2), 1, true},
      {"BOM then bad UTF-8 decodes leniently", "\xEF\xBB\xBF\xFFz", 3, "[[U+FFFD]]z", 1, false},
  };
  TempDir dir;
  for (const auto& c : cases) {
    if (c.needs1252 && !Is1252()) continue;
    const std::string path = dir.File("in.txt");
    WriteTestFile(path, c.bytes);
    std::string text = "old";
    int encoding = 0, lines = -1;
    ASSERT_TRUE(LoadTextFileWorker(path, text, encoding, lines)) << c.name;
    EXPECT_EQ(encoding, c.encoding) << c.name;
    EXPECT_EQ(text, c.text) << c.name;
    EXPECT_EQ(lines, c.lines) << c.name;
  }
}

TEST(TextFile, LoadFailureLeavesNothing) {
  TempDir dir;
  std::string text = "old", error;
  int encoding = 1, lines = 5;
  EXPECT_FALSE(LoadTextFileWorker(dir.File("missing.txt"), text, encoding, lines, TTextFileSystem::Disk(), &error));
  EXPECT_EQ(text, "");
  EXPECT_EQ(encoding, 2);
  EXPECT_EQ(lines, 0);
  EXPECT_EQ(error, "Could not load file.");

  TFakeDisk disk;
  disk.files["f"] = "abc";
  disk.failRead = true;
  EXPECT_FALSE(LoadTextFileWorker("f", text, encoding, lines, disk));
}

TEST(TextFile, SaveWritesEachEncoding) {
  struct Case {
    const char* name;
    std::string text;
    int encoding;
    std::string bytes;
    bool needs1252;
  };
  const Case cases[] = {
      {"UTF-8 token becomes its bytes", "a[[U+1F600]]\r\n", 2, "a\xF0\x9F\x98\x80\r\n", false},
      {"UTF-8 with BOM", "x", 3, "\xEF\xBB\xBFx", false},
      {"empty UTF-8 writes nothing", "", 2, "", false},
      {"empty with BOM writes the BOM", "", 3, "\xEF\xBB\xBF", false},
      {"invalid tokens stay literal", "[[U+D800]][[U+110000]]", 2, "[[U+D800]][[U+110000]]", false},
      {"ANSI keeps its bytes", "caf\xE9 \x80", 1, "caf\xE9 \x80", true},
      {"ANSI resolves a token the code page holds", "[[U+00E9]]", 1, "\xE9", true},
      {"UTF-8 from ANSI bytes", "caf\xE9", 2, "caf\xC3\xA9", true},
  };
  TempDir dir;
  for (const auto& c : cases) {
    if (c.needs1252 && !Is1252()) continue;
    const std::string path = dir.File("out.txt");
    WriteTestFile(path, "previous");
    ASSERT_TRUE(SaveTextFileWorker(path, c.text, c.encoding)) << c.name;
    EXPECT_EQ(Hex(ReadTestFile(path)), Hex(c.bytes)) << c.name;
    EXPECT_FALSE(PathExists(path + ".tmp")) << c.name;
  }
}

TEST(TextFile, LoadThenSaveGivesTheSameBytes) {
  TempDir dir;
  const std::string in = dir.File("in.txt"), out = dir.File("out.txt");
  const std::string bytes = "\xEF\xBB\xBF\xF0\x9F\x91\x8D \xD0\x96\r\nline \xE2\x82\xAC\r\n";
  WriteTestFile(in, bytes);
  std::string text;
  int encoding = 0, lines = 0;
  ASSERT_TRUE(LoadTextFileWorker(in, text, encoding, lines));
  EXPECT_EQ(encoding, 3);
  EXPECT_EQ(lines, 3);
  ASSERT_TRUE(SaveTextFileWorker(out, text, encoding));
  EXPECT_EQ(Hex(ReadTestFile(out)), Hex(bytes));
}

TEST(TextFile, AnsiSaveOfAForeignCharacterFailsAndKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("notes.txt");
  WriteTestFile(path, "old content");
  std::string error;
  EXPECT_FALSE(SaveTextFileWorker(path, "Zhe: [[U+0F00]]", 1, TTextFileSystem::Disk(), &error));
  EXPECT_EQ(error, "Text contains characters that cannot be saved as ANSI.");
  EXPECT_EQ(ReadTestFile(path), "old content");
  EXPECT_FALSE(PathExists(path + ".tmp"));
}

TEST(TextFile, AnUnknownEncodingIsRefusedBeforeTheDiskIsTouched) {
  for (int encoding : {0, 4, 7, 255, -1}) {
    TFakeDisk disk;
    disk.files["notes.txt"] = "keep me";
    std::string error;
    EXPECT_FALSE(SaveTextFileWorker("notes.txt", "new text", encoding, disk, &error)) << encoding;
    EXPECT_EQ(disk.writes, 0) << encoding;
    EXPECT_EQ(disk.files.size(), 1u) << encoding;
    EXPECT_EQ(disk.files["notes.txt"], "keep me") << encoding;
    EXPECT_EQ(error, kMsgUnknownEncoding) << encoding;
  }
}

TEST(TextFile, AFailedWriteOrMoveLeavesTheTargetAndNoTemporary) {
  for (bool failMove : {false, true}) {
    TFakeDisk disk;
    disk.files["n.txt"] = "old";
    if (failMove) disk.failReplace = true;
    else disk.writeFailsAfter = 3;
    EXPECT_FALSE(SaveTextFileWorker("n.txt", "a much longer new text", 2, disk)) << failMove;
    EXPECT_EQ(disk.files["n.txt"], "old") << failMove;
    EXPECT_FALSE(disk.files.count("n.txt.tmp")) << failMove;
  }
  // The real disk: a folder that does not exist.
  TempDir dir;
  const std::string path = dir.File("missing/n.txt");
  EXPECT_FALSE(SaveTextFileWorker(path, "x", 2));
  EXPECT_FALSE(PathExists(path + ".tmp"));
}

TEST(TextFile, EncodingNamesAndSaveEncodings) {
  EXPECT_STREQ(FileEncodingText(1), "ANSI");
  EXPECT_STREQ(FileEncodingText(2), "UTF-8");
  EXPECT_STREQ(FileEncodingText(3), "UTF-8 BOM");
  EXPECT_STREQ(FileEncodingText(0), "UTF-8");
  EXPECT_STREQ(FileEncodingText(9), "UTF-8");
  struct Case {
    int requested, current, resolved;
  };
  const Case cases[] = {{0, 1, 1}, {0, 3, 3}, {0, 0, 2}, {2, 1, 2}, {3, 0, 3},
                        {4, 2, -1}, {-1, 2, -1}, {0, 7, -1}, {255, 1, -1}};
  for (const auto& c : cases)
    EXPECT_EQ(ResolveSaveEncoding(c.requested, c.current), c.resolved) << c.requested << "/" << c.current;
}

TEST(TextFile, LoadStepsComeFromTheFileSize) {
  TFakeDisk disk;
  disk.files["empty"] = "";
  disk.files["small"] = std::string(79, 'x');
  disk.files["big"] = std::string(8000, 'x');
  EXPECT_EQ(EstimateLoadSteps("missing", disk), 1000);
  EXPECT_EQ(EstimateLoadSteps("empty", disk), 1);
  EXPECT_EQ(EstimateLoadSteps("small", disk), 1);
  EXPECT_EQ(EstimateLoadSteps("big", disk), 100);
}
