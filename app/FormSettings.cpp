#include "app/FormSettings.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/DialogParts.h"
#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/KeyNames.h"
#include "app/model/Shortcuts.h"
#include "base/Platform.h"
#include "base/SysUtils.h"
#include "settings/ModuleFileName.h"
#include "settings/QDReg.h"

TFormSettings* FormSettings = nullptr;

namespace {
using namespace SettingsKeys;

// A shortcut edit also sees the keys held with Alt (WM_SYSKEYDOWN), so that
// Alt chords can be captured.
class TShortcutEdit : public TEditBox {
 public:
  using TEditBox::TEditBox;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_SYSKEYDOWN && wParam != VK_F4) {
      WORD key = static_cast<WORD>(wParam);
      KeyDown(key, KeyboardShiftState());
      if (key == 0) return 0;
    }
    return TEditBox::WndProc(msg, wParam, lParam);
  }
};

template <typename T>
T* Place(TComponent* owner, TWinControl* parent, const std::string& name, int x, int y, int w, int h) {
  auto* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  c->Show();
  return c;
}

// A group box that fills its inside with the dialog colour before the
// system draws its frame: the page around it leaves that area to it.
class TFrameBox : public TGroupBox {
 public:
  using TGroupBox::TGroupBox;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_PAINT) {
      RECT r;
      GetClientRect(Handle(), &r);
      if (HDC dc = GetDC(Handle())) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        ReleaseDC(Handle(), dc);
      }
    }
    return TGroupBox::WndProc(msg, wParam, lParam);
  }
};

// The group boxes of the pages: they go below the controls they frame once
// the windows exist.
std::vector<TGroupBox*> groupBoxes;

TGroupBox* Group(TComponent* owner, TWinControl* parent, const std::string& caption, int x, int y, int w, int h) {
  auto* g = Place<TFrameBox>(owner, parent, "", x, y, w, h);
  g->SetCaption(caption);
  groupBoxes.push_back(g);
  return g;
}

// Puts an edit into the run of blanks of its label, between the text before
// the blanks and the word after them, as wide as the label's font leaves room
// for: the blanks' width depends on the font, a fixed place covers the word.
void FitIntoLabelGap(TLabel& label, TWinControl& edit, const std::string& before, const std::string& after) {
  const std::string caption = label.Caption();
  const std::size_t afterAt = caption.rfind(after);
  if (afterAt == std::string::npos || !label.Handle()) return;
  HDC dc = GetDC(label.Handle());
  if (!dc) return;
  const auto font = reinterpret_cast<HFONT>(SendMessageA(label.Handle(), WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SIZE head{}, gapEnd{};
  const std::string upToAfter = caption.substr(0, afterAt);
  const bool measured = GetTextExtentPoint32A(dc, before.c_str(), static_cast<int>(before.size()), &head) &&
                        GetTextExtentPoint32A(dc, upToAfter.c_str(), static_cast<int>(upToAfter.size()), &gapEnd);
  if (old) SelectObject(dc, old);
  ReleaseDC(label.Handle(), dc);
  if (!measured) return;
  const int margin = 4;
  const int left = label.Left() + head.cx + margin;
  const int right = label.Left() + gapEnd.cx - margin;
  if (right - left < 24) return;  // too narrow to type in: the edit stays as placed
  edit.SetBounds(left, edit.Top(), right - left, edit.Height());
}

TLabel* TextLabel(TComponent* owner, TWinControl* parent, const std::string& caption, int x, int y, int w, int h) {
  auto* l = Place<TLabel>(owner, parent, "", x, y, w, h);
  l->SetCaption(caption);
  return l;
}

template <typename T>
T* Checkable(TComponent* owner, TWinControl* parent, const std::string& name, const std::string& caption, int x, int y,
             int w) {
  auto* c = Place<T>(owner, parent, name, x, y, w, 18);
  c->SetCaption(caption);
  return c;
}

// The ten cascades: button name stem, caption.
const std::pair<const char*, const char*> kCascades[10] = {
    {"RadioAlgT", "Twofish"},
    {"RadioAlgA", "AES"},
    {"RadioAlgC", "ChaCha20"},
    {"RadioAlgTA", "Twofish + AES"},
    {"RadioAlgTC", "Twofish + ChaCha20"},
    {"RadioAlgCA", "ChaCha20 + AES"},
    {"RadioAlgTAC", "Twofish + AES + ChaCha20"},
    {"RadioAlgTCA", "Twofish + ChaCha20 + AES"},
    {"RadioAlgCTA", "ChaCha20 + Twofish + AES "},
    {"RadioAlgCAT", "ChaCHa20 + AES + Twofish "},
};

// A decimal integer and nothing else (a sign allowed).
bool ParseDecimal(const std::string& text, int& value) { return TryStrToInt(text, value); }

std::string ExecutablePath() { return qdreg_win32::ModuleFileName(); }

// The Run value as text, or false when it cannot be read.
bool ReadRunValue(HKEY key, std::string& value) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, kRunValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::string buf(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) != ERROR_SUCCESS)
    return false;
  buf.resize(std::min<std::size_t>(got, buf.size()));
  while (!buf.empty() && buf.back() == '\0') buf.pop_back();
  value = std::move(buf);
  return true;
}

}  // namespace

