#include "notes/text/OutputDocument.h"

#include "base/CodePage.h"

namespace {

constexpr TColor Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

// The standard Windows values of the system colours COLOR_SCROLLBAR (0) to
// COLOR_MENUBAR (30).
constexpr TColor kSystemColors[] = {
    Rgb(200, 200, 200), Rgb(0, 0, 0),       Rgb(153, 180, 209), Rgb(191, 205, 219),
    Rgb(240, 240, 240), Rgb(255, 255, 255), Rgb(100, 100, 100), Rgb(0, 0, 0),
    Rgb(0, 0, 0),       Rgb(0, 0, 0),       Rgb(180, 180, 180), Rgb(244, 247, 252),
    Rgb(171, 171, 171), Rgb(0, 120, 215),   Rgb(255, 255, 255), Rgb(240, 240, 240),
    Rgb(160, 160, 160), Rgb(109, 109, 109), Rgb(0, 0, 0),       Rgb(0, 0, 0),
    Rgb(255, 255, 255), Rgb(105, 105, 105), Rgb(227, 227, 227), Rgb(0, 0, 0),
    Rgb(255, 255, 225), Rgb(0, 0, 0),       Rgb(0, 102, 204),   Rgb(185, 209, 234),
    Rgb(215, 228, 242), Rgb(51, 153, 255),  Rgb(240, 240, 240),
};

}  // namespace

TColor DefaultColorToRGB(TColor color) {
  const auto c = static_cast<std::uint32_t>(color);
  if ((c & 0xFF000000u) == 0xFF000000u) {
    const std::uint32_t index = c & 0xFFu;
    return index < std::size(kSystemColors) ? kSystemColors[index] : TColor{0};
  }
  return static_cast<TColor>(c & 0x00FFFFFFu);
}

void TQMemoOutputLine::AddRun(std::u16string_view text, TColor color) {
  if (text.empty()) return;
  if (!Runs.empty()) {
    const TColorResolver& rgb = colorToRGB_;
    const TColor last = Runs.back().Color;
    const bool same = rgb ? rgb(last) == rgb(color) : DefaultColorToRGB(last) == DefaultColorToRGB(color);
    if (same) {
      Runs.back().Text.append(text);
      return;
    }
  }
  // Filled after it is placed: g++ 12 at -O2 warns about a string moved
  // into a growing vector.
  Runs.emplace_back(std::u16string(), color);
  Runs.back().Text.assign(text.data(), text.size());
}

const TQMemoOutputRun* TQMemoOutputLine::Run(int index) const {
  if (index < 0 || index >= RunCount()) return nullptr;
  return &Runs[static_cast<std::size_t>(index)];
}

std::u16string TQMemoOutputLine::PlainText() const {
  std::u16string s;
  for (const auto& r : Runs) s += r.Text;
  return s;
}

void TQMemoOutputDocument::AddLine(std::unique_ptr<TQMemoOutputLine> line) {
  if (line) Lines.push_back(std::move(line));
}

const TQMemoOutputLine* TQMemoOutputDocument::Line(int index) const {
  if (index < 0 || index >= LineCount()) return nullptr;
  return Lines[static_cast<std::size_t>(index)].get();
}

std::u16string ConvertToOutputText(std::string_view text) { return NoteText::EditorTextToWide(text); }

