#include "notes/text/TextFile.h"

#include <climits>
#include <exception>

#include "base/CodePage.h"
#include "base/Platform.h"
#include "base/Wipe.h"
#include "notes/text/LineText.h"
#include "notes/text/Tokens.h"

namespace NoteText {

const char* const kMsgAnsiConversionFailed = "ANSI conversion failed.";
const char* const kMsgUtf8ConversionFailed = "UTF-8 conversion failed.";
const char* const kMsgAnsiCannotHold = "Text contains characters that cannot be saved as ANSI.";
const char* const kMsgUnknownEncoding = "Unknown file encoding.";
const char* const kMsgCouldNotLoad = "Could not load file.";

namespace {

// The editor's text and every copy of it may hold secrets (a vault entry's
// notes): buffers are overwritten before they are let go.
void WipeWide(std::u16string& s) {
  if (s.capacity() > 0) Platform::SecureZero(s.data(), s.capacity() * sizeof(char16_t));
  s.clear();
}

struct TWipeOnExit {
  std::string* bytes = nullptr;
  std::u16string* wide = nullptr;
  ~TWipeOnExit() {
    if (bytes) WipeString(*bytes);
    if (wide) WipeWide(*wide);
  }
};

void SetError(std::string* error, const char* message) {
  if (error) *error = message;
}

// Length of the well-formed UTF-8 sequence at i, or 0 when it is ill formed;
// with bad > 0 the length of the ill-formed part to replace.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i, char32_t& cp, std::size_t& bad) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  bad = 0;
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  std::size_t need = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    need = 1;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2;
    cp = c & 0x0F;
    if (c == 0xE0) lo = 0xA0;  // no overlong three-byte form
    if (c == 0xED) hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 3;
    cp = c & 0x07;
    if (c == 0xF0) lo = 0x90;  // no overlong four-byte form
    if (c == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
  } else {
    bad = 1;  // a continuation byte, C0, C1 or F5..FF
    return 0;
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (i + k >= s.size()) {
      bad = k;  // truncated: the bytes so far form one ill-formed part
      return 0;
    }
    const unsigned char d = b(i + k);
    const unsigned char min = k == 1 ? lo : 0x80, max = k == 1 ? hi : 0xBF;
    if (d < min || d > max) {
      bad = k;
      return 0;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  return need + 1;
}

class TDiskFileSystem : public TTextFileSystem {
 public:
  bool ReadAll(const std::string& path, std::string& bytes) override {
    bytes.clear();
    const Platform::FileHandle h =
        Platform::FileOpen(path, Platform::OpenMode::Read, Platform::ShareMode::DenyWrite);
    if (h == Platform::InvalidFile) return false;
    bool ok = false;
    const std::int64_t size = Platform::FileSeek(h, 0, 2);
    if (size >= 0 && size <= INT_MAX && Platform::FileSeek(h, 0, 0) == 0) {
      try {
        bytes.assign(static_cast<std::size_t>(size), '\0');
        std::int64_t done = 0;
        ok = true;
        while (done < size) {
          const std::int64_t got = Platform::FileRead(h, bytes.data() + done, size - done);
          if (got <= 0) {
            ok = false;
            break;
          }
          done += got;
        }
      } catch (const std::exception&) {
        ok = false;
      }
    }
    Platform::FileClose(h);
    if (!ok) WipeString(bytes);
    return ok;
  }

  std::int64_t FileSize(const std::string& path) override {
    const Platform::FileHandle h =
        Platform::FileOpen(path, Platform::OpenMode::Read, Platform::ShareMode::DenyNone);
    if (h == Platform::InvalidFile) return -1;
    const std::int64_t size = Platform::FileSeek(h, 0, 2);
    Platform::FileClose(h);
    return size;
  }

  bool WriteNew(const std::string& path, std::string_view bytes) override {
    const Platform::FileHandle h = Platform::FileCreate(path);
    if (h == Platform::InvalidFile) return false;
    bool ok = true;
    std::int64_t done = 0;
    const auto size = static_cast<std::int64_t>(bytes.size());
    while (ok && done < size) {
      const std::int64_t put = Platform::FileWrite(h, bytes.data() + done, size - done);
      if (put <= 0) ok = false;
      else done += put;
    }
    Platform::FileClose(h);
    return ok;
  }

  bool Replace(const std::string& source, const std::string& target) override {
    return Platform::MoveFileReplacing(source, target);
  }

  bool Remove(const std::string& path) override { return Platform::RemoveFile(path); }
};

}  // namespace

TTextFileSystem& TTextFileSystem::Disk() {
  static TDiskFileSystem disk;
  return disk;
}

const char* FileEncodingText(int encoding) {
  switch (encoding) {
    case kEncodingAnsi: return "ANSI";
    case kEncodingUtf8Bom: return "UTF-8 BOM";
    default: return "UTF-8";
  }
}

int ResolveSaveEncoding(int requested, int currentEncoding) {
  if (requested == 0) requested = currentEncoding == 0 ? kEncodingUtf8 : currentEncoding;
  return requested >= kEncodingAnsi && requested <= kEncodingUtf8Bom ? requested : -1;
}

bool IsStrictUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t cp = 0;
    std::size_t bad = 0;
    const std::size_t n = Utf8SequenceAt(bytes, i, cp, bad);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {  // the common case
      out.push_back(static_cast<char16_t>(bytes[i++]));
      continue;
    }
    char32_t cp = 0;
    std::size_t bad = 0;
    const std::size_t n = Utf8SequenceAt(bytes, i, cp, bad);
    if (n == 0) {
      out.push_back(u'\xFFFD');
      i += bad;
      continue;
    }
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return out;
}

std::string EncodeUtf8(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size() + wide.size() / 2);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t cp = wide[i];
    if (IsHighSurrogate(wide[i]) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      cp = CodePointFromSurrogates(wide[i], wide[i + 1]);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

TQMemoFileEncoding DetectFileEncoding(std::string_view bytes, std::size_t& skip) {
  skip = 0;
  if (bytes.size() > 2 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
      static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
    skip = 3;
    return kEncodingUtf8Bom;
  }
  return IsStrictUtf8(bytes) ? kEncodingUtf8 : kEncodingAnsi;
}

bool LoadTextFileWorker(const std::string& name, std::string& text, int& encoding, int& lineCount,
                        TTextFileSystem& fs, std::string* error) {
  WipeString(text);
  encoding = kEncodingUtf8;
  lineCount = 0;
  std::string bytes;
  std::u16string wide;
  TWipeOnExit wipe{&bytes, &wide};
  try {
    if (!fs.ReadAll(name, bytes)) {
      SetError(error, kMsgCouldNotLoad);
      return false;
    }
    if (bytes.empty()) return true;  // an empty file is empty UTF-8 text
    std::size_t skip = 0;
    const TQMemoFileEncoding detected = DetectFileEncoding(bytes, skip);
    const std::string_view rest = std::string_view(bytes).substr(skip);
    if (!rest.empty()) {
      wide = detected == kEncodingAnsi ? CodePage::AnsiToWide(rest) : DecodeUtf8(rest);
      if (wide.empty()) {
        SetError(error, detected == kEncodingAnsi ? kMsgAnsiConversionFailed : kMsgUtf8ConversionFailed);
        return false;
      }
    }
    std::string result = WideToEditorText(wide);
    lineCount = CountLines(result);
    encoding = detected;
    text.swap(result);
    return true;
  } catch (const std::exception&) {
    WipeString(text);
    encoding = kEncodingUtf8;
    lineCount = 0;
    SetError(error, kMsgCouldNotLoad);
    return false;
  }
}

bool SaveTextFileWorker(const std::string& name, std::string_view text, int encoding,
                        TTextFileSystem& fs, std::string* error) {
  if (encoding < kEncodingAnsi || encoding > kEncodingUtf8Bom) {
    // Writing "no bytes" and reporting success would empty the file.
    SetError(error, kMsgUnknownEncoding);
    return false;
  }
  std::string bytes;
  std::u16string wide;
  TWipeOnExit wipe{&bytes, &wide};
  const std::string temp = name + ".tmp";
  bool tempMade = false;
  try {
    // Every conversion happens before the disk is touched, so a text that
    // cannot be written leaves nothing behind.
    if (encoding == kEncodingUtf8Bom) bytes = "\xEF\xBB\xBF";
    if (!text.empty()) {
      wide = EditorTextToWide(text);
      if (encoding == kEncodingAnsi) {
        std::string ansi;
        const bool exact = CodePage::WideToAnsiNoBestFit(wide, ansi);
        if (!exact || ansi.empty()) {
          WipeString(ansi);
          SetError(error, kMsgAnsiCannotHold);
          return false;
        }
        bytes.swap(ansi);
      } else {
        std::string utf8 = EncodeUtf8(wide);
        if (utf8.empty()) {
          SetError(error, kMsgUtf8ConversionFailed);
          return false;
        }
        bytes += utf8;
        WipeString(utf8);
      }
    }
    tempMade = true;
    if (!fs.WriteNew(temp, bytes)) {
      fs.Remove(temp);
      SetError(error, "The file could not be written.");
      return false;
    }
    if (!fs.Replace(temp, name)) {
      fs.Remove(temp);
      SetError(error, "The file could not be replaced.");
      return false;
    }
    return true;
  } catch (const std::exception&) {
    if (tempMade) fs.Remove(temp);
    SetError(error, "The file could not be written.");
    return false;
  }
}

std::int64_t EstimateLoadSteps(const std::string& name, TTextFileSystem& fs) {
  const std::int64_t size = fs.FileSize(name);
  if (size < 0) return 1000;
  return size / 80 < 1 ? 1 : size / 80;
}

}  // namespace NoteText