TFormSettings::TFormSettings(TComponent* owner) : TForm(owner, "TFormSettings") {
  SetName("FormSettings");
  FormSettings = this;
  HandleNeeded();
  SetClientSize(477, 345);
  CenterOnScreen();
  SetCaption("FormSettings");

  Image1 = Place<TImage>(this, this, "Image1", 0, 345 - kDialogFooterHeight, 477, kDialogFooterHeight);
  PageControl1 = Place<TPageControl>(this, this, "PageControl1", 6, 6, 465, 345 - kDialogFooterHeight - 10);
  TabCurrent = PageControl1->AddPage("TabCurrent", "Current Vault");
  TabGeneral = PageControl1->AddPage("TabGeneral", "General");
  TabDefaults = PageControl1->AddPage("TabDefaults", "Defaults");

  std::array<TRadioButton*, 10> current{};
  CreateCipherPage(TabCurrent, "", EditIterations, CheckFast, current);
  TRadioButton** currentFields[10] = {&RadioAlgT,  &RadioAlgA,   &RadioAlgC,   &RadioAlgTA,  &RadioAlgTC,
                                     &RadioAlgCA, &RadioAlgTAC, &RadioAlgTCA, &RadioAlgCTA, &RadioAlgCAT};
  for (int i = 0; i < 10; ++i) *currentFields[i] = current[static_cast<std::size_t>(i)];
  CreateGeneralPage();
  std::array<TRadioButton*, 10> defaults{};
  CreateCipherPage(TabDefaults, "2", EditIterations2, CheckFast2, defaults);
  TRadioButton** defaultFields[10] = {&RadioAlgT2,  &RadioAlgA2,   &RadioAlgC2,   &RadioAlgTA2,  &RadioAlgTC2,
                                     &RadioAlgCA2, &RadioAlgTAC2, &RadioAlgTCA2, &RadioAlgCTA2, &RadioAlgCAT2};
  for (int i = 0; i < 10; ++i) *defaultFields[i] = defaults[static_cast<std::size_t>(i)];

  ButtonOK = DialogButton(this, "ButtonOK", "&Apply");
  ButtonCancel = DialogButton(this, "ButtonCancel", "&Cancel");
  ButtonOK->SetBounds(295, 345 - kDialogFooterHeight + 7, 84, 26);
  ButtonCancel->SetBounds(385, 345 - kDialogFooterHeight + 7, 84, 26);
  CreateControlWindows(*this);
  FitIntoLabelGap(*labelTimeout_, *EditTimeout, "Timeout :", "Min");
  Image1->SendToBack();  // the footer picture lies under the buttons
  for (TGroupBox* g : groupBoxes) g->SendToBack();
  groupBoxes.clear();
  PageControl1->SetActivePage(TabCurrent);

  OnShow = [this](TObject* s) { FormShow(s); };
  ButtonOK->OnClick = [this](TObject* s) { ButtonOKClick(s); };
  ButtonCancel->OnClick = [this](TObject* s) { ButtonCancelClick(s); };
  CheckSessionTermination->OnClick = [this](TObject* s) { CheckSessionTerminationClick(s); };
  EditShortcut->OnKeyDown = [this](TObject* s, WORD& key, TShiftState shift) { EditShortcutKeyDown(s, key, shift); };
  EditShortcut2->OnKeyDown = [this](TObject* s, WORD& key, TShiftState shift) { EditShortcut2KeyDown(s, key, shift); };

  // FormCreate: the defaults and the real autostart state, before the
  // settings file is read.
  TQDReg empty(nullptr);
  LoadSettings(empty);
}

TFormSettings::~TFormSettings() {
  if (FormSettings == this) FormSettings = nullptr;
}

