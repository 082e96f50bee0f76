#include "app/FormMain.h"

TFormMain* FormMain = nullptr;

TFormMain::TFormMain(TComponent* owner) : TForm(owner, "TFormMain") {
  SetName("FormMain");
  SetCaption("Quorvane Vaultline");
  SetBounds(CW_USEDEFAULT, CW_USEDEFAULT, 900, 600);
  FormMain = this;
}

TFormMain::~TFormMain() {
  if (FormMain == this) FormMain = nullptr;
}

void TFormMain::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.WndParent = nullptr;
}
