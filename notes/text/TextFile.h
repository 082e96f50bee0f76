// The notes editor's text files: three encodings, strict UTF-8 detection,
// and the load and save jobs as functions that touch no editor state (they
// run on worker threads as well as on the main thread).
//
// Encodings (one byte, as the editor stores them): 1 ANSI (the system code
// page), 2 UTF-8, 3 UTF-8 with a byte-order mark. A file is read as UTF-8
// with BOM when it is longer than two bytes and begins EF BB BF, as UTF-8
// when the whole content is strict UTF-8 (so plain ASCII is UTF-8), else as
// ANSI. Characters outside the code page become code-point tokens on the way
// in and real characters again on the way out.
//
// Files reach the disk through a file-system seam, so that tests can make
// any step fail. A save writes "<name>.tmp" and moves it over the target;
// the target is either the old file or the new one, and the temporary file
// is removed on every failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace NoteText {

using TQMemoFileEncoding = std::uint8_t;
constexpr TQMemoFileEncoding kEncodingAnsi = 1;
constexpr TQMemoFileEncoding kEncodingUtf8 = 2;
constexpr TQMemoFileEncoding kEncodingUtf8Bom = 3;

// "ANSI" for 1, "UTF-8" for 2, "UTF-8 BOM" for 3, "UTF-8" for anything else.
const char* FileEncodingText(int encoding);

// The encoding a save uses: requested 1..3 as it is; 0 means the editor's
// current encoding, where 0 in turn means UTF-8. -1 for anything else (the
// save is refused before the disk is touched).
int ResolveSaveEncoding(int requested, int currentEncoding);

// Strict UTF-8: true when every sequence is well formed (no overlong form,
// no surrogate, nothing beyond U+10FFFF, no truncated sequence, no stray
// continuation or invalid lead byte). The empty text is valid.
bool IsStrictUtf8(std::string_view bytes);

// Lenient UTF-8 decoding: every ill-formed part (the longest prefix of a
// sequence that could still have been valid, or one byte) becomes U+FFFD.
std::u16string DecodeUtf8(std::string_view bytes);
// UTF-16 → UTF-8; a lone surrogate becomes U+FFFD.
std::string EncodeUtf8(std::u16string_view wide);

// The encoding a file's bytes are read with, and how many leading bytes (the
// BOM) are skipped.
TQMemoFileEncoding DetectFileEncoding(std::string_view bytes, std::size_t& skip);

// The messages a worker produces; they stay inside the worker (the editor
// reports only success or failure) but tests and callers may read them.
extern const char* const kMsgAnsiConversionFailed;    // "ANSI conversion failed."
extern const char* const kMsgUtf8ConversionFailed;    // "UTF-8 conversion failed."
extern const char* const kMsgAnsiCannotHold;          // "Text contains characters that cannot be saved as ANSI."
extern const char* const kMsgUnknownEncoding;         // a save encoding other than 1..3
extern const char* const kMsgCouldNotLoad;            // "Could not load file." (the editor's exception)

// The disk as the workers see it.
class TTextFileSystem {
 public:
  virtual ~TTextFileSystem() = default;
  // The whole file, opened for reading while others may not write it.
  virtual bool ReadAll(const std::string& path, std::string& bytes) = 0;
  // The file's size in bytes, -1 when it cannot be opened.
  virtual std::int64_t FileSize(const std::string& path) = 0;
  // Creates (or empties) path and writes bytes to it. On false the file may
  // exist with part of the bytes.
  virtual bool WriteNew(const std::string& path, std::string_view bytes) = 0;
  // Moves source over target, replacing it.
  virtual bool Replace(const std::string& source, const std::string& target) = 0;
  virtual bool Remove(const std::string& path) = 0;

  // The real disk (base/Platform.h).
  static TTextFileSystem& Disk();
};

// Reads name: on success text is the editor text (tokens for characters
// outside the code page, line breaks as in the file), encoding the detected
// encoding and lineCount CountLines(text). On failure text is empty,
// encoding 2, lineCount 0, and error (when given) says why.
bool LoadTextFileWorker(const std::string& name, std::string& text, int& encoding, int& lineCount,
                        TTextFileSystem& fs = TTextFileSystem::Disk(), std::string* error = nullptr);

// Writes the editor text to name in encoding (1..3; anything else is
// refused before the disk is touched): tokens resolved, EF BB BF first for
// 3, nothing at all for an empty text. An ANSI save of a character that the
// code page does not hold exactly fails. Through "<name>.tmp"; on failure the
// target is untouched and no temporary file is left.
bool SaveTextFileWorker(const std::string& name, std::string_view text, int encoding,
                        TTextFileSystem& fs = TTextFileSystem::Disk(), std::string* error = nullptr);

// The steps a load is expected to take: the file size / 80 (about one line
// in 80 bytes), at least 1; 1000 when the file cannot be opened.
std::int64_t EstimateLoadSteps(const std::string& name, TTextFileSystem& fs = TTextFileSystem::Disk());

}  // namespace NoteText