std::unique_ptr<TQMemoOutputDocument> BuildOutputDocument(std::string_view text,
                                                          const TQMemoOutputSource& source) {
  using namespace NoteText;
  auto doc = std::make_unique<TQMemoOutputDocument>();
  const TSyntaxPalette& pal = source.Night ? source.Nights : source.Day;
  doc->Font = source.Font;
  doc->TextColor = pal.text;
  doc->LineNumberColor = source.Night ? source.LineNumberColorNight : source.LineNumberColor;
  doc->BackgroundColor = source.Night ? source.EditorColor : TColor{0xFFFFFF};
  doc->TabSpaces = source.TabSpaces;
  doc->Palette = pal;
  const TColorResolver resolver = source.ColorToRGB ? source.ColorToRGB : TColorResolver(DefaultColorToRGB);

  const int len = static_cast<int>(text.size());
  std::vector<TColor> colors(text.size(), pal.text);

  // Syntax colours: the colouring pass's rules over the whole text.
  if (source.SyntaxColors && len > 0) {
    TColorFlags flags;
    flags.syntaxHighlighting = true;
    flags.inlineStyles = false;
    flags.showGlyphs = false;
    static const TKeywordSet noKeywords;
    const TKeywordSet& keywords = source.Keywords ? *source.Keywords : noKeywords;
    for (const TFormatOp& op : PlanColoring(text, 0, len, flags, pal, keywords)) {
      const TColor c = op.kind == TFormatKind::Color ? op.color : pal.text;
      if (op.kind != TFormatKind::Color && op.kind != TFormatKind::ResetColor &&
          op.kind != TFormatKind::ResetAll) {
        continue;
      }
      for (int k = op.start; k < op.start + op.length && k < len; ++k) colors[static_cast<std::size_t>(k)] = c;
    }
  }

  // Colour tokens: each one ends a segment, which takes the colour in force.
  if (source.InlineStyles) {
    bool inForce = false;
    TColor current = 0;
    int segStart = 0;
    auto paint = [&](int from, int to) {
      if (!inForce) return;
      for (int k = from; k < to; ++k) colors[static_cast<std::size_t>(k)] = current;
    };
    for (int p = 0; p < len;) {
      bool off = false;
      TColor col = 0;
      const int n = text[p] == '[' ? ParseColorToken(text, p, off, col) : 0;
      if (n > 0) {
        paint(segStart, p);
        inForce = !off;
        current = col;
        p += n;
        segStart = p;
      } else {
        ++p;
      }
    }
    paint(segStart, len);
  }

  // Lines and runs.
  int lineNumber = 1;
  auto line = std::make_unique<TQMemoOutputLine>(lineNumber, resolver);
  // Plain characters of one colour are converted together, so that a
  // double-byte character is never split.
  int pendStart = 0, pendEnd = 0;
  TColor pendColor = 0;
  auto flush = [&] {
    if (pendEnd > pendStart) line->AddRun(CodePage::AnsiToWide(text.substr(pendStart, pendEnd - pendStart)), pendColor);
    pendStart = pendEnd = 0;
  };
  auto addChar = [&](int i) {
    const TColor c = colors[static_cast<std::size_t>(i)];
    if (pendEnd > pendStart && (pendEnd != i || (c != pendColor && resolver(c) != resolver(pendColor)))) flush();
    if (pendEnd == pendStart) {
      pendStart = i;
      pendColor = c;
    }
    pendEnd = i + 1;
  };
  for (int i = 0; i < len;) {
    const char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      flush();
      doc->AddLine(std::move(line));
      line = std::make_unique<TQMemoOutputLine>(++lineNumber, resolver);
      i += (ch == '\r' && i + 1 < len && text[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (ch == '[') {
      if (source.InlineStyles) {
        bool off = false;
        TColor col = 0;
        int n = ParseColorToken(text, i, off, col);
        if (n == 0) {
          int image = -1;
          const int m = ParseImageToken(text, i, image);
          if (m > 0 && image >= 0 && image < source.ImageCount) n = m;
        }
        if (n > 0) {
          flush();
          i += n;
          continue;
        }
      }
      std::uint32_t cp = 0;
      // Only a valid code point is resolved; "[[U+D800]]" and the like stay
      // as the characters they are written with.
      const int n = ParseCodePointToken(text, i, cp);
      if (n > 0) {
        flush();
        line->AddRun(CodePointToUtf16(cp), colors[static_cast<std::size_t>(i)]);
        i += n;
        continue;
      }
    }
    addChar(i);
    ++i;
  }
  flush();
  doc->AddLine(std::move(line));
  return doc;
}
