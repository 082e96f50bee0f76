// UTF-8 text and the program's 8-bit text, as the KeePass text files need
// them. The code page is the system's ANSI code page (base/CodePage.h:
// Windows-1252 on the native build); no conversion substitutes a
// look-alike character.
#pragma once

#include <string>
#include <string_view>

// UTF-8 to code-page text. A character that the code page cannot hold, and
// every byte that is not well-formed UTF-8, becomes "?" and sets *lost.
std::string Utf8ToAnsi(std::string_view utf8, bool* lost = nullptr);

// UTF-8 to notes text: as Utf8ToAnsi, but a character that the code page
// cannot hold becomes the notes editor's code-point token "[[U+%04X]]", so
// nothing is lost. Malformed UTF-8 still becomes "?" and sets *lost.
std::string Utf8ToNotesText(std::string_view utf8, bool* lost = nullptr);

// Code-page text to UTF-8. The Append forms reserve the room they need
// first, so a text that holds secrets is not copied by a reallocation of out
// that they cause.
std::string AnsiToUtf8(std::string_view ansi);
void AppendAnsiToUtf8(std::string& out, std::string_view ansi);

// Notes text to UTF-8: every code-point token of a valid code point ("[[U+"
// four to six hex digits "]]", either case) is written as its character;
// everything else converts as code-page text.
std::string NotesTextToUtf8(std::string_view notes);
void AppendNotesTextToUtf8(std::string& out, std::string_view notes);

// "[[U+%04X]]" of a code point.
std::string FormatCodePointToken(char32_t codePoint);
