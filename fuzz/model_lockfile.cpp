// Parsing any bytes as a lock file is safe, and a parsed lock written again
// reads back the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/model/VaultLock.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TLockInfo info;
  const bool parsed = ParseLockText(text, info);
  Check(parsed == info.parsed);
  if (!parsed) {
    Check(!info.active && info.vault.empty() && info.clientId.empty() && info.refreshedUtc == 0);
    return 0;
  }
  // Liveness is decided without overflow for any stored time.
  const std::int64_t nows[] = {0, 1, info.refreshedUtc, info.refreshedUtc / 2, INT64_MAX, INT64_MIN};
  for (std::int64_t now : nows) (void)IsLockLiveAt(info, now);

  TLockInfo back;
  Check(ParseLockText(FormatLockText(info.active, info.vault, info.clientId, info.clientName, info.refreshedUtc),
                      back));
  Check(back.active == info.active && back.vault == info.vault && back.clientId == info.clientId &&
        back.clientName == info.clientName && back.refreshedUtc == info.refreshedUtc &&
        back.createdUtc == info.refreshedUtc);
  return 0;
}
