// TQMemo: the text at the host boundary, change handling, undo and the
// token-aware clipboard.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "base/CodePage.h"
#include "base/Wipe.h"
#include "notes/QMemo.h"
#include "notes/RichEditHelpers.h"
#include "notes/text/LineText.h"
#include "notes/text/Tokens.h"

namespace {

// Opens the clipboard, trying a few times while another program holds it.
bool OpenClipboardWithRetry(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

// Puts a copy of size bytes on the clipboard (which is open) in format.
bool PutClipboardData(UINT format, const void* data, std::size_t size) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!mem) return false;
  void* p = GlobalLock(mem);
  if (!p) {
    GlobalFree(mem);
    return false;
  }
  std::memcpy(p, data, size);
  GlobalUnlock(mem);
  if (!SetClipboardData(format, mem)) {
    GlobalFree(mem);
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Text

const std::string& TQMemo::CurrentText() {
  if (!HandleAllocated()) return pendingText_;
  if (textCacheValid_ && TextLength() == static_cast<int>(textCache_.size())) return textCache_;
  std::u16string wide = WideText();
  WipeString(textCache_);
  textCache_ = NoteText::WideToEditorText(wide);
  RichEdit::WipeWide(wide);
  textCacheValid_ = true;
  textCacheClean_ = false;
  ++textCacheReads_;
  return textCache_;
}

std::string TQMemo::ControlText() { return CurrentText(); }

std::string TQMemo::Text() { return NoteText::ToHostText(CurrentText()); }

void TQMemo::SetText(const std::string& text) {
  std::string control = NoteText::ToControlText(text);
  if (!HandleAllocated()) {
    WipeString(pendingText_);
    pendingText_ = control;
    undo_.Reset(control);
    WipeString(control);
    return;
  }
  std::u16string wide = CodePage::AnsiToWide(control);
  WipeString(control);
  // Not from inside the window's own messages, whose handling the control
  // still has on the stack.
  if (messageDepth_ == 0 && LineCount() > kRecreateLines) RecreateWindow();
  {
    // The change notification runs the host's OnChange only; the rest
    // follows here, with the history started afresh.
    TFlagGuard guard(hostAssign_);
    SetWideText(wide);
  }
  // The whole text now has the default format.
  sizeOrFaceFormatted_ = false;
  tokensFormatted_ = false;
  // A new text is shown from its start.
  SetSel(0, 0);
  RestoreTopVisibleLine(0);
  RichEdit::WipeWide(wide);
  const std::string& now = CurrentText();
  if (!bookmarks_.Empty() && bookmarks_.AdjustForTextChange(undo_.LastText(), now, LineFromChar(SelStart()))) {
    Invalidate();
  }
  undo_.Reset(now);
  DoChange();
  ChangeText(now);
}

// ---------------------------------------------------------------------------
// Change handling

namespace {

// Replaces the removed characters at pos with c; nothing of the old text
// stays behind in memory the string no longer uses.
void SpliceChar(std::string& s, std::size_t pos, std::size_t removed, char c) {
  if (removed == 0) {
    if (s.size() == s.capacity()) {
      std::string grown;
      grown.reserve(s.size() + s.size() / 8 + 64);
      grown.append(s, 0, pos);
      grown.push_back(c);
      grown.append(s, pos, std::string::npos);
      WipeString(s);
      s = std::move(grown);
    } else {
      s.insert(pos, 1, c);
    }
    return;
  }
  s[pos] = c;
  if (removed > 1) {
    const std::size_t newSize = s.size() - (removed - 1);
    std::memmove(s.data() + pos + 1, s.data() + pos + removed, s.size() - pos - removed);
    WipeBytes(s.data() + newSize, removed - 1);
    s.resize(newSize);
  }
}

}  // namespace

bool TQMemo::SpliceTypedChar() {
  if (!typedChar_.active) return false;
  // One notification per character: any further one reads the text whole.
  typedChar_.active = false;
  const TTypedChar t = typedChar_;
  if (!textCacheValid_ || !textCacheClean_ || static_cast<int>(textCache_.size()) != t.length) return false;
  if (t.start < 0 || t.end < t.start || t.end > t.length) return false;
  if (TextLength() != t.length - (t.end - t.start) + 1) return false;
  int s, e;
  GetSel(s, e);
  if (s != t.start + 1 || e != s) return false;
  std::u16string typed = WideRange(t.start, t.start + 1);
  if (typed.size() != 1 || typed[0] != t.ch) return false;
  std::string local = NoteText::WideToEditorText(typed);
  const bool one = local.size() == 1;
  if (one) {
    SpliceChar(textCache_, static_cast<std::size_t>(t.start), static_cast<std::size_t>(t.end - t.start), local[0]);
  }
  WipeString(local);
  return one;
}

void TQMemo::Change() {
  // The text is read once per change, before the host's handler, which
  // then reads it from the cache; a typed character goes into the cache
  // without a reading.
  std::u16string wide;
  bool spliced = false;
  if (HandleAllocated()) {
    spliced = SpliceTypedChar();
    if (!spliced) {
      wide = WideText();
      WipeString(textCache_);
      textCache_ = NoteText::WideToEditorText(wide);
      textCacheValid_ = true;
      textCacheClean_ = false;
      ++textCacheReads_;
    }
  }
  const unsigned reading = textCacheReads_;
  // The host's handler first, as for any control.
  if (OnChange) OnChange(this);
  // A host assignment and the rewrite below finish their own handling.
  if (!HandleAllocated() || !Parent() || hostAssign_ || inTokenRewrite_) {
    RichEdit::WipeWide(wide);
    return;
  }
  if (spliced && textCacheValid_ && TextLength() == static_cast<int>(textCache_.size())) {
    // A character of the code page in a text that needed no rewrite.
    HandleTextChange(CurrentText());
    return;
  }
  bool readAgain = spliced;
  if (readAgain || TextLength() != static_cast<int>(wide.size())) {
    // The host's handler changed the text itself, or only the typed
    // character was read.
    RichEdit::WipeWide(wide);
    wide = WideText();
    readAgain = true;
  }
  const bool needsRewrite = NoteText::NeedsTokenRewrite(wide);
  if (!internalUpdate_ && !undo_.InUndoRedo() && needsRewrite) {
    // Characters the code page lacks came in some other way than typing or
    // our paste (dropped, IME, another program): they become tokens.
    int s, e;
    GetSel(s, e);
    NoteText::TTokenRewrite rewrite = NoteText::RewriteUnrepresentable(wide, s);
    undo_.ForceBoundary();
    const int top = FirstVisibleLine();
    {
      TFlagGuard guard(inTokenRewrite_);
      SetRedraw(false);
      ReplaceDifference(wide, rewrite.wide);
      SetSel(rewrite.caret, rewrite.caret);
      RestoreTopVisibleLine(top);
      SetRedraw(true);
    }
    RichEdit::WipeWide(wide);
    wide = std::move(rewrite.wide);
    Invalidate();
    // The control sends no notification for a change made inside its own
    // notification: the host hears of the rewritten text from here.
    if (OnChange) OnChange(this);
  } else if (!readAgain && !needsRewrite && textCacheValid_ && textCacheReads_ == reading) {
    // The cache holds this very reading, and it has nothing to rewrite.
    textCacheClean_ = true;
  }
  RichEdit::WipeWide(wide);
  HandleTextChange(CurrentText());
}

void TQMemo::HandleTextChange(const std::string& text) {
  if (text == undo_.LastText()) return;
  int s, e;
  GetSel(s, e);
  if (!bookmarks_.Empty() && bookmarks_.AdjustForTextChange(undo_.LastText(), text, LineFromChar(s))) Invalidate();
  undo_.NoteChange(text, s);
  DoChange();
  ChangeText(text);
}

void TQMemo::DoChange() {
  if (internalUpdate_ || !Parent() || !HandleAllocated()) return;
  UpdateGutter();
  ScheduleColorize(222, false);
}

void TQMemo::ChangeText(const std::string& text) {
  if (text == lastReportedText_) return;
  WipeString(lastReportedText_);
  lastReportedText_ = text;
  if (OnTextChanged) OnTextChanged(this);
}

// ---------------------------------------------------------------------------
// Undo

std::string TQMemo::ApplyUndoText(const std::string& text, int caret) {
  std::u16string before = CodePage::AnsiToWide(CurrentText());
  std::u16string after = CodePage::AnsiToWide(text);
  ReplaceDifference(before, after);
  RichEdit::WipeWide(before);
  RichEdit::WipeWide(after);
  SetSel(caret, caret);
  ScrollCaret();
  return ControlText();
}

bool TQMemo::Undo() {
  if (readOnly_ || !HandleAllocated()) return false;
  // The caret goes where the restored text puts it: not at a virtual column.
  if (CanUndo()) VSLeave(false);
  std::string current = ControlText();
  const bool done = undo_.Undo(current, SelStart(),
                               [this](const std::string& text, int caret) { return ApplyUndoText(text, caret); });
  WipeString(current);
  return done;
}

bool TQMemo::Redo() {
  if (readOnly_ || !HandleAllocated()) return false;
  // The caret goes where the restored text puts it: not at a virtual column.
  if (CanRedo()) VSLeave(false);
  std::string current = ControlText();
  const bool done = undo_.Redo(current, SelStart(),
                               [this](const std::string& text, int caret) { return ApplyUndoText(text, caret); });
  WipeString(current);
  return done;
}

// ---------------------------------------------------------------------------
// Clipboard

std::string TQMemo::ClipboardTextToEditorTokens() {
  std::string text;
  if (!OpenClipboardWithRetry(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const char16_t*>(GlobalLock(data))) {
      const std::size_t units = GlobalSize(data) / sizeof(char16_t);
      text = NoteText::ClipboardWideToEditorText(std::u16string_view(p, units));
      GlobalUnlock(data);
    }
  } else if (HANDLE ansi = GetClipboardData(CF_TEXT)) {
    if (const auto* p = static_cast<const char*>(GlobalLock(ansi))) {
      const std::size_t size = GlobalSize(ansi);
      const void* zero = std::memchr(p, 0, size);
      std::string raw(p, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : size);
      text = NoteText::ToHostText(raw);
      WipeString(raw);
      GlobalUnlock(ansi);
    }
  }
  CloseClipboard();
  return text;
}

bool TQMemo::CopyEditorTokensToClipboard(const std::string& text) {
  if (text.empty()) return false;
  std::u16string wide = NoteText::EditorTextToClipboardWide(text);
  if (wide.empty()) return false;
  bool ok = false;
  // Writing needs an owner window.
  if (OpenClipboardWithRetry(HandleAllocated() ? Handle() : nullptr)) {
    if (EmptyClipboard()) {
      ok = PutClipboardData(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
      // For programs that read only CF_TEXT: the code page's nearest
      // characters, as the system would give them.
      const int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(wide.c_str()),
                                        static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
      if (ok && n > 0) {
        std::string ansi(static_cast<std::size_t>(n) + 1, '\0');
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(wide.c_str()), static_cast<int>(wide.size()),
                            ansi.data(), n, nullptr, nullptr);
        PutClipboardData(CF_TEXT, ansi.c_str(), ansi.size());
        WipeString(ansi);
      }
    }
    CloseClipboard();
  }
  RichEdit::WipeWide(wide);
  return ok;
}

void TQMemo::HandleCopyWithTokens(bool cut) {
  if (!HandleAllocated() || (cut && readOnly_)) return;
  std::string selected = SelText();
  if (selected.empty()) return;
  // A cut whose copy failed keeps the text.
  if (CopyEditorTokensToClipboard(selected) && cut) ReplaceSelWide(std::u16string());
  WipeString(selected);
}

void TQMemo::HandlePasteWithTokens() {
  if (readOnly_ || !HandleAllocated()) return;
  std::string text = ClipboardTextToEditorTokens();
  if (text.empty()) return;
  undo_.ForceBoundary();
  std::string control = NoteText::ToControlText(text);
  WipeString(text);
  std::u16string wide = CodePage::AnsiToWide(control);
  WipeString(control);
  PrepareInsertionFormat();
  ReplaceSelWide(wide);
  RichEdit::WipeWide(wide);
}
