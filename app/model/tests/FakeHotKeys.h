// A hot-key table in memory for the tests: it refuses a chord that another
// id holds (as Windows does) and any chord listed in Taken (another
// program's), and records every call.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/model/Shortcuts.h"

class TFakeHotKeys : public THotKeyRegistrar {
 public:
  using TChord = std::pair<unsigned, int>;

  bool Register(int id, unsigned modifiers, int vk) override {
    const TChord chord{modifiers, vk};
    Calls.push_back("+" + std::to_string(id));
    if (Taken.count(chord)) return false;
    for (const auto& [other, c] : Registered)
      if (other != id && c == chord) return false;
    if (Registered.count(id)) return false;  // Windows refuses an id twice
    Registered[id] = chord;
    return true;
  }

  void Unregister(int id) override {
    Calls.push_back("-" + std::to_string(id));
    Registered.erase(id);
  }

  std::map<int, TChord> Registered;
  std::set<TChord> Taken;
  std::vector<std::string> Calls;
};
