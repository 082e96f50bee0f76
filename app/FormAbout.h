// TFormAbout: the About box of the Help menu.
#pragma once

#include "controls/QToggleBitBtn.h"
#include "ui/EditCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Form.h"

// The web pages of the product and of its maker.
inline constexpr char kProductUrl[] = "https://quorvane.example/vaultline";
inline constexpr char kMakerUrl[] = "https://quorvane.example/";

class TFormAbout : public TForm {
 public:
  explicit TFormAbout(TComponent* owner);
  ~TFormAbout() override;

  TPanel* PanelLeft;
  TImage* ImageIcon;
  TLabel* LabelMaker;    // "quorvane"
  TLabel* LabelProduct;  // "Vaultline"
  TLabel* LabelVersion;  // "Version 1.4.1"
  TLabel* Label1;        // opens the product's web page
  TLabel* Label8;        // opens the maker's web page
  TLabel* LabelRights;
  TLabel* LabelCredits;
  TImage* ImageLogo;
  TImage* Image1;        // footer
  TQToggleBitBtn* ButtonOK;

  void FormShow(TObject* sender);
  void ButtonOKClick(TObject* sender);
  void Label1Click(TObject* sender);
  void Label8Click(TObject* sender);

  // Esc and Enter close the box.
  bool DialogKey(WORD key, unsigned shift) override;

 protected:
  void CreateParams(TCreateParams& params) override;
};

extern TFormAbout* FormAbout;
