// Small helpers the notes editor's units share: character formats of the
// rich-edit control, wiping wide copies of the notes, and a scoped flag.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/Wipe.h"

namespace RichEdit {

// An empty CHARFORMAT2W (nothing in its mask).
inline CHARFORMAT2W EmptyFormat() {
  CHARFORMAT2W cf;
  std::memset(&cf, 0, sizeof cf);
  cf.cbSize = sizeof cf;
  return cf;
}

// Copies a face name, cut to what the format holds.
inline void SetFace(CHARFORMAT2W& cf, const std::string& face) {
  const std::size_t n = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  for (std::size_t i = 0; i < n; ++i) cf.szFaceName[i] = static_cast<WCHAR>(static_cast<unsigned char>(face[i]));
  cf.szFaceName[n] = 0;
}

// Applies cf to the selection (SCF_SELECTION), to all text (SCF_ALL) or as
// the format of new text (SCF_DEFAULT).
inline void SetFormat(HWND wnd, CHARFORMAT2W& cf, WPARAM scope) {
  SendMessageW(wnd, EM_SETCHARFORMAT, scope, reinterpret_cast<LPARAM>(&cf));
}

inline void WipeWide(std::u16string& s) {
  if (s.capacity() > 0) WipeBytes(s.data(), s.capacity() * sizeof(char16_t));
  s.clear();
}

}  // namespace RichEdit

// Sets a flag for the length of a scope, also when the scope is left by an
// exception.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;
  ~TFlagGuard() { flag_ = false; }

 private:
  bool& flag_;
};
