// Conversions between the system ANSI code page (the 8-bit text that
// std::string holds everywhere in this program) and UTF-16.
//
// No conversion here ever substitutes a look-alike character ("best fit"):
// a character that the code page cannot hold exactly is reported as such, so
// that callers can keep it in another form instead of losing it silently.
//
// The Win32 build asks the system (CP_ACP); the POSIX build, which only runs
// tests and tools, uses a built-in Windows-1252 table.
#pragma once

#include <string>
#include <string_view>

namespace CodePage {

// The number of the ANSI code page in use (1252 on the POSIX build).
unsigned AnsiCodePage();

// Decodes ANSI text to UTF-16. Every byte sequence decodes; bytes that the
// code page leaves undefined come out as the system maps them (on 1252 the
// five unused bytes 81, 8D, 8F, 90 and 9D become U+0081 … U+009D).
std::u16string AnsiToWide(std::string_view text);

// True when the single UTF-16 unit converts to the code page exactly: no
// default character and no best-fit substitute. Units below 128 always do;
// surrogate halves never do.
bool IsRepresentable(char16_t unit);

// Appends the code-page bytes of one unit (one byte, or two on a double-byte
// code page) and returns true; returns false and appends nothing when the
// unit is not representable.
bool AppendAnsiChar(char16_t unit, std::string& out);

// Encodes UTF-16 text without best fit. Returns true when every unit was
// representable. On false, out still holds the text with the code page's
// default character ("?") in place of each character that was not.
bool WideToAnsiNoBestFit(std::u16string_view wide, std::string& out);

}  // namespace CodePage
