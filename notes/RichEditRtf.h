// The notes editor's content as RTF: streamed out of and into the rich-edit
// control (the editor's GetRtfText and SetRtfText).
#pragma once

#include <windows.h>

#include <string>

// The control's whole content as RTF; empty without a window.
std::string RichEditGetRtf(HWND richEdit);

// Replaces the control's whole content by the RTF text. False without a
// window or when the control refuses the text.
bool RichEditSetRtf(HWND richEdit, const std::string& rtf);
