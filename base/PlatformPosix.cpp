#include "base/Platform.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace Platform {

bool RandomBytes(void* buf, std::size_t n) {
  auto* p = static_cast<unsigned char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = getrandom(p + done, n - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      SecureZero(buf, n);
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::uint64_t TickCount64() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

std::uint32_t TickCount() { return static_cast<std::uint32_t>(TickCount64()); }

int CurrentProcessor() { return sched_getcpu(); }

bool AvoidProcessor(int processor) {
  if (processor < 0 || processor >= CPU_SETSIZE) return false;
  cpu_set_t set;
  if (pthread_getaffinity_np(pthread_self(), sizeof set, &set) != 0) return false;
  CPU_CLR(processor, &set);
  if (CPU_COUNT(&set) == 0) return false;
  return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

std::int64_t UtcNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

static bool SyncDirectoryOf(const std::string& path) {
  std::string dir = ".";
  auto slash = path.find_last_of('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool MoveFileReplacing(const std::string& source, const std::string& target) {
  struct stat st{};
  if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (!synced) return false;
  if (::rename(source.c_str(), target.c_str()) != 0) return false;
  SyncDirectoryOf(target);
  return true;
}

void SecureZero(void* p, std::size_t n) {
  if (p && n) explicit_bzero(p, n);
}

// The POSIX build runs tests and tools only; its allocator's free memory is
// left as it is.
void WipeFreedMemory() {}

std::string ComputerName() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return {};
  return buf;
}

std::string UserName() {
  passwd pw{};
  passwd* res = nullptr;
  std::vector<char> buf(4096);
  if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &res) == 0 && res) return res->pw_name;
  return {};
}

std::string FullPathName(const std::string& path) {
  std::string full;
  if (!path.empty() && path[0] == '/') {
    full = path;
  } else {
    char cwd[PATH_MAX] = {};
    if (!getcwd(cwd, sizeof cwd)) return path;
    full = std::string(cwd) + "/" + path;
  }
  // Fold "//", "/./" and "/../" without touching the file system.
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= full.size()) {
    std::size_t j = full.find('/', i);
    if (j == std::string::npos) j = full.size();
    std::string part = full.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (auto& p : parts) out += "/" + p;
  if (out.empty()) out = "/";
  if (full.size() > 1 && full.back() == '/' && out != "/") out += "/";
  return out;
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }
bool MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; }
bool RemoveEmptyDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

std::string TempDirectory() {
  const char* t = getenv("TMPDIR");
  std::string d = (t && *t) ? t : "/tmp";
  if (d.back() != '/') d += '/';
  return d;
}

FileHandle FileOpen(const std::string& path, OpenMode mode, ShareMode share) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::Read: flags |= O_RDONLY; break;
    case OpenMode::Write: flags |= O_WRONLY; break;
    case OpenMode::ReadWrite: flags |= O_RDWR; break;
  }
  int fd = ::open(path.c_str(), flags);
  if (fd < 0) return InvalidFile;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return InvalidFile;
  }
  // POSIX has no mandatory share modes; advisory locks keep our own
  // processes from writing a file another one has open exclusively.
  if (share == ShareMode::Exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return InvalidFile;
  }
  return fd;
}

FileHandle FileCreate(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  return fd < 0 ? InvalidFile : fd;
}

std::int64_t FileRead(FileHandle h, void* buf, std::int64_t count) {
  auto* p = static_cast<char*>(buf);
  std::int64_t done = 0;
  while (done < count) {
    ssize_t got = ::read(static_cast<int>(h), p + done, static_cast<std::size_t>(count - done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

std::int64_t FileWrite(FileHandle h, const void* buf, std::int64_t count) {
  auto* p = static_cast<const char*>(buf);
  std::int64_t done = 0;
  while (done < count) {
    ssize_t put = ::write(static_cast<int>(h), p + done, static_cast<std::size_t>(count - done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    done += put;
  }
  return done;
}

std::int64_t FileSeek(FileHandle h, std::int64_t offset, int origin) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(h), static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

bool FileTruncate(FileHandle h, std::int64_t size) {
  return ::ftruncate(static_cast<int>(h), static_cast<off_t>(size)) == 0;
}

bool FileFlush(FileHandle h) { return ::fsync(static_cast<int>(h)) == 0; }

void FileClose(FileHandle h) {
  if (h != InvalidFile) ::close(static_cast<int>(h));
}

}  // namespace Platform
