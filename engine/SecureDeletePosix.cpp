#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "engine/Random.h"
#include "engine/SecureDelete.h"

namespace SecureDeleteIo {

namespace {
int ToFd(THandle h) { return static_cast<int>(h); }
}  // namespace

TKind Query(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? TKind::Missing : TKind::Unreadable;
  return S_ISDIR(st.st_mode) ? TKind::Directory : TKind::File;
}

bool SetNormalAttributes(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  return chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR | S_IWUSR) == 0;
}

THandle OpenExclusive(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_SYNC | O_CLOEXEC);
  return fd < 0 ? InvalidHandle : fd;
}

bool FileSize(THandle h, std::int64_t& size) {
  struct stat st;
  if (fstat(ToFd(h), &st) != 0) return false;
  size = st.st_size;
  return true;
}

bool Rewind(THandle h) { return lseek(ToFd(h), 0, SEEK_SET) == 0; }

std::int64_t Write(THandle h, const void* data, std::uint32_t count) {
  const auto* p = static_cast<const char*>(data);
  std::uint32_t done = 0;
  while (done < count) {
    const ssize_t n = write(ToFd(h), p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  return done;
}

bool Flush(THandle h) { return fsync(ToFd(h)) == 0; }

bool CutHere(THandle h) {
  const off_t at = lseek(ToFd(h), 0, SEEK_CUR);
  return at >= 0 && ftruncate(ToFd(h), at) == 0;
}

void Close(THandle h) {
  if (h != InvalidHandle) close(ToFd(h));
}

bool Rename(const std::string& from, const std::string& to) {
  // A hard link never replaces its target; the old name then goes.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  if (unlink(from.c_str()) != 0) {
    unlink(to.c_str());
    return false;
  }
  return true;
}

bool Remove(const std::string& path) { return unlink(path.c_str()) == 0; }

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(getpid()); }
std::uint32_t ThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

bool RandomOpen(TRandom& random) {
  random = 1;
  return true;
}

bool RandomFill(TRandom, void* data, std::uint32_t count) { return RandomBytes(data, count); }

void RandomClose(TRandom) {}

}  // namespace SecureDeleteIo
