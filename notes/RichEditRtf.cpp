#include "notes/RichEditRtf.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>

#include "base/Wipe.h"

namespace {

// Each call has its own buffer (the content may be a vault entry's notes,
// so what is left over is wiped, and no copy outlives the call).
DWORD CALLBACK StreamOut(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* written) {
  auto* out = reinterpret_cast<std::string*>(cookie);
  try {
    if (out->size() + static_cast<std::size_t>(count) > out->capacity()) {
      // Grow by hand, wiping the old block: std::string would free it as it is.
      std::string bigger;
      bigger.reserve(std::max(out->capacity() * 2, out->size() + static_cast<std::size_t>(count)));
      bigger.assign(*out);
      WipeString(*out);
      out->swap(bigger);
    }
    out->append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(count));
  } catch (...) {
    *written = 0;
    return 1;  // stops the stream
  }
  *written = count;
  return 0;
}

struct TStreamSource {
  const std::string* text;
  std::size_t offset;
};

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* read) {
  auto* src = reinterpret_cast<TStreamSource*>(cookie);
  const std::size_t left = src->text->size() - src->offset;
  const std::size_t n = std::min(left, static_cast<std::size_t>(count < 0 ? 0 : count));
  if (n) std::memcpy(buffer, src->text->data() + src->offset, n);
  src->offset += n;
  *read = static_cast<LONG>(n);  // 0 at the end
  return 0;
}

}  // namespace

std::string RichEditGetRtf(HWND richEdit) {
  std::string rtf;
  if (!richEdit || !IsWindow(richEdit)) return rtf;
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&rtf);
  es.pfnCallback = StreamOut;
  SendMessageA(richEdit, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&es));
  if (es.dwError != 0) WipeString(rtf);
  return rtf;
}

bool RichEditSetRtf(HWND richEdit, const std::string& rtf) {
  if (!richEdit || !IsWindow(richEdit)) return false;
  TStreamSource src{&rtf, 0};
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&src);
  es.pfnCallback = StreamIn;
  SendMessageA(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
  return es.dwError == 0;
}
