// Fuzzes what the notes editor takes from outside: the bytes of a text file
// and the pick that the icon service's page sends back.
//
// First byte even: the rest is a file. Detection and decoding must agree
// (strict UTF-8 decodes and encodes back to the same bytes); a load must
// succeed; and saving the loaded text in the detected encoding, then loading
// that, must give the same characters.
//
// First byte odd: the rest is a pick. The result is empty or a run of 1 to
// 16 valid code-point tokens, nothing else.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "notes/text/IconPickerText.h"
#include "notes/text/TextFile.h"
#include "notes/text/Tokens.h"

namespace {

using namespace NoteText;

class TMemoryDisk : public TTextFileSystem {
 public:
  std::map<std::string, std::string> files;
  bool ReadAll(const std::string& path, std::string& bytes) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    bytes = it->second;
    return true;
  }
  std::int64_t FileSize(const std::string& path) override {
    auto it = files.find(path);
    return it == files.end() ? -1 : static_cast<std::int64_t>(it->second.size());
  }
  bool WriteNew(const std::string& path, std::string_view bytes) override {
    files[path].assign(bytes);
    return true;
  }
  bool Replace(const std::string& source, const std::string& target) override {
    auto it = files.find(source);
    if (it == files.end()) return false;
    files[target] = it->second;
    files.erase(source);
    return true;
  }
  bool Remove(const std::string& path) override { return files.erase(path) > 0; }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

void FuzzFile(const std::string& bytes) {
  if (IsStrictUtf8(bytes)) {
    const std::u16string wide = DecodeUtf8(bytes);
    Check(EncodeUtf8(wide) == bytes);
  }
  TMemoryDisk disk;
  disk.files["in.txt"] = bytes;
  std::string text;
  int encoding = 0, lines = 0;
  Check(LoadTextFileWorker("in.txt", text, encoding, lines, disk));
  Check(encoding >= 1 && encoding <= 3);
  // Text loaded as UTF-8 can always be written back as UTF-8. Tokens written
  // literally in the file are resolved on the way out, so the texts compare
  // with their tokens resolved. ANSI text may hold such a token for a
  // character the code page lacks, which an ANSI save refuses.
  const bool saved = SaveTextFileWorker("out.txt", text, encoding, disk);
  Check(saved || encoding == kEncodingAnsi);
  Check(disk.files.count("out.txt.tmp") == 0);
  if (!saved) return;
  std::string again;
  int encoding2 = 0, lines2 = 0;
  Check(LoadTextFileWorker("out.txt", again, encoding2, lines2, disk));
  Check(EditorTextToWide(again) == EditorTextToWide(text));
}

void FuzzPick(const std::string& text) {
  const std::string tokens = PickerTextToTokens(text);
  int count = 0;
  for (std::size_t i = 0; i < tokens.size();) {
    std::uint32_t cp = 0;
    const int n = ParseCodePointToken(tokens, static_cast<int>(i), cp);
    Check(n > 0);
    i += static_cast<std::size_t>(n);
    ++count;
  }
  Check(count <= kPickerMaxCodePoints);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] % 2 == 0) {
    FuzzFile(rest);
  } else {
    FuzzPick(rest);
  }
  return 0;
}
