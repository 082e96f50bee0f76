#include "app/model/OsServices.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OsServices {

namespace {

std::string DateText(const std::tm& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", (t.tm_year + 1900) % 10000, t.tm_mon + 1, t.tm_mday);
  return buf;
}

bool SyncDirectoryOf(const std::string& path) {
  std::string dir = ".";
  auto slash = path.find_last_of('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool SyncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

std::string LocalDateToday() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return DateText(t);
}

bool FileLocalDate(const std::string& path, std::string& yyyymmdd) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return false;
  std::time_t m = st.st_mtime;
  std::tm t{};
  if (!localtime_r(&m, &t)) return false;
  yyyymmdd = DateText(t);
  return true;
}

bool CopyFileOverwrite(const std::string& source, const std::string& target) {
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st{};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    ssize_t got = ::read(in, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ssize_t done = 0;
    while (done < got) {
      ssize_t put = ::write(out, buf + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  return ok;
}

bool MoveFileReplace(const std::string& source, const std::string& target) {
  struct stat st{};
  if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (!SyncFile(source)) return false;
  if (::rename(source.c_str(), target.c_str()) != 0) return false;
  SyncDirectoryOf(target);
  return true;
}

bool MoveFileNoReplace(const std::string& source, const std::string& target) {
  if (!SyncFile(source)) return false;
  // A hard link fails when the target exists, so no file is ever replaced.
  if (::link(source.c_str(), target.c_str()) == 0) {
    ::unlink(source.c_str());
  } else {
    if (errno != EPERM && errno != ENOTSUP && errno != EXDEV) return false;
    struct stat st{};
    if (::lstat(target.c_str(), &st) == 0) return false;
    if (::rename(source.c_str(), target.c_str()) != 0) return false;
  }
  SyncDirectoryOf(target);
  return true;
}

std::vector<std::string> ListFileNames(const std::string& directory) {
  std::vector<std::string> names;
  std::string dir = directory.empty() ? "." : directory;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  std::string prefix = dir.back() == '/' ? dir : dir + "/";
  while (dirent* ent = ::readdir(d)) {
    std::string name = ent->d_name;
    if (name == "." || name == "..") continue;
    struct stat st{};
    if (::stat((prefix + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    names.push_back(name);
  }
  ::closedir(d);
  return names;
}

std::string AnsiLowerCase(const std::string& text) {
  // Windows-1252, the code page this program meets on Windows and Wine.
  std::string r = text;
  for (char& ch : r) {
    auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<unsigned char>(c + 32);
    else if (c == 0x8A || c == 0x8C || c == 0x8E) c = static_cast<unsigned char>(c + 16);
    else if (c == 0x9F) c = 0xFF;
    ch = static_cast<char>(c);
  }
  return r;
}

}  // namespace OsServices
