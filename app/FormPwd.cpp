#include "app/FormPwd.h"

#include "app/AppSeams.h"
#include "app/DialogParts.h"
#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/PasswordGenerator.h"
#include "app/model/PasswordQuality.h"
#include "ui/Application.h"
#include "ui/Clipboard.h"
#include "ui/Dialogs.h"

TFormPwd* FormPwd = nullptr;

namespace {

constexpr int kClientWidth = 402;

TLabel* Label(TForm* form, const std::string& name, const std::string& caption, int x, int y, int w, int h) {
  auto* l = new TLabel(form);
  l->SetName(name);
  l->SetParent(form);
  l->SetCaption(caption);
  l->SetBounds(x, y, w, h);
  return l;
}

TEditBox* Edit(TForm* form, const std::string& name, int x, int y, int w) {
  auto* e = new TEditBox(form);
  e->SetName(name);
  e->SetParent(form);
  e->SetBounds(x, y, w, 22);
  return e;
}

}  // namespace

TFormPwd::TFormPwd(TComponent* owner) : TForm(owner, "TFormPwd") {
  SetName("FormPwd");
  FormPwd = this;
  HandleNeeded();
  SetClientSize(kClientWidth, 226);
  CenterOnScreen();
  SetCaption("Master Password");

  Image1 = new TImage(this);
  Image1->SetName("Image1");
  Image1->SetParent(this);
  Bevel1 = new TBevel(this);
  Bevel1->SetName("Bevel1");
  Bevel1->SetParent(this);
  Bevel1->SetBounds(14, 34, 304, 72);
  Image2 = new TImage(this);
  Image2->SetName("Image2");
  Image2->SetParent(this);
  Image2->SetBounds(24, 40, 32, 32);
  DrawProgramIcon(Image2->Picture(), 32, clBtnFace);
  Image2->Show();

  Label1 = Label(this, "Label1", "Provide a password:", 84, 30, 222, 16);
  EditPwd = Edit(this, "EditPwd", 84, 47, 222);
  EditPwd->SetPasswordChar('*');
  LabelRetype = Label(this, "LabelRetype", "Retype:", 84, 74, 120, 16);
  EditPwd2 = Edit(this, "EditPwd2", 84, 90, 222);
  EditPwd2->SetPasswordChar('*');
  CheckViewPwd = new TCheckBox(this);
  CheckViewPwd->SetName("CheckViewPwd");
  CheckViewPwd->SetParent(this);
  CheckViewPwd->SetCaption("View Password");
  CheckViewPwd->SetBounds(84, 117, 120, 20);
  LabelCapsLock = Label(this, "LabelCapsLock", " CAPS LOCK ", 222, 119, 74, 16);
  LabelCapsLock->SetColor(7082298);
  LabelCapsLock->Font().SetColor(clWhite);
  LabelCapsLock->Font().SetStyle(fsBold);
  ButtonPwdRnd = new TQToggleBitBtn(this);
  ButtonPwdRnd->SetName("ButtonPwdRnd");
  ButtonPwdRnd->SetParent(this);
  ButtonPwdRnd->SetCaption("Gen Random");
  ButtonPwdRnd->SetToggleMode(false);
  ButtonPwdRnd->SetBounds(84, 141, 104, 24);
  ButtonPwSentence = new TQToggleBitBtn(this);
  ButtonPwSentence->SetName("ButtonPwSentence");
  ButtonPwSentence->SetParent(this);
  ButtonPwSentence->SetCaption("Sentence Guide");
  ButtonPwSentence->SetToggleMode(false);
  ButtonPwSentence->SetBounds(194, 141, 112, 24);
  LabelSentence = Label(this, "LabelSentence", "Sentence :", 14, 166, 66, 16);
  EditSentence = Edit(this, "EditSentence", 84, 163, 222);
  EditSentence->SetText(kDefaultSentence);

  ProgressBarQuality = new TdxfProgressBar(this);
  ProgressBarQuality->SetName("ProgressBarQuality");
  ProgressBarQuality->SetParent(this);
  ProgressBarQuality->SetOrientation(orVertical);
  ProgressBarQuality->SetMin(0);
  ProgressBarQuality->SetMax(100);
  ProgressBarQuality->SetStep(10);
  ProgressBarQuality->SetStyle(sRectangles);
  ProgressBarQuality->SetShowText(true);
  ProgressBarQuality->SetShowTextStyle(stsPercent);
  ProgressBarQuality->SetBounds(336, 22, 30, 118);
  ProgressBarQuality->Show();
  LabelPW = Label(this, "LabelPW", kQualityBad, 306, 146, 80, 16);
  LabelPW->SetAlignment(taRightJustify);
  LabelPW->Font().SetStyle(fsBold);

  ButtonClose = DialogButton(this, "ButtonClose", "Cl&ose", false);
  ButtonOK = DialogButton(this, "ButtonOK", "&OK", false);
  ButtonCancel = DialogButton(this, "ButtonCancel", "&Cancel", false);

  for (TWinControl* c : std::initializer_list<TWinControl*>{Label1, EditPwd, LabelRetype, EditPwd2, CheckViewPwd,
                                                            ButtonPwdRnd, ButtonPwSentence, LabelPW, ButtonOK,
                                                            ButtonCancel, Image1})
    c->Show();
  CreateControlWindows(*this);
  // The footer picture and the frame lie under the controls on them.
  Image1->SendToBack();
  Bevel1->SendToBack();

  TimerCapsLock = new TTimer(this);
  TimerCapsLock->SetName("TimerCapsLock");
  TimerCapsLock->SetInterval(200);

  OnShow = [this](TObject* s) { FormShow(s); };
  EditPwd->OnChange = [this](TObject* s) { EditPwdChange(s); };
  EditPwd2->OnChange = [this](TObject* s) { EditPwdChange(s); };
  EditSentence->OnChange = [this](TObject* s) { EditSentenceChange(s); };
  ButtonPwdRnd->OnClick = [this](TObject* s) { ButtonPwdRndClick(s); };
  ButtonPwSentence->OnClick = [this](TObject* s) { ButtonPwSentenceClick(s); };
  ButtonOK->OnClick = [this](TObject* s) { ButtonOKClick(s); };
  ButtonCancel->OnClick = [this](TObject* s) { ButtonCancelClick(s); };
  ButtonClose->OnClick = [this](TObject* s) { ButtonCloseClick(s); };
  CheckViewPwd->OnClick = [this](TObject* s) { CheckViewPwdClick(s); };
  TimerCapsLock->OnTimer = [this](TObject* s) { TimerCapsLockTimer(s); };
  // Closing from the title bar counts as Cancel; the retype copy goes
  // whichever way the dialog ends.
  OnClose = [this](TObject*, TCloseAction&) { EditPwd2->ClearSecret(); };

  UpdateQualityMeter();
  UpdateDialogLayout();
  TimerCapsLockTimer(this);
}

