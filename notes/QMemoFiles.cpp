// TQMemo: files in three encodings, loaded and saved on the main thread or
// in the background; the content as RTF; the output document.
#include <windows.h>

#include <utility>

#include "base/Exceptions.h"
#include "base/MainThreadWake.h"
#include "base/Wipe.h"
#include "notes/QMemo.h"
#include "notes/RichEditRtf.h"
#include "notes/text/TextFile.h"

namespace {

// Keeps an event unset for the length of a scope and puts it back after,
// also when the scope is left by an exception.
class TEventMute {
 public:
  explicit TEventMute(TNotifyEvent& event) : event_(event), saved_(std::move(event)) { event_ = nullptr; }
  TEventMute(const TEventMute&) = delete;
  TEventMute& operator=(const TEventMute&) = delete;
  ~TEventMute() { event_ = std::move(saved_); }

 private:
  TNotifyEvent& event_;
  TNotifyEvent saved_;
};

}  // namespace

void TQMemo::LoadFromFile(const std::string& name) {
  VSLeave(false);
  if (!fileJobs_->LoadFromFile(name)) throw Exception(NoteText::kMsgCouldNotLoad);
}

bool TQMemo::SaveToFile(const std::string& name, int encoding) {
  std::string text = Text();
  const bool ok = fileJobs_->SaveToFile(name, text, encoding);
  WipeString(text);
  return ok;
}

bool TQMemo::LoadFromFileAsync(const std::string& name) {
  // The job's completion comes back through the main thread's message loop.
  MainThread::InstallMessageHook();
  return fileJobs_->LoadFromFileAsync(name);
}

bool TQMemo::SaveToFileAsync(const std::string& name, int encoding) {
  MainThread::InstallMessageHook();
  std::string text = Text();
  const bool ok = fileJobs_->SaveToFileAsync(name, text, encoding);
  WipeString(text);
  return ok;
}

void TQMemo::ApplyLoadedText(const std::string& text, int encoding) {
  VSLeave(false);
  fileJobs_->SetFileEncoding(encoding);
  CompletionHide();
  const bool window = HandleAllocated();
  if (window) SetRedraw(false);
  {
    // Loading is no edit: the history starts afresh with the file's text
    // (SetText does that), and OnTextChanged stays silent.
    TEventMute mute(OnTextChanged);
    const bool wasInternal = internalUpdate_;
    struct TRestore {
      bool& flag;
      bool value;
      ~TRestore() { flag = value; }
    } restore{internalUpdate_, wasInternal};
    internalUpdate_ = true;
    SetText(text);
  }
  if (!window || !HandleAllocated()) return;
  SetRedraw(true);
  Invalidate();
  UpdateGutter();
  ColorizeTextKeepView();
}

void TQMemo::FileJobApplyText(const std::string& text, int encoding) { ApplyLoadedText(text, encoding); }

void TQMemo::FileJobProgress(bool loading, int percent) {
  if (OnLoadSaveProgress) OnLoadSaveProgress(this, loading, percent);
}

void TQMemo::FileJobDone(bool loading, bool success) {
  if (OnLoadSaveDone) OnLoadSaveDone(this, loading, success);
}

// ---------------------------------------------------------------------------
// RTF

std::string TQMemo::GetRtfText() {
  if (!HandleAllocated()) return std::string();
  return RichEditGetRtf(Handle());
}

void TQMemo::SetRtfText(const std::string& rtf) {
  if (!HandleAllocated()) return;
  textCacheValid_ = false;
  RichEditSetRtf(Handle(), rtf);
}

// ---------------------------------------------------------------------------
// Output document

std::u16string TQMemo::ConvertToOutputText(const std::string& text) const {
  return ::ConvertToOutputText(text);
}

std::unique_ptr<TQMemoOutputDocument> TQMemo::CreateOutputDocument(bool syntaxColors, bool night) {
  TQMemoOutputSource source;
  source.SyntaxColors = syntaxColors;
  source.Night = night;
  source.Day = NoteText::TSyntaxPalette{textColor_, keywordColor_, stringColor_, commentColor_, methodColor_,
                                        tokenColor_};
  source.Nights = NoteText::TSyntaxPalette{textColorNight_, keywordColorNight_, stringColorNight_,
                                           commentColorNight_, methodColorNight_, tokenColorNight_};
  source.LineNumberColor = lineNumberColor_;
  source.LineNumberColorNight = lineNumberColorNight_;
  source.EditorColor = color_;
  source.TabSpaces = tabSpaces_;
  source.InlineStyles = inlineStyles_;
  source.ImageCount = imageList_ ? imageList_->Count() : 0;
  source.Keywords = &keywords_;
  source.Font.Name = font_.Name();
  source.Font.Height = font_.Height();
  source.Font.Size = font_.Size();
  source.Font.Color = font_.Color();
  source.Font.Bold = (font_.Style() & fsBold) != 0;
  source.Font.Italic = (font_.Style() & fsItalic) != 0;
  source.Font.Underline = (font_.Style() & fsUnderline) != 0;
  source.Font.StrikeOut = (font_.Style() & fsStrikeOut) != 0;
  source.Font.Charset = font_.Charset();
  source.ColorToRGB = [](TColor c) { return ColorToRGB(c); };
  std::string text = Text();
  std::unique_ptr<TQMemoOutputDocument> doc = BuildOutputDocument(text, source);
  WipeString(text);
  return doc;
}
