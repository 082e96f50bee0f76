// How long the editor's own work takes in a long note: a keystroke (its
// change handling and the deferred colouring pass) and a scroll by one page
// (the scroll and its pass), each step timed through the repaint it causes.
// Printed for the record, never asserted: speed is judged by measurement,
// not by a timed test.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"

using MemoTest::MemoFixture;

namespace {

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

std::string LongNote(int lines, bool inlineTokens) {
  std::string text;
  text.reserve(static_cast<std::size_t>(lines) * 48);
  if (inlineTokens) text += "[[COLOR:#008000]]green notes[[COLOR:NONE]] **bold** [[U+263A]]\r\n";
  for (int i = 0; i < lines; ++i) {
    switch (i % 4) {
      case 0: text += "function f" + std::to_string(i) + "(a, b) { return a + b; }\r\n"; break;
      case 1: text += "  var s = \"string " + std::to_string(i) + "\"; // comment\r\n"; break;
      case 2: text += "  user: name" + std::to_string(i) + "  password: [[U+0416]]x\r\n"; break;
      default: text += "  if (x) call(y); /* block */ z = " + std::to_string(i) + ";\r\n"; break;
    }
  }
  return text;
}

struct TTimes {
  std::vector<double> ms;
  void Add(double v) { ms.push_back(v); }
  double Median() {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
  }
  double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

void Measure(TQMemo* memo, bool inlineTokens) {
  memo->SetSyntaxHighlighting(true);
  memo->SetInlineStyles(inlineTokens);
  double t = NowMs();
  memo->SetText(LongNote(10000, inlineTokens));
  const double assign = NowMs() - t;
  ASSERT_GE(memo->LineCount(), 10000);
  HWND wnd = memo->Handle();
  memo->ColorizeText();
  UpdateWindow(wnd);
  TTimes change, pass, scroll, scrollPass;
  for (int i = 0; i < 15; ++i) {
    // A keystroke in the middle of the view. Each step ends once the window
    // has painted what it changed (the control's text and the images over
    // the tokens), as the user would see it.
    memo->SetSelection(memo->LineIndex(memo->FirstVisibleLine() + 5) + 3, 0);
    UpdateWindow(wnd);
    t = NowMs();
    MemoTest::TypeChar(wnd, u'k');
    UpdateWindow(wnd);
    change.Add(NowMs() - t);
    t = NowMs();
    memo->ColorTimer().Tick();
    UpdateWindow(wnd);
    pass.Add(NowMs() - t);
    // One page down, then its pass.
    t = NowMs();
    SendMessageW(wnd, WM_VSCROLL, SB_PAGEDOWN, 0);
    UpdateWindow(wnd);
    scroll.Add(NowMs() - t);
    t = NowMs();
    memo->ColorTimer().Tick();
    UpdateWindow(wnd);
    scrollPass.Add(NowMs() - t);
  }
  std::printf(
      "[ timing ] 10,000 lines, %zu KiB, %s, repaint included: keystroke %.1f ms (max %.1f) + its pass %.1f ms (max %.1f); "
      "page scroll %.1f ms (max %.1f) + its pass %.1f ms (max %.1f); assigning the text %.0f ms\n",
      memo->ControlText().size() / 1024, inlineTokens ? "syntax + inline tokens" : "syntax colouring",
      change.Median(), change.Max(), pass.Median(), pass.Max(), scroll.Median(), scroll.Max(), scrollPass.Median(),
      scrollPass.Max(), assign);
}

TEST_F(MemoFixture, TimingKeystrokeAndPageScrollInALongNote) {
  Measure(memo, false);
  Measure(memo, true);
}

}  // namespace
