// The notes scanners over arbitrary notes: comment blanking keeps every
// offset, brackets match in pairs, detected functions lie inside the text,
// and colouring any range plans operations inside it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "notes/text/CodeScan.h"
#include "notes/text/ColorPlanner.h"
#include "notes/text/FunctionList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the flags and a position; the rest is the note.
  const std::uint8_t choice = data[0];
  const std::uint8_t at = data[1];
  const std::string_view note(reinterpret_cast<const char*>(data + 2), size - 2);
  const int length = static_cast<int>(note.size());
  const int pos = length == 0 ? 0 : at % (length + 1);

  Check(NoteText::BlankOutComments(note).size() == note.size());
  Check(NoteText::MaskCodeForFunction(note).size() == note.size());
  for (int i = 0; i < length; ++i) {
    if (!NoteText::IsBracketChar(note[static_cast<std::size_t>(i)])) continue;
    const int match = NoteText::FindMatchingBracket(note, i);
    Check(match >= -1 && match < length);
    if (i > 8) break;  // a few per input: the scans themselves are linear
  }
  (void)NoteText::FindBracketNearCaret(note, pos);
  (void)NoteText::FindBracketAround(note, pos);
  (void)NoteText::IdentifierTextAt(note, pos);
  (void)NoteText::QuotedReferenceAt(note, pos);

  for (const NoteText::TFunctionEntry& f : NoteText::DetectFunctions(note)) (void)f;
  int blockStart = 0, blockEnd = 0;
  if (NoteText::FindFunctionBlockAtCaret(note, pos, blockStart, blockEnd))
    Check(blockStart >= 0 && blockStart <= blockEnd && blockEnd <= length);

  NoteText::TColorFlags flags;
  flags.syntaxHighlighting = (choice & 1) != 0;
  flags.inlineStyles = (choice & 2) != 0;
  flags.showGlyphs = (choice & 4) != 0;
  flags.imageCount = (choice >> 3) & 7;
  const NoteText::TSyntaxPalette palette{1, 2, 3, 4, 5, 6};
  static const NoteText::TKeywordSet keywords("if else for while return function class");
  (void)NoteText::ColoringWanted(note, flags);
  const int rangeStart = pos / 2;
  const int rangeEnd = pos + (length - pos) / 2;
  (void)NoteText::PlanColoring(note, rangeStart, rangeEnd, flags, palette, keywords);
  return 0;
}
