// Reading any bytes as vault text never fails, yields a well-formed model,
// and what the writer makes of that model reads back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>

#include "app/model/VaultText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckModel(const TVaultModel& m) {
  std::unordered_set<const TVaultGroup*> nodes;
  for (const TVaultGroup* g : m.Groups.Nodes()) {
    nodes.insert(g);
    Check(!g->Caption().empty() && g->Caption().find(':') == std::string::npos);
    Check(g->Level() <= 127 && g->ImageIndex() >= 0);
  }
  Check(static_cast<int>(nodes.size()) == m.Groups.Count());
  for (std::size_t i = 0; i < m.Entries.size(); ++i) {
    const TVaultEntry& e = *m.Entries[i];
    Check(e.id >= 0);
    Check(i == 0 || m.Entries[i - 1]->id < e.id);  // sorted, one record per id
    Check(!e.group || nodes.count(e.group) == 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TVaultModel first;
  ParseVaultText(text, first);
  CheckModel(first);

  const std::string once = BuildVaultText(first);
  TVaultModel second;
  ParseVaultText(once, second);
  CheckModel(second);
  Check(second.Entries.size() == first.Entries.size());
  Check(second.Groups.Count() == first.Groups.Count());
  Check(BuildVaultText(second) == once);
  return 0;
}
