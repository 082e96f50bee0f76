// Tells the main thread that a synchronous call is waiting. On Windows this
// posts a message to a hidden window whose handler runs the waiting calls,
// so any message loop services them; natively the main thread drains the
// queue itself, and this does nothing.
#pragma once

namespace MainThread {
void WakeMainThread();
// Windows: creates the hidden window on the main thread (called on first use
// of the message-loop side); elsewhere a no-op.
void InstallMessageHook();
}  // namespace MainThread
