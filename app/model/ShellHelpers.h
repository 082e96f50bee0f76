// Small rules of the program shell that need no window: masked text, the
// 64-bit number reader, UTC milliseconds from a Windows file time, the
// 30-minute rule of a remembered lock, and the path handed over by a second
// start of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// "" stays ""; any other text gives "********" whatever its length.
std::string MaskText(const std::string& text);

// The strict decimal value of text, or 0 when it is no valid 64-bit integer.
std::int64_t StrToInt64Or0(const std::string& text);

// Milliseconds since 1970-01-01 UTC of a file time (100 ns units since
// 1601); 0 for a time before 1970, so the result is never negative.
std::int64_t UnixMsFromFileTime(std::uint64_t fileTime);

// True when a lock was remembered and at least 30 minutes (1,800,000 ms)
// have passed since its tick; the tick count may have wrapped meanwhile.
bool LockedLongerThan30MinAt(bool lockRemembered, std::uint32_t lockTick, std::uint32_t nowTick);

// The hand-over of a vault path from a second start to the running
// instance: a WM_COPYDATA message whose dwData is the four characters
// "VLF1" read most significant first, and whose data is the path followed by
// one zero byte.
inline constexpr std::uint32_t kHandOverTag = 0x564C4631;

// The bytes to send for path: its characters and a zero byte.
std::string EncodeHandOverPath(const std::string& path);

// The path a received message carries: at most size bytes are read (the
// data comes from any process), up to the first zero byte, then trimmed.
// No data or size 0 gives "".
std::string DecodeHandOverPath(const void* data, std::size_t size);

// The words of a command line as a program sees its parameters: blanks and
// control characters separate them, double quotes group blanks into a word
// and are dropped. The first word is the program itself.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
