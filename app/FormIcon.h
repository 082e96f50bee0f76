// TFormIcon: picks an icon of the main window's icon list and, in group
// mode, asks for a group name. Created once and reused: the caller sets the
// caption, Label1, Edit1, IconIndex and GroupMode, shows it modally and reads
// Cancelled, Edit1's text and IconIndex.
#pragma once

#include "controls/QToggleBitBtn.h"
#include "ui/ComCtrls.h"
#include "ui/EditCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Form.h"
#include "ui/Handle.h"

class TFormIcon : public TForm {
 public:
  explicit TFormIcon(TComponent* owner);
  ~TFormIcon() override;

  bool GroupMode = false;
  int IconIndex = 0;
  bool Cancelled = false;

  TLabel* Label1;
  TEditBox* Edit1;
  TListView* ListView1;
  TImage* Image1;  // footer
  TQToggleBitBtn* ButtonOK;
  TQToggleBitBtn* ButtonCancel;
  TTimer* TimerStart;

  void FormShow(TObject* sender);
  void ListView1SelectItem(TObject* sender, TListItem* item, bool selected);
  void TimerStartTimer(TObject* sender);
  void ButtonOKClick(TObject* sender);
  void ButtonCancelClick(TObject* sender);
  // Image i of the icon list (0 when out of range) as the window's icon.
  void ShowIconAsWindowIcon(int i);
  // The selected row's image index (its position when it has none); 0
  // without a selection or for a negative index.
  int SelectedIconIndex() const;

  // Esc runs Cancel, Enter runs OK.
  bool DialogKey(WORD key, unsigned shift) override;

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  TIconHandle icon_;
};

extern TFormIcon* FormIcon;
