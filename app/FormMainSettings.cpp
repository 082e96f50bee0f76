// The settings command of the main window and the bridge between the cipher
// pages of the settings dialog and the main window's engine.
#include <windows.h>

#include <array>

#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/Shortcuts.h"
#include "app/model/VaultDocument.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "engine/ConstantTime.h"
#include "engine/QEnc.h"

namespace {

struct TCascade {
  TQEncAlgorithm Stage1, Stage2, Stage3;
};

// Index 1 to 10 of the settings key Algorithm is entry 0 to 9.
constexpr std::array<TCascade, 10> kCascades = {{
    {qeaTwofishCTR, qeaNone, qeaNone},
    {qeaAES128CTR, qeaNone, qeaNone},
    {qeaChaCha20, qeaNone, qeaNone},
    {qeaTwofishCTR, qeaAES128CTR, qeaNone},
    {qeaTwofishCTR, qeaChaCha20, qeaNone},
    {qeaChaCha20, qeaAES128CTR, qeaNone},
    {qeaTwofishCTR, qeaAES128CTR, qeaChaCha20},
    {qeaTwofishCTR, qeaChaCha20, qeaAES128CTR},
    {qeaChaCha20, qeaTwofishCTR, qeaAES128CTR},
    {qeaChaCha20, qeaAES128CTR, qeaTwofishCTR},
}};

constexpr int kEngineIterationsFloor = 5000;
constexpr int kDefaultFastIterations = 20000;

std::array<bool, 10> CheckedFlags(const std::array<TRadioButton*, 10>& buttons) {
  std::array<bool, 10> flags{};
  for (std::size_t i = 0; i < buttons.size(); ++i) flags[i] = buttons[i] && buttons[i]->Checked();
  return flags;
}

enum class TRekey { Done, Refused, Interrupted };

// Makes the open vault's session key again at iterations, from its master
// password, which must give the key held now. Both keys are made with the
// main window's wait: the bar moves and Esc cancels. Refused when the
// password is not given or not the vault's, or Esc was pressed; Interrupted
// when the vault was locked or replaced while the question was up. Every
// copy of the password and of the keys made here is wiped.
TRekey KeyVaultAgain(TFormMain& form, int iterations) {
  const std::uint64_t generation = form.DocumentGeneration;
  const auto interrupted = [&] { return form.Locked || form.DocumentGeneration != generation; };
  for (;;) {
    std::string password;
    const bool given = AskPassword(true, false, password);
    if (interrupted() || !given) {
      WipeString(password);
      return interrupted() ? TRekey::Interrupted : TRekey::Refused;
    }
    if (password.empty()) continue;
    TQEnc deriver(nullptr);
    deriver.SetIterations(form.SessionKeyIterations);
    std::string check = DeriveKeyWaiting(form, deriver, password, 0, 50);
    const bool right = !check.empty() && check.size() == form.SessionKey.size() &&
                       ConstantTimeEqual(check.data(), form.SessionKey.data(), check.size());
    WipeString(check);
    std::string key;
    if (right) {
      deriver.SetIterations(iterations);
      key = DeriveKeyWaiting(form, deriver, password, 50, 100);
    }
    WipeString(password);
    // Esc: the user knows; the vault keeps its key as at Cancel.
    if (deriver.CancelRequested()) return interrupted() ? TRekey::Interrupted : TRekey::Refused;
    if (!right || key.empty()) {
      if (right)
        ShowMessageBox(DocumentTexts::kNewMasterKeyFailed, DocumentTexts::kPasswordErrorCaption, MB_ICONERROR);
      else
        ShowMessageBox(DocumentTexts::kWrongPassword, DocumentTexts::kOpenErrorCaption, MB_ICONERROR);
      return interrupted() ? TRekey::Interrupted : TRekey::Refused;
    }
    form.TakeSessionKey(key, iterations);
    return TRekey::Done;
  }
}

}  // namespace

std::string CipherName(int algorithm) {
  switch (algorithm) {
    case qeaAES128CTR: return "AES";
    case qeaChaCha20: return "ChaCha20";
    case qeaTwofishCTR: return "Twofish";
    case qeaNone: return "";
    default: return "?";
  }
}

std::string FormatCount(int count) {
  if (count >= 1000000 && count % 1000000 == 0) return IntToStr(count / 1000000) + "M";
  if (count >= 1000 && count % 1000 == 0) return IntToStr(count / 1000) + "K";
  return IntToStr(count);
}

std::string DescribeCipherCascade(const TQEnc* engine) {
  if (!engine) return "";
  std::string text = CipherName(engine->Algorithm());
  if (engine->Algorithm2() != qeaNone) text += "+" + CipherName(engine->Algorithm2());
  if (engine->Algorithm3() != qeaNone) text += "+" + CipherName(engine->Algorithm3());
  return text + " " + FormatCount(engine->FastMode() ? engine->FastIterations() : engine->Iterations());
}

void ApplyCipherChoice(TQEnc* engine, const bool flags[10]) {
  if (!engine) return;
  for (std::size_t i = 0; i < kCascades.size(); ++i) {
    if (!flags[i]) continue;
    engine->SetAlgorithm(kCascades[i].Stage1);
    engine->SetAlgorithm2(kCascades[i].Stage2);
    engine->SetAlgorithm3(kCascades[i].Stage3);
    return;
  }
}

