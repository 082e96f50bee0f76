#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/text/FunctionList.h"

using namespace NoteText;

namespace {

std::vector<std::string> Entries(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& e : DetectFunctions(text)) out.push_back(e.entry + "@" + std::to_string(e.position));
  return out;
}

using List = std::vector<std::string>;

}  // namespace

TEST(FunctionList, DetectionOfSeveralShapes) {
  struct Case { const char* text; List entries; };
  const Case cases[] = {
      {"if (x) {", {}},
      {"while (x) {", {}},
      {"void Foo::bar(int a) const {", {"Foo::bar(int a)@0"}},
      {"x\r  render(ctx) {", {"render(ctx)@2"}},   // first on its line: from the line's start
      {"x = foo(a) {", {}},
      {"function* gen(a) {", {"gen(a)@0"}},
      {"  function g() {}", {"g()@2"}},           // the keyword's index
      {"handler = async (e) => {", {"handler(e)@0"}},
      {"cb = e => e.id", {"cb(e)@0"}},
      {"x.onclick = function (e) {", {"onclick(e)@2"}},
      {"const add = (a, b) => a + b;", {"add(a, b)@6"}},
      {"int main(void)\r{\r}", {"main(void)@0"}},   // Allman brace on the next line
      {"Foo::~Foo() noexcept {", {"Foo::~Foo()@0"}},
      {"Foo::Foo() : a(1) {", {"Foo::Foo()@0"}},     // not the initialiser
      {"int& at(int i) & {", {"at(int i)@0"}},
      {"function g(a,\r  b) {}", {"g(a,\r  b)@0"}},  // parameters verbatim, breaks included
      {"def f(a):\r  x", {}},
      {"void f();", {}},                            // no body
      {"function Foo() {}\rfunction foo() {}", {"Foo()@0"}},  // a case-only duplicate
      // A line comment on a CR-only line ends there; the function below is found.
      {"// void x(\rvoid f() {}", {"f()@11"}},
      {"/* void x() { */ void y() {}", {"y()@0"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Entries(c.text), c.entries) << c.text;
}

TEST(FunctionList, PassOrder) {
  // Keyword functions first, then assignments, then declarations.
  const std::string t = "void a() {}\rb = (x) => x\rfunction c() {}";
  EXPECT_EQ(Entries(t), (List{"c()@25", "b(x)@12", "a()@0"}));
}

TEST(FunctionList, SimpleName) {
  struct Case { const char* entry; const char* name; };
  const Case cases[] = {
      {" Foo::bar(int a) ", "bar"}, {"handler(e)", "handler"}, {"a::b::c(x)", "c"},
      {"~Foo()", "~Foo"},           {"  x  ", "x"},             {"", ""},
      {"name (a)", "name"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractSimpleFunctionName(c.entry), c.name) << c.entry;
}

TEST(FunctionList, LookUpEntries) {
  const auto entries = DetectFunctions("void Foo::draw(int a) {}\rfunction draw(x) {}\rb = (q) => q");
  // Keyword pass first: "draw(x)", then "b(q)", then "Foo::draw(int a)".
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(IndexOfFunctionEntry(entries, " B(q) "), 1);
  EXPECT_EQ(IndexOfFunctionEntry(entries, "b(z)"), -1);
  EXPECT_EQ(IndexOfSimpleName(entries, "draw"), 0);
  EXPECT_EQ(IndexOfSimpleName(entries, "Draw"), -1);  // case-sensitive
  EXPECT_EQ(IndexOfSimpleName(entries, " b "), 1);
  EXPECT_EQ(IndexOfSimpleName(entries, ""), -1);
}

TEST(FunctionList, Blocks) {
  const std::string t = "void f() {\r  a();\r}\r\rint g(int x)\r{\r  return x;\r}\r\r  function h() {\r}\r";
  const TFunctionBlocks blocks(t);
  const int fEnd = static_cast<int>(t.find('}')) + 1;
  const int gStart = static_cast<int>(t.find("int g"));
  const int gEnd = static_cast<int>(t.find('}', gStart)) + 1;
  struct Case { int pos; bool found; int start; int end; };
  const Case cases[] = {
      {2, true, 0, fEnd},                 // in the header
      {13, true, 0, fEnd},                // in the body
      {fEnd, true, 0, fEnd},              // just after the "}"
      {fEnd + 1, false, 0, 0},            // the blank line between
      {gStart + 20, true, gStart, gEnd},
  };
  for (const auto& c : cases) {
    int s = -1, e = -1;
    ASSERT_EQ(blocks.BlockAt(c.pos, s, e), c.found) << c.pos;
    if (c.found) {
      EXPECT_EQ(s, c.start) << c.pos;
      EXPECT_EQ(e, c.end) << c.pos;
    }
  }
  // A caret on the blank line just above a header finds that function...
  int s = -1, e = -1;
  ASSERT_TRUE(blocks.BlockAtCaret(fEnd + 1, s, e));
  EXPECT_EQ(s, gStart);
  // ...but not above an indented "function" header, whose entry starts at
  // the keyword, behind the next line's start.
  const int hLine = static_cast<int>(t.find("  function h"));
  EXPECT_FALSE(blocks.BlockAtCaret(hLine - 1, s, e));
  EXPECT_TRUE(FindFunctionBlockAtCaret(t, hLine + 5, s, e));
  EXPECT_EQ(s, hLine);
  // No block: a ";" before the body's brace, or an unmatched brace.
  EXPECT_FALSE(FindFunctionBlockAtPos("int x; void f() {}", 12, s, e));
  EXPECT_FALSE(FindFunctionBlockAtPos("void f() { {", 3, s, e));
  EXPECT_FALSE(FindFunctionBlockAtPos("", 0, s, e));
}

TEST(FunctionList, BlockBraceMatchingSkipsStringsAndComments) {
  const std::string t = "void f() {\r  s = \"}\"; // }\r  r = /}/;\r}\rx";
  int s = -1, e = -1;
  ASSERT_TRUE(FindFunctionBlockAtPos(t, 3, s, e));
  EXPECT_EQ(e, static_cast<int>(t.rfind('}')) + 1);
  EXPECT_EQ(TrimBlockEnd("f() {}\r \t\r", 0, 10), 6);
}

TEST(FunctionList, WholeFunctionSelected) {
  const std::string t = "int f(int a) {\r  return a; // one\r}\r\rvoid g() { h(); }\r";
  const TFunctionBlocks blocks(t);
  const std::string fText = t.substr(0, t.find('}') + 1);
  EXPECT_TRUE(blocks.IsFunctionText(fText));
  EXPECT_TRUE(blocks.IsFunctionText("\r " + fText + "\r\r"));     // blanks around it
  EXPECT_TRUE(blocks.IsFunctionText("void g() { h(); }"));
  EXPECT_TRUE(blocks.IsFunctionText("int f(int a) {\r  return a; // two\r}"));  // comments blanked
  EXPECT_FALSE(blocks.IsFunctionText("int f(int a) {\r  return a;"));
  EXPECT_FALSE(blocks.IsFunctionText(" \r"));
}

TEST(FunctionList, JumpsCycleThroughOccurrences) {
  const std::string t = "foo(); x.foo; foobar; foo\r";
  TFunctionJumper j;
  const int expected[] = {0, 9, 22, 0, 9};
  for (int k = 0; k < 5; ++k) {
    const auto r = j.Next(t, "foo(int a)");
    EXPECT_EQ(r.ordinal, k % 3 + 1);
    EXPECT_EQ(r.index, expected[k]);
    EXPECT_EQ(r.occurrences, 3);
    EXPECT_FALSE(r.beep);
  }
  // Another name starts again at the first occurrence.
  EXPECT_EQ(j.Next(t, "x").ordinal, 1);
  EXPECT_EQ(j.Next(t, "Cls::foo()").ordinal, 1);
  // No occurrence: a beep.
  const auto none = j.Next(t, "zap()");
  EXPECT_EQ(none.ordinal, 0);
  EXPECT_TRUE(none.beep);
  EXPECT_EQ(j.LastJumpIndex(), -1);
  // Nothing at all for an empty entry or text.
  EXPECT_FALSE(j.Next(t, "").beep);
  EXPECT_EQ(j.Next("", "foo").ordinal, 0);
  // Overlapping occurrences count.
  TFunctionJumper k;
  EXPECT_EQ(k.Next("a a", "a").occurrences, 2);
}

TEST(FunctionList, ScrollTop) {
  EXPECT_EQ(ScrollTopForSelection(10, 3, 20), 0);
  EXPECT_EQ(ScrollTopForSelection(50, 3, 20), 40);
  EXPECT_EQ(ScrollTopForSelection(50, 17, 20), 48);  // taller than the view less four
  EXPECT_EQ(ScrollTopForSelection(1, 30, 20), 0);
}
