// The hand-over of a second start (the bytes of WM_COPYDATA, sent by any
// process) and the command line: any bytes decode without reading past
// their end, and a path that was encoded comes back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/model/ShellHelpers.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly size bytes: a read past them is caught.
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(exact.get(), data, size);
  const std::string path = DecodeHandOverPath(size == 0 ? nullptr : exact.get(), size);
  Check(path.size() <= size);
  Check(path.find('\0') == std::string::npos);
  Check(path.empty() || (!IsBlank(path.front()) && !IsBlank(path.back())));
  // What the sender encodes from that path decodes to it again.
  const std::string encoded = EncodeHandOverPath(path);
  Check(DecodeHandOverPath(encoded.data(), encoded.size()) == path);

  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> words = SplitCommandLine(line);
  std::size_t total = 0;
  for (const std::string& w : words) {
    Check(w.find('"') == std::string::npos);
    total += w.size();
  }
  Check(total <= size);
  return 0;
}
