#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/text/Completion.h"

using namespace NoteText;

namespace {

std::vector<TFunctionEntry> Functions(const std::vector<std::string>& entries) {
  std::vector<TFunctionEntry> f;
  for (const auto& e : entries) f.push_back({e, 0});
  return f;
}

std::vector<std::string> Entries(const std::vector<TCompletionItem>& items) {
  std::vector<std::string> e;
  for (const auto& i : items) e.push_back(i.entry);
  return e;
}

}  // namespace

TEST(Completion, PrefixIsTheIdentifierBeforeTheCaret) {
  struct Case {
    const char* text;
    int selStart;
    const char* prefix;
    int start;
  };
  const Case cases[] = {
      {"x = foo.dr", 10, "dr", 8},
      {"x = foo.dr", 6, "fo", 4},
      {"$el_2", 5, "$el_2", 0},
      {"a b", 2, "", 2},
      {"", 0, "", 0},
      {"abc", 99, "abc", 0},   // clamped to the text
      {"abc", -4, "", 0},
      {"\xE9t\xE9", 3, "", 3},  // only ASCII identifier characters count
  };
  for (const auto& c : cases) {
    std::string prefix = "?";
    int start = -1;
    EXPECT_TRUE(CompletionGetPrefix(c.text, c.selStart, prefix, start));
    EXPECT_EQ(prefix, c.prefix) << c.text << "@" << c.selStart;
    EXPECT_EQ(start, c.start) << c.text << "@" << c.selStart;
  }
  EXPECT_TRUE(CompletionStartsWithIC("Draw2D", "dR"));
  EXPECT_FALSE(CompletionStartsWithIC("d", "dr"));
  EXPECT_TRUE(CompletionStartsWithIC("", ""));
  EXPECT_TRUE(CompletionContainsIC("reDRAW", "draw"));
  EXPECT_FALSE(CompletionContainsIC("redo", "draw"));
}

TEST(Completion, PrefixMatchesComeFirstThenSubstringMatches) {
  const auto functions = Functions({"draw(ctx)", "redraw()", "Draw2D(a)", "init()", "Foo::drop(x)", "DRAW(ctx)", ""});
  const std::vector<TCompletionItem> items = CompletionFilter(functions, "dr");
  EXPECT_EQ(Entries(items), (std::vector<std::string>{"draw(ctx)", "Draw2D(a)", "Foo::drop(x)", "redraw()"}));
  // Each item knows its place in the function list.
  EXPECT_EQ(items[1].functionIndex, 2);
  EXPECT_EQ(items[3].functionIndex, 1);

  // An empty prefix lists every function once.
  EXPECT_EQ(Entries(CompletionFilter(functions, "")),
            (std::vector<std::string>{"draw(ctx)", "redraw()", "Draw2D(a)", "init()", "Foo::drop(x)"}));
  EXPECT_TRUE(CompletionFilter(functions, "zzz").empty());

  // No more than 300, prefix matches first.
  std::vector<std::string> many;
  for (int i = 0; i < 400; ++i) many.push_back("xf" + std::to_string(i) + "()");
  many.insert(many.begin(), "f_first()");
  const auto capped = CompletionFilter(Functions(many), "f");
  ASSERT_EQ(capped.size(), 300u);
  EXPECT_EQ(capped.front().entry, "f_first()");
  EXPECT_EQ(capped[1].entry, "xf0()");
}

TEST(Completion, CallTextAndCaretOffsets) {
  struct Case {
    const char* entry;
    const char* call;
    int parameterOffset;
    int afterOffset;
  };
  const Case cases[] = {
      {"draw(ctx, x)", "draw(ctx, x)", 5, 12},
      {"init()", "init()", -1, 6},
      {"main(void)", "main(void)", -1, 10},
      {"main( VOID )", "main( VOID )", -1, 12},
      {"f(g(1), 2)", "f(g(1), 2)", 2, 10},
      {"f(  \ta)", "f(  \ta)", 5, 7},
      {"f(   )", "f(   )", -1, 6},
      {"Foo::bar(int a)", "bar(int a)", 4, 10},
      {"noParens", "noParens()", -1, 10},
      {"open(a, b", "open(a, b", 5, 9},      // no ")": the call's length
      {"g(a) const", "g(a)", 2, 4},           // what follows the list is dropped
  };
  for (const auto& c : cases) {
    int p = 99, a = 99;
    EXPECT_EQ(CompletionMakeCallText(c.entry, p, a), c.call) << c.entry;
    EXPECT_EQ(p, c.parameterOffset) << c.entry;
    EXPECT_EQ(a, c.afterOffset) << c.entry;
  }
}