TFormPwd::~TFormPwd() {
  if (FormPwd == this) FormPwd = nullptr;
}

void TFormPwd::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  SetDialogParams(params);
}

TPwdModes TFormPwd::Modes() const {
  TPwdModes m;
  m.GenerateMode = GenerateMode;
  m.VerifyMode = VerifyMode;
  m.ChangeMode = ChangeMode;
  m.AllowClose = AllowClose;
  m.OptionsExpanded = OptionsExpanded;
  return m;
}

void TFormPwd::UpdateQualityMeter() {
  std::string pwd = EditPwd->Text();
  ProgressBarQuality->SetPosition(RatePasswordQuality(pwd));
  WipeString(pwd);
  const TQualityLook look = QualityLookFor(ProgressBarQuality->Position());
  LabelPW->SetCaption(look.Word);
  LabelPW->Font().SetColor(look.Color);
  ProgressBarQuality->SetBeginColor(look.Color);
  ProgressBarQuality->SetEndColor(look.Color);
}

void TFormPwd::PlaceFooter() {
  const int top = PlaceDialogFooter(*Image1, kClientWidth, ClientHeight());
  ButtonCancel->SetBounds(312, top + 7, 80, 26);
  ButtonOK->SetBounds(226, top + 7, 80, 26);
  ButtonClose->SetBounds(140, top + 7, 80, 26);
}

void TFormPwd::UpdateDialogLayout() {
  const TPwdLayout l = PwdDialogLayout(Modes());
  ButtonPwdRnd->SetVisible(l.GeneratorVisible);
  ButtonPwSentence->SetVisible(l.GeneratorVisible);
  ButtonClose->SetVisible(l.CloseVisible);
  CheckViewPwd->SetVisible(true);
  if (ClientHeight() != l.ClientHeight) SetClientSize(kClientWidth, l.ClientHeight);
  PlaceFooter();
}

void TFormPwd::FormShow(TObject*) {
  ClosePressed = false;
  EditSentence->Hide();
  LabelSentence->Hide();
  CheckViewPwd->SetChecked(false);
  const TPwdLayout l = PwdDialogLayout(Modes());
  SetCaption(l.Caption);
  ChangeMode = false;
  // Both password fields start empty: the retype field keeps no copy of
  // an earlier master password.
  EditPwd->ClearSecret();
  EditPwd2->ClearSecret();
  EditPwd2->SetVisible(l.RetypeVisible);
  LabelRetype->SetVisible(l.RetypeVisible);
  Label1->SetCaption(l.Label1);
  Label1->SetBounds(Label1->Left(), l.Label1Top, Label1->Width(), Label1->Height());
  EditPwd->SetBounds(EditPwd->Left(), l.EditPwdTop, EditPwd->Width(), EditPwd->Height());
  Image2->SetBounds(l.Image2Left, l.Image2Top, Image2->Width(), Image2->Height());
  Bevel1->SetVisible(l.BevelVisible);
  Cancelled = true;
  UpdateQualityMeter();
  UpdateDialogLayout();
  if (GenerateMode) {
    CheckViewPwd->SetChecked(true);
    EditPwd->SetPasswordChar('\0');
    std::string pwd = GenerateRandomPassword(AppSeams().Random);
    EditPwd->SetText(pwd);
    WipeString(pwd);
    UpdateQualityMeter();
  }
  EditPwd->SelectAll();
  EditPwd->SetFocus();
}

