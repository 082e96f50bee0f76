// The notes editor's files: background load and save through the editor
// itself, with its progress and completion on the main thread; the
// synchronous calls, RTF and the output document of the editor's text.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/tests/TestUtil.h"
#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"

using MemoTest::MemoFixture;

namespace {

// "Ж" is not in the ANSI code page of the tests (1252): it loads as a token.
std::string Utf8Lines(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "line " + std::to_string(i) + " \xD0\x96\r\n";
  return s;
}
std::string EditorLines(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "line " + std::to_string(i) + " [[U+0416]]\r\n";
  return s;
}

struct TEvent {
  std::string what;  // "progress", "done", "changed"
  bool loading = false;
  int value = 0;  // percent or success
  DWORD thread = 0;
};

struct QMemoFilesTest : MemoFixture {
  TempDir dir;
  std::vector<TEvent> events;
  DWORD mainThread = GetCurrentThreadId();

  void SetUp() override {
    MemoFixture::SetUp();
    memo->OnLoadSaveProgress = [this](TObject* sender, bool loading, int percent) {
      EXPECT_EQ(sender, memo);
      events.push_back({"progress", loading, percent, GetCurrentThreadId()});
    };
    memo->OnLoadSaveDone = [this](TObject* sender, bool loading, bool success) {
      EXPECT_EQ(sender, memo);
      events.push_back({"done", loading, success ? 1 : 0, GetCurrentThreadId()});
    };
    memo->OnTextChanged = [this](TObject*) { events.push_back({"changed", false, 0, GetCurrentThreadId()}); };
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const auto& e : events) n += e.what == what;
    return n;
  }
  std::vector<int> Progress() const {
    std::vector<int> p;
    for (const auto& e : events)
      if (e.what == "progress") p.push_back(e.value);
    return p;
  }
  bool WaitIdle() { return UiTest::PumpUntil([&] { return !memo->LoadSaveBusy(); }, 15000); }
};

}  // namespace

TEST_F(QMemoFilesTest, BackgroundLoadReplacesTheTextWithProgressOnTheMainThread) {
  const std::string path = dir.File("in.txt");
  WriteTestFile(path, "\xEF\xBB\xBF" + Utf8Lines(3000));
  memo->SetText("before");
  MemoTest::TypeText(wnd, u"xy");
  ASSERT_TRUE(memo->CanUndo());
  events.clear();

  ASSERT_TRUE(memo->LoadFromFileAsync(path));
  EXPECT_TRUE(memo->LoadSaveBusy());
  // One job at a time: nothing else starts.
  EXPECT_FALSE(memo->LoadFromFileAsync(path));
  EXPECT_FALSE(memo->SaveToFileAsync(dir.File("other.txt")));
  // An edit made while the file loads is replaced by the file's text.
  MemoTest::TypeText(wnd, u"typed meanwhile");
  events.clear();
  ASSERT_TRUE(WaitIdle());

  EXPECT_EQ(memo->Text(), EditorLines(3000));
  EXPECT_EQ(memo->FileEncoding(), 3);
  EXPECT_EQ(memo->GetFileEncodingText(), "UTF-8 BOM");
  // Loading is no edit: nothing to undo, no OnTextChanged, the caret at the start.
  EXPECT_FALSE(memo->CanUndo());
  EXPECT_EQ(Count("changed"), 0);
  EXPECT_EQ(memo->SelStart(), 0);
  EXPECT_EQ(memo->SelLength(), 0);
  EXPECT_EQ(memo->FirstVisibleLine(), 0);

  ASSERT_EQ(Count("done"), 1);
  EXPECT_EQ(events.back().what, "done");
  EXPECT_TRUE(events.back().loading);
  EXPECT_EQ(events.back().value, 1);
  const std::vector<int> p = Progress();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p.back(), 100);
  for (std::size_t i = 0; i + 1 < p.size(); ++i) EXPECT_LE(p[i], 95);
  for (const auto& e : events) {
    EXPECT_EQ(e.thread, mainThread) << e.what;
    if (e.what == "progress") {
      EXPECT_TRUE(e.loading);
    }
  }

  // The loaded text is editable, and its edits are undone back to it.
  memo->SetSelection(0, 0);
  MemoTest::TypeText(wnd, u"Q");
  EXPECT_EQ(memo->Text().substr(0, 7), "Qline 0");
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), EditorLines(3000));
}

TEST_F(QMemoFilesTest, BackgroundSaveWritesTheTextAsItWasWhenItStarted) {
  const std::string path = dir.File("out.txt");
  WriteTestFile(path, "old");
  memo->SetText("caf\xE9 [[U+1F600]]\r\nsecond");
  ASSERT_TRUE(memo->SaveToFileAsync(path, 2));
  EXPECT_TRUE(memo->LoadSaveBusy());
  memo->SetText("changed after the start");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(ReadTestFile(path), "caf\xC3\xA9 \xF0\x9F\x98\x80\r\nsecond");
  EXPECT_FALSE(PathExists(path + ".tmp"));
  EXPECT_EQ(memo->FileEncoding(), 2);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().what, "done");
  EXPECT_FALSE(events.back().loading);
  EXPECT_EQ(events.back().value, 1);
  EXPECT_EQ(Progress().back(), 100);
  for (const auto& e : events) EXPECT_EQ(e.thread, mainThread) << e.what;
}