void TFormSettings::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  SetDialogParams(params);
}

void TFormSettings::CreateCipherPage(TTabSheet* page, const std::string& suffix, TEditBox*& iterations,
                                     TCheckBox*& fast, std::array<TRadioButton*, 10>& buttons) {
  Group(this, page, "Encryption Algorithm ", 8, 6, 441, 176);
  for (int i = 0; i < 10; ++i) {
    const int column = i < 5 ? 0 : 1;
    const int row = i % 5;
    auto* b = Checkable<TRadioButton>(this, page, kCascades[i].first + suffix, kCascades[i].second, 22 + column * 214,
                                      28 + row * 29, 205);
    if (i == kDefaultAlgorithm - 1) {
      TFont bold;
      bold.Assign(b->Font());
      bold.SetStyle(fsBold);
      b->SetFont(bold);
    }
    buttons[static_cast<std::size_t>(i)] = b;
  }
  TextLabel(this, page, "Iterations:", 16, 197, 70, 16);
  iterations = Place<TEditBox>(this, page, "EditIterations" + suffix, 90, 194, 100, 22);
  iterations->SetText("200000");
  fast = Checkable<TCheckBox>(this, page, "CheckFast" + suffix, "FastMode (NOT suggested!)", 220, 196, 220);
}

void TFormSettings::CreateGeneralPage() {
  TTabSheet* p = TabGeneral;
  Group(this, p, "Windows", 8, 4, 215, 44);
  CheckBoxAutostart = Checkable<TCheckBox>(this, p, "CheckBoxAutostart", "Auto Start with Windows", 20, 22, 195);

  Group(this, p, "Start Options", 8, 52, 215, 66);
  CheckBoxLastFile = Checkable<TCheckBox>(this, p, "CheckBoxLastFile", "Open Last *.qvl File", 20, 70, 195);
  CheckBoxLastFile->SetChecked(true);
  CheckBoxMinimized = Checkable<TCheckBox>(this, p, "CheckBoxMinimized", "Start Minimized / Locked ", 20, 92, 195);
  CheckBoxMinimized->SetChecked(true);

  Group(this, p, "Keyboard Shortcuts ", 8, 122, 215, 80);
  TextLabel(this, p, "Open: ", 20, 145, 40, 16);
  EditShortcut = Place<TShortcutEdit>(this, p, "EditShortcut", 64, 142, 147, 22);
  EditShortcut->SetReadOnly(true);
  TextLabel(this, p, "Lock:", 20, 173, 40, 16);
  EditShortcut2 = Place<TShortcutEdit>(this, p, "EditShortcut2", 64, 170, 147, 22);
  EditShortcut2->SetReadOnly(true);

  Group(this, p, "Session", 232, 4, 217, 126);
  // The edit stands in the gap of its label, above it.
  EditTimeout = Place<TEditBox>(this, p, "EditTimeout", 300, 21, 60, 22);
  labelTimeout_ = TextLabel(this, p, "Timeout :                        Min", 244, 24, 196, 16);
  CheckSessionTimeout = Checkable<TCheckBox>(this, p, "CheckSessionTimeout", "After Timeout", 244, 48, 195);
  CheckSessionWindowsLock =
      Checkable<TCheckBox>(this, p, "CheckSessionWindowsLock", "After Windows Lock", 244, 68, 195);
  CheckSessionStandby = Checkable<TCheckBox>(this, p, "CheckSessionStandby", "After Logout/Standby", 244, 88, 195);
  CheckSessionTermination =
      Checkable<TCheckBox>(this, p, "CheckSessionTermination", "After Program Termination", 244, 108, 195);
  CheckSessionTermination->SetChecked(true);

  Group(this, p, "Auto Backup", 232, 134, 217, 110);
  RadioBak1 = Checkable<TRadioButton>(this, p, "RadioBak1", "No backup files", 244, 152, 200);
  RadioBak2 = Checkable<TRadioButton>(this, p, "RadioBak2", "Keep last Version as *.bak file", 244, 174, 200);
  TFont bold;
  bold.Assign(RadioBak2->Font());
  bold.SetStyle(fsBold);
  RadioBak2->SetFont(bold);
  RadioBak3 = Checkable<TRadioButton>(this, p, "RadioBak3", "Keep last Version and prev day", 244, 196, 200);
  RadioBak4 = Checkable<TRadioButton>(this, p, "RadioBak4", "Keep last versions of one week", 244, 218, 200);
  RadioBak2->SetChecked(true);
}