TEST(Completion, AcceptReplacesOnlyTheIdentifierAtTheCaretNow) {
  auto apply = [](std::string text, int selStart, const char* entry, bool enter, int& caret) {
    TCompletionAcceptPlan plan;
    EXPECT_TRUE(PlanCompletionAccept(text, selStart, entry, enter, plan));
    text.replace(static_cast<std::size_t>(plan.replaceStart),
                 static_cast<std::size_t>(plan.replaceEnd - plan.replaceStart), plan.insert);
    caret = plan.caret;
    return text;
  };
  int caret = 0;
  EXPECT_EQ(apply("x = dr", 6, "draw(ctx, x)", true, caret), "x = draw(ctx, x)");
  EXPECT_EQ(caret, 9);  // before "ctx"
  EXPECT_EQ(apply("x = dr", 6, "draw(ctx, x)", false, caret), "x = draw(ctx, x)");
  EXPECT_EQ(caret, 16);  // after ")"
  EXPECT_EQ(apply("x = in", 6, "init()", true, caret), "x = init()");
  EXPECT_EQ(caret, 10);

  // The list was built for "dr" at 0, then a click put the caret after
  // "th" on the second line: accepting replaces only that identifier and
  // deletes nothing between the old prefix and the caret.
  EXPECT_EQ(apply("dr\rkeep this; wo", 10, "draw(c)", false, caret), "dr\rkeep draw(c)is; wo");
  EXPECT_EQ(apply("dr\rkeep this; ", 14, "draw(c)", true, caret), "dr\rkeep this; draw(c)");
  EXPECT_EQ(caret, 14 + 5);
}

TEST(Completion, SelectionMovesWithinTheItems) {
  struct Case {
    int current, delta, count, next;
  };
  const Case cases[] = {
      {-1, 1, 10, 1},   // from nothing: the delta itself
      {-1, -1, 10, 0},
      {-1, 5, 3, 2},
      {3, -5, 10, 0},
      {8, 5, 10, 9},
      {4, 1, 10, 5},
      {0, 1, 0, -1},    // no items
  };
  for (const auto& c : cases)
    EXPECT_EQ(CompletionMoveIndex(c.current, c.delta, c.count), c.next) << c.current << "+" << c.delta;
}

TEST(Completion, PopupGeometry) {
  EXPECT_EQ(CompletionItemHeight(10), 18);
  EXPECT_EQ(CompletionItemHeight(13), 19);
  EXPECT_EQ(CompletionItemHeight(0), 18);
  struct Case {
    const char* name;
    int x, y, lineHeight, itemHeight, items, parentW, parentH;
    TPopupRect expected;
  };
  const Case cases[] = {
      {"below the line", 10, 20, 16, 18, 3, 800, 600, {10, 38, 340, 60}},
      {"eight rows at most", 10, 20, 16, 18, 20, 800, 600, {10, 38, 340, 150}},
      {"at least 40 high", 10, 20, 16, 18, 1, 800, 600, {10, 38, 340, 40}},
      {"no line height: 16", 10, 20, 0, 18, 3, 800, 600, {10, 38, 340, 60}},
      {"moves left at the right edge", 700, 20, 16, 18, 3, 800, 600, {456, 38, 340, 60}},
      {"flips above at the bottom", 10, 560, 16, 18, 3, 800, 600, {10, 578 - 82, 340, 60}},
      {"never negative", 10, 30, 16, 18, 8, 300, 100, {0, 0, 340, 150}},
  };
  for (const auto& c : cases) {
    const TPopupRect r = CompletionPopupRect(c.x, c.y, c.lineHeight, c.itemHeight, c.items, c.parentW, c.parentH);
    EXPECT_EQ(r.left, c.expected.left) << c.name;
    EXPECT_EQ(r.top, c.expected.top) << c.name;
    EXPECT_EQ(r.width, c.expected.width) << c.name;
    EXPECT_EQ(r.height, c.expected.height) << c.name;
  }
}
