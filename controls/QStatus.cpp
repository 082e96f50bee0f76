#include "controls/QStatus.h"

TQStatus::TQStatus(TComponent* owner) : TStatusBar(owner) {}

TQStatus::~TQStatus() = default;

void TQStatus::CreateParams(TCreateParams& params) {
  TStatusBar::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN;
}
