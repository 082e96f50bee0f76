// The rules of the password dialog and the group dialog that need no
// window: which controls a mode shows, where they stand, the order of the OK
// checks and their messages, and the group-name check.
#pragma once

#include <string>

// ---- Password dialog -------------------------------------------------------

struct TPwdModes {
  bool GenerateMode = false;
  bool VerifyMode = false;
  bool ChangeMode = false;
  bool AllowClose = false;
  bool OptionsExpanded = false;
};

struct TPwdLayout {
  std::string Caption;        // "Generate Password", "Change Master Password" or "Master Password"
  std::string Label1;         // "Generated password:", "Password:" or "Provide a password:"
  bool RetypeVisible = false; // EditPwd2 and LabelRetype
  bool GeneratorVisible = false;  // "Gen Random" and "Sentence Guide"
  bool CloseVisible = false;
  bool BevelVisible = false;
  int Label1Top = 0, EditPwdTop = 0, Image2Top = 0, Image2Left = 0;
  int ClientHeight = 0;       // 226, or 280 with the options expanded outside verify mode
};

TPwdLayout PwdDialogLayout(const TPwdModes& modes);

namespace PwdTexts {
inline constexpr char kEmpty[] = "Please enter or generate a password.";
inline constexpr char kMismatch[] = "Passwords do not match! Please retype password";
inline constexpr char kTooBad[] = "Password quality too bad.";
}  // namespace PwdTexts

// The OK checks in their order: a password of blanks only, then (outside
// verify and generate mode) a retype that differs, then (outside verify
// mode) the quality word "bad". The message of the first that fails, or
// nullptr when OK may close the dialog.
const char* PwdOkRefusal(const std::string& password, const std::string& retype, const TPwdModes& modes,
                         const std::string& qualityWord);

// ---- Group dialog -----------------------------------------------------------

namespace GroupTexts {
inline constexpr char kRequiredText[] = "Please enter a group name.";
inline constexpr char kRequiredCaption[] = "Group Name Required";
inline constexpr char kColonText[] = "A group name cannot contain a colon.";
inline constexpr char kColonCaption[] = "Invalid Group Name";
}  // namespace GroupTexts

struct TGroupNameCheck {
  bool Ok = false;
  std::string Name;             // the trimmed name when Ok
  const char* Text = nullptr;   // the refusal's message and caption otherwise
  const char* Caption = nullptr;
};

// A name trimmed of blanks must not be empty and must not hold ":".
TGroupNameCheck CheckGroupName(const std::string& text);

// An icon index below 0 or not below count becomes 0.
int ClampIconIndex(int index, int count);