TEST_F(QMemoFilesTest, RefusedSavesLeaveTheFileAndTheEncoding) {
  const std::string path = dir.File("keep.txt");
  WriteTestFile(path, "old");
  memo->SetText("ok [[U+0F00]]");
  memo->SetFileEncoding(3);
  struct Case {
    int encoding;
    bool started;  // the background job starts (and fails later)
  };
  // ANSI lacks U+0F00; 4 and 7 are no encodings at all.
  const Case cases[] = {{1, true}, {4, false}, {7, false}, {-1, false}};
  for (const auto& c : cases) {
    events.clear();
    EXPECT_FALSE(memo->SaveToFile(path, c.encoding)) << c.encoding;
    EXPECT_EQ(memo->SaveToFileAsync(path, c.encoding), c.started) << c.encoding;
    ASSERT_TRUE(WaitIdle());
    if (c.started) {
      ASSERT_FALSE(events.empty());
      EXPECT_EQ(events.back().what, "done");
      EXPECT_EQ(events.back().value, 0);
      EXPECT_EQ(Progress().back(), 0);
    } else {
      EXPECT_TRUE(events.empty()) << c.encoding;
    }
    EXPECT_EQ(ReadTestFile(path), "old") << c.encoding;
    EXPECT_FALSE(PathExists(path + ".tmp")) << c.encoding;
    EXPECT_EQ(memo->FileEncoding(), 3) << c.encoding;
  }
  // Encoding 0 is FileEncoding's.
  ASSERT_TRUE(memo->SaveToFile(path));
  EXPECT_EQ(ReadTestFile(path), "\xEF\xBB\xBF" "ok \xE0\xBC\x80");
}

TEST_F(QMemoFilesTest, SynchronousLoadAppliesTheFileOrThrowsAndKeepsTheText) {
  struct Case {
    const char* bytes;
    const char* text;
    int encoding;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF", "", 3},
      {"abc\r\nd", "abc\r\nd", 2},
      {"caf\xE9", "caf\xE9", 1},
      {"\xF0\x9F\x98\x80", "[[U+1F600]]", 2},
  };
  const std::string path = dir.File("sync.txt");
  for (const auto& c : cases) {
    WriteTestFile(path, c.bytes);
    memo->SetText("previous");
    MemoTest::TypeText(wnd, u"x");
    events.clear();
    memo->LoadFromFile(path);
    EXPECT_EQ(memo->Text(), c.text) << c.text;
    EXPECT_EQ(memo->FileEncoding(), c.encoding) << c.text;
    EXPECT_FALSE(memo->CanUndo()) << c.text;
    EXPECT_EQ(Count("changed"), 0) << c.text;
  }
  // A load leaves virtual space.
  memo->SetVirtualSpace(true);
  memo->VSSet(0, 30);
  ASSERT_TRUE(memo->InVirtualSpace());
  memo->LoadFromFile(path);
  EXPECT_FALSE(memo->InVirtualSpace());
  memo->SetVirtualSpace(false);

  memo->SetText("kept");
  memo->SetFileEncoding(1);
  try {
    memo->LoadFromFile(dir.File("missing.txt"));
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Could not load file.");
  }
  EXPECT_EQ(memo->Text(), "kept");
  EXPECT_EQ(memo->FileEncoding(), 1);

  // A background load of a missing file reports failure and changes nothing.
  events.clear();
  ASSERT_TRUE(memo->LoadFromFileAsync(dir.File("missing.txt")));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(memo->Text(), "kept");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().what, "done");
  EXPECT_EQ(events.back().value, 0);
}

// A long text is assigned through a fresh window; the bookmarks must still
// be measured against the text the editor showed, not the empty new window.
TEST_F(QMemoFilesTest, BookmarksOutliveAssigningAndLoadingTheSameLongText) {
  const std::string path = dir.File("same.txt");
  for (const int lines : {1400, 1600, 3000}) {
    SCOPED_TRACE(lines);
    std::string text;
    for (int i = 0; i < lines; ++i) text += "line " + std::to_string(i) + "\r\n";
    memo->SetText(text);
    memo->SetBookmarks("3,7");
    ASSERT_EQ(memo->GetBookmarks(), "3,7");
    events.clear();

    memo->SetText(text);
    EXPECT_EQ(memo->GetBookmarks(), "3,7");
    EXPECT_EQ(Count("changed"), 0) << "the same text is no change";
    EXPECT_FALSE(memo->CanUndo());

    WriteTestFile(path, text);
    memo->LoadFromFile(path);
    EXPECT_EQ(memo->Text(), text);
    EXPECT_EQ(memo->GetBookmarks(), "3,7");

    // Two lines more with the caret at the start: both bookmarks follow.
    memo->SetText("new 1\r\nnew 2\r\n" + text);
    EXPECT_EQ(memo->GetBookmarks(), "5,9");
    EXPECT_EQ(Count("changed"), 1);
    // Typing in the new window is recorded as before.
    wnd = memo->Handle();
    MemoTest::TypeText(wnd, u"x");
    EXPECT_EQ(Count("changed"), 2);
    ASSERT_TRUE(memo->Undo());
    EXPECT_EQ(memo->Text(), "new 1\r\nnew 2\r\n" + text);
  }
}

