#include "app/model/VaultEntry.h"

#include <algorithm>
#include <string_view>

#include "base/Wipe.h"

TVaultEntry::~TVaultEntry() {
  WipeString(title);
  WipeString(username);
  WipeString(password);
  WipeString(url);
  WipeString(automate);
  WipeString(shortcut);
  WipeString(notes);
  if (VaultEntryReleased) VaultEntryReleased(*this);
}

void (*VaultEntryReleased)(const TVaultEntry& entry) = nullptr;

void AssignWiping(std::string& target, std::string_view value) {
  if (target.capacity() < value.size()) WipeString(target);
  target.assign(value);
}

void ReserveWiping(std::string& text, std::size_t capacity) {
  if (text.capacity() >= capacity) return;
  std::string bigger;
  bigger.reserve(std::max(capacity, text.capacity() * 2));
  bigger.append(text);
  WipeString(text);
  text.swap(bigger);
}

void InitVaultEntry(TVaultEntry& entry) {
  entry.id = 0;
  entry.icon = 1;
  entry.group = nullptr;
  WipeString(entry.title);
  WipeString(entry.username);
  WipeString(entry.password);
  WipeString(entry.url);
  WipeString(entry.automate);
  WipeString(entry.shortcut);
  WipeString(entry.notes);
  entry.hiddenNotes = false;
}

int CompareEntryIds(const TVaultEntry& a, const TVaultEntry& b) {
  return a.id < b.id ? -1 : (a.id > b.id ? 1 : 0);
}

void SortEntries(TVaultEntryList& entries) {
  auto less = [](const std::unique_ptr<TVaultEntry>& a, const std::unique_ptr<TVaultEntry>& b) {
    return CompareEntryIds(*a, *b) < 0;
  };
  if (!std::is_sorted(entries.begin(), entries.end(), less))
    std::stable_sort(entries.begin(), entries.end(), less);
}
