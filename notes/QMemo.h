// TQMemo: the notes editor, a plain-text code and notes editor on the
// rich-edit control.
//
// Its text is 8-bit text in the ANSI code page in which every character the
// code page lacks stands as a code-point token "[[U+XXXX]]" (see
// notes/text/Tokens.h). The control window holds exactly those characters
// (tokens as their ASCII letters, drawn as glyphs over hidden characters);
// typed, pasted and dropped characters outside the code page become tokens
// on the way in, and copied tokens leave as the real characters.
//
// Index space: every position this class takes or returns (selection,
// caret, lines, colouring ranges) is an index into the control's own text,
// in which a line break is one CR. CR LF exists only at the boundary: Text /
// SetText and the clipboard.
//
// Undo: the control's own undo is off; the editor keeps whole-text
// snapshots in groups (NoteText::TUndoEngine). Assigning Text from outside
// starts the history afresh, so that Undo can never bring one entry's notes
// into another.
//
// While ReadOnly, every editing path is a no-op: typing, typed tokens, Tab,
// paste, cut, delete, undo and redo.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "notes/CompletionPopup.h"
#include "notes/DarkScrollBar.h"
#include "notes/QMemoThreads.h"
#include "notes/text/Bookmarks.h"
#include "notes/text/OutputDocument.h"
#include "notes/text/ColorPlanner.h"
#include "notes/text/UndoEngine.h"
#include "ui/ExtCtrls.h"
#include "ui/Graphics.h"
#include "ui/ImageList.h"
#include "ui/WinControl.h"

// Code navigation and editing commands.
#include "notes/GlyphTooltip.h"
#include "notes/text/FunctionList.h"
#include "notes/text/LineCommands.h"
#include "notes/text/VirtualSpace.h"

enum TQMemoContextMenuMode { cmmNone = 0, cmmDefault = 1, cmmCustom = 2 };
enum TScrollStyle { ssNone = 0, ssHorizontal = 1, ssVertical = 2, ssBoth = 3 };
enum TUtf8BomMode { ubmAuto = 0, ubmYes = 1, ubmNo = 2 };