TEST_F(QMemoFilesTest, AnEditorDestroyedDuringItsLoadIsNeverCalledBack) {
  const std::string path = dir.File("big.txt");
  WriteTestFile(path, Utf8Lines(5000));
  int calls = 0;
  auto* doomed = new TQMemo(&form);
  doomed->SetParent(&form);
  doomed->SetBounds(0, 0, 200, 100);
  doomed->Show();
  doomed->OnLoadSaveProgress = [&](TObject*, bool, int) { ++calls; };
  doomed->OnLoadSaveDone = [&](TObject*, bool, bool) { ++calls; };
  ASSERT_TRUE(doomed->LoadFromFileAsync(path));
  calls = 0;
  delete doomed;
  // The job finishes alone; its completion finds no editor.
  ASSERT_TRUE(UiTest::PumpUntil([] {
    TQMemoFileJobs::ReapDetachedJobs();
    return TQMemoFileJobs::DetachedJobCount() == 0;
  }, 15000));
  UiTest::Pump();
  EXPECT_EQ(calls, 0);
  // The fixture's editor still works.
  ASSERT_TRUE(memo->LoadFromFileAsync(path));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(memo->LineCount(), 5001);
}

TEST_F(QMemoFilesTest, RtfOutAndIn) {
  memo->SetText("plain words");
  const std::string rtf = memo->GetRtfText();
  EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
  EXPECT_NE(rtf.find("plain words"), std::string::npos);
  memo->SetRtfText("{\\rtf1\\ansi hello {\\b bold}\\par next}");
  EXPECT_EQ(memo->Text().substr(0, 16), "hello bold\r\nnext");
  EXPECT_TRUE(MemoTest::IsBold(wnd, 6));
  TQMemo windowless(nullptr);
  EXPECT_EQ(windowless.GetRtfText(), "");
}

TEST_F(QMemoFilesTest, TheOutputDocumentUsesTheEditorsColoursAndFont) {
  memo->Font().SetName("Courier New");
  memo->SetTabSpaces(5);
  memo->SetColor(RGBColor(20, 20, 30));
  memo->SetTextColor(RGBColor(1, 2, 3));
  memo->SetTextColorNight(RGBColor(200, 200, 200));
  memo->SetKeywordColor(RGBColor(0, 0, 200));
  memo->SetKeywordColorNight(RGBColor(100, 100, 255));
  memo->SetTokenColorNight(RGBColor(0, 200, 200));
  memo->SetText("if x\r\n[[U+1F600]][[U+D800]]");

  const auto night = memo->CreateOutputDocument(true, true);
  ASSERT_EQ(night->LineCount(), 2);
  EXPECT_EQ(night->BackgroundColor, RGBColor(20, 20, 30));
  EXPECT_EQ(night->TextColor, RGBColor(200, 200, 200));
  EXPECT_EQ(night->LineNumberColor, memo->LineNumberColorNight());
  EXPECT_EQ(night->TabSpaces, 5);
  EXPECT_EQ(night->Font.Name, "Courier New");
  const TQMemoOutputLine* first = night->Line(0);
  ASSERT_EQ(first->RunCount(), 2);
  EXPECT_EQ(first->Run(0)->Text, u"if");
  EXPECT_EQ(first->Run(0)->Color, RGBColor(100, 100, 255));
  EXPECT_EQ(first->Run(1)->Text, u" x");
  EXPECT_EQ(first->Run(1)->Color, RGBColor(200, 200, 200));
  // A valid token becomes its character; an invalid one stays as it is written.
  const TQMemoOutputLine* second = night->Line(1);
  EXPECT_EQ(second->PlainText(), u"\U0001F600[[U+D800]]");
  // Both are tokens to the colouring, in the token colour.
  ASSERT_EQ(second->RunCount(), 1);
  EXPECT_EQ(second->Run(0)->Color, RGBColor(0, 200, 200));

  const auto day = memo->CreateOutputDocument(false, false);
  EXPECT_EQ(day->BackgroundColor, clWhite);
  EXPECT_EQ(day->TextColor, RGBColor(1, 2, 3));
  ASSERT_EQ(day->Line(0)->RunCount(), 1);
  EXPECT_EQ(day->Line(0)->Run(0)->Color, RGBColor(1, 2, 3));
  EXPECT_EQ(memo->ConvertToOutputText("a[[U+00E9]]b[[U+110000]]"), u"a\u00E9b[[U+110000]]");
}
