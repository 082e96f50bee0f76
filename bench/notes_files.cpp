// The notes editor's file work on large notes, at 100 KiB and 1 MiB:
// strict UTF-8 detection and decoding against glibc's iconv (the peer, which
// validates and converts in one pass), the whole load worker (detection,
// decoding, tokens for characters outside the code page) and save worker
// over a disk in memory, and the output document with syntax colours. All
// must stay linear: the 1 MiB figure should be about 10 times the 100 KiB
// one (the output document, which keeps a colour per character, up to 15
// times, as its working set outgrows the cache).
#include <benchmark/benchmark.h>

#include <iconv.h>

#include <map>
#include <string>

#include "notes/text/ColorPlanner.h"
#include "notes/text/OutputDocument.h"
#include "notes/text/TextFile.h"

namespace {

using namespace NoteText;

// Notes as people write them: ASCII code and prose, Latin letters, Cyrillic
// and emoji (which become tokens), CR LF line breaks.
std::string Utf8Notes(std::size_t size) {
  static const std::string chunk =
      "function login(user, pass) { return check(user) && pass.length > 8; } // caf\xC3\xA9\r\n"
      "Server: \xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C \xF0\x9F\x94\x91 rotate yearly, \"don't\" share\r\n"
      "PIN 1234 \xE2\x82\xAC, na\xC3\xAFve r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x91\x8D\r\n";
  std::string s;
  while (s.size() < size) s += chunk;
  return s;
}

class TMemoryDisk : public TTextFileSystem {
 public:
  std::map<std::string, std::string> files;
  bool ReadAll(const std::string& path, std::string& bytes) override {
    bytes = files[path];
    return true;
  }
  std::int64_t FileSize(const std::string& path) override { return static_cast<std::int64_t>(files[path].size()); }
  bool WriteNew(const std::string& path, std::string_view bytes) override {
    files[path].assign(bytes);
    return true;
  }
  bool Replace(const std::string& source, const std::string& target) override {
    files[target].swap(files[source]);
    files.erase(source);
    return true;
  }
  bool Remove(const std::string& path) override { return files.erase(path) > 0; }
};

void BM_StrictUtf8(benchmark::State& state) {
  const std::string text = Utf8Notes(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(IsStrictUtf8(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_DecodeUtf8(benchmark::State& state) {
  const std::string text = Utf8Notes(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    // What the load worker does: check strictly, then decode.
    benchmark::DoNotOptimize(IsStrictUtf8(text));
    std::u16string wide = DecodeUtf8(text);
    benchmark::DoNotOptimize(wide.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_PeerIconvUtf8ToUtf16(benchmark::State& state) {
  const std::string text = Utf8Notes(static_cast<std::size_t>(state.range(0)));
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv has no UTF-8 to UTF-16LE");
    return;
  }
  std::string out(text.size() * 2 + 16, '\0');
  for (auto _ : state) {
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &o, &outLeft));
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_LoadWorker(benchmark::State& state) {
  TMemoryDisk disk;
  disk.files["n.txt"] = "\xEF\xBB\xBF" + Utf8Notes(static_cast<std::size_t>(state.range(0)));
  std::string text;
  int encoding = 0, lines = 0;
  for (auto _ : state) {
    if (!LoadTextFileWorker("n.txt", text, encoding, lines, disk)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * disk.files["n.txt"].size()));
}

void BM_SaveWorker(benchmark::State& state) {
  TMemoryDisk disk;
  disk.files["n.txt"] = Utf8Notes(static_cast<std::size_t>(state.range(0)));
  std::string text;
  int encoding = 0, lines = 0;
  LoadTextFileWorker("n.txt", text, encoding, lines, disk);
  for (auto _ : state) {
    if (!SaveTextFileWorker("out.txt", text, kEncodingUtf8, disk)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_OutputDocument(benchmark::State& state) {
  TMemoryDisk disk;
  disk.files["n.txt"] = Utf8Notes(static_cast<std::size_t>(state.range(0)));
  std::string text;
  int encoding = 0, lines = 0;
  LoadTextFileWorker("n.txt", text, encoding, lines, disk);
  const TKeywordSet keywords("function,var,let,const,if,else,for,while,return");
  TQMemoOutputSource source;
  source.SyntaxColors = true;
  source.Day = TSyntaxPalette{0, 0xFF0000, 0x800080, 0x008000, 0x800000, 0x808000};
  source.Keywords = &keywords;
  for (auto _ : state) {
    auto doc = BuildOutputDocument(text, source);
    benchmark::DoNotOptimize(doc->LineCount());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(BM_StrictUtf8)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(BM_DecodeUtf8)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(BM_PeerIconvUtf8ToUtf16)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(BM_LoadWorker)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(BM_SaveWorker)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(BM_OutputDocument)->Arg(100 << 10)->Arg(1 << 20);

BENCHMARK_MAIN();
