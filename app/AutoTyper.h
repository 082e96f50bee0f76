// The Win32 side of auto-type and hot keys: the typist that replays an
// auto-type plan as synthesised keystrokes, the layout's key lookup, the
// registrar of global hot keys on a window, and the helpers of the hot-key
// handler (waiting for a chord's release, dropping queued repeats).
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/model/AutoType.h"
#include "app/model/Shortcuts.h"

// VkKeyScanA of the active keyboard layout.
TVkKeyScan LayoutVkKeyScan();

// Replays the plan's actions: keys through keybd_event (with the scan code
// of MapVirtualKeyA), pauses through the sleep seam, URLs through the URL
// seam; an Await action suspends the entry's sequence in await (tick from
// the seams) and ends the run. The plan's message is not shown here.
void ExecuteAutomatePlan(const TAutomatePlan& plan, int entryId, TAutomateAwait& await);

// RegisterHotKey and UnregisterHotKey on one window. Chords are registered
// with MOD_NOREPEAT where Windows knows it (from Windows 7 on), so that a
// held chord does not fire again and again.
class TWin32HotKeyRegistrar : public THotKeyRegistrar {
 public:
  explicit TWin32HotKeyRegistrar(HWND window) : window_(window) {}
  bool Register(int id, unsigned modifiers, int vk) override;
  void Unregister(int id) override;
  HWND Window() const { return window_; }

 private:
  HWND window_;
};

// True when MOD_NOREPEAT is understood by this Windows (6.1 and later).
bool HotKeyNoRepeatSupported();

// Waits until the chord of a WM_HOTKEY (lParam: modifiers in the low word,
// key in the high word) is released, testing every 10 ms through the sleep
// seam and GetAsyncKeyState; false when it is still held after timeoutMs.
bool WaitForChordRelease(LPARAM lParam, std::uint32_t timeoutMs);

// Removes the WM_HOTKEY messages for id that wait in the window's queue
// (auto-repeat of a held chord); their number.
int DropQueuedHotKeys(HWND window, int id);
