#include "app/model/DialogRules.h"

#include "base/SysUtils.h"

TPwdLayout PwdDialogLayout(const TPwdModes& m) {
  TPwdLayout l;
  l.Caption = m.GenerateMode ? "Generate Password" : m.ChangeMode ? "Change Master Password" : "Master Password";
  l.RetypeVisible = !m.VerifyMode && !m.GenerateMode;
  if (m.VerifyMode) {
    l.Label1 = "Password:";
    l.Label1Top = 45;
    l.EditPwdTop = 67;
    l.Image2Top = 60;
    l.Image2Left = 44;
  } else {
    l.Label1 = m.GenerateMode ? "Generated password:" : "Provide a password:";
    l.Label1Top = 30;
    l.EditPwdTop = 47;
    l.Image2Top = 40;
    l.Image2Left = 24;
  }
  l.BevelVisible = m.VerifyMode;
  l.GeneratorVisible = !m.VerifyMode || m.GenerateMode;
  l.CloseVisible = m.AllowClose && m.VerifyMode && !m.GenerateMode;
  l.ClientHeight = (m.OptionsExpanded && !m.VerifyMode) ? 280 : 226;
  return l;
}

const char* PwdOkRefusal(const std::string& password, const std::string& retype, const TPwdModes& m,
                         const std::string& qualityWord) {
  // Checked in place: a trimmed copy would leave the password in freed memory.
  bool blank = true;
  for (char c : password)
    if (static_cast<unsigned char>(c) > ' ') blank = false;
  if (blank) return PwdTexts::kEmpty;
  if (!m.VerifyMode && !m.GenerateMode && retype != password) return PwdTexts::kMismatch;
  if (!m.VerifyMode && qualityWord == "bad") return PwdTexts::kTooBad;
  return nullptr;
}

TGroupNameCheck CheckGroupName(const std::string& text) {
  TGroupNameCheck c;
  const std::string name = Trim(text);
  if (name.empty()) {
    c.Text = GroupTexts::kRequiredText;
    c.Caption = GroupTexts::kRequiredCaption;
  } else if (name.find(':') != std::string::npos) {
    c.Text = GroupTexts::kColonText;
    c.Caption = GroupTexts::kColonCaption;
  } else {
    c.Ok = true;
    c.Name = name;
  }
  return c;
}

int ClampIconIndex(int index, int count) { return (index < 0 || index >= count) ? 0 : index; }
