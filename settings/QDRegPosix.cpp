// The executable's directory in the native build, read from /proc/self/exe.
#include <unistd.h>

#include <vector>

#include "settings/QDReg.h"

std::string TQDReg::AppDir() {
  std::vector<char> buf(256);
  std::string path;
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) break;
    if (static_cast<std::size_t>(n) < buf.size()) {
      path.assign(buf.data(), static_cast<std::size_t>(n));
      break;
    }
    buf.resize(buf.size() * 2);  // the link may have been cut: read again
  }
  std::size_t p = path.find_last_of('/');
  std::string dir = p == std::string::npos ? std::string() : path.substr(0, p + 1);
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}
