// TFormSettings: the settings dialog, created once at start-up. Its controls
// are the live settings that the main window reads when it needs them.
//
// This is the part the program shell needs: the start options on the
// "General" page, loaded from the settings store at start-up. The pages,
// the remaining settings, saving and the dialog's buttons come with the
// settings dialog itself.
#pragma once

#include "ui/Buttons.h"
#include "ui/Form.h"

class TQDReg;

class TFormSettings : public TForm {
 public:
  explicit TFormSettings(TComponent* owner);
  ~TFormSettings() override;

  bool Cancelled = false;

  // "General" page, "Start Options".
  TCheckBox* CheckBoxLastFile;
  TCheckBox* CheckBoxMinimized;

  // Settings store to controls; keys that are missing keep their defaults.
  void LoadSettings(const TQDReg& store);

 protected:
  void CreateParams(TCreateParams& params) override;
};

extern TFormSettings* FormSettings;
