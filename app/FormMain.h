// TFormMain: the program's main window.
#pragma once

#include "ui/Form.h"

class TFormMain : public TForm {
 public:
  explicit TFormMain(TComponent* owner);
  ~TFormMain() override;

 protected:
  void CreateParams(TCreateParams& params) override;
};

extern TFormMain* FormMain;
