// Shortcut texts ("Ctrl+Shift+P"), the ids of the global hot keys, the
// remembered list of entry shortcuts that stays registered while the vault
// is locked, and the registration rules over a registrar that the Win32
// shell implements with RegisterHotKey and UnregisterHotKey.
//
// A shortcut text is modifier words and one key name joined by "+". It is
// written "Ctrl+", "Shift+", "Alt+" in that order and then the key name; it
// is read in any order and case; Ctrl or Alt is required.
#pragma once

#include <string>
#include <vector>

#include "app/model/VaultEntry.h"

// Modifier bits of a chord, as RegisterHotKey takes them.
inline constexpr unsigned kModAlt = 0x0001;
inline constexpr unsigned kModControl = 0x0002;
inline constexpr unsigned kModShift = 0x0004;
inline constexpr unsigned kModWin = 0x0008;

// Settings keys and their defaults.
inline constexpr char kShortcutKey[] = "Shortcut";    // show the main window
inline constexpr char kShortcut2Key[] = "Shortcut2";  // lock the vault
inline constexpr char kDefaultOpenShortcut[] = "Ctrl+Shift+P";
inline constexpr char kDefaultLockShortcut[] = "Ctrl+Shift+L";
inline constexpr char kLastEntryShortcutsKey[] = "LastEntryShortcuts";

namespace ShortcutTexts {
inline constexpr char kConflictCaption[] = "Shortcut conflict";
inline constexpr char kAlreadyInUse[] = "This shortcut is already in use.";
inline constexpr char kInvalidOrInUse[] = "This shortcut is invalid or already in use.";
inline constexpr char kNotRegistered[] = "The following automation shortcuts could not be registered:\r\n\r\n";
}  // namespace ShortcutTexts

// True when text is a valid shortcut; modifiers (kMod* bits) and vk (the
// virtual-key code) receive its chord. Both are 0 when it is not valid.
bool ParseShortcut(const std::string& text, unsigned& modifiers, int& vk);

// The written form of a chord: "Ctrl+", "Shift+", "Alt+" as held, then the
// key name; "" when the key has no name.
std::string FormatShortcut(unsigned modifiers, int vk);

// What a key pressed in the entry's shortcut field does.
struct TShortcutKeyAction {
  enum TKind { PassThrough, Swallow, TryShortcut } Kind = Swallow;
  std::string Text;  // the shortcut to register, for TryShortcut
};
// Left, Right, Home and End pass (they move the caret), with or without
// modifiers; a read-only vault, no current entry, a modifier key on its own
// and a key without a name are swallowed; any other key gives the text to
// register (which may still fail: Shift alone is no valid shortcut).
TShortcutKeyAction ShortcutKeyAction(int vk, bool ctrl, bool shift, bool alt, bool readOnly, bool haveEntry);

// ---- Hot-key ids --------------------------------------------------------------

inline constexpr int kOpenHotKeyId = 0x5101;
inline constexpr int kLockHotKeyId = 0x5102;
inline constexpr int kEntryHotKeyFirst = 0x5200;
inline constexpr int kEntryHotKeyLast = 0xBFFF;

// 0x5200 + id for the entry ids 0 to 28,159; 0 (no hot key) for others.
int EntryHotKeyId(int entryId);
inline int EntryHotKeyId(const TVaultEntry& entry) { return EntryHotKeyId(entry.id); }
inline bool IsEntryHotKeyId(int hotKeyId) { return hotKeyId >= kEntryHotKeyFirst && hotKeyId <= kEntryHotKeyLast; }
inline int EntryIdOfHotKey(int hotKeyId) { return hotKeyId - kEntryHotKeyFirst; }

// ---- Remembered entry shortcuts ---------------------------------------------

struct TRememberedShortcut {
  int EntryId = -1;
  std::string Shortcut;
};

// "id=shortcut" for every entry, in list order, with a non-empty trimmed
// shortcut and a hot-key id, joined by "|".
std::string BuildRememberedShortcuts(const TVaultEntryList& entries);

// The valid items of a remembered list: split at "|", each trimmed item
// holds "=" after its first character, the decimal id before it (trimmed)
// is 0 or more and the trimmed shortcut after it is not empty.
std::vector<TRememberedShortcut> ParseRememberedShortcuts(const std::string& remembered);

// A valid item with that entry id exists.
bool IsRememberedHotKey(const std::string& remembered, int entryId);

// ---- Registration -------------------------------------------------------------

// The system's hot-key table for the main window.
class THotKeyRegistrar {
 public:
  virtual ~THotKeyRegistrar() = default;
  virtual bool Register(int id, unsigned modifiers, int vk) = 0;
  virtual void Unregister(int id) = 0;
};

// A global hot key of the program (open or lock) and the chord registered
// for it now.
struct TGlobalHotKey {
  bool Registered = false;
  unsigned Modifiers = 0;
  int Vk = 0;
};

// Replaces the chord of a global hot key: an empty text clears it (true);
// an invalid text changes nothing (false); otherwise the old chord is
// unregistered and the new one registered (true), and when that fails the
// old chord is registered again and kept (false).
bool SetGlobalHotKey(THotKeyRegistrar& registrar, int id, TGlobalHotKey& hotKey, const std::string& text);
void ClearGlobalHotKey(THotKeyRegistrar& registrar, int id, TGlobalHotKey& hotKey);

// Sets an entry's shortcut by registering it: false without an entry or
// hot-key id and for an invalid text (nothing changes); an empty text
// removes the shortcut (true); a chord that cannot be registered keeps the
// entry's old shortcut, registered again (false).
bool CheckEntryHotKeyConflicts(THotKeyRegistrar& registrar, TVaultEntry* entry, const std::string& text);

// Unregisters every entry hot key, then registers each entry's shortcut.
// Failures are listed as "title: shortcut" lines; with any failure the
// result is false and failureMessage holds the whole message text.
bool RegisterEntryHotKeys(THotKeyRegistrar& registrar, const TVaultEntryList& entries, std::string& failureMessage);
void UnregisterEntryHotKeys(THotKeyRegistrar& registrar, const TVaultEntryList& entries);
void UnregisterEntryHotKey(THotKeyRegistrar& registrar, const TVaultEntry& entry);

// The remembered items' hot keys: the id of every valid item whose hot-key
// id lies in the entry range. Register first unregisters them all, then
// registers each whose shortcut parses (failures are ignored).
void UnregisterRememberedHotKeys(THotKeyRegistrar& registrar, const std::string& remembered);
void RegisterRememberedHotKeys(THotKeyRegistrar& registrar, const std::string& remembered);

// Menu captions that show the two global chords: "Vaultline" and "Lock",
// followed by "\t" (Lock: "\t\t") and the chord in its written form when
// the text is a valid shortcut; a text that is none shows no chord.
std::string OpenMenuCaption(const std::string& openShortcut);
std::string LockMenuCaption(const std::string& lockShortcut);
