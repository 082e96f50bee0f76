// Key names of shortcut texts: the written name of a virtual-key code
// ("A", "7", "F12", "PageUp", …) and the code of a name read back.
#pragma once

#include <string>

// The written name of a key: "A" to "Z" and "0" to "9" for their own codes,
// "F1" to "F24", "Tab", "Enter", "Esc", "Space", "PageUp", "PageDown", "End",
// "Home", "Left", "Up", "Right", "Down", "Insert", "Delete"; the empty text
// for every other code.
std::string VkToKeyName(int vk);

// The code of a key name, compared trimmed and ignoring case: one letter or
// digit, "F" and a number 1 to 24, or one of the named keys ("TAB", "ENTER",
// "ESC", "SPACE", "INSERT", "DELETE", "HOME", "END", "PAGEUP", "PAGEDOWN",
// "LEFT", "RIGHT", "UP", "DOWN"); 0 for anything else.
int KeyNameToVk(const std::string& name);
