// Importing any bytes as a KeePass text file never fails badly: every
// imported entry has a non-blank title, a group and a fresh id, the groups
// it creates carry valid names within the vault's depth, and the export of
// the result reads back to as many entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>

#include "app/model/EntryMoves.h"
#include "app/model/KeePassText.h"
#include "app/model/VaultText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Blank(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

void CheckVault(const TVaultModel& m) {
  std::unordered_set<const TVaultGroup*> nodes;
  for (const TVaultGroup* g : m.Groups.Nodes()) {
    nodes.insert(g);
    Check(!Blank(g->Caption()) && g->Caption().find(':') == std::string::npos);
    Check(g->Level() <= kMaxGroupLevel);
  }
  for (std::size_t i = 0; i < m.Entries.size(); ++i) {
    const TVaultEntry& e = *m.Entries[i];
    Check(i == 0 || m.Entries[i - 1]->id < e.id);
    Check(e.group && nodes.count(e.group) == 1);
    Check(!Blank(e.title));
    Check(e.icon == 1 || (e.icon >= 235 && e.icon <= 302));
  }
}

std::size_t Import(std::string_view bytes, TVaultModel& vault) {
  TKeePassSource source;
  SplitKeePassText(bytes, source);
  TVLKeePassTextEntries parsed;
  std::string error;
  int generated = 0, skipped = 0;
  if (!ParseKeePassText(source, parsed, error, generated, skipped)) {
    Check(parsed.empty() && !error.empty());
    return 0;
  }
  const TKeePassImportResult r = ImportKeePassEntries(vault, parsed, 303);
  Check(r.Imported == static_cast<int>(parsed.size()));
  bool warning = false;
  KeePassImportSummary(r.Imported, generated, skipped, r.LossyTitles, warning);
  return parsed.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TVaultModel vault;
  const std::size_t n = Import(bytes, vault);
  CheckVault(vault);
  if (n == 0) return 0;

  // The vault text of the result reads back.
  TVaultModel reread;
  ParseVaultText(BuildVaultText(vault), reread);
  Check(reread.Entries.size() == vault.Entries.size());

  // Exported and imported again, every entry comes back (its notes may
  // lose lines that read as KeePass's own, or gain entries from notes
  // lines that read as headers, but none is lost).
  const std::string exported = "\xEF\xBB\xBF" + BuildKeePassText(vault);
  TVaultModel again;
  Check(Import(exported, again) >= n);
  CheckVault(again);
  return 0;
}
