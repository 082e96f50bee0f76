// Text and points that the common controls' notifications carry: the pieces
// every wrapper of a list or tree view (and a tool bar's tips) needs alike.
#pragma once

#include <windows.h>

#include <string>

namespace CommonControlText {

// A wide notification text as the ANSI code page has it.
std::string FromWide(const wchar_t* text);

// Copies text into a notification's buffer of max characters (A or W).
void CopyToBuffer(const std::string& text, void* buffer, int max, bool wide);

// The client point of the mouse now.
POINT CursorIn(HWND wnd);

// Inserts a report view column with its caption and width at index.
void InsertListColumn(HWND listView, int index, const std::string& caption, int width);

}  // namespace CommonControlText