// ---- Settings -------------------------------------------------------------------------------

void TFormSettings::LoadSettings(TQDReg& store) {
  try {
    auto b = DefaultsButtons();
    store.PopRadioButtons(kAlgorithm, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9],
                                               kDefaultAlgorithm);
    EditShortcut->SetText(store.PopString(kShortcutKey, kDefaultOpenShortcut));
    EditShortcut2->SetText(store.PopString(kShortcut2Key, kDefaultLockShortcut));
    int timeout = store.PopInt(kSessionTimeout, kDefaultSessionTimeout);
    if (timeout <= 0) timeout = 1;
    SessionTimeout = timeout;
    EditTimeout->SetText(IntToStr(timeout));
    CheckSessionTimeout->SetChecked(store.PopBool(kCheckSessionTimeout, true));
    CheckSessionWindowsLock->SetChecked(store.PopBool(kCheckSessionWindowsLock, true));
    CheckSessionStandby->SetChecked(store.PopBool(kCheckSessionStandby, true));
    CheckSessionTermination->SetChecked(store.PopBool(kCheckSessionTermination, true));
    CheckBoxAutostart->SetChecked(IsAutostartEnabled());
    CheckBoxLastFile->SetChecked(store.PopBool(kCheckBoxLastFile, true));
    CheckBoxMinimized->SetChecked(store.PopBool(kCheckBoxMinimized, true));
    CheckFast2->SetChecked(store.PopBool(kCheckFast, false));
    int iterations = store.PopInt(kIterations, kDefaultIterations);
    if (iterations < kIterationsFloor) iterations = kIterationsFloor;
    Iterations = iterations;
    EditIterations2->SetText(IntToStr(iterations));
    int mode = store.PopInt(kBackupMode, kDefaultBackupMode);
    if (mode < 1 || mode > 4) mode = kDefaultBackupMode;
    TRadioButton* bak[4] = {RadioBak1, RadioBak2, RadioBak3, RadioBak4};
    bak[mode - 1]->SetChecked(true);
  } catch (const std::exception&) {
    // The controls keep what was filled so far.
  }
}

void TFormSettings::SettingsToStore(TQDReg& store) {
  auto b = DefaultsButtons();
  store.PushRadioButtons(kAlgorithm, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9]);
  store.PushBool(kCheckFast, CheckFast2->Checked());
  int iterations = 0;
  if (!ParseDecimal(EditIterations2->Text(), iterations)) iterations = kDefaultIterations;
  if (iterations < kIterationsFloor) iterations = kIterationsFloor;
  Iterations = iterations;
  EditIterations2->SetText(IntToStr(iterations));
  store.PushString(kIterations, IntToStr(iterations));
  store.PushString(kShortcutKey, EditShortcut->Text());
  store.PushString(kShortcut2Key, EditShortcut2->Text());
  int timeout = 0;
  if (!ParseDecimal(EditTimeout->Text(), timeout)) timeout = kDefaultSessionTimeout;
  if (timeout <= 0) timeout = 1;
  SessionTimeout = timeout;
  EditTimeout->SetText(IntToStr(timeout));
  store.PushString(kSessionTimeout, IntToStr(timeout));
  store.PushBool(kCheckSessionTimeout, CheckSessionTimeout->Checked());
  store.PushBool(kCheckSessionWindowsLock, CheckSessionWindowsLock->Checked());
  store.PushBool(kCheckSessionStandby, CheckSessionStandby->Checked());
  store.PushBool(kCheckSessionTermination, CheckSessionTermination->Checked());
  store.PushBool(kCheckBoxAutostart, CheckBoxAutostart->Checked());
  store.PushBool(kCheckBoxLastFile, CheckBoxLastFile->Checked());
  store.PushBool(kCheckBoxMinimized, CheckBoxMinimized->Checked());
  int mode = kDefaultBackupMode;
  TRadioButton* bak[4] = {RadioBak1, RadioBak2, RadioBak3, RadioBak4};
  for (int i = 0; i < 4; ++i)
    if (bak[i]->Checked()) mode = i + 1;
  store.PushString(kBackupMode, IntToStr(mode));
}

bool TFormSettings::SaveSettings(TQDReg& store) {
  SettingsToStore(store);
  store.SetIniFileDir(TQDReg::AppDir());
  store.SetIniFileName(TFormMain::kSettingsFile);
  return store.SaveToFile();
}

// ---- Autostart ---------------------------------------------------------------------------------