void TFormPwd::ClearClipboardText() {
  // Replacing the text raises a clipboard change of its own: no re-entry.
  if (clearingClipboard_) return;
  clearingClipboard_ = true;
  if (Clipboard::HasText()) Clipboard::SetText("");
  clearingClipboard_ = false;
}

void TFormPwd::EditPwdChange(TObject*) {
  UpdateQualityMeter();
  ClearClipboardText();
}

void TFormPwd::CheckViewPwdClick(TObject*) { EditPwd->SetPasswordChar(CheckViewPwd->Checked() ? '\0' : '*'); }

void TFormPwd::ButtonPwdRndClick(TObject*) {
  EditSentence->Hide();
  LabelSentence->Hide();
  CheckViewPwd->SetChecked(true);
  std::string pwd = GenerateRandomPassword(AppSeams().Random);
  EditPwd->SetText(pwd);
  WipeString(pwd);
  UpdateQualityMeter();
}

void TFormPwd::ButtonPwSentenceClick(TObject*) {
  const bool show = !EditSentence->Visible();
  EditSentence->SetVisible(show);
  if (show) {
    settingSentence_ = true;
    EditSentence->SetText(kDefaultSentence);
    settingSentence_ = false;
    std::string pwd = SentenceToPassword(kDefaultSentence, AppSeams().Random);
    EditPwd->SetText(pwd);
    WipeString(pwd);
    UpdateQualityMeter();
    EditSentence->SetFocus();
  }
  CheckViewPwd->SetChecked(show);
  LabelSentence->SetVisible(show);
}

void TFormPwd::EditSentenceChange(TObject*) {
  if (settingSentence_) return;
  std::string sentence = EditSentence->Text();
  std::string pwd = SentenceToPassword(sentence, AppSeams().Random);
  EditPwd->SetText(pwd);
  WipeString(pwd);
  WipeString(sentence);
  UpdateQualityMeter();
}

void TFormPwd::TimerCapsLockTimer(TObject*) { LabelCapsLock->SetVisible((GetKeyState(VK_CAPITAL) & 1) != 0); }

void TFormPwd::LabelOptionsClick(TObject*) {
  OptionsExpanded = !OptionsExpanded;
  UpdateDialogLayout();
}

void TFormPwd::ButtonOKClick(TObject*) {
  std::string pwd = EditPwd->Text();
  std::string retype = EditPwd2->Text();
  const char* refusal = PwdOkRefusal(pwd, retype, Modes(), LabelPW->Caption());
  WipeString(pwd);
  WipeString(retype);
  if (refusal) {
    UiMessageBox(Handle(), refusal, Application ? Application->Title() : std::string(), MB_OK);
    EditPwd->SetFocus();
    return;
  }
  Cancelled = false;
  EditPwd2->ClearSecret();
  SetModalResult(mrOk);
}

void TFormPwd::ButtonCancelClick(TObject*) {
  ClosePressed = false;
  Cancelled = true;
  EditPwd2->ClearSecret();
  SetModalResult(mrCancel);
}

void TFormPwd::ButtonCloseClick(TObject*) {
  ClosePressed = true;
  Cancelled = true;
  EditPwd2->ClearSecret();
  SetModalResult(mrCancel);
}

bool TFormPwd::DialogKey(WORD key, unsigned) {
  return DialogKeyToButtons(key, [this] { ButtonOKClick(this); }, [this] { ButtonCancelClick(this); });
}

bool AskPassword(bool verifyMode, bool changeMode, std::string& password) {
  password.clear();
  if (!FormPwd) return false;
  if (FormPwd->HandleAllocated() && IsWindowVisible(FormPwd->Handle())) return false;
  FormPwd->GenerateMode = false;
  FormPwd->ChangeMode = changeMode;
  FormPwd->VerifyMode = verifyMode;
  const int result = FormPwd->ShowModal();
  FormPwd->VerifyMode = false;
  const bool given = result == mrOk && !FormPwd->Cancelled;
  if (given) password = FormPwd->EditPwd->Text();
  FormPwd->EditPwd->ClearSecret();
  return given;
}
