// Finding the header of the function whose body opens at a brace, looking
// back from the brace, and the brace counting around it. The editor does not
// call these; they stand beside the function list as its header rules.
#pragma once

#include <string_view>

namespace NoteText {

// Whether text[from, to) holds a ";", "{" or "}".
bool HasStatementBreak(std::string_view text, int from, int to);

// Whether the word (trimmed, any case) is one of the control words that may
// stand before "(...) {" without naming a function: if, for, foreach, while,
// switch, catch, else, try, return, array, isset, empty, echo.
bool IsControlWord(std::string_view word);

// The start of the header of the body that opens at brace, looking back at
// most 700 characters: a "function" keyword (or an "async" just before it)
// with a "(" and no statement break up to the brace; else an arrow "=>"
// with no statement break up to the brace (the header starts after the
// nearest ";", line break or brace before the arrow); else ") {" after an
// identifier that is no control word and follows "::" or other text on its
// line (the header is that line). False, start = -1, for none.
bool FindFunctionHeaderStart(std::string_view text, int brace, int& start);

// The "}" that closes the "{" at i, counting braces only; false (close = -1)
// when i is no "{" or nothing closes it.
bool FindClosingBraceRaw(std::string_view text, int i, int& close);

// The nearest "{" before i (clamped into the text; a "}" at i counts as
// inside its block) that is not closed before i; -1 for none.
int FindOuterOpenBrace(std::string_view text, int i);

}  // namespace NoteText
