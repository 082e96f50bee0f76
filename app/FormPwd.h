// TFormPwd: the dialog through which the user gives or invents a password:
// the master password of a new vault or a changed one, the password that
// opens or unlocks a vault, and a generated password for an entry. It rates
// the password as it is typed, generates random passwords, shapes one from a
// sentence, warns of Caps Lock and keeps no password text in the clipboard.
//
// Created once and reused: the caller sets the mode flags, shows it
// modally, then reads Cancelled, ClosePressed and EditPwd's text and
// empties EditPwd (ClearSecret) after reading it.
#pragma once

#include <string>

#include "app/model/DialogRules.h"
#include "controls/QToggleBitBtn.h"
#include "controls/dxfProgressBar.h"
#include "ui/Buttons.h"
#include "ui/EditCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Form.h"

class TFormPwd : public TForm {
 public:
  explicit TFormPwd(TComponent* owner);
  ~TFormPwd() override;

  // Mode flags, set by the caller (ChangeMode is cleared at every show).
  bool GenerateMode = false;
  bool VerifyMode = false;
  bool ChangeMode = false;
  bool AllowClose = false;
  bool OptionsExpanded = false;
  // Results: Cancelled is set at every show and cleared by a successful OK;
  // ClosePressed tells that the Close button ended the dialog.
  bool Cancelled = false;
  bool ClosePressed = false;

  TLabel* Label1;
  TEditBox* EditPwd;
  TLabel* LabelRetype;
  TEditBox* EditPwd2;
  TCheckBox* CheckViewPwd;
  TQToggleBitBtn* ButtonPwdRnd;
  TQToggleBitBtn* ButtonPwSentence;
  TLabel* LabelSentence;
  TEditBox* EditSentence;
  TdxfProgressBar* ProgressBarQuality;
  TLabel* LabelPW;
  TLabel* LabelCapsLock;
  TBevel* Bevel1;
  TImage* Image1;  // footer
  TImage* Image2;  // the picture beside the password
  TQToggleBitBtn* ButtonOK;
  TQToggleBitBtn* ButtonCancel;
  TQToggleBitBtn* ButtonClose;
  TTimer* TimerCapsLock;

  // Rates EditPwd's text and shows the score, the word and its colour.
  void UpdateQualityMeter();
  // Button visibility and the dialog's height by the flags.
  void UpdateDialogLayout();

  void FormShow(TObject* sender);
  void EditPwdChange(TObject* sender);
  void EditSentenceChange(TObject* sender);
  void ButtonPwdRndClick(TObject* sender);
  void ButtonPwSentenceClick(TObject* sender);
  void ButtonOKClick(TObject* sender);
  void ButtonCancelClick(TObject* sender);
  void ButtonCloseClick(TObject* sender);
  void CheckViewPwdClick(TObject* sender);
  void TimerCapsLockTimer(TObject* sender);
  void LabelOptionsClick(TObject* sender);

  // Esc runs Cancel, Enter runs OK.
  bool DialogKey(WORD key, unsigned shift) override;

  static constexpr char kDefaultSentence[] = "This is an Example Sentence!today 13th of December";

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  TPwdModes Modes() const;
  void PlaceFooter();
  void ClearClipboardText();
  bool clearingClipboard_ = false;
  bool settingSentence_ = false;
};

extern TFormPwd* FormPwd;

// The password dialog for a new (or changed) master password or, in verify
// mode, for the one that opens a vault. False when it was dismissed, or
// when it is already up for another command (it is one window). password
// receives the text; the dialog's edit is emptied.
bool AskPassword(bool verifyMode, bool changeMode, std::string& password);
