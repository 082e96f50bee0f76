// Typed push and pop: numbers, flags, check boxes and radio-button groups,
// with fake check boxes that record what the store does to them.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <optional>
#include <string>

#include "settings/QDReg.h"

namespace {

class FakeCheck : public TCheckable {
 public:
  explicit FakeCheck(bool checked = false) : checked_(checked) {}
  ~FakeCheck() override = default;
  bool Checked() const override { return checked_; }
  void SetChecked(bool value) override {
    ++sets;
    checked_ = value;
  }
  int sets = 0;

 private:
  bool checked_;
};

using Ten = std::array<FakeCheck, 10>;

void PushTen(TQDReg& r, Ten& b) {
  r.PushRadioButtons("R", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9]);
}

void PopTen(TQDReg& r, Ten& b, int def) {
  r.PopRadioButtons("R", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], def);
}

// Misuse that must not compile: a single flag pointer would read as a bool,
// and groups hold 2 to 10 members.
template <typename T>
concept PushesOnePointer = requires(T r, bool* p) { r.PushBool("k", p); };
template <typename T>
concept PopsOnePointer = requires(T r, bool* p) { r.PopBool("k", p); };
template <typename T>
concept PushesElevenButtons = requires(T r, FakeCheck* b) { r.PushRadioButtons("k", b, b, b, b, b, b, b, b, b, b, b); };
template <typename T>
concept PushesOneButton = requires(T r, FakeCheck* b) { r.PushRadioButtons("k", b); };
template <typename T>
concept PopsWithoutIndex = requires(T r, FakeCheck* b) { r.PopRadioButtons("k", b, b); };
template <typename T>
concept PushesTwoPointers = requires(T r, bool* p) { r.PushBool("k", p, p); };
template <typename T>
concept PopsTwoPointers = requires(T r, bool* p) { r.PopBool("k", p, p, 1); };
template <typename T>
concept PushesTenButtons = requires(T r, FakeCheck* b) { r.PushRadioButtons("k", b, b, b, b, b, b, b, b, b, b); };
template <typename T>
concept PopsTwoButtons = requires(T r, FakeCheck* b) { r.PopRadioButtons("k", b, b, 1); };
static_assert(PushesTwoPointers<TQDReg> && PopsTwoPointers<TQDReg>);
static_assert(PushesTenButtons<TQDReg> && PopsTwoButtons<TQDReg>);
static_assert(!PushesOnePointer<TQDReg>);
static_assert(!PopsOnePointer<TQDReg>);
static_assert(!PushesElevenButtons<TQDReg>);
static_assert(!PushesOneButton<TQDReg>);
static_assert(!PopsWithoutIndex<TQDReg>);

TEST(QDRegTyped, Strings) {
  TQDReg r;
  r.PushString("s", "a value");
  r.PushString("s", "in F", "F");
  r.Push("p", " raw ");
  EXPECT_EQ(r.PopString("s"), "a value");
  EXPECT_EQ(r.PopString("s", "d", "F"), "in F");
  EXPECT_EQ(r.Pop("p"), " raw ");
  EXPECT_EQ(r.PopString("missing"), "");
  EXPECT_EQ(r.PopString("missing", "def"), "def");
  EXPECT_EQ(r.Pop("s", "def", "G"), "def");
  r.PushString("e", "");
  EXPECT_EQ(r.PopString("e", "def"), "");  // present but empty is not missing
}

