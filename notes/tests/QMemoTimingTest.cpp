// How long the editor's own work takes in a long note: a keystroke (its
// change handling and the deferred colouring pass) and a scroll by one page
// (the scroll and its pass), each step timed through the repaint it causes;
// for a note of code, the same with inline tokens above the view, and a
// note with inline tokens in every view, measured side by side.
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

// What the long note holds besides code.
enum TNoteKind {
  kCodeOnly,      // code with code-point tokens
  kTokensAtTop,   // the same, with colour tokens and markup on its first line
  kTokensInView,  // inline tokens on every screen: colour tokens running over
                  // lines, headings, bold, italic and code spans, images
};

std::string LongNote(int lines, TNoteKind kind) {
  std::string text;
  text.reserve(static_cast<std::size_t>(lines) * 48);
  if (kind == kTokensAtTop) text += "[[COLOR:#008000]]green notes[[COLOR:NONE]] **bold** [[U+263A]]\r\n";
  for (int i = 0; i < lines; ++i) {
    if (kind == kTokensInView && i % 4 == 3) {
      switch (i / 4 % 4) {
        case 0: text += "## Account " + std::to_string(i) + " [[IMG:0]]\r\n"; break;
        case 1: text += "[[COLOR:#C00000]]**rotate** by *June* `pin " + std::to_string(i) + "`\r\n"; break;
        case 2: text += "  still red [[IMG:0]] [[U+263A]][[COLOR:NONE]] plain " + std::to_string(i) + "\r\n"; break;
        default: text += "  key: `k" + std::to_string(i) + "` **[[COLOR:#0000FF]]blue[[COLOR:NONE]]**\r\n"; break;
      }
      continue;
    }
    switch (i % 4) {
      case 0: text += "function f" + std::to_string(i) + "(a, b) { return a + b; }\r\n"; break;
      case 1: text += "  var s = \"string " + std::to_string(i) + "\"; // comment\r\n"; break;
      case 2: text += "  user: name" + std::to_string(i) + "  password: [[U+0416]]x\r\n"; break;
      default: text += "  if (x) call(y); /* block */ z = " + std::to_string(i) + ";\r\n"; break;
    }
  }
  return text;
}

