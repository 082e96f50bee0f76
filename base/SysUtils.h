// Text, number and path helpers of our run-time library. Text is 8-bit
// (the ANSI code page); case mapping here is ASCII only.
#pragma once

#include <cstdint>
#include <string>

std::string Trim(const std::string& s);       // drops bytes <= ' ' at both ends
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s);  // ASCII letters only
std::string LowerCase(const std::string& s);
bool SameText(const std::string& a, const std::string& b);  // ASCII case-insensitive
bool StartsText(const std::string& prefix, const std::string& s);
bool EndsText(const std::string& suffix, const std::string& s);
std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to);

std::string IntToStr(std::int64_t value);
std::string IntToHex(std::uint64_t value, int digits);  // upper case, at least digits wide

// Strict decimal: an optional sign and at least one digit, nothing else
// (no blanks, no hex prefix), within the range of the result type.
bool TryStrToInt(const std::string& s, int& value);
bool TryStrToInt64(const std::string& s, std::int64_t& value);
int StrToIntDef(const std::string& s, int def);
int StrToIntStrict(const std::string& s);  // throws EConvertError

// Paths: the delimiters are "\" and "/"; a drive ends at ":".
bool IsPathDelimiter(char c);
std::string ExtractFileName(const std::string& path);
std::string ExtractFilePath(const std::string& path);  // keeps the final delimiter
std::string ExtractFileDir(const std::string& path);   // without the final delimiter
std::string ExtractFileExt(const std::string& path);   // with the dot
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
std::string ExpandFileName(const std::string& path);
char PathDelimiter();  // '\' on Windows, '/' elsewhere
