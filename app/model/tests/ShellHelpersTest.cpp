// Key names, masked text, numbers, UTC milliseconds, the 30-minute rule and
// the hand-over payload of a second start.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/model/KeyNames.h"
#include "app/model/ShellHelpers.h"

namespace {

TEST(KeyNames, WrittenNames) {
  const struct {
    int vk;
    const char* name;
  } cases[] = {
      {'A', "A"},     {'Z', "Z"},         {'0', "0"},       {'9', "9"},        {112, "F1"},
      {123, "F12"},   {135, "F24"},       {9, "Tab"},       {13, "Enter"},     {27, "Esc"},
      {32, "Space"},  {33, "PageUp"},     {34, "PageDown"}, {35, "End"},       {36, "Home"},
      {37, "Left"},   {38, "Up"},         {39, "Right"},    {40, "Down"},      {45, "Insert"},
      {46, "Delete"},
      // Everything else has no name: numpad, lower-case codes, modifiers,
      // the codes just beside the ranges.
      {0x60, ""},     {'a', ""},          {16, ""},         {17, ""},          {18, ""},
      {111, ""},      {136, ""},          {'@', ""},        {'[', ""},         {0, ""},
      {-1, ""},       {0x1B0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(VkToKeyName(c.vk), c.name) << c.vk;
}

TEST(KeyNames, EveryWrittenNameReadsBackInAnyCase) {
  for (int vk = 0; vk < 256; ++vk) {
    const std::string name = VkToKeyName(vk);
    if (name.empty()) continue;
    EXPECT_EQ(KeyNameToVk(name), vk) << name;
    std::string lower = name;
    for (char& ch : lower)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    EXPECT_EQ(KeyNameToVk("  " + lower + " "), vk) << lower;
  }
}

TEST(KeyNames, UnknownNamesReadAsZero) {
  for (const char* name : {"", "F0", "F25", "F01x", "F+1", "AB", "Ctrl", "PgUp", "Return", "Escape", "F-1"})
    EXPECT_EQ(KeyNameToVk(name), 0) << name;
}

TEST(ShellHelpers, MaskText) {
  EXPECT_EQ(MaskText(""), "");
  EXPECT_EQ(MaskText("x"), "********");
  EXPECT_EQ(MaskText(std::string(40, 'p')), "********");
}

TEST(ShellHelpers, StrToInt64Or0) {
  EXPECT_EQ(StrToInt64Or0("1700000000000"), 1700000000000);
  EXPECT_EQ(StrToInt64Or0("-5"), -5);
  EXPECT_EQ(StrToInt64Or0("9223372036854775807"), INT64_MAX);
  for (const char* bad : {"", "abc", "12x", "9223372036854775808", "0x10", " "})
    EXPECT_EQ(StrToInt64Or0(bad), 0) << bad;
}

TEST(ShellHelpers, UnixMsFromFileTimeIsNeverNegative) {
  const std::uint64_t epoch = 116444736000000000ULL;
  EXPECT_EQ(UnixMsFromFileTime(0), 0);
  EXPECT_EQ(UnixMsFromFileTime(epoch - 1), 0);
  EXPECT_EQ(UnixMsFromFileTime(epoch), 0);
  EXPECT_EQ(UnixMsFromFileTime(epoch + 9999), 0);
  EXPECT_EQ(UnixMsFromFileTime(epoch + 10000), 1);
  // 2024-01-01T00:00:00Z = 1704067200000 ms (python3: datetime(2024,1,1,tzinfo=utc).timestamp()).
  EXPECT_EQ(UnixMsFromFileTime(epoch + 1704067200000ULL * 10000ULL), 1704067200000);
  EXPECT_GE(UnixMsFromFileTime(UINT64_MAX), 0);
}

TEST(ShellHelpers, LockedLongerThan30Min) {
  EXPECT_FALSE(LockedLongerThan30MinAt(false, 0, 5000000));
  EXPECT_FALSE(LockedLongerThan30MinAt(true, 1000, 1000 + 1799999));
  EXPECT_TRUE(LockedLongerThan30MinAt(true, 1000, 1000 + 1800000));
  // Across the wrap of the 32-bit tick count.
  EXPECT_TRUE(LockedLongerThan30MinAt(true, 0xFFFFFF00u, 1800000u));
  EXPECT_FALSE(LockedLongerThan30MinAt(true, 0xFFFFFF00u, 1000u));
}

TEST(HandOver, TagIsVLF1MostSignificantFirst) {
  EXPECT_EQ(kHandOverTag, (std::uint32_t{'V'} << 24) | (std::uint32_t{'L'} << 16) | (std::uint32_t{'F'} << 8) | std::uint32_t{'1'});
  EXPECT_EQ(kHandOverTag, 0x564C4631u);
}

TEST(HandOver, EncodeAddsOneZeroByte) {
  EXPECT_EQ(EncodeHandOverPath(""), std::string(1, '\0'));
  EXPECT_EQ(EncodeHandOverPath("C:\\v.qvl"), std::string("C:\\v.qvl\0", 9));
}

TEST(HandOver, DecodeReadsNoFurtherThanTheSize) {
  const std::string path = "C:\\a\\v.qvl";
  const std::string sent = EncodeHandOverPath(path);
  EXPECT_EQ(DecodeHandOverPath(sent.data(), sent.size()), path);
  EXPECT_EQ(DecodeHandOverPath(nullptr, 10), "");
  EXPECT_EQ(DecodeHandOverPath(sent.data(), 0), "");
  // Blanks around the path go; a zero inside the data ends it.
  const char padded[] = "  C:\\x.qvl \0garbage";
  EXPECT_EQ(DecodeHandOverPath(padded, sizeof padded), "C:\\x.qvl");
  // No zero byte within the size: the text ends at the size, never beyond.
  // (Under ASan a read past the buffer fails the test.)
  auto* exact = new char[5]{'C', ':', '\\', 'a', 'b'};
  EXPECT_EQ(DecodeHandOverPath(exact, 5), "C:\\ab");
  EXPECT_EQ(DecodeHandOverPath(exact, 3), "C:\\");
  delete[] exact;
}

TEST(ShellHelpers, SplitCommandLine) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine(""), V{});
  EXPECT_EQ(SplitCommandLine("   "), V{});
  EXPECT_EQ(SplitCommandLine("prog.exe"), V{"prog.exe"});
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\V.exe\"  C:\\a.qvl"), (V{"C:\\Program Files\\V.exe", "C:\\a.qvl"}));
  EXPECT_EQ(SplitCommandLine("v.exe \"my vault.qvl\"\tx"), (V{"v.exe", "my vault.qvl", "x"}));
  // Quotes in the middle of a word group too; an empty pair is an empty word.
  EXPECT_EQ(SplitCommandLine("v.exe C:\\My\" \"Docs\\a.qvl \"\""), (V{"v.exe", "C:\\My Docs\\a.qvl", ""}));
  // An unclosed quote runs to the end.
  EXPECT_EQ(SplitCommandLine("v.exe \"a b"), (V{"v.exe", "a b"}));
}

}  // namespace
