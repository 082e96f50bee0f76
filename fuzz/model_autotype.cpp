// Auto-type sequences of any text: checked whole before anything is
// planned, an unknown word refused with its message and no keystrokes, and
// an AWAIT resumed where it stopped.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/model/AutoType.h"
#include "app/model/VaultEntry.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TVaultEntry entry;
  entry.id = 3;
  entry.username = "ann";
  entry.password = "p w";
  entry.url = "https://example.org";
  entry.automate.assign(reinterpret_cast<const char*>(data), size);
  // Printable ASCII is typeable, nothing else.
  const TVkKeyScan scan = [](char c) -> std::int16_t {
    const auto u = static_cast<unsigned char>(c);
    return u >= 32 && u < 127 ? static_cast<std::int16_t>(u) : std::int16_t(-1);
  };
  TAutomateAwait await;
  std::uint32_t tick = 1000;
  for (int run = 0; run < 4; ++run) {
    TAutomatePlan plan = PlanAutomate(&entry, await, tick, scan, run == 0);
    if (plan.ErrorIcon) Check(plan.Actions.empty() && !plan.Message.empty());
    bool awaited = false;
    for (const TAutoTypeAction& a : plan.Actions) {
      Check(!awaited);  // nothing follows an AWAIT
      if (a.Kind == TAutoTypeAction::Await) awaited = true;
      if (a.Kind == TAutoTypeAction::Sleep) Check(a.Value >= 0);
    }
    tick += 10;
  }
  std::vector<std::string> tokens;
  SplitAutomate(entry.automate, tokens);
  for (const std::string& t : tokens) {
    Check(!t.empty());
    (void)IsAutomateCommand(t);
  }
  return 0;
}
