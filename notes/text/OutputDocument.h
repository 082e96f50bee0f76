// The notes editor's text as a device-independent document for a printer or
// an exporter: numbered lines of coloured runs of UTF-16 text, with the
// font, colours and tab width to draw them with. Tokens are resolved: valid
// code-point tokens become their characters, colour and image tokens are
// left out when inline styles are on (images are not carried), and the
// colours are those the editor would show. A code-point token whose value is
// not a valid code point stays as its literal characters.
//
// The caller owns the document.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "notes/text/ColorPlanner.h"
#include "notes/text/Tokens.h"

// Resolves a colour to its RGB value (a system colour to what it shows now).
using TColorResolver = std::function<TColor(TColor)>;

// The default resolver: plain colours are masked to their RGB bytes, system
// colours (0xFF0000nn) take the standard Windows values. The control binding
// passes the drawing layer's ColorToRGB instead.
TColor DefaultColorToRGB(TColor color);

class TQMemoOutputRun {
 public:
  TQMemoOutputRun(std::u16string text, TColor color) : Text(std::move(text)), Color(color) {}
  std::u16string Text;
  TColor Color;
};

class TQMemoOutputLine {
 public:
  explicit TQMemoOutputLine(int lineNumber, TColorResolver colorToRGB = nullptr)
      : LineNumber(lineNumber), colorToRGB_(std::move(colorToRGB)) {}

  // An empty text adds nothing; a text in the colour of the last run (both
  // compared as RGB) is appended to it; anything else starts a new run.
  void AddRun(std::u16string_view text, TColor color);
  int RunCount() const { return static_cast<int>(Runs.size()); }
  // The run, or null for an index outside [0, RunCount()).
  const TQMemoOutputRun* Run(int index) const;
  std::u16string PlainText() const;

  std::vector<TQMemoOutputRun> Runs;
  int LineNumber;

 private:
  TColorResolver colorToRGB_;
};

// The font to draw with, copied from the editor's.
struct TQMemoOutputFont {
  std::string Name = "Tahoma";
  int Height = -11;  // pixels as LOGFONT has it; negative: character height
  int Size = 8;      // points
  TColor Color = 0;
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  std::uint8_t Charset = 1;  // DEFAULT_CHARSET
};

class TQMemoOutputDocument {
 public:
  // A null line is ignored.
  void AddLine(std::unique_ptr<TQMemoOutputLine> line);
  int LineCount() const { return static_cast<int>(Lines.size()); }
  // The line, or null for an index outside [0, LineCount()).
  const TQMemoOutputLine* Line(int index) const;

  std::vector<std::unique_ptr<TQMemoOutputLine>> Lines;
  TQMemoOutputFont Font;
  TColor TextColor = 0x000000;          // clBlack
  TColor LineNumberColor = 0x808080;    // clGray
  TColor BackgroundColor = 0xFFFFFF;    // clWhite
  int TabSpaces = 3;
  // The syntax colours the document was made with (day or night set).
  NoteText::TSyntaxPalette Palette;
};

// What CreateOutputDocument takes from the editor.
struct TQMemoOutputSource {
  bool SyntaxColors = false;  // colour by the syntax rules
  bool Night = false;         // night colours and the editor's background
  NoteText::TSyntaxPalette Day;    // TextColor, KeywordColor, …, TokenColor
  NoteText::TSyntaxPalette Nights; // TextColorNight, …, TokenColorNight
  TColor LineNumberColor = 0xA0A0A0;
  TColor LineNumberColorNight = 0x5A5A5A;
  TColor EditorColor = 0x000000;  // the editor's Color (the night background)
  int TabSpaces = 3;
  bool InlineStyles = false;
  int ImageCount = 0;  // images in the editor's ImageList; 0 without one
  const NoteText::TKeywordSet* Keywords = nullptr;
  TQMemoOutputFont Font;
  TColorResolver ColorToRGB;  // DefaultColorToRGB when empty
};

// The editor text with its valid code-point tokens resolved (the editor's
// ConvertToOutputText).
std::u16string ConvertToOutputText(std::string_view text);

// Builds the document for the editor text (host or control text: CR LF, a
// lone CR and a lone LF each end a line). An empty text gives one line
// (number 1) without runs; a text ending with a line break a last, empty line.
std::unique_ptr<TQMemoOutputDocument> BuildOutputDocument(std::string_view text,
                                                          const TQMemoOutputSource& source);
