// One instance of the program per Windows session: a second start hands its
// vault path to the running instance and ends.
#pragma once

#include <string>
#include <vector>

// The named mutex whose owner is the running instance.
inline constexpr char kInstanceMutexName[] = "Local\\Quorvane.Vaultline.AdvancedMutex";

// Finds the running instance's main window (window class "TFormMain", up to
// 50 tries 100 ms apart), restores and raises it, and sends it the first
// argument, trimmed and made absolute ("" when there is none), in a
// WM_COPYDATA message tagged "VLF1". Failures are reported in message boxes
// without an owner. True when the message was delivered.
bool HandOverToRunningInstance(const std::vector<std::string>& args);