class TQMemo : public TWinControl,
              public IQMemoFileHost,
              public IQMemoCompletionHost,
              public IQMemoScrollHost {
 public:
  // The frame around the editor: night mode takes it away.
  enum TBorderStyle { bsNone = 0, bsSingle = 1 };

  // The view saved around a formatting pass.
  struct TQMemoViewState {
    int SelStart = 0;
    int SelLength = 0;
    int TopLine = 0;  // first visible line
    int ScrollX = 0;  // scroll offset in pixels
    int ScrollY = 0;
  };

  // Above this many lines, assigning Text starts a fresh window.
  static constexpr int kRecreateLines = 1500;

  static constexpr const char* kDefaultKeywords =
      "function,var,let,const,if,else,for,while,return,switch,case,break,true,false,null,"
      "undefined,new,this";

  explicit TQMemo(TComponent* owner);
  ~TQMemo() override;

  // --- Text ------------------------------------------------------------------
  // The host's text: CR LF line breaks, tokens for characters outside the
  // code page. Built from the control's wide text without best fit.
  std::string Text();
  // Replaces the whole text (switching entries, opening, locking): the undo
  // history starts afresh with it. OnChange fires, as for any change.
  void SetText(const std::string& text);
  // The control's text (line break = one CR): what every position indexes.
  std::string ControlText();
  int TextLength();

  // --- Selection -------------------------------------------------------------
  int SelStart();
  int SelLength();
  // Clamped to the text; the caret ends at start + length.
  void SetSelection(int start, int length);
  // The selected characters as editor text (tokens kept), CR line breaks.
  std::string SelText();
  bool HasSelection() { return SelLength() > 0; }
  // Focuses the editor and selects the whole text.
  void SelectAll();
  // Replaces the selection by text (host or control line breaks) as one
  // change; nothing while ReadOnly.
  void ReplaceSelection(const std::string& text);
  // Deletes the selection and colours the view again; nothing while ReadOnly.
  void DeleteSelection();

  // --- Plain properties -------------------------------------------------------
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  // The background colour.
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  // The editor's font; every change applies to the whole text. Its colour is
  // the default text colour in use (TextColor, or TextColorNight).
  TFont& Font() { return font_; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);  // before the window exists
  // Blanks that Tab inserts; a tab character when 0 or less.
  int TabSpaces() const { return tabSpaces_; }
  void SetTabSpaces(int value) { tabSpaces_ = value; }
  TQMemoContextMenuMode ContextMenuMode() const { return contextMenuMode_; }
  void SetContextMenuMode(TQMemoContextMenuMode mode) { contextMenuMode_ = mode; }
  bool ZoomWithMouseWheel() const { return zoomWithMouseWheel_; }
  void SetZoomWithMouseWheel(bool value) { zoomWithMouseWheel_ = value; }

  // --- Colouring ---------------------------------------------------------------
  bool SyntaxHighlighting() const { return syntaxHighlighting_; }
  void SetSyntaxHighlighting(bool value);
  bool InlineStyles() const { return inlineStyles_; }
  void SetInlineStyles(bool value);
  // Code-point tokens drawn as their glyphs.
  bool ShowUTF8IconsInline() const { return showUtf8IconsInline_; }
  void SetShowUTF8IconsInline(bool value);
  // Images of the image tokens. A list that is destroyed is dropped (set to
  // none) and the view recoloured or repainted.
  TImageList* ImageList() const { return imageList_; }
  void SetImageList(TImageList* list);
  const std::string& KeywordList() const { return keywordList_; }
  void SetKeywordList(const std::string& list);
  bool IsKeyword(const std::string& word) const { return keywords_.Contains(word); }
  bool NightMode() const { return nightMode_; }
  void SetNightMode(bool value);

  TColor TextColor() const { return textColor_; }
  void SetTextColor(TColor color);
  TColor TextColorNight() const { return textColorNight_; }
  void SetTextColorNight(TColor color);
  // The default text colour in use: TextColorNight in night mode, else TextColor.
  TColor GetDefaultTextColor() const { return nightMode_ ? textColorNight_ : textColor_; }
  TColor KeywordColor() const { return keywordColor_; }
  void SetKeywordColor(TColor c) { keywordColor_ = c; }
  TColor StringColor() const { return stringColor_; }
  void SetStringColor(TColor c) { stringColor_ = c; }
  TColor CommentColor() const { return commentColor_; }
  void SetCommentColor(TColor c) { commentColor_ = c; }
  TColor MethodColor() const { return methodColor_; }
  void SetMethodColor(TColor c) { methodColor_ = c; }
  TColor TokenColor() const { return tokenColor_; }
  void SetTokenColor(TColor c);
  TColor KeywordColorNight() const { return keywordColorNight_; }
  void SetKeywordColorNight(TColor c) { keywordColorNight_ = c; }
  TColor StringColorNight() const { return stringColorNight_; }
  void SetStringColorNight(TColor c) { stringColorNight_ = c; }
  TColor CommentColorNight() const { return commentColorNight_; }
  void SetCommentColorNight(TColor c) { commentColorNight_ = c; }
  TColor MethodColorNight() const { return methodColorNight_; }
  void SetMethodColorNight(TColor c) { methodColorNight_ = c; }
  TColor TokenColorNight() const { return tokenColorNight_; }
  void SetTokenColorNight(TColor c) { tokenColorNight_ = c; }
  TColor LineNumberColor() const { return lineNumberColor_; }
  void SetLineNumberColor(TColor c);
  TColor LineNumberColorNight() const { return lineNumberColorNight_; }
  void SetLineNumberColorNight(TColor c) { lineNumberColorNight_ = c; }

  // A colouring pass over the lines in view (plus two), now.
  void ColorizeText();
  // The same, when anything asks for colouring, followed by a repaint.
  void ColorizeTextKeepView();
  // A pass after delayMs (a new request replaces a pending one).
  void ScheduleColorize(int delayMs, bool keepView);
  // Schedules a pass when the first visible line moved since the last one.
  void CheckVisibleAndColorize();
  // The deferred pass's timer (tests run it with Tick()).
  TTimer& ColorTimer() { return *colorTimer_; }
  bool ColorPending() const { return colorPending_; }

  // --- Zoom and layout ----------------------------------------------------------
  int ZoomPercent() const { return zoomPercent_; }
  // 20..400; scales the font around its base size.
  void SetZoomPercent(int value);
  bool ShowLineNumbers() const { return showLineNumbers_; }
  void SetShowLineNumbers(bool value);
  int GutterWidth() const { return gutterWidth_; }
  void UpdateGutter();
  void RebuildFormatRect();
  // Scrolls so that line stands in the middle of the view.
  void CenterLineVertically(int line);

  // --- Undo --------------------------------------------------------------------
  bool Undo();
  bool Redo();
  bool CanUndo() const { return undo_.CanUndo(); }
  bool CanRedo() const { return undo_.CanRedo(); }
  // Closes the open group; the next change starts a group of its own.
  void UndoSnapshot() { undo_.Snapshot(); }
  const NoteText::TUndoEngine& UndoEngine() const { return undo_; }

  // --- Clipboard ---------------------------------------------------------------
  // The clipboard's text as editor text: characters outside the code page
  // become tokens, line breaks CR LF. Empty when the clipboard is busy.
  std::string ClipboardTextToEditorTokens();
  // Puts editor text on the clipboard with its tokens resolved (CF_UNICODETEXT,
  // and a CF_TEXT copy for programs that read only that).
  bool CopyEditorTokensToClipboard(const std::string& text);
  // Copy (and with cut, delete) the selection the token-aware way.
  void HandleCopyWithTokens(bool cut);
  // Paste the token-aware way, as an undo step of its own.
  void HandlePasteWithTokens();

  // --- Code navigation, bookmarks, virtual space, editing commands ------------
  // (QMemoEditing.cpp, QMemoGutter.cpp, QMemoVirtualSpace.cpp). Every command
  // that would rewrite text refuses with a beep while ReadOnly.

  // Code scanning. Indexes are control positions; -1 for none.
  static bool IsBracketChar(char c);
  int FindSingleBracketInLine(int line);
  int FindBracketNearCaret();
  int FindBracketAtPointOrLine(int x, int y);
  int FindMatchingBracket(int index);
  // The character at a client point, a point in the gutter taken at the
  // text's left edge; at most the last index; -1 without a window or text.
  int CharIndexFromPointApprox(int x, int y);
  // While Ctrl is held: the bracket near the caret and its partner are shown
  // bold, black on yellow; the old pair loses the highlight.
  void UpdateBracketHighlight();
  void ClearBracketHighlight();
  int BracketHighlightPos() const { return bracketHighlightPos_; }
  int BracketMatchPos() const { return bracketMatchPos_; }
  void JumpToMatchingBracketAtPoint(int x, int y);
  std::string GetIdentifierAtPoint(int x, int y);
  std::string GetQuotedReferenceAtPoint(int x, int y);
  // The text with comments and string literals blanked, line breaks kept:
  // what function detection reads.
  static std::string MaskCodeForFunction(const std::string& text);

  // Bookmarks (0-based lines here; 1-based in the text form and OnBookmark)
  // and the line-number gutter.
  bool BookmarksEnabled() const { return bookmarksEnabled_; }
  void SetBookmarksEnabled(bool value);
  bool IsBookmarkedLine(int line) const { return bookmarks_.IsBookmarked(line); }
  void ToggleBookmarkLine(int line);
  void ToggleBookmarkAtCaret();
  // Ctrl+B: the next bookmarked line after the caret's, wrapping around; a
  // beep when there is none.
  void GotoNextBookmark();
  void JumpNextBookmark() { GotoNextBookmark(); }
  // "3,7": the 1-based lines in the order they were bookmarked.
  std::string GetBookmarks() const { return bookmarks_.ToText(); }
  void SetBookmarks(const std::string& text);
  // The line at client height y; -1 for none.
  int LineFromMouseY(int y);
  void PaintLineNumbers(HDC dc);
  std::function<void(TObject* sender, int lineNumber, bool bookmarked)> OnBookmark;

  // Virtual space: the caret may stand beyond a line's end; the gap becomes
  // spaces only when text is typed there.
  bool VirtualSpace() const { return virtualSpace_; }
  void SetVirtualSpace(bool value);
  bool InVirtualSpace() const { return vs_.inVirtual; }
  int VirtualLine() const { return vs_.line; }
  int VirtualColumn() const { return vs_.column; }
  void VSLeave(bool scrollCaret);
  void LeaveVirtualSpace() { VSLeave(true); }
  void VSClearDragState();
  bool VSLineInfo(int line, int& lineStart, int& lineLength);
  int VSColFromX(int x);
  void VSSet(int line, int column);
  // Selects from anchor (an index; below 0: the position itself) to the
  // line and column, the caret end virtual beyond the line's end.
  void VSSetSelection(int line, int column, int anchor);
  void VSUpdateCaret();
  bool VSMaterialize();
  // A key going down, before the control: true when virtual space took it.
  bool VSKeyDown(unsigned key);
  // A plain left click; always false (the control's handling follows).
  bool VSMouseDown(int x, int y);

  // Search and replace, line comments, indentation.
  // One find (and replace) step; the index where the match (or its
  // replacement) begins, -1 for none, and -1 with a beep for a replacement
  // refused while ReadOnly. matchIndex: the chosen match's 1-based ordinal
  // among matchCount matches up to endPos.
  int SearchAndReplaceNext(const std::string& findText, const std::string& replaceText, int startPos, int endPos,
                           bool ignoreCase, bool selectResult, int& matchIndex, int& matchCount, bool backward,
                           bool matchWhitespace, bool replaceWithEmpty);
  // Ctrl+"/" ("//") and Ctrl+"\" ("#"); an empty prefix means "//".
  void ToggleLineComments(const std::string& prefix);
  // Tab and Shift+Tab with a selection.
  void IndentSelectedLines(bool outdent);

  // Selection, caret and view queries.
  int CurrentLine();    // 1-based line of the selection start
  int CurrentColumn();  // 1-based column of the selection start
  int TotalLines();
  // The selection as editor text (tokens kept, CR line breaks).
  std::string CurrentSelectedText() { return SelText(); }
  std::string GetSelectedText() { return HasSelection() ? SelText() : std::string(); }
  bool IsAllSelected();
  // Selects [min, max) of the two (clamped) unless the control's selection
  // already is that.
  void SetSelectionFast(int start, int end);
  int CharIndexFromMousePoint(int x, int y);
  // The http:// or https:// link at a client point; empty for none.
  std::string GetUrlAtPoint(int x, int y);

  // The glyph tooltip: shown for the code-point token under the mouse while
  // Ctrl is held, without taking activation or focus.
  bool ShowEmojiOnCtrlHover() const { return showEmojiOnCtrlHover_; }
  void SetShowEmojiOnCtrlHover(bool value) { showEmojiOnCtrlHover_ = value; }
  bool GetTokenAtPosition(int x, int y, std::uint32_t& codePoint, RECT& rect);
  void ShowEmojiTooltip(const RECT& rect, std::uint32_t codePoint);
  void HideEmojiTooltip();
  void UpdateEmojiTooltipUnderMouse();
  bool EmojiTooltipShown() const;
  std::uint32_t EmojiTooltipCodePoint() const;
  HWND EmojiTooltipHandle() const;

  // The function list and function blocks. Every query builds the list
  // afresh from the text.
  void UpdateFunctionNames();
  const std::vector<NoteText::TFunctionEntry>& FunctionList() const { return functions_; }
  bool FindFunctionBlockAtPos(int position, int& blockStart, int& blockEnd);
  bool FindFunctionBlockAtCaretEx(int& blockStart, int& blockEnd);
  std::string GetFunctionTextAtCaret();
  bool IsFunctionAtCaret();
  bool IsFunctionSelected();
  bool SelectFunctionAtCaret(bool copy, bool remove);
  // The next occurrence of the entry's simple name (1-based ordinal, 0 for
  // none; a beep when there is no occurrence at all).
  int JumpToFunction(const std::string& entry, bool select, int* occurrences);
  bool JumpToFunctionDefinitionByName(const std::string& name);
  void JumpToFunctionDefinition(const std::string& entry);
  const std::string& LastJumpName() const { return jumper_.LastJumpName(); }
  int LastJumpIndex() const { return jumper_.LastJumpIndex(); }

  // Ctrl+click on a quoted reference and on an identifier: the host may take
  // it (Handled) before the editor's own handling.
  std::function<void(TObject* sender, const std::string& name, bool& handled)> OnOpenReference;
  std::function<void(TObject* sender, const std::string& name, bool& handled)> OnCtrlFunctionClick;

  // Test seams: the beep of a refusal (MessageBeep's type) and the opening
  // of a Ctrl+clicked link (ShellExecute "open" otherwise).
  static std::function<void(UINT type)> BeepHook;
  static std::function<void(const std::string& url)> OpenUrlHook;

  // --- Glyphs --------------------------------------------------------------------
  // The cached glyph image of a code point, rendered on first use; -1 when
  // it cannot be drawn.
  int GetUnicodeImageIndex(std::uint32_t codePoint);
  bool RenderUnicodeImage(std::uint32_t codePoint, TBitmap& bitmap);
  void ClearUnicodeImageCache();
  int GlyphCount() const;

  // --- View ------------------------------------------------------------------------
  TQMemoViewState SaveViewState();
  void RestoreViewState(const TQMemoViewState& state, bool restoreScroll);
  void RestoreTopVisibleLine(int line);
  bool IsViewScrolledToBottom();
  // Whether the caret's line lies among the lines the client area shows.
  bool IsCaretVisibleInView();
  int FirstVisibleLine();
  int LineCount();
  int LineFromChar(int index);
  int LineIndex(int line);
  void ScrollCaret();

  // --- Files (QMemoFiles.cpp) -------------------------------------------------
  // Loads the file as the whole new text (not an undoable change, no
  // OnTextChanged); throws Exception "Could not load file." and leaves the
  // editor as it was when the file cannot be read or decoded.
  virtual void LoadFromFile(const std::string& name);
  // encoding 0: FileEncoding. A value outside 0..3 is refused before the
  // disk is touched. On success FileEncoding becomes the encoding used.
  bool SaveToFile(const std::string& name, int encoding = 0);
  // The same on a background thread, with OnLoadSaveProgress and
  // OnLoadSaveDone on the main thread; false while a job runs (nothing is
  // started) or when the encoding is refused. Edits made during a load are
  // replaced by the loaded text; a save writes the text as it was when it
  // started.
  bool LoadFromFileAsync(const std::string& name);
  bool SaveToFileAsync(const std::string& name, int encoding = 0);
  bool LoadSaveBusy() const { return fileJobs_->LoadSaveBusy(); }
  // Waits, servicing the job's completion, until no job runs; false when
  // timeoutMs ran out first.
  bool WaitForLoadSave(int timeoutMs) { return fileJobs_->WaitForJob(timeoutMs); }
  // Takes a loaded text as the whole content (not an undoable change).
  void ApplyLoadedText(const std::string& text, int encoding);
  int FileEncoding() const { return fileJobs_->FileEncoding(); }
  void SetFileEncoding(int encoding) { fileJobs_->SetFileEncoding(encoding); }
  void ResetFileEncodingForNewFile() { fileJobs_->ResetFileEncodingForNewFile(); }
  std::string GetFileEncodingText() const { return fileJobs_->FileEncodingText(); }
  // Stored only: loads and saves do not consult it.
  TUtf8BomMode Utf8BomMode() const { return utf8BomMode_; }
  void SetUtf8BomMode(TUtf8BomMode mode) { utf8BomMode_ = mode; }
  int EstimateLoadMsPer1000Lines() const { return fileJobs_->EstimateLoadMsPer1000Lines(); }
  void SetEstimateLoadMsPer1000Lines(int ms) { fileJobs_->SetEstimateLoadMsPer1000Lines(ms); }
  int EstimateSaveMsPer1000Lines() const { return fileJobs_->EstimateSaveMsPer1000Lines(); }
  void SetEstimateSaveMsPer1000Lines(int ms) { fileJobs_->SetEstimateSaveMsPer1000Lines(ms); }
  TQMemoFileJobs& FileJobs() { return *fileJobs_; }
  // The content as RTF; empty without a window. SetRtfText replaces it.
  std::string GetRtfText();
  void SetRtfText(const std::string& rtf);
  // The text with its code-point tokens resolved.
  std::u16string ConvertToOutputText(const std::string& text) const;
  // The text as a document of coloured runs for a printer or exporter; the
  // caller owns it.
  std::unique_ptr<TQMemoOutputDocument> CreateOutputDocument(bool syntaxColors, bool night);
  std::function<void(TObject* sender, bool loading, int percent)> OnLoadSaveProgress;
  std::function<void(TObject* sender, bool loading, bool success)> OnLoadSaveDone;

  // --- Completion and the icon picker (QMemoCompletion.cpp) ---------------------
  bool CodeCompletion() const { return completion_->CodeCompletion(); }
  void SetCodeCompletion(bool value) { completion_->SetCodeCompletion(value); }
  bool CodeCompletionMarkFuture() const { return completion_->CodeCompletionMarkFuture(); }
  void SetCodeCompletionMarkFuture(bool value) { completion_->SetCodeCompletionMarkFuture(value); }
  bool CodeCompletionSorted() const { return completion_->CodeCompletionSorted(); }
  void SetCodeCompletionSorted(bool value) { completion_->SetCodeCompletionSorted(value); }
  // Ctrl+Space: the functions of the text for the identifier before the caret.
  void CompletionShow(bool rebuild) { completion_->Show(rebuild); }
  void CompletionHide() {
    if (completion_) completion_->Hide();
  }
  bool CompletionVisible() const { return completion_ && completion_->Visible(); }
  TQMemoCompletion& Completion() { return *completion_; }
  // Ctrl+".": the icon picker, whose pick replaces the selection. Nothing
  // while ReadOnly.
  void ShowIconPickerWindow();
  // Inserts a pick's tokens in place of the selection as a step of its own.
  void InsertPickedTokens(const std::string& tokens);

  // --- Night mode's frame and bars, zoom (QMemoScroll.cpp) ----------------------
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  // Shows the dark bars in night mode, hides them otherwise.
  void UpdateDarkScrollBars();
  TQMemoDarkScrollBars& DarkScrollBars() { return *darkBars_; }
  // Applies ZoomPercent to the font around the base size (a base of 0 or
  // less counts as unset).
  void UpdateZoom();

  // IQMemoFileHost
  void FileJobApplyText(const std::string& text, int encoding) override;
  void FileJobProgress(bool loading, int percent) override;
  void FileJobDone(bool loading, bool success) override;
  // IQMemoCompletionHost
  TWinControl* CompletionEditor() override { return this; }
  std::string CompletionText() override;
  int CompletionSelStart() override { return SelStart(); }
  std::vector<NoteText::TFunctionEntry> CompletionFunctions(bool rebuild) override;
  void CompletionReplace(int start, int end, const std::string& text, int caret) override;
  bool CompletionReadOnly() override { return readOnly_; }
  bool CompletionNightMode() override { return nightMode_; }
  const TFont& CompletionFont() override { return font_; }
  // IQMemoScrollHost
  TWinControl* ScrollEditor() override { return this; }
  TColor ScrollTrackColor() override { return color_; }
  int ScrollLineHeight() override;
  bool ScrollWordWrap() override { return wordWrap_; }
  bool ScrollBarsVertical() override { return scrollBars_ == ssVertical || scrollBars_ == ssBoth; }
  bool ScrollBarsHorizontal() override { return scrollBars_ == ssHorizontal || scrollBars_ == ssBoth; }
  bool ScrollNightMode() override { return nightMode_; }
  void ScrollViewMoved() override;

  // --- Events --------------------------------------------------------------------
  // Every change of the text, before the editor's own handling.
  TNotifyEvent OnChange;
  // The text differs from what was last reported (after the editor's handling).
  TNotifyEvent OnTextChanged;
  TNotifyEvent OnDblClick;
  std::function<void(TObject* sender, int newZoom)> OnZoom;

  // Test seam: when set, the context menu is not tracked on screen; the hook
  // gets the menu and the point and returns the chosen command (0: none).
  static std::function<int(HMENU menu, int x, int y)> PopupMenuHook;

  // The window class in use: "RICHEDIT50W", "RichEdit20W" or "RICHEDIT".
  static const char* RichEditClassName();

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void Notification(TComponent* component, TOperation operation) override;
  // The text changed (EN_CHANGE).
  virtual void Change();

 private:
  // Rich-edit access.
  // The control's text, kept from the last change notification (every
  // change of the text sends one) and read again when its length no longer
  // matches the control's.
  const std::string& CurrentText();
  std::u16string WideText();
  std::u16string WideRange(int start, int end);
  void SetWideText(const std::u16string& wide);
  // Replaces only what differs between the control's text (oldWide) and
  // newWide: the rest keeps its formatting, and the control does far less.
  void ReplaceDifference(std::u16string_view oldWide, std::u16string_view newWide);
  // A fresh window for a long text that is about to be replaced (removing a
  // long text takes the control time that grows with its square).
  void RecreateWindow();
  // Recolours after a change of the image list when the text shows image
  // tokens, else repaints; nothing without a window.
  void ImageListChanged();
  void GetSel(int& start, int& end);
  void SetSel(int start, int end);
  void ReplaceSelWide(const std::u16string& wide);
  int CharFromPoint(int x, int y);
  bool PosFromChar(int index, POINT& pt);
  int CaretIndex();
  int NearerToCaret(int a, int b);
  int LineHeightWg();
  // Font height plus external leading (16 when not positive); 0 without a
  // device context.
  int MetricsLineHeight();
  // Gives the empty selection a visible format in the colour in force when
  // the character before the caret is one a pass hid or covered.
  void PrepareInsertionFormat();
  int HorizontalScroll();
  void SetRedraw(bool on);
  void ApplyFontToText();
  int ZoomedFontSize(int base) const;

  // Window procedure pieces.
  LRESULT HandleChar(UINT msg, WPARAM wParam, LPARAM lParam);
  // The control's own handling of a character, noted for Change.
  LRESULT DefaultChar(UINT msg, WPARAM wParam, LPARAM lParam, char16_t ch);
  // Puts the character noted by DefaultChar into the cache when the
  // control did exactly that; false when the text must be read whole.
  bool SpliceTypedChar();
  bool HandleKeyDown(WORD key);
  bool HandleEndKey(bool shift);
  bool HandleGlyphSelect(WORD key);
  void HandleTabKey(bool shift);
  LRESULT HandleContextMenu(LPARAM lParam);
  bool HandleLeftButtonDown(int x, int y);
  bool HandleLeftButtonDblClk(int x, int y);
  void InsertCodePointToken(std::uint32_t codePoint);
  void SelectRunAtPoint(int x, int y);
  void SelectLineAtPoint(int x, int y);
  void AfterFocusGained();
  void AfterFocusLost();
  void FixHorizontalScrollForShortCurrentLine(int savedHScroll);
  void FontChanged();

  // Change handling.
  void HandleTextChange(const std::string& text);
  void DoChange();
  void ChangeText(const std::string& text);
  std::string ApplyUndoText(const std::string& text, int caret);

  // Colouring.
  NoteText::TColorFlags ColorFlags() const;
  NoteText::TSyntaxPalette Palette() const;
  bool ColoringWantedFor(const std::string& text) const;
  void ApplyFormatOps(const std::string& text, const std::vector<NoteText::TFormatOp>& ops, int lineHeight);
  void ResetWholeText(bool fullReset);
  // The text colour of the mode in force became color.
  void TextColorInForceChanged(TColor color);
  void ColorTimerHandler();
  void PaintInlineImages();
  // The icon of glyph image index, taken from the list when first painted.
  HICON GlyphIcon(int index);
  void DestroyGlyphIcons();

  // Plain properties.
  bool readOnly_ = false;
  TColor color_ = clWindow;
  TFont font_;
  bool wordWrap_ = false;
  TScrollStyle scrollBars_ = ssBoth;
  int tabSpaces_ = 3;
  TQMemoContextMenuMode contextMenuMode_ = cmmDefault;
  bool zoomWithMouseWheel_ = true;

  // Colouring.
  bool syntaxHighlighting_ = false;
  bool inlineStyles_ = false;
  bool showUtf8IconsInline_ = true;
  TImageList* imageList_ = nullptr;
  std::string keywordList_;
  NoteText::TKeywordSet keywords_;
  bool nightMode_ = false;
  TColor textColor_ = clWindowText, textColorNight_ = clWhite;
  TColor keywordColor_ = clBlue, stringColor_ = clPurple, commentColor_ = clGreen,
         methodColor_ = clNavy, tokenColor_ = clTeal;
  TColor keywordColorNight_ = clBlue, stringColorNight_ = clPurple, commentColorNight_ = clGreen,
         methodColorNight_ = clNavy, tokenColorNight_ = clTeal;
  TColor lineNumberColor_ = 0xA0A0A0, lineNumberColorNight_ = 0x5A5A5A;
  std::unique_ptr<TTimer> colorTimer_;
  bool colorPending_ = false;
  bool colorKeepView_ = false;
  int lastTopLine_ = -1;
  std::unique_ptr<TImageList> glyphImages_;
  std::vector<std::uint32_t> glyphKeys_;      // in step with glyphImages_
  std::vector<std::uint32_t> glyphFailures_;  // code points that cannot be drawn
  // The icons of the glyphs painted so far, by index in glyphImages_ (null
  // until painted): taking an icon out of a list costs far more than
  // drawing it, and the glyph images change only when the cache is cleared.
  std::vector<HICON> glyphIcons_;
  bool tokensFormatted_ = false;  // a pass hid or covered token characters
  bool sizeOrFaceFormatted_ = false;  // a pass set a heading size or the code face

  // Zoom and layout.
  int zoomPercent_ = 100;
  int baseFontSize_ = -1;
  bool showLineNumbers_ = false;
  int gutterWidth_ = 0;

  // Change handling and undo.
  bool internalUpdate_ = false;
  bool inTokenRewrite_ = false;
  bool hostAssign_ = false;
  bool recreating_ = false;  // RecreateWindow: the history outlives the window
  int messageDepth_ = 0;  // messages of the window being handled now
  NoteText::TUndoEngine undo_;
  std::string lastReportedText_;
  NoteText::TBookmarkList bookmarks_;
  std::string pendingText_;  // the text before the window exists
  std::string textCache_;    // CurrentText()
  bool textCacheValid_ = false;
  // The cache was read whole by a change notification and holds no
  // character that becomes a token.
  bool textCacheClean_ = false;
  unsigned textCacheReads_ = 0;  // readings of the whole text into the cache
  // A printable character being typed over [start, end) of a text of
  // length characters: its change notification updates the cache in place.
  struct TTypedChar {
    bool active = false;
    int start = 0;
    int end = 0;
    int length = 0;
    char16_t ch = 0;
  } typedChar_;

  // Typing and selection.
  char16_t pendingHighSurrogate_ = 0;
  bool swallowNextBlank_ = false;
  bool glyphSelActive_ = false;
  int glyphSelAnchor_ = -1;
  int glyphSelCaret_ = -1;

  // Code navigation, bookmarks, virtual space, editing commands.
  bool HandleEditingKeyDown(WORD key);
  // A character before the control: true when it is taken.
  bool HandleEditingChar(char16_t ch);
  void HandleEditingKeyUp(WORD key);
  bool HandleEditingLeftClick(int x, int y);
  bool HandleEditingDblClk(int x, int y);
  void HandleEditingMouseMove(WPARAM keys, int x, int y);
  void AfterEditingButton(bool down);
  void EditingFocusLost();
  void PaintEditingOverlay();
  void RefuseEdit();
  void Beep(UINT type);
  void OpenUrl(const std::string& url);
  void ApplyBracketHighlightChar(int index);
  void ResetBracketCharFormat(int index);
  void ReformatBracketsKeepingView(int oldFirst, int oldSecond, int newFirst, int newSecond);
  // Replaces [start, end) of the control's text by text (control line
  // breaks) as an undo step of its own; returns the inserted length.
  int ReplaceRangeAsStep(int start, int end, const std::string& text);
  void ApplyLineEdit(const NoteText::TLineEdit& edit);
  void ScrollSelectionIntoView();
  int VisibleLinesWg();
  int AverageCharWidth();
  int TextLeftMargin();
  void ApplyVsOutcome(const NoteText::TVsOutcome& outcome, int hscrollBefore);
  int bracketHighlightPos_ = -1;
  int bracketMatchPos_ = -1;
  bool inBracketUpdate_ = false;
  bool ctrlHeld_ = false;
  bool bookmarksEnabled_ = true;
  bool virtualSpace_ = false;
  NoteText::TVirtualSpaceState vs_;
  bool vsDragging_ = false;
  bool vsSwallowBackspace_ = false;  // drops the character of a Backspace taken by virtual space
  bool showEmojiOnCtrlHover_ = true;
  std::unique_ptr<TGlyphTooltip> tooltip_;
  std::vector<NoteText::TFunctionEntry> functions_;
  NoteText::TFunctionJumper jumper_;

  // Focus memory.
  int savedTopLine_ = -1;
  bool savedAtBottom_ = false;
  int savedHScroll_ = 0;

  // Files, completion, the icon picker, night mode's frame and bars.
  // Key and message hooks of the window procedure: true when the key is
  // taken (QMemoCompletion.cpp).
  bool HandlePopupKeyDown(WORD key);
  void CompletionAfterChar(UINT msg, WPARAM wParam);
  void CompletionHideUnlessFocusTo(HWND focused);
  // WM_SIZE: hides the popup when the window itself changed size (a native
  // scroll bar coming or going changes only the client area).
  void CompletionHideOnResize();
  // Releases the jobs, the popup, the picker and the bars before the window goes.
  void ReleaseAttachments();
  // Night mode takes the frame away and gives it back (QMemoScroll.cpp).
  void UpdateNightModeBorder(bool night);
  // The bars and the popup follow a switch of night mode.
  void AfterNightModeSwitch();
  std::unique_ptr<TQMemoFileJobs> fileJobs_;
  std::unique_ptr<TQMemoCompletion> completion_;
  std::unique_ptr<TQMemoDarkScrollBars> darkBars_;
  SIZE completionWindowSize_{-1, -1};
  TUtf8BomMode utf8BomMode_ = ubmAuto;
  TBorderStyle borderStyle_ = bsSingle;
  TBorderStyle savedBorderStyle_ = bsSingle;
};
