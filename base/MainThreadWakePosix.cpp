#include "base/MainThreadWake.h"

namespace MainThread {
void WakeMainThread() {}
void InstallMessageHook() {}
}  // namespace MainThread
