// Base64 text from outside (a pasted or synced encrypted note): any text
// decodes, the length follows from the alphabet symbols it holds, and
// encoding then decoding gives the bytes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/QEnc.h"
#include "engine/QEncBase64.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string bytes = Base64Decode(text);
  std::size_t symbols = 0;
  for (char c : text) {
    const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                          c == '/' || c == '=';
    symbols += alphabet ? 1 : 0;
  }
  Check(bytes.size() <= symbols / 4 * 3);
  Check(Base64Decode(Base64Encode(text)) == text);
  Check(Base64Decode(Base64Encode(bytes)) == bytes);
  // The text front ends take it without a key derivation: too short for a
  // container, or not one.
  TQEnc q;
  if (bytes.size() < 84) {
    Check(!q.IsEncryptedText(text));
    Check(q.DetectTextAlgorithm(text) == qeaUnknown);
  }
  return 0;
}
