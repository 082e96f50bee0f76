#include "app/FormSettings.h"

#include "settings/QDReg.h"

TFormSettings* FormSettings = nullptr;

TFormSettings::TFormSettings(TComponent* owner) : TForm(owner, "TFormSettings") {
  SetName("FormSettings");
  FormSettings = this;
  HandleNeeded();
  SetClientSize(477, 345);
  CenterOnScreen();
  SetCaption("FormSettings");

  CheckBoxLastFile = new TCheckBox(this);
  CheckBoxLastFile->SetName("CheckBoxLastFile");
  CheckBoxLastFile->SetParent(this);
  CheckBoxLastFile->SetCaption("Open Last *.qvl File");
  CheckBoxLastFile->SetBounds(24, 40, 200, 20);
  CheckBoxLastFile->SetChecked(true);
  CheckBoxLastFile->Show();
  CheckBoxMinimized = new TCheckBox(this);
  CheckBoxMinimized->SetName("CheckBoxMinimized");
  CheckBoxMinimized->SetParent(this);
  CheckBoxMinimized->SetCaption("Start Minimized / Locked ");
  CheckBoxMinimized->SetBounds(24, 64, 200, 20);
  CheckBoxMinimized->SetChecked(true);
  CheckBoxMinimized->Show();
}

TFormSettings::~TFormSettings() {
  if (FormSettings == this) FormSettings = nullptr;
}

void TFormSettings::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  params.ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
}

void TFormSettings::LoadSettings(const TQDReg& store) {
  CheckBoxLastFile->SetChecked(store.PopBool("CheckBoxLastFile", true));
  CheckBoxMinimized->SetChecked(store.PopBool("CheckBoxMinimized", true));
}