int CascadeIndexOf(const TQEnc& engine) {
  for (std::size_t i = 0; i < kCascades.size(); ++i)
    if (engine.Algorithm() == kCascades[i].Stage1 && engine.Algorithm2() == kCascades[i].Stage2 &&
        engine.Algorithm3() == kCascades[i].Stage3)
      return static_cast<int>(i) + 1;
  return 0;
}

int ReadIterationsEdit(TEditBox* edit, int fallback) {
  int value = fallback;
  if (edit && !TryStrToInt(edit->Text(), value)) value = fallback;
  if (value < kEngineIterationsFloor) value = kEngineIterationsFloor;
  if (edit) edit->SetText(IntToStr(value));
  return value;
}

void CurrentVaultPageToEngine(TQEnc* engine) {
  if (!FormSettings || !engine) return;
  engine->SetFastMode(FormSettings->CheckFast->Checked());
  engine->SetIterations(ReadIterationsEdit(FormSettings->EditIterations, engine->Iterations()));
  const std::array<bool, 10> flags = CheckedFlags(FormSettings->CurrentVaultButtons());
  ApplyCipherChoice(engine, flags.data());
}

void DefaultsPageToEngine(TQEnc* engine) {
  if (!FormSettings || !engine) return;
  engine->SetFastMode(FormSettings->CheckFast2->Checked());
  engine->SetIterations(ReadIterationsEdit(FormSettings->EditIterations2, SettingsKeys::kDefaultIterations));
  engine->SetFastIterations(kDefaultFastIterations);
  const std::array<bool, 10> flags = CheckedFlags(FormSettings->DefaultsButtons());
  ApplyCipherChoice(engine, flags.data());
}

void EngineToCurrentVaultPage(const TQEnc* engine) {
  if (!FormSettings || !engine) return;
  const std::array<TRadioButton*, 10> buttons = FormSettings->CurrentVaultButtons();
  for (TRadioButton* b : buttons) b->SetChecked(false);
  const int index = CascadeIndexOf(*engine);
  if (index > 0) buttons[static_cast<std::size_t>(index - 1)]->SetChecked(true);
  FormSettings->CheckFast->SetChecked(engine->FastMode());
  FormSettings->EditIterations->SetText(IntToStr(engine->Iterations()));
}

void TFormMain::Settings1Click(TObject*) {
  if (!FormSettings) return;
  EngineToCurrentVaultPage(QEnc1);
  // The "Current Vault" page shows the vault open now, and is applied to
  // that vault only: not to a locked one (the engine then still holds what
  // the last open vault had), nor to one locked or replaced while the
  // dialog was up and unlocked or opened afterwards.
  const bool openBefore = !Locked && !SessionKey.empty();
  const std::uint64_t generation = DocumentGeneration;
  // What the engine holds now, to see whether the dialog changed it.
  const TQEncAlgorithm a1 = QEnc1->Algorithm(), a2 = QEnc1->Algorithm2(), a3 = QEnc1->Algorithm3();
  const bool fast = QEnc1->FastMode();
  const int iterations = QEnc1->Iterations(), fastIterations = QEnc1->FastIterations();
  FormSettings->ShowModal();
  // A locked vault (before the dialog or during it) asks for its password
  // now; the dialog's outcome is still applied: to the defaults while no
  // key is held.
  if (Locked) ShowMainWindow(true);
  if (FormSettings->Cancelled) return;
  if (SessionKey.empty()) {
    // No vault open: the defaults are what the next vault gets.
    DefaultsPageToEngine(QEnc1);
  } else if (openBefore && generation == DocumentGeneration) {
    // The open vault takes the "Current Vault" page; any change marks it
    // modified so that the next save writes the new cascade. The defaults
    // wait for the next new vault or start.
    CurrentVaultPageToEngine(QEnc1);
    // The session key is made with the vault's iteration count, and after
    // a restart only the file's header tells that count: a new count needs
    // a new key, made from the master password. Without the right password,
    // or with Esc while the key is made, the vault keeps its count and its
    // key, and the page shows that count again. Until a new key is made
    // the engine holds the old count, so that a save during the question
    // writes the count of the key it uses.
    const int newIterations = QEnc1->Iterations();
    if (newIterations != iterations && newIterations != SessionKeyIterations) {
      QEnc1->SetIterations(iterations);
      const TRekey rekey = KeyVaultAgain(*this, newIterations);
      if (rekey == TRekey::Interrupted) {
        // The vault the page was meant for is gone or locked.
        UnlockIfLocked();
        TimerUpdateUITimer(this);
        return;
      }
      if (rekey == TRekey::Done)
        QEnc1->SetIterations(newIterations);
      else
        FormSettings->EditIterations->SetText(IntToStr(iterations));
    }
    if (QEnc1->Algorithm() != a1 || QEnc1->Algorithm2() != a2 || QEnc1->Algorithm3() != a3 ||
        QEnc1->FastMode() != fast || QEnc1->Iterations() != iterations || QEnc1->FastIterations() != fastIterations) {
      Changed(this);
    }
  }
  // The status bar shows the cascade now in use.
  TimerUpdateUITimer(this);
}
