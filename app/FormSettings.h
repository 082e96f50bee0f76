// TFormSettings: the settings dialog, created once at start-up. Its controls
// are the live settings that the main window reads when it needs them; it
// loads them from and saves them to the main window's settings store (the
// file "Vaultline.ini" beside the program), owns the Windows autostart
// value and turns key presses into the texts of the two global hot keys.
//
// The pages "Current Vault" and "Defaults" hold the same cipher controls;
// the functions at the end of this header carry them to and from the
// engine.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "controls/QToggleBitBtn.h"
#include "ui/Buttons.h"
#include "ui/EditCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Form.h"
#include "ui/PageControl.h"

class TQDReg;
class TQEnc;

// Settings keys of the dialog and their defaults.
namespace SettingsKeys {
inline constexpr char kAlgorithm[] = "Algorithm";
inline constexpr char kCheckFast[] = "CheckFast";
inline constexpr char kIterations[] = "Iterations";
inline constexpr char kSessionTimeout[] = "SessionTimeout";
inline constexpr char kCheckSessionTimeout[] = "CheckSessionTimeout";
inline constexpr char kCheckSessionWindowsLock[] = "CheckSessionWindowsLock";
inline constexpr char kCheckSessionStandby[] = "CheckSessionStandby";
inline constexpr char kCheckSessionTermination[] = "CheckSessionTermination";
inline constexpr char kCheckBoxAutostart[] = "CheckBoxAutostart";
inline constexpr char kCheckBoxLastFile[] = "CheckBoxLastFile";
inline constexpr char kCheckBoxMinimized[] = "CheckBoxMinimized";
inline constexpr char kBackupMode[] = "BackupMode";
inline constexpr int kDefaultAlgorithm = 7;
inline constexpr int kDefaultIterations = 200000;
inline constexpr int kIterationsFloor = 2000;
inline constexpr int kDefaultSessionTimeout = 120;
inline constexpr int kDefaultBackupMode = 2;
// The Run value of the current user that starts the program with Windows.
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Vaultline";
}  // namespace SettingsKeys

class TFormSettings : public TForm {
 public:
  explicit TFormSettings(TComponent* owner);
  ~TFormSettings() override;

  // Set when the dialog is shown; cleared only by a successful OK.
  bool Cancelled = false;
  // The last values loaded or saved, after their floors.
  int SessionTimeout = SettingsKeys::kDefaultSessionTimeout;
  int Iterations = SettingsKeys::kDefaultIterations;

  TPageControl* PageControl1;
  TTabSheet* TabCurrent;   // "Current Vault"
  TTabSheet* TabGeneral;   // "General"
  TTabSheet* TabDefaults;  // "Defaults"

  // "Current Vault": the ten cascades in index order (T, A, C, TA, TC, CA,
  // TAC, TCA, CTA, CAT), the iterations and fast mode.
  TRadioButton *RadioAlgT, *RadioAlgA, *RadioAlgC, *RadioAlgTA, *RadioAlgTC, *RadioAlgCA, *RadioAlgTAC, *RadioAlgTCA,
      *RadioAlgCTA, *RadioAlgCAT;
  TEditBox* EditIterations;
  TCheckBox* CheckFast;

  // "General".
  TCheckBox* CheckBoxAutostart;
  TCheckBox* CheckBoxLastFile;
  TCheckBox* CheckBoxMinimized;
  TEditBox* EditShortcut;   // Open, read-only: filled by key presses
  TEditBox* EditShortcut2;  // Lock
  TEditBox* EditTimeout;
  TCheckBox* CheckSessionTimeout;
  TCheckBox* CheckSessionWindowsLock;
  TCheckBox* CheckSessionStandby;
  TCheckBox* CheckSessionTermination;
  TRadioButton *RadioBak1, *RadioBak2, *RadioBak3, *RadioBak4;

  // "Defaults": the same cipher controls, kept in the settings file.
  TRadioButton *RadioAlgT2, *RadioAlgA2, *RadioAlgC2, *RadioAlgTA2, *RadioAlgTC2, *RadioAlgCA2, *RadioAlgTAC2,
      *RadioAlgTCA2, *RadioAlgCTA2, *RadioAlgCAT2;
  TEditBox* EditIterations2;
  TCheckBox* CheckFast2;

  TImage* Image1;  // footer
  TQToggleBitBtn* ButtonOK;
  TQToggleBitBtn* ButtonCancel;

