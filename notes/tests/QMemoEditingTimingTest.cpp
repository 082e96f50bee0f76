// How long the editor's navigation takes in a long note under Wine: a
// Ctrl+click jump (the function list built afresh), the bracket pair shown
// as Ctrl goes down, the function block at the caret, and a repaint with the
// line-number gutter. Printed for the record, never asserted.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"

using MemoTest::THeldKeys;

struct EditingTimingFixture : MemoTest::MemoFixture {};

namespace {

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// The best of a few runs of step, in milliseconds.
template <typename F>
double BestOf(int runs, F step) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const double t0 = NowMs();
    step();
    best = std::min(best, NowMs() - t0);
  }
  return best;
}

TEST_F(EditingTimingFixture, NavigationInALongNoteIsTimed) {
  const int lines = 10000;
  std::string text;
  for (int i = 0; i < lines; i += 4) {
    text += "function f" + std::to_string(i) + "(a, b) {\r\n";
    text += "  var s = \"x\"; // comment (\r\n";
    text += "  return g(a, [b]);\r\n";
    text += "}\r\n";
  }
  text += "f0(1, 2);";
  memo->SetText(text);
  memo->SetShowLineNumbers(true);
  const int call = memo->TextLength() - 9;
  memo->SetSelection(call, 0);
  memo->ScrollCaret();
  UiTest::Pump();
  POINTL at{0, 0};
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), call + 1);

  const double jump = BestOf(3, [&] {
    memo->SetSelection(call, 0);
    THeldKeys ctrl{VK_CONTROL};
    SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(at.x + 1, at.y + 5));
    SendMessageW(wnd, WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(at.x + 1, at.y + 5));
  });
  EXPECT_EQ(memo->SelStart(), 9) << "the jump reached the definition";

  const int inner = memo->LineIndex(lines / 2 + 2) + 11;  // at "g(" in the middle
  const double highlight = BestOf(3, [&] {
    memo->SetSelection(inner, 0);
    THeldKeys ctrl{VK_CONTROL};
    SendMessageW(wnd, WM_KEYDOWN, VK_CONTROL, 1);
    SendMessageW(wnd, WM_KEYUP, VK_CONTROL, 0xC0000001);
  });
  int s = 0, e = 0;
  const double block = BestOf(3, [&] { memo->FindFunctionBlockAtCaretEx(s, e); });
  EXPECT_LT(s, inner);
  EXPECT_GT(e, inner);
  const double paint = BestOf(3, [&] { RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });
  std::printf("[ timing ] %d lines, %d KiB: Ctrl+click jump %.1f ms; bracket pair on Ctrl down and up %.1f ms; "
              "function block at the caret %.1f ms; repaint with the gutter %.1f ms\n",
              lines, memo->TextLength() / 1024, jump, highlight, block, paint);
}

}  // namespace
