// Pieces the dialogs share: the footer strip along their bottom edge with
// the main window's marble tiled into it, and the buttons drawn over it.
#pragma once

#include <functional>
#include <string>

#include "controls/QToggleBitBtn.h"
#include "ui/ExtCtrls.h"
#include "ui/Form.h"

// The height of the footer strip of a dialog.
constexpr int kDialogFooterHeight = 40;

// A dialog button: the speed-button look, drawn over the footer picture.
// It is shown at once unless visible is false.
TQToggleBitBtn* DialogButton(TForm* form, const std::string& name, const std::string& caption, bool visible = true);

// Gives a dialog's window the frame of a modal dialog: a popup with a
// caption and system menu, whose controls take Tab between them.
void SetDialogParams(TCreateParams& params);

// Escape presses the dialog's Cancel button (cancel) and Return its OK button
// (ok); true when the key was one of the two.
bool DialogKeyToButtons(WORD key, const std::function<void()>& ok, const std::function<void()>& cancel);

// Tiles the main window's marble into the footer picture (nothing when there
// is no main window).
void TileDialogFooter(TImage& footer);

// Lays the footer picture across the bottom of a client area of the given
// size, tiles the marble into it and returns the footer's top.
int PlaceDialogFooter(TImage& footer, int clientWidth, int clientHeight);
