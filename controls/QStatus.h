// TQStatus: a status bar that hosts child controls (such as a progress bar
// in one of its panels). Its children are clipped out of its own painting,
// and they move with it.
#pragma once

#include "ui/StdCtrls.h"

class TQStatus : public TStatusBar {
 public:
  explicit TQStatus(TComponent* owner);
  ~TQStatus() override;

 protected:
  void CreateParams(TCreateParams& params) override;
};