// Processor time of this thread (the control runs in it), for figures that
// a busy machine does not blur as much as the wall clock.
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto ms = [](const FILETIME& f) {
    return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
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

// One editor with its long note, and the times of its steps.
struct TCase {
  TNoteKind kind = kCodeOnly;
  TQMemo* memo = nullptr;
  double assign = 0;
  TTimes change, pass, scroll, scrollPass;
  double passCpu = 0;
};

void Assign(TCase& c) {
  c.memo->SetSyntaxHighlighting(true);
  c.memo->SetInlineStyles(c.kind != kCodeOnly);
  const double t = NowMs();
  c.memo->SetText(LongNote(10000, c.kind));
  c.assign = NowMs() - t;
  ASSERT_GE(c.memo->LineCount(), 10000);
  c.memo->ColorizeText();
  UpdateWindow(c.memo->Handle());
}

// A keystroke in the middle of the view and its pass, then one page down
// and its pass. Each step ends once the window has painted what it changed
// (the control's text and the images over the tokens), as the user would
// see it.
void Round(TCase& c) {
  TQMemo* memo = c.memo;
  HWND wnd = memo->Handle();
  memo->SetSelection(memo->LineIndex(memo->FirstVisibleLine() + 5) + 3, 0);
  UpdateWindow(wnd);
  double t = NowMs();
  MemoTest::TypeChar(wnd, u'k');
  UpdateWindow(wnd);
  c.change.Add(NowMs() - t);
  t = NowMs();
  double cpu = ThreadCpuMs();
  memo->ColorTimer().Tick();
  UpdateWindow(wnd);
  c.pass.Add(NowMs() - t);
  c.passCpu += ThreadCpuMs() - cpu;
  t = NowMs();
  SendMessageW(wnd, WM_VSCROLL, SB_PAGEDOWN, 0);
  UpdateWindow(wnd);
  c.scroll.Add(NowMs() - t);
  t = NowMs();
  cpu = ThreadCpuMs();
  memo->ColorTimer().Tick();
  UpdateWindow(wnd);
  c.scrollPass.Add(NowMs() - t);
  c.passCpu += ThreadCpuMs() - cpu;
}

void Print(TCase& c) {
  const std::size_t passes = c.pass.ms.size() + c.scrollPass.ms.size();
  std::printf(
      "[ timing ] 10,000 lines, %zu KiB, %s, repaint included: keystroke %.1f ms (max %.1f) + its pass %.1f ms (max %.1f); "
      "page scroll %.1f ms (max %.1f) + its pass %.1f ms (max %.1f); processor time per pass %.1f ms; "
      "assigning the text %.0f ms\n",
      c.memo->ControlText().size() / 1024,
      c.kind == kCodeOnly     ? "syntax colouring"
      : c.kind == kTokensAtTop ? "syntax + inline tokens above the view"
                               : "syntax + inline tokens in view",
      c.change.Median(), c.change.Max(), c.pass.Median(), c.pass.Max(), c.scroll.Median(), c.scroll.Max(),
      c.scrollPass.Median(), c.scrollPass.Max(), passes ? c.passCpu / static_cast<double>(passes) : 0, c.assign);
}

TEST_F(MemoFixture, TimingKeystrokeAndPageScrollInALongNote) {
  TImageList images;
  images.SetSize(16, 16);
  ASSERT_EQ(MemoTest::AddSolidImage(images, clGreen), 0);
  // What the control's allocations cost depends on what the process did
  // before: the same note assigned again to an editor lays its lines out up
  // to three times as slowly as the first note of the process did. So each
  // note has an editor of its own, the notes are assigned one after the
  // other, and the steps are measured in rounds, one of each note in turn:
  // every note meets the same history.
  std::vector<TCase> cases;
  for (TNoteKind kind : {kCodeOnly, kTokensAtTop, kTokensInView}) {
    TQMemo* editor = memo;
    if (kind != kCodeOnly) {
      editor = new TQMemo(&form);
      editor->SetParent(&form);
      editor->SetBounds(0, 0, 520, 320);
    }
    editor->SetImageList(&images);
    TCase c;
    c.kind = kind;
    c.memo = editor;
    cases.push_back(c);
  }
  auto showOnly = [&](const TCase& shown) {
    for (const TCase& c : cases) c.memo->SetVisible(&c == &shown);
    UpdateWindow(shown.memo->Handle());
  };
  for (TCase& c : cases) {
    showOnly(c);
    Assign(c);
    if (HasFatalFailure()) return;
  }
  for (int i = 0; i < 15; ++i) {
    for (TCase& c : cases) {
      showOnly(c);
      Round(c);
    }
  }
  for (TCase& c : cases) {
    Print(c);
    c.memo->SetImageList(nullptr);
  }
}

}  // namespace

namespace {

// Assigning a long note over another (as when the user picks another
// entry) and emptying the editor (as a lock does). Printed for the record:
// a paragraph-by-paragraph blanking of the old note, tried to wipe it in
// place, would show here as about a millisecond per line.
TEST_F(MemoFixture, TimingAssigningANoteOverAnotherAndEmptyingIt) {
  for (int lines : {100, 1400, 3000, 10000}) {
    memo->SetText(LongNote(lines, kCodeOnly));
    UpdateWindow(wnd);
    double t = NowMs();
    memo->SetText(LongNote(lines, kTokensAtTop));
    UpdateWindow(wnd);
    const double over = NowMs() - t;
    ASSERT_GE(memo->LineCount(), lines);
    t = NowMs();
    memo->SetText("");
    UpdateWindow(wnd);
    const double empty = NowMs() - t;
    EXPECT_EQ(memo->TextLength(), 0);
    std::printf("[ timing ] a note of %5d lines over another: %8.1f ms; emptied: %8.1f ms\n", lines, over, empty);
  }
}

}  // namespace
