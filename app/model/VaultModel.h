// The content of an open vault: its group tree and its entries.
#pragma once

#include "app/model/GroupTree.h"
#include "app/model/VaultEntry.h"

struct TVaultModel {
  TGroupTree Groups;
  TVaultEntryList Entries;  // sorted by id after every read and before every write

  // Frees (and wipes) every entry, then empties the tree.
  void Clear() {
    Entries.clear();
    Groups.Clear();
  }
};
