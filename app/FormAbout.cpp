#include "app/FormAbout.h"

#include "app/AppSeams.h"
#include "app/DialogParts.h"
#include "app/FormMain.h"
#include "app/Helpers.h"

TFormAbout* FormAbout = nullptr;

namespace {
constexpr TColor kPanelColor = 7082298;

TLabel* AboutLabel(TForm* form, const std::string& name, const std::string& caption, int x, int y, int w, int h) {
  auto* l = new TLabel(form);
  l->SetName(name);
  l->SetParent(form);
  l->SetCaption(caption);
  l->SetBounds(x, y, w, h);
  l->Show();
  return l;
}
}  // namespace

TFormAbout::TFormAbout(TComponent* owner) : TForm(owner, "TFormAbout") {
  SetName("FormAbout");
  FormAbout = this;
  HandleNeeded();
  SetClientSize(319, 231);
  CenterOnScreen();
  SetCaption("About Quorvane Vaultline");

  Image1 = new TImage(this);
  Image1->SetName("Image1");
  Image1->SetParent(this);
  Image1->SetBounds(0, 191, 319, 40);
  Image1->Show();

  PanelLeft = new TPanel(this);
  PanelLeft->SetName("PanelLeft");
  PanelLeft->SetParent(this);
  PanelLeft->SetBevelOuter(bcNone);
  PanelLeft->SetColor(kPanelColor);
  PanelLeft->SetBounds(0, 0, 88, 191);
  PanelLeft->Show();
  ImageIcon = new TImage(this);
  ImageIcon->SetName("ImageIcon");
  ImageIcon->SetParent(PanelLeft);
  ImageIcon->SetColor(kPanelColor);
  ImageIcon->SetBounds(20, 24, 48, 48);
  DrawProgramIcon(ImageIcon->Picture(), 48, kPanelColor);
  ImageIcon->Show();

  LabelMaker = AboutLabel(this, "LabelMaker", "quorvane", 104, 18, 200, 16);
  LabelMaker->Font().SetColor(kPanelColor);
  LabelMaker->Font().SetStyle(fsBold);
  LabelProduct = AboutLabel(this, "LabelProduct", "Vaultline", 104, 36, 200, 30);
  LabelProduct->Font().SetHeight(-24);
  LabelProduct->Font().SetStyle(fsBold);
  LabelVersion = AboutLabel(this, "LabelVersion", "Version 1.4.1", 104, 70, 200, 16);
  Label1 = AboutLabel(this, "Label1", "Vaultline on the web", 104, 96, 200, 16);
  Label8 = AboutLabel(this, "Label8", "quorvane on the web", 104, 114, 200, 16);
  for (TLabel* link : {Label1, Label8}) {
    link->Font().SetColor(clBlue);
    link->Font().SetStyle(fsUnderline);
    link->SetHandCursor(true);
  }
  LabelRights = AboutLabel(this, "LabelRights", "Copyright (C) Quorvane.\r\nAll rights reserved.", 104, 138, 210, 30);
  ImageLogo = new TImage(this);
  ImageLogo->SetName("ImageLogo");
  ImageLogo->SetParent(this);
  ImageLogo->SetBounds(104, 170, 16, 16);
  DrawProgramIcon(ImageLogo->Picture(), 16, clBtnFace);
  ImageLogo->Show();
  LabelCredits = AboutLabel(this, "LabelCredits", "Made with care in plain C++.", 124, 170, 190, 16);

  ButtonOK = new TQToggleBitBtn(this);
  ButtonOK->SetName("ButtonOK");
  ButtonOK->SetParent(this);
  ButtonOK->SetCaption("&Apply");
  ButtonOK->SetToggleMode(false);
  ButtonOK->SetDrawStyle(qbsFlat);
  ButtonOK->SetBounds(225, 198, 84, 26);
  ButtonOK->Show();
  CreateControlWindows(*this);
  Image1->SendToBack();  // the footer picture lies under the button

  OnShow = [this](TObject* s) { FormShow(s); };
  ButtonOK->OnClick = [this](TObject* s) { ButtonOKClick(s); };
  Label1->OnClick = [this](TObject* s) { Label1Click(s); };
  Label8->OnClick = [this](TObject* s) { Label8Click(s); };
}

TFormAbout::~TFormAbout() {
  if (FormAbout == this) FormAbout = nullptr;
}

void TFormAbout::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  SetDialogParams(params);
}

void TFormAbout::FormShow(TObject*) {
  TileDialogFooter(*Image1);
}

void TFormAbout::ButtonOKClick(TObject*) { SetModalResult(mrOk); }

void TFormAbout::Label1Click(TObject*) { AppSeams().OpenUrl(kProductUrl); }

void TFormAbout::Label8Click(TObject*) { AppSeams().OpenUrl(kMakerUrl); }

bool TFormAbout::DialogKey(WORD key, unsigned) {
  if (key != VK_ESCAPE && key != VK_RETURN) return false;
  SetModalResult(key == VK_ESCAPE ? mrCancel : mrOk);
  return true;
}
