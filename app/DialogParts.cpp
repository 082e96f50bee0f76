#include "app/DialogParts.h"

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

void TileDialogFooter(TImage& footer) {
  if (FormMain) TileFooterImage(FormMain->ImageMarble, footer);
}

int PlaceDialogFooter(TImage& footer, int clientWidth, int clientHeight) {
  const int top = clientHeight - kDialogFooterHeight;
  footer.SetBounds(0, top, clientWidth, kDialogFooterHeight);
  TileDialogFooter(footer);
  return top;
}