  // The ten cascade buttons of a page in index order.
  std::array<TRadioButton*, 10> CurrentVaultButtons() const {
    return {RadioAlgT, RadioAlgA, RadioAlgC, RadioAlgTA, RadioAlgTC, RadioAlgCA, RadioAlgTAC, RadioAlgTCA, RadioAlgCTA,
            RadioAlgCAT};
  }
  std::array<TRadioButton*, 10> DefaultsButtons() const {
    return {RadioAlgT2, RadioAlgA2, RadioAlgC2, RadioAlgTA2, RadioAlgTC2, RadioAlgCA2, RadioAlgTAC2, RadioAlgTCA2,
            RadioAlgCTA2, RadioAlgCAT2};
  }

  // Settings store to controls, key by key; missing or unreadable values
  // give the defaults, out-of-range ones their fallback or floor.
  void LoadSettings(TQDReg& store);
  // Controls to the store, in the order of the keys (floors applied and the
  // edits rewritten), without saving.
  void SettingsToStore(TQDReg& store);
  // SettingsToStore, then the store is saved as "Vaultline.ini" beside the
  // program.
  bool SaveSettings(TQDReg& store);

  // The Run value of the current user equals the program's quoted path
  // (case ignored). Any failure gives false.
  static bool IsAutostartEnabled();
  // Writes (and reads back) or deletes the Run value; false on failure.
  static bool SetAutostart(bool enable);
  // The value the Run entry holds: the program's full path in quotes.
  static std::string AutostartCommand();

  // The written name of a virtual-key code ("F5", "PageUp", "K"; "" when
  // the key has none).
  static std::string KeyCodeToName(int vk);
  // What a key pressed in a shortcut edit does to its text: Left, Right,
  // Home and End pass (false); Backspace clears; a modifier alone or a key
  // without a name is swallowed; any other key writes "Ctrl+", "Shift+",
  // "Alt+" as held and its name. True when the key is swallowed.
  static bool CaptureShortcutKey(std::string& text, int vk, bool ctrl, bool shift, bool alt);

  void FormShow(TObject* sender);
  void ButtonOKClick(TObject* sender);
  void ButtonCancelClick(TObject* sender);
  void CheckSessionTerminationClick(TObject* sender);
  void EditShortcutKeyDown(TObject* sender, WORD& key, TShiftState shift);
  void EditShortcut2KeyDown(TObject* sender, WORD& key, TShiftState shift);

  // Esc runs Cancel, Enter runs OK; neither reaches the shortcut edits.
  bool DialogKey(WORD key, unsigned shift) override;

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  void CreateCipherPage(TTabSheet* page, const std::string& suffix, TEditBox*& iterations, TCheckBox*& fast,
                        std::array<TRadioButton*, 10>& buttons);
  void CreateGeneralPage();
  void CaptureInto(TEditBox* edit, WORD& key, TShiftState shift);
  bool RegisterHotKeyText(bool lock, const std::string& text);
  bool updatingTermination_ = false;
  TLabel* labelTimeout_ = nullptr;
};

extern TFormSettings* FormSettings;

// ---- The cipher pages and the engine -----------------------------------------------
// The ten cascades, numbered 1 to 10 as the settings key Algorithm holds them.

// 0 "AES", 2 "ChaCha20", 3 "Twofish", 5 "", anything else "?".
std::string CipherName(int algorithm);
// 1M for a multiple of 1,000,000, 200K for a multiple of 1,000, else the
// number itself.
std::string FormatCount(int count);
// "Twofish+AES+ChaCha20 200K": the stages and the iteration count in use
// (FastIterations in fast mode); "" without an engine.
std::string DescribeCipherCascade(const TQEnc* engine);
// The first set flag (index order) writes its three stages; none set leaves
// the engine's stages as they are.
void ApplyCipherChoice(TQEnc* engine, const bool flags[10]);
// The cascade (1 to 10) whose stages equal the engine's, 0 for none.
int CascadeIndexOf(const TQEnc& engine);
// The edit's number (fallback when it is none), at least 5000; the edit is
// rewritten with it.
int ReadIterationsEdit(TEditBox* edit, int fallback);
// The pages of FormSettings to the engine and back; nothing without the
// dialog or the engine.
void CurrentVaultPageToEngine(TQEnc* engine);
void DefaultsPageToEngine(TQEnc* engine);
void EngineToCurrentVaultPage(const TQEnc* engine);
