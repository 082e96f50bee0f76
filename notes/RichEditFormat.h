// Character formats set on ranges of a rich-edit control without touching
// its selection: through the control's text object model where it has one
// (RichEdit 2.0 and later), else by selecting each range and sending
// EM_SETCHARFORMAT. Setting a format through a range leaves the caret and
// the view alone and is cheaper than a selection change per range.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ITextDocument;
struct ITextRange;
struct ITextFont;

namespace RichEdit {

// What to set on a range; attributes whose flag is false stay as they are.
struct TCharSpec {
  bool setColor = false;
  COLORREF color = 0;
  bool setHidden = false;
  bool hidden = false;
  bool setBold = false;
  bool bold = false;
  bool setItalic = false;
  bool italic = false;
  bool setFace = false;
  std::string face;
  bool setSize = false;
  int points = 0;
};

// A range of characters and what to set on it.
struct TRangeSpec {
  int start = 0;
  int end = 0;
  TCharSpec format;
};

class TRangeFormatter {
 public:
  explicit TRangeFormatter(HWND wnd);
  TRangeFormatter(const TRangeFormatter&) = delete;
  TRangeFormatter& operator=(const TRangeFormatter&) = delete;
  ~TRangeFormatter();

  // Formats the characters [start, end). A size or a face, or a control
  // without text objects, goes through the selection: the caller restores
  // the selection afterwards.
  void Apply(int start, int end, const TCharSpec& spec);
  // Clears from spec each attribute that all of [start, end) already has,
  // as read through the text objects (reading lays nothing out). Without
  // text objects, or where the characters differ, spec stays as it is.
  void DropPresent(int start, int end, TCharSpec& spec);
  // Formats ranges given in order, none overlapping the one before, each
  // with only what it does not show already. A range that sets a size or a
  // face is formatted on its own; otherwise colour, hidden, bold and italic
  // are each set once over every stretch of neighbouring ranges that want
  // the same value: each write makes the control lay out every line it
  // touches, and inline markup splits a line into many short ranges that
  // share most of their format.
  void ApplyRuns(const std::vector<TRangeSpec>& runs);

 private:
  HWND wnd_;
  ITextDocument* doc_ = nullptr;
  ITextRange* range_ = nullptr;
  ITextFont* font_ = nullptr;
};

}  // namespace RichEdit
