// The few operating-system services that the lock file and the backups need
// beyond the platform seam of base/: local dates, copying, a move that never
// replaces, directory listing and the ANSI lower-casing of the code page.
// One Win32 and one POSIX implementation; CMake picks one.
#pragma once

#include <string>
#include <vector>

namespace OsServices {

// Today's local date as "yyyymmdd".
std::string LocalDateToday();

// The local date of the file's last write as "yyyymmdd"; false when the
// file's times cannot be read.
bool FileLocalDate(const std::string& path, std::string& yyyymmdd);

// Copies source to target, overwriting an existing target file.
bool CopyFileOverwrite(const std::string& source, const std::string& target);

// Moves source over target, replacing an existing target file; the data
// reaches the disk before it returns.
bool MoveFileReplace(const std::string& source, const std::string& target);

// Moves source to target, failing when target exists; the data reaches the
// disk before it returns.
bool MoveFileNoReplace(const std::string& source, const std::string& target);

// The names (without directory) of the files in a directory; folders are
// left out. An unreadable directory gives no names.
std::vector<std::string> ListFileNames(const std::string& directory);

// Lower case in the ANSI code page (ASCII and the letters of the code page).
std::string AnsiLowerCase(const std::string& text);

}  // namespace OsServices