TEST(QDRegTyped, Integers) {
  TQDReg r;
  r.PushInt("neg", -5);
  r.PushInt("min", INT_MIN);
  r.PushInt("f", 42, "F");
  EXPECT_EQ(r.Pop("neg"), "-5");
  EXPECT_EQ(r.Pop("min"), "-2147483648");
  EXPECT_EQ(r.PopInt("neg"), -5);
  EXPECT_EQ(r.PopInt("f", 0, "F"), 42);
  EXPECT_EQ(r.PopInt("f"), 0);  // not in the root

  struct Case { const char* stored; int want; };
  const Case cases[] = {{" 12 ", 12}, {"", 77}, {"12a", 77}, {"0x10", 77}, {"-0", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    r.Push("i", c.stored);
    EXPECT_EQ(r.PopInt("i", 77), c.want);
  }
  EXPECT_EQ(r.PopInt("missing", 77), 77);
  EXPECT_EQ(r.PopInt("missing"), 0);
}

TEST(QDRegTyped, Bools) {
  TQDReg r;
  r.PushBool("t", true);
  r.PushBool("f", false, "F");
  EXPECT_EQ(r.Pop("t"), "1");
  EXPECT_EQ(r.Pop("f", "", "F"), "0");

  struct Case { std::optional<std::string> stored; bool def; bool want; };
  const Case cases[] = {
      {"1", false, true},    {" 1 ", false, true}, {"0", true, false},
      {"2", true, true},     {"2", false, false},  {"-1", true, true},
      {"yes", true, true},   {"", false, false},   {std::nullopt, true, true},
      {std::nullopt, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.value_or("<missing>") + (c.def ? " def true" : " def false"));
    r.Delete("b");
    if (c.stored) r.Push("b", *c.stored);
    EXPECT_EQ(r.PopBool("b", c.def), c.want);
  }
  EXPECT_FALSE(r.PopBool("missing"));
  EXPECT_FALSE(r.PopBool("f", true, "F"));
}

TEST(QDRegTyped, CheckBoxes) {
  TQDReg r;
  FakeCheck on(true), off(false);
  r.PushCheckBox("on", &on);
  r.PushCheckBox("off", &off);
  EXPECT_EQ(r.Pop("on"), "1");
  EXPECT_EQ(r.Pop("off"), "0");

  // A stored "0" gives the default, unlike a bool; anything but "1" is false.
  struct Case { std::optional<std::string> stored; bool def; bool want; };
  const Case cases[] = {
      {"0", true, true},  {"0", false, false}, {"1", false, true},
      {"2", true, false}, {" 1", true, false}, {std::nullopt, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.value_or("<missing>") + (c.def ? " def true" : " def false"));
    r.Delete("c");
    if (c.stored) r.Push("c", *c.stored);
    EXPECT_EQ(r.PopCheckBox("c", c.def), c.want);
  }
}

TEST(QDRegTyped, RadioPushStoresTheLastCheckedButton) {
  TQDReg r;
  Ten b;
  PushTen(r, b);
  EXPECT_EQ(r.Pop("R"), "0");
  b[2] = FakeCheck(true);
  b[6] = FakeCheck(true);
  PushTen(r, b);
  EXPECT_EQ(r.Pop("R"), "7");
  b[9] = FakeCheck(true);
  PushTen(r, b);
  EXPECT_EQ(r.Pop("R"), "10");

  FakeCheck x(false), y(true);
  r.PushRadioButtons("two", &x, &y);
  EXPECT_EQ(r.Pop("two"), "2");
  r.PushRadioButtons("none", &x, static_cast<FakeCheck*>(nullptr));
  EXPECT_EQ(r.Pop("none"), "0");
}

TEST(QDRegTyped, RadioPopChecksOnlyTheChosenButton) {
  struct Case { std::optional<std::string> stored; int def; int want; };  // want 0: none
  const Case cases[] = {
      {"10", 7, 10}, {"1", 7, 1},   {"11", 7, 7},  {"0", 7, 7},
      {std::nullopt, 7, 7},        {std::nullopt, 0, 0},         {"0", 0, 0},
      {"11", 11, 0}, {"5", 0, 5},   {"-1", 7, 7},  {"03", 7, 7},
      {" 3", 7, 7},  {"3 ", 2, 2},  {"abc", 1, 1}, {"", -3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.value_or("<missing>") + " def " + std::to_string(c.def));
    TQDReg r;
    if (c.stored) r.Push("R", *c.stored);
    Ten b;
    PopTen(r, b, c.def);
    for (int k = 1; k <= 10; ++k) {
      const FakeCheck& box = b[static_cast<std::size_t>(k - 1)];
      EXPECT_EQ(box.Checked(), k == c.want) << "button " << k;
      EXPECT_EQ(box.sets, k == c.want ? 1 : 0) << "button " << k;  // siblings untouched
    }
  }
}

TEST(QDRegTyped, RadioPopReadsTheRootFolderOnly) {
  TQDReg r;
  r.PushString("R", "2", "F");
  FakeCheck a, b, c;
  r.PopRadioButtons("R", &a, &b, &c, 3);
  EXPECT_TRUE(c.Checked());
  EXPECT_FALSE(b.Checked());
}

TEST(QDRegTyped, FlagGroups) {
  TQDReg r;
  bool f[10] = {};
  r.PushBool("G", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8], &f[9]);
  EXPECT_EQ(r.Pop("G"), "0");
  f[1] = f[4] = true;
  r.PushBool("G", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8], &f[9]);
  EXPECT_EQ(r.Pop("G"), "5");

  struct Case { std::optional<std::string> stored; int def; int want; };
  const Case cases[] = {
      {"3", 0, 3}, {std::nullopt, 0, 0}, {std::nullopt, 2, 2}, {"0", 1, 1},
      {"4", 1, 1}, {"x", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.value_or("<missing>") + " def " + std::to_string(c.def));
    TQDReg g;
    if (c.stored) g.Push("G", *c.stored);
    bool a = true, b = true, d = true;  // every flag is rewritten
    g.PopBool("G", &a, &b, &d, c.def);
    EXPECT_EQ(a, c.want == 1);
    EXPECT_EQ(b, c.want == 2);
    EXPECT_EQ(d, c.want == 3);
  }
}

TEST(QDRegTyped, EveryPushMovesItsKeyToTheEnd) {
  TQDReg r;
  FakeCheck x(true), y;
  bool p = true, q = false;
  r.PushString("k", "first");
  r.PushString("other", "x");
  auto last = [&r] { return r.GetIndex("k") == r.Count() - 1; };
  r.PushString("k", "s");                 EXPECT_TRUE(last());
  r.PushString("other", "x");             r.Push("k", "s");                 EXPECT_TRUE(last());
  r.PushString("other", "x");             r.PushInt("k", 1);                EXPECT_TRUE(last());
  r.PushString("other", "x");             r.PushBool("k", true);            EXPECT_TRUE(last());
  r.PushString("other", "x");             r.PushCheckBox("k", &x);          EXPECT_TRUE(last());
  r.PushString("other", "x");             r.PushRadioButtons("k", &x, &y);  EXPECT_TRUE(last());
  r.PushString("other", "x");             r.PushBool("k", &p, &q);          EXPECT_TRUE(last());
  EXPECT_EQ(r.Count(), 2);
}

}  // namespace
