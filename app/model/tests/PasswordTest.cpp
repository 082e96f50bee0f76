// The quality meter's score and word, and the two password makers driven by
// a scripted random source (exact output) and by the system source
// (properties, and two runs that differ).
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <set>
#include <string>

#include "app/model/PasswordGenerator.h"
#include "app/model/PasswordQuality.h"

namespace {

// Hands out the scripted 32-bit values, little-endian, one per 4-byte draw;
// fails once they run out.
struct TScript {
  std::deque<std::uint32_t> values;
  int draws = 0;
  TRandomSource Source() {
    return [this](std::uint8_t* buf, std::size_t n) {
      if (n != 4 || values.empty()) return false;
      const std::uint32_t v = values.front();
      values.pop_front();
      ++draws;
      for (int i = 0; i < 4; ++i) buf[i] = static_cast<std::uint8_t>(v >> (8 * i));
      return true;
    };
  }
};

bool In(const char* set, char c) { return std::string(set).find(c) != std::string::npos; }

TEST(PasswordQuality, Scores) {
  const struct {
    const char* pwd;
    int score;
  } cases[] = {
      {"", 0},
      {"a", 10},
      {"abc", 13},                 // 3 + one class
      {"abcdef", 18},
      {"abcdefgh", 28},            // eight lower-case letters
      {"abcDEF12", 58},            // eight characters, three classes
      {"abcDE12!", 78},            // eight characters, four classes
      {"abcDEF12!?xy", 93},        // twelve, four classes
      {"abcDEF12!?xyZ9-q", 100},   // sixteen, four classes
      {"aaaaaaaaaaaaaaaaaaaa", 73},  // twenty, one class: 63 + 10
      {"\xE4\xF6\xFC", 13},        // bytes above 127 are "other"
      {"Ab1", 43},                 // 3 + 30 + 10 for three classes
  };
  for (const auto& c : cases) EXPECT_EQ(RatePasswordQuality(c.pwd), c.score) << c.pwd;
}

TEST(PasswordQuality, WordAndColourAtTheBoundaries) {
  const struct {
    int position;
    const char* word;
    std::uint32_t color;
  } cases[] = {
      {0, "bad", 255},        {49, "bad", 255},         {50, "medium", 32896}, {69, "medium", 32896},
      {70, "good", 32768},    {94, "good", 32768},      {95, "excellent", 16711680},
      {100, "excellent", 16711680},
  };
  for (const auto& c : cases) {
    const TQualityLook look = QualityLookFor(c.position);
    EXPECT_STREQ(look.Word, c.word) << c.position;
    EXPECT_EQ(look.Color, c.color) << c.position;
  }
}

TEST(RandomDraw, RejectsTheBiasedTailAndReducesTheRest) {
  TScript s;
  // For 26 the accepted values are 0 .. 4294967273 (the largest multiple of
  // 26 below 2^32); 4294967274 and above are drawn again.
  s.values = {0xFFFFFFFFu, 4294967274u, 4294967273u, 27u};
  TRandomDraw draw(s.Source());
  std::uint32_t v = 99;
  ASSERT_TRUE(draw.Below(26, v));
  EXPECT_EQ(v, 4294967273u % 26);
  EXPECT_EQ(s.draws, 3);
  ASSERT_TRUE(draw.Below(26, v));
  EXPECT_EQ(v, 1u);
  // A source that fails makes the draw fail.
  EXPECT_FALSE(draw.Below(26, v));
}

TEST(GenerateRandomPassword, ScriptedDrawsGiveExactOutput) {
  // Draws: lower 0 'a', upper 1 'B', digit 2 '2', special 3 '$', then the
  // twelve mixed characters "abcdefghijkl", then the shuffle.
  const std::deque<std::uint32_t> chars = {0, 1, 2, 3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  {
    // j = i for every i: nothing moves.
    TScript s;
    s.values = chars;
    for (std::uint32_t i = 16; i >= 2; --i) s.values.push_back(i - 1);
    EXPECT_EQ(GenerateRandomPassword(s.Source()), "aB2$abcdefghijkl");
    EXPECT_EQ(s.draws, 31);
  }
  {
    // j = 1 for every i: position 1 swaps with 16, 15, …, 2, which rotates
    // the text left by one.
    TScript s;
    s.values = chars;
    for (int i = 0; i < 15; ++i) s.values.push_back(0);
    EXPECT_EQ(GenerateRandomPassword(s.Source()), "B2$abcdefghijkla");
  }
  {
    // A draw above i-1 wraps modulo i: 16 + 17 for i = 16 is 1 (j = 2).
    TScript s;
    s.values = chars;
    s.values.push_back(17);
    for (std::uint32_t i = 15; i >= 2; --i) s.values.push_back(i - 1);
    EXPECT_EQ(GenerateRandomPassword(s.Source()), "al2$abcdefghijkB");
  }
}

TEST(GenerateRandomPassword, FailingSourceGivesNothing) {
  TScript s;
  s.values = {0, 1, 2};
  EXPECT_EQ(GenerateRandomPassword(s.Source()), "");
}

TEST(GenerateRandomPassword, SystemSourceObeysTheClassesAndRunsDiffer) {
  std::set<std::string> seen;
  for (int run = 0; run < 200; ++run) {
    const std::string p = GenerateRandomPassword(SystemRandomSource());
    ASSERT_EQ(p.size(), 16u);
    bool lower = false, upper = false, digit = false, special = false;
    for (char c : p) {
      EXPECT_TRUE(In(kPwdMixed, c) || In(kPwdSpecials, c)) << p;
      lower |= In(kPwdLower, c);
      upper |= In(kPwdUpper, c);
      digit |= In(kPwdDigits, c);
      special |= In(kPwdSpecials, c);
    }
    EXPECT_TRUE(lower && upper && digit && special) << p;
    EXPECT_EQ(RatePasswordQuality(p), 100) << p;
    seen.insert(p);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(SentenceToPassword, ScriptedDrawsGiveExactOutput) {
  TScript s;
  // Three words; keep one (0 -> 1); the second word stays whole (1 -> 2):
  // "a" + "cd" + "e". One extra (0 -> 1), '$' (0); its place: 2 -> position
  // 3 lies inside "cd" and is drawn again; 1 -> position 2 is before "cd".
  s.values = {0, 1, 0, 0, 2, 1};
  EXPECT_EQ(SentenceToPassword("ab cd ef", s.Source()), "a$cde");
  EXPECT_TRUE(s.values.empty());
}

TEST(SentenceToPassword, ScriptedTwoKeptWordsAndAnAppendedExtra) {
  TScript s;
  // Keep two (1 -> 2); first word 3 (2), second drawn 3 again (2) then 1 (0):
  // "ab" "," "c" "ef" -> "ab,cef", kept at 1..2 and 5..6. Two extras (1):
  // '#' (1) at 7 (6: appended), '@' (8) at 1 (0: before "ab").
  s.values = {1, 2, 2, 0, 1, 1, 6, 8, 0};
  EXPECT_EQ(SentenceToPassword("ab, cd ef", s.Source()), "@ab,cef#");
  EXPECT_TRUE(s.values.empty());
}

// The sentence with every extra removed.
std::string WithoutExtras(const std::string& p) {
  std::string r;
  for (char c : p)
    if (!In(kSentenceExtras, c)) r.push_back(c);
  return r;
}

int CountExtras(const std::string& p) { return static_cast<int>(p.size() - WithoutExtras(p).size()); }

TEST(SentenceToPassword, PropertiesWithTheSystemSource) {
  for (int run = 0; run < 300; ++run) {
    const TRandomSource src = SystemRandomSource();
    // The empty sentence: one or two extras only.
    const std::string empty = SentenceToPassword("", src);
    EXPECT_TRUE(empty.size() == 1 || empty.size() == 2) << empty;
    EXPECT_EQ(WithoutExtras(empty), "");

    // No letters: digits and punctuation stay, blanks go.
    const std::string digits = SentenceToPassword("12 - 3 .", src);
    EXPECT_EQ(WithoutExtras(digits), "12-3.") << digits;
    EXPECT_GE(CountExtras(digits), 1);
    EXPECT_LE(CountExtras(digits), 2);

    // Three one-letter words: three letters plus one or two extras.
    const std::string abc = SentenceToPassword("x y z", src);
    EXPECT_EQ(WithoutExtras(abc), "xyz") << abc;

    // Bytes above 127 vanish and split words; letters after digits start a word.
    const std::string split = SentenceToPassword("ab\xE4" "cd 13th", src);
    const std::string skeleton = WithoutExtras(split);
    EXPECT_EQ(skeleton.find('\xE4'), std::string::npos);
    EXPECT_NE(skeleton.find("13"), std::string::npos) << split;

    // Kept words stay whole: at least one word of the sentence stands
    // unbroken in the output, and the others only by their initials.
    const std::string p = SentenceToPassword("alpha beta gamma", src);
    const std::string sk = WithoutExtras(p);
    int whole = 0;
    for (const char* w : {"alpha", "beta", "gamma"})
      if (p.find(w) != std::string::npos) ++whole;
    EXPECT_GE(whole, 1) << p;
    EXPECT_LE(whole, 2) << p;
    EXPECT_TRUE(sk == "alphabg" || sk == "abetag" || sk == "abgamma" || sk == "alphabetag" ||
                sk == "alphabgamma" || sk == "abetagamma")
        << p;
  }
}

TEST(SentenceToPassword, TheDefaultSentenceKeepsItsDigitsAndPunctuation) {
  const std::string p =
      SentenceToPassword("This is an Example Sentence!today 13th of December", SystemRandomSource());
  const std::string sk = WithoutExtras(p);
  EXPECT_NE(p.find('!'), std::string::npos) << p;  // also an extra: seen in p, not in sk
  EXPECT_NE(sk.find("13"), std::string::npos) << p;
  EXPECT_EQ(sk.find(' '), std::string::npos) << p;
}

TEST(SentenceToPassword, RunsDiffer) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i)
    seen.insert(SentenceToPassword("This is an Example Sentence!today 13th of December", SystemRandomSource()));
  EXPECT_GT(seen.size(), 10u);
}

TEST(SentenceToPassword, FailingSourceGivesNothing) {
  TScript s;
  s.values = {0};
  EXPECT_EQ(SentenceToPassword("ab cd", s.Source()), "");
}

}  // namespace
