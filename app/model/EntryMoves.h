// Moving entries and groups: the order of the entries inside a group is
// their id order, so moving an entry renumbers all entries 1..n; groups are
// moved among their siblings or below another group. The main window calls
// these from its commands and from drag and drop, after its own checks
// (read-only vault, search mode), and re-serialises the vault afterwards.
#pragma once

#include <string>

#include "app/model/Shortcuts.h"
#include "app/model/VaultModel.h"

// ---- Entries -------------------------------------------------------------------

// Gives the entries ids 1, 2, ... in list order. With a registrar, every
// entry hot key is unregistered under its old id first and registered again
// under its new id afterwards, so each entry keeps its shortcut; a chord
// that cannot be registered makes the result false and hotKeyConflict (when
// given) the message to show.
//
// The remembered shortcuts (BuildRememberedShortcuts) must not be rebuilt
// here: they name entries by id, and until the renumbered vault is saved
// the file still holds the old ids. Rebuild them together with a
// successful save only, so a lock that drops the changes never leaves a
// chord mapped to the wrong entry.
bool RenumberEntries(TVaultModel& vault, THotKeyRegistrar* hotKeys = nullptr, std::string* hotKeyConflict = nullptr);

// Exchanges the entry with the nearest entry of the same group in id order
// (delta -1: the one before, +1: the one after) and renumbers. False, with
// nothing changed, for an entry without a group, one not in the list, a
// delta of 0, or when the group has no entry in that direction.
bool MoveEntry(TVaultModel& vault, TVaultEntry* entry, int delta, THotKeyRegistrar* hotKeys = nullptr,
               std::string* hotKeyConflict = nullptr);

// Moves the entry into another group as its last entry and renumbers;
// the entry keeps its shortcut. False (nothing changes) when group is null
// or already the entry's group.
bool MoveEntryToGroup(TVaultModel& vault, TVaultEntry* entry, TVaultGroup* group,
                      THotKeyRegistrar* hotKeys = nullptr, std::string* hotKeyConflict = nullptr);

// An entry dropped on another row of its own group takes that row's place
// in the list (the others shift) and the entries are renumbered. False
// when the target is the entry itself or lies in another group.
bool MoveEntryOntoEntry(TVaultModel& vault, TVaultEntry* dragged, TVaultEntry* target,
                        THotKeyRegistrar* hotKeys = nullptr, std::string* hotKeyConflict = nullptr);

// A group accepts a dragged entry when it is not the entry's own group.
bool CanDropEntryOnGroup(const TVaultEntry* entry, const TVaultGroup* group);

// ---- Groups --------------------------------------------------------------------

// The deepest level a group may have: the vault text keeps 128 levels.
inline constexpr int kMaxGroupLevel = 127;

// Where a group goes: below Parent (null: the top level), in front of
// Before (a child of Parent), or as Parent's last child when Before is
// null. SelectOnly leaves the tree as it is and only selects the group.
struct TGroupPlacement {
  enum TKind { None, SelectOnly, Move } Kind = None;
  TVaultGroup* Parent = nullptr;
  TVaultGroup* Before = nullptr;
  bool ExpandParent = false;  // the group was dropped onto Parent: expand it
};

// Up: in front of the previous sibling; down: behind the next sibling.
// None at the ends of a level.
TGroupPlacement PlanGroupMoveUp(const TGroupTree& tree, TVaultGroup* node);
TGroupPlacement PlanGroupMoveDown(const TGroupTree& tree, TVaultGroup* node);

// The third of the target's row that the pointer is in: the upper third
// (above top + h/3) drops in front of it, the lower third (below
// bottom - h/3) behind it, the middle into it; h is the row's height, at
// least 3.
enum class TGroupDropZone { Before, Into, After };
TGroupDropZone GroupDropZone(int pointerY, int rowTop, int rowBottom);

// A group may be dropped on any group outside its own subtree, and only
// where its deepest subgroup stays within kMaxGroupLevel.
bool CanDropGroup(const TVaultGroup* dragged, const TVaultGroup* target, TGroupDropZone zone);

// The placement of a dropped group; None when the drop is refused. Behind
// a target whose next sibling is the dragged group itself: SelectOnly.
TGroupPlacement PlanGroupDrop(const TGroupTree& tree, TVaultGroup* dragged, TVaultGroup* target,
                              TGroupDropZone zone);

// The siblings of a group: its parent's children or the top-level groups.
int SiblingCount(const TGroupTree& tree, const TVaultGroup* parent);
TVaultGroup* SiblingAt(const TGroupTree& tree, const TVaultGroup* parent, int index);
int SiblingIndex(const TGroupTree& tree, const TVaultGroup* node);  // -1 when not found
