// Copying a secret to the clipboard: the text goes in as CF_TEXT (or as
// CF_UNICODETEXT with its CF_TEXT twin), marked with the registered formats
// that keep Windows from putting it into the clipboard history, from
// uploading it to the cloud clipboard, and clipboard monitors from
// recording it.
#pragma once

#include <windows.h>

#include <string>

namespace SecretClipboard {

inline constexpr char kExcludeFromMonitoring[] = "ExcludeClipboardContentFromMonitorProcessing";
inline constexpr char kCanIncludeInHistory[] = "CanIncludeInClipboardHistory";
inline constexpr char kCanUploadToCloud[] = "CanUploadToCloudClipboard";

// Replaces the clipboard's content by text and the three markers; owner is
// the window that opens the clipboard. False when the clipboard stayed busy.
bool SetText(HWND owner, const std::string& text);
// The same for wide text: CF_UNICODETEXT, and CF_TEXT in the code page for
// the programs that read only that.
bool SetWideText(HWND owner, const std::u16string& text);

}  // namespace SecretClipboard
