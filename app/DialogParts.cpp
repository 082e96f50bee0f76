#include "app/DialogParts.h"

#include <windows.h>

#include "app/FormMain.h"
#include "app/Helpers.h"

TQToggleBitBtn* DialogButton(TForm* form, const std::string& name, const std::string& caption, bool visible) {
  auto* b = new TQToggleBitBtn(form);
  b->SetName(name);
  b->SetParent(form);
  b->SetCaption(caption);
  b->SetToggleMode(false);
  b->SetDrawStyle(qbsSpeedButton);
  b->SetEmbossed(true);
  b->SetTransparentBackground(true);
  b->SetTransparentForeground(true);
  b->SetCornerRadius(0);
  if (visible) b->Show();
  return b;
}

void SetDialogParams(TCreateParams& params) {
  params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  params.ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
}

bool DialogKeyToButtons(WORD key, const std::function<void()>& ok, const std::function<void()>& cancel) {
  if (key == VK_ESCAPE) {
    cancel();
    return true;
  }
  if (key == VK_RETURN) {
    ok();
    return true;
  }
  return false;
}

void TileDialogFooter(TImage& footer) {
  if (FormMain) TileFooterImage(FormMain->ImageMarble, footer);
}

int PlaceDialogFooter(TImage& footer, int clientWidth, int clientHeight) {
  const int top = clientHeight - kDialogFooterHeight;
  footer.SetBounds(0, top, clientWidth, kDialogFooterHeight);
  TileDialogFooter(footer);
  return top;
}
