#include <windows.h>

#include <vector>

#include "app/model/OsServices.h"

namespace OsServices {

namespace {

std::string DateText(const SYSTEMTIME& t) {
  char buf[48];
  wsprintfA(buf, "%04u%02u%02u", static_cast<unsigned>(t.wYear % 10000), static_cast<unsigned>(t.wMonth),
            static_cast<unsigned>(t.wDay));
  return buf;
}

}  // namespace

std::string LocalDateToday() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return DateText(t);
}

bool FileLocalDate(const std::string& path, std::string& yyyymmdd) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  FILETIME local{};
  SYSTEMTIME t{};
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &t))
    return false;
  yyyymmdd = DateText(t);
  return true;
}

bool CopyFileOverwrite(const std::string& source, const std::string& target) {
  return CopyFileA(source.c_str(), target.c_str(), FALSE) != FALSE;
}

bool MoveFileReplace(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool MoveFileNoReplace(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::vector<std::string> ListFileNames(const std::string& directory) {
  std::vector<std::string> names;
  std::string pattern = directory;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':')
    pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA fd{};
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

std::string AnsiLowerCase(const std::string& text) {
  std::string r = text;
  if (!r.empty()) CharLowerBuffA(r.data(), static_cast<DWORD>(r.size()));
  return r;
}

}  // namespace OsServices