std::string TFormSettings::AutostartCommand() { return "\"" + ExecutablePath() + "\""; }

bool TFormSettings::IsAutostartEnabled() {
  const std::string path = ExecutablePath();
  if (path.empty()) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  std::string value;
  const bool read = ReadRunValue(key, value);
  RegCloseKey(key);
  return read && SameText(value, "\"" + path + "\"");
}

bool TFormSettings::SetAutostart(bool enable) {
  const std::string path = ExecutablePath();
  if (path.empty()) return false;
  if (enable && !Platform::FileExists(path)) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = false;
  std::string value;
  if (enable) {
    const std::string command = "\"" + path + "\"";
    ok = RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                        static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS &&
         ReadRunValue(key, value) && SameText(value, command);
  } else {
    RegDeleteValueA(key, kRunValue);
    ok = RegQueryValueExA(key, kRunValue, nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND;
  }
  RegCloseKey(key);
  return ok;
}

// ---- Shortcut capture ------------------------------------------------------------------------

std::string TFormSettings::KeyCodeToName(int vk) { return VkToKeyName(vk); }

bool TFormSettings::CaptureShortcutKey(std::string& text, int vk, bool ctrl, bool shift, bool alt) {
  switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
      return false;
    case VK_BACK:
      text.clear();
      return true;
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
      return true;
    default:
      break;
  }
  const std::string name = KeyCodeToName(vk);
  if (name.empty()) return true;
  std::string chord;
  if (ctrl) chord += "Ctrl+";
  if (shift) chord += "Shift+";
  if (alt) chord += "Alt+";
  text = chord + name;
  return true;
}

void TFormSettings::CaptureInto(TEditBox* edit, WORD& key, TShiftState shift) {
  std::string text = edit->Text();
  if (!CaptureShortcutKey(text, key, (shift & ssCtrl) != 0, (shift & ssShift) != 0, (shift & ssAlt) != 0)) return;
  if (text != edit->Text()) edit->SetText(text);
  edit->SetSelStart(static_cast<int>(text.size()));
  key = 0;
}

void TFormSettings::EditShortcutKeyDown(TObject*, WORD& key, TShiftState shift) { CaptureInto(EditShortcut, key, shift); }

void TFormSettings::EditShortcut2KeyDown(TObject*, WORD& key, TShiftState shift) {
  CaptureInto(EditShortcut2, key, shift);
}

// ---- Buttons --------------------------------------------------------------------------------

void TFormSettings::FormShow(TObject*) {
  TileDialogFooter(*Image1);
  Cancelled = true;
}

bool TFormSettings::RegisterHotKeyText(bool lock, const std::string& text) {
  // The main window owns the hot keys; without it there is nothing to
  // register with.
  if (!FormMain) return true;
  return lock ? FormMain->SetLockHotKey(text) : FormMain->SetOpenHotKey(text);
}

void TFormSettings::ButtonOKClick(TObject*) {
  if (!SetAutostart(CheckBoxAutostart->Checked())) {
    ShowMessageBox("The Windows autostart setting could not be changed.", "Auto Start", MB_ICONERROR);
    return;
  }
  if (!RegisterHotKeyText(false, EditShortcut->Text())) {
    ShowMessageBox("The open shortcut is invalid or already in use.", ShortcutTexts::kConflictCaption,
                   MB_ICONWARNING);
    EditShortcut->SetFocus();
    return;
  }
  if (!RegisterHotKeyText(true, EditShortcut2->Text())) {
    ShowMessageBox("The lock shortcut is invalid or already in use.", ShortcutTexts::kConflictCaption,
                   MB_ICONWARNING);
    EditShortcut2->SetFocus();
    return;
  }
  if (FormMain) {
    SaveSettings(*FormMain->QDReg1);
  } else {
    TQDReg store(nullptr);
    SaveSettings(store);
  }
  Cancelled = false;
  SetModalResult(mrOk);
  // The menus and the tray show the chords now registered.
  if (FormMain) FormMain->UpdateShortcutCaptions();
}

void TFormSettings::ButtonCancelClick(TObject*) { SetModalResult(mrCancel); }

void TFormSettings::CheckSessionTerminationClick(TObject*) {
  if (updatingTermination_) return;
  updatingTermination_ = true;
  CheckSessionTermination->SetChecked(true);
  updatingTermination_ = false;
}

bool TFormSettings::DialogKey(WORD key, unsigned) {
  return DialogKeyToButtons(key, [this] { ButtonOKClick(this); }, [this] { ButtonCancelClick(this); });
}
