// The clipboard's text (CF_TEXT, the ANSI code page).
#pragma once

#include <string>

namespace Clipboard {

// True when the clipboard holds text.
bool HasText();
// The clipboard's text; false when there is none or the clipboard is busy.
bool GetText(std::string& text);
// Replaces the clipboard's content by text; false when the clipboard is busy.
bool SetText(const std::string& text);

}  // namespace Clipboard
