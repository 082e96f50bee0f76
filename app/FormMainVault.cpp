// The vault document of the main window: New, Open, Save, Save As, Close and
// Change Master Password, with the lock file, the backups, the progress bar
// and the messages of each step.
//
// Rules this file keeps beyond the plain sequence of steps:
// - A command that waited for the user (a message box, the password or a
//   file dialog) goes on only when the vault was neither locked nor replaced
//   meanwhile: timers, hot keys and session messages run inside modal loops.
//   SaveVault refuses while the vault is locked, so a locked, emptied
//   window is never written over the real vault.
// - A password that fails with the key derived at the engine's present
//   iteration count is tried again with the other counts its key may have
//   been made with (PasswordRetryCounts); only a wrong password asks again,
//   any other failure of the file ends the open with the engine's text.
// - Opening takes the new key and the new cipher settings only once the
//   vault's lock file is held; until then the shown document keeps its own.
// - A new vault's key is derived with the Defaults count, the count its
//   first save writes into the file's header.
#include <windows.h>
#include <wtsapi32.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "app/AppSeams.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/ShellHelpers.h"
#include "app/model/VaultDocument.h"
#include "app/model/VaultText.h"
#include "base/Platform.h"
#include "base/Stream.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "engine/QEncContainer.h"
#include "ui/Application.h"

namespace {

// The cipher settings of an engine, which belong to the open vault.
struct TCipherState {
  TQEncAlgorithm Algorithm, Algorithm2, Algorithm3;
  bool FastMode;
  int Iterations, FastIterations;
};

TCipherState CipherStateOf(const TQEnc& engine) {
  return {engine.Algorithm(), engine.Algorithm2(), engine.Algorithm3(),
          engine.FastMode(),  engine.Iterations(), engine.FastIterations()};
}

bool SameCipherState(const TCipherState& a, const TCipherState& b) {
  return a.Algorithm == b.Algorithm && a.Algorithm2 == b.Algorithm2 && a.Algorithm3 == b.Algorithm3 &&
         a.FastMode == b.FastMode && a.Iterations == b.Iterations && a.FastIterations == b.FastIterations;
}

void RestoreCipherState(TQEnc& engine, const TCipherState& s) {
  engine.SetAlgorithm(s.Algorithm);
  engine.SetAlgorithm2(s.Algorithm2);
  engine.SetAlgorithm3(s.Algorithm3);
  engine.SetFastMode(s.FastMode);
  engine.SetIterations(s.Iterations);
  engine.SetFastIterations(s.FastIterations);
}

// The first bytes of a file, as many as a container header holds; how many
// were read, -1 when the file cannot be read.
std::int64_t ReadFileHead(const std::string& path, std::uint8_t (&raw)[QEncFormat::MaxHeaderSize]) {
  std::memset(raw, 0, sizeof raw);
  try {
    TFileStream file(path, fmOpenRead | fmShareDenyNone);
    return file.Read(raw, sizeof raw);
  } catch (...) {
    return -1;
  }
}

// The header size of a container version; 0 for a version no container has.
int HeaderSizeOf(int version) {
  return version == 2 ? QEncFormat::HeaderSizeV2 : version == 3 ? QEncFormat::HeaderSizeV3 : 0;
}

// The iteration count in the header of a container file; 0 when the file
// has no readable header.
int HeaderIterations(const std::string& path) {
  std::uint8_t raw[QEncFormat::MaxHeaderSize];
  const std::int64_t got = ReadFileHead(path, raw);
  if (got < 5) return 0;
  const int version = raw[QEncFormat::V2::Version];
  const int size = HeaderSizeOf(version);
  TQEncHeader header;
  if (size == 0 || got < size || ParseHeader(raw, version, header) != ErrNone) return 0;
  return header.Iterations > static_cast<std::uint32_t>(INT_MAX) ? 0 : static_cast<int>(header.Iterations);
}

// Why a file that the engine does not take for a container, but that
// starts with the container's magic, is a damaged vault (a header cut
// short, a version no container has); ErrNone for a file that does not
// start like a container. Such a file is never offered as a vault text:
// its next save would replace what may still be recovered.
TQEncError DamagedContainerError(const std::string& path) {
  std::uint8_t raw[QEncFormat::MaxHeaderSize];
  const std::int64_t got = ReadFileHead(path, raw);
  if (got < static_cast<std::int64_t>(sizeof QEncFormat::Magic) ||
      std::memcmp(raw, QEncFormat::Magic, sizeof QEncFormat::Magic) != 0)
    return ErrNone;
  if (got <= QEncFormat::V2::Version) return ErrHeaderReadFailed;
  const int version = raw[QEncFormat::V2::Version];
  const int size = HeaderSizeOf(version);
  if (size == 0) return ErrUnsupportedHeaderVersion;
  if (got < size) return ErrHeaderReadFailed;
  TQEncHeader header;
  const TQEncError error = ParseHeader(raw, version, header);
  return error != ErrNone ? error : ErrInvalidEncryptedData;
}

// The Defaults page's settings in an engine of their own.
void DefaultsEngine(TQEnc& engine) {
  engine.SetFastMode(false);
  engine.SetAlgorithm(qeaTwofishCTR);
  engine.SetAlgorithm2(qeaAES128CTR);
  engine.SetAlgorithm3(qeaChaCha20);
  engine.SetIterations(kStandardIterations);
  DefaultsPageToEngine(&engine);
}

int DefaultsIterations() {
  TQEnc engine(nullptr);
  DefaultsEngine(engine);
  return engine.Iterations();
}

// The whole file as text, read while others may read it but not write it.
// A vault text never holds a NUL byte: a file that does is no vault text
// (a container whose marker was damaged, say), and taking it for one would
// have its next save replace it with what its bytes parse to.
bool ReadPlainFile(const std::string& path, std::string& text) {
  text.clear();
  try {
    TFileStream file(path, fmOpenRead | fmShareDenyWrite);
    const std::int64_t size = file.Size();
    if (size < 0 || size > static_cast<std::int64_t>(text.max_size())) return false;
    text.resize(static_cast<std::size_t>(size));
    if ((size > 0 && file.Read(text.data(), size) != size) || text.find('\0') != std::string::npos) {
      WipeString(text);
      return false;
    }
    return true;
  } catch (...) {
    WipeString(text);
    return false;
  }
}

// Binds an engine's key progress to the main window's wait for as long as
// it lives: the bar moves from `from` to `to` and Esc cancels. A bar that
// was hidden before is hidden again afterwards.
class TEngineWait {
 public:
  TEngineWait(TFormMain& form, TQEnc& engine, int from, int to)
      : form_(form), engine_(engine), barShown_(form.Progress && form.Progress->Visible()) {
    ++form_.EngineWaitDepth;
    engine_.OnKeyProgress = [&form, from, to](TObject*, int position, int max, bool& cancel) {
      form.EngineWaitProgress(max > 0 ? from + (to - from) * position / max : from, cancel);
    };
  }
  ~TEngineWait() {
    engine_.OnKeyProgress = nullptr;
    --form_.EngineWaitDepth;
    if (!barShown_) form_.HideProgress();
  }
  TEngineWait(const TEngineWait&) = delete;
  TEngineWait& operator=(const TEngineWait&) = delete;

 private:
  TFormMain& form_;
  TQEnc& engine_;
  bool barShown_;
};

// Decrypts the vault file with key in the main engine. The engine's key is
// cleared afterwards in every case.
TQEncError DecryptVault(TFormMain& form, const std::string& path, const std::string& key, std::string& text) {
  TQEnc& engine = *form.QEnc1;
  TEngineWait wait(form, engine, 60, 90);
  engine.SetUseFileNameInKey(false);
  engine.SetKey(key);
  WipeString(text);
  text = engine.DecryptFileToString(path);
  const TQEncError error = engine.LastError();
  engine.ClearSessionKey();
  if (error != ErrNone) WipeString(text);
  return error;
}

int CheckedBackupButton() {
  if (!FormSettings) return 0;
  const TRadioButton* buttons[] = {FormSettings->RadioBak1, FormSettings->RadioBak2, FormSettings->RadioBak3,
                                   FormSettings->RadioBak4};
  for (int i = 0; i < 4; ++i)
    if (buttons[i] && buttons[i]->Checked()) return i + 1;
  return 0;
}

}  // namespace

// ===========================================================================
// Waits for the engine

std::string DeriveKeyWaiting(TFormMain& form, TQEnc& engine, const std::string& password, int from, int to) {
  TEngineWait wait(form, engine, from, to);
  return engine.DeriveSessionKey(password);
}

void TFormMain::EngineWaitProgress(int position, bool& cancel) {
  ShowProgress(position);
  if (AppSeams().DuringEngineWait) AppSeams().DuringEngineWait();
  // Only Esc and painting are served; other input typed or clicked during
  // the wait is dropped. Everything else stays queued for the message loop,
  // and what comes as a sent message is put off (DeferDuringEngineWait).
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) cancel = true;
  while (PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  // A window that does not validate what it paints would be painted again
  // and again: a bounded number per report.
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) DispatchMessageA(&msg);
}

bool TFormMain::DeferDuringEngineWait(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!data || data->dwData != kHandOverTag) return false;
      // The data lives only as long as this call.
      DeferredHandOvers.push_back(DecodeHandOverPath(data->lpData, data->cbData));
      PostMessageA(Handle(), kRunDeferredMessage, 0, 0);
      result = 1;
      return true;
    }
    case WM_POWERBROADCAST:
    case WM_WTSSESSION_CHANGE:
    case WM_HOTKEY:
      // Handled as they come once the wait is over; a suspension is granted
      // now, as it always is.
      PostMessageA(Handle(), msg, wParam, lParam);
      result = msg == WM_POWERBROADCAST ? 1 : 0;
      return true;
    default:
      return false;
  }
}

void TFormMain::RunDeferredHandOvers() {
  if (EngineWaitDepth > 0) {
    PostMessageA(Handle(), kRunDeferredMessage, 0, 0);
    return;
  }
  while (!DeferredHandOvers.empty()) {
    std::string path = std::move(DeferredHandOvers.front());
    DeferredHandOvers.erase(DeferredHandOvers.begin());
    HandOver(std::move(path));
  }
}

// ===========================================================================
// Caption and the save question

void TFormMain::UpdateCaption() {
  const std::string caption = VaultCaption(VaultPath, Modified, ReadOnly, Locked);
  SetCaption(caption);
  if (Application) Application->SetTitle(caption);
  TrayIcon1->SetHint(caption);
}

bool TFormMain::ConfirmSaveChanges(int* answerOut) {
  if (answerOut) *answerOut = 0;
  if (!Modified) return true;
  const std::string name = VaultPath.empty() ? "Untitled" : ExtractFileName(VaultPath);
  const int answer = ShowMessageBox(name + DocumentTexts::kSaveChangesQuestion, DocumentTexts::kSaveChangesCaption,
                                    MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answerOut) *answerOut = answer;
  // A lock during the question has dropped the changes; Save then refuses.
  if (answer == IDYES) return SaveVault(false);
  return answer == IDNO;
}

// ===========================================================================
// Save

bool TFormMain::SaveVault(bool silent) {
  // A locked window holds no vault: writing it would empty the real one.
  if (Locked) return false;
  if (VaultPath.empty()) return silent ? false : SaveVaultAs();
  if (!RefuseIfReadOnly(!silent)) return false;
  BuildVaultText();
  ClearSearchHistory();
  if (!ProcessVaultLock().CheckLockBeforeSave(VaultPath)) {
    if (!silent) ShowMessageBox(LockTexts::kSaveRefused, LockTexts::kCaption, MB_ICONWARNING);
    return false;
  }
  if (SessionKey.empty()) {
    if (!silent) ShowMessageBox(DocumentTexts::kNoMasterKey, DocumentTexts::kSaveErrorCaption, MB_ICONERROR);
    return false;
  }
  // From here the engine's key is cleared on every way out, and the bar
  // hidden unless the save succeeded.
  ShowProgress(10);
  bool saved = false;
  struct TFinally {
    TFormMain* form;
    bool& saved;
    ~TFinally() {
      form->QEnc1->ClearSessionKey();
      if (!saved) form->HideProgress();
    }
  } finally{this, saved};

  QEnc1->SetUseFileNameInKey(false);
  QEnc1->SetHeaderOnly(false);
  ShowProgress(30);
  QEnc1->SetKey(SessionKey);
  ShowProgress(60);

  // The vault text in one buffer, wiped on every way out.
  std::string text = MemoData->SecretText();
  if (text.empty()) text = VaultTextForContainer(text);
  struct TWipeText {
    std::string& text;
    ~TWipeText() { WipeString(text); }
  } wipeText{text};
  const int mode = GetBackupMode(CheckedBackupButton());
  TVaultBackup& backups = VaultBackups;
  if (!backups.Seams().IsEncryptedFile)
    backups.Seams().IsEncryptedFile = [](const std::string& path) {
      TQEnc probe(nullptr);
      return probe.IsEncryptedFile(path);
    };
  TVaultSaveIo io;
  io.Encrypt = [this, &text](const std::string& tmp) {
    TEngineWait wait(*this, *QEnc1, 60, 90);
    if (QEnc1->EncryptStringToFile(text, tmp, "")) return 0;
    const int error = QEnc1->LastError();
    return error != ErrNone ? error : static_cast<int>(ErrEncryptFailed);
  };
  io.MakeBackupCopies = [&backups, mode](const std::string& vault, std::string& errorText) {
    return backups.MakeBackupCopies(vault, mode, errorText);
  };
  io.Replace = [](const std::string& tmp, const std::string& vault) { return Platform::MoveFileReplacing(tmp, vault); };
  io.ApplyBackupMode = [&backups, mode](const std::string& vault) { backups.ApplyBackupMode(vault, mode); };
  io.RemoveFile = [](const std::string& path) { return Platform::RemoveFile(path); };
  io.OnStep = [this](TVaultSaveStep step) {
    if (step == TVaultSaveStep::Encrypted) ShowProgress(90);
  };
  // Steps that a test replaced.
  if (SaveIo.Encrypt) io.Encrypt = SaveIo.Encrypt;
  if (SaveIo.MakeBackupCopies) io.MakeBackupCopies = SaveIo.MakeBackupCopies;
  if (SaveIo.Replace) io.Replace = SaveIo.Replace;
  if (SaveIo.ApplyBackupMode) io.ApplyBackupMode = SaveIo.ApplyBackupMode;
  if (SaveIo.RemoveFile) io.RemoveFile = SaveIo.RemoveFile;
  if (SaveIo.AfterStep) io.AfterStep = SaveIo.AfterStep;

  const TVaultSaveOutcome outcome = WriteVaultFile(VaultPath, io);
  WipeString(text);
  switch (outcome.Result) {
    case TVaultSaveResult::Saved:
      break;
    case TVaultSaveResult::EncryptFailed:
      // Esc during the key derivation: the user knows; nothing was written.
      if (!silent && outcome.EncryptError != ErrCanceled)
        ShowMessageBox(DocumentTexts::kEncryptFailed + TQEnc::ErrorToString(static_cast<TQEncError>(outcome.EncryptError)),
                       DocumentTexts::kSaveErrorCaption, MB_ICONERROR);
      return false;
    case TVaultSaveResult::BackupFailed:
      if (!silent) ShowMessageBox(outcome.BackupError, BackupTexts::kCaption, MB_ICONERROR);
      return false;
    case TVaultSaveResult::ReplaceFailed:
      if (!silent) ShowMessageBox(DocumentTexts::kReplaceFailed, DocumentTexts::kSaveErrorCaption, MB_ICONERROR);
      return false;
    case TVaultSaveResult::Stopped:
      return false;
  }
  Modified = false;
  UpdateCaption();
  SaveState();
  saved = true;
  FinishProgress();
  return true;
}

bool TFormMain::SaveVaultAs() {
  // A locked window holds no vault to save: the unlock prompt instead.
  if (UnlockIfLocked()) return false;
  const std::uint64_t generation = DocumentGeneration;
  if (!VaultPath.empty()) {
    SaveDialog1->SetInitialDir(ExtractFilePath(VaultPath));
    SaveDialog1->SetFileName(ExtractFileName(VaultPath));
  } else {
    SaveDialog1->SetFileName("");
  }
  const bool picked = SaveDialog1->Execute(Handle());
  if (!StillSameDocument(generation) || !picked) return false;
  const std::string chosen = SaveDialog1->FileName();
  if (!SameText(ExtractFileExt(chosen), ".qvl")) {
    ShowMessageBox(DocumentTexts::kOnlyQvl, DocumentTexts::kInvalidTypeCaption, MB_ICONERROR);
    return false;
  }
  const std::string oldPath = VaultPath;
  const bool oldReadOnly = ReadOnly;
  const std::string target = ExpandFileName(chosen);
  // Taking the new lock releases the old one.
  TVaultLock& lock = ProcessVaultLock();
  if (!lock.AcquireLock(target, false)) {
    ShowMessageBox(LockTexts::kSaveAsRefused, LockTexts::kCaption, MB_ICONWARNING);
    return false;
  }
  VaultPath = target;
  ReadOnly = false;
  UpdateDetailControls();
  if (SaveVault(false)) {
    TimerUpdateUITimer(this);
    return true;
  }
  // A lock or another vault that came in while the failure was shown owns
  // the window now: the old path put back under it would have that other
  // vault saved over the old file, and a locked vault holds no lock file.
  if (Locked || DocumentGeneration != generation) {
    if (Locked) {
      VaultPath = oldPath;
      ReadOnly = oldReadOnly;
      // A vault never saved has no file to unlock: the window is closed.
      if (oldPath.empty()) CloseFile(this);
      UpdateCaption();
    }
    return false;
  }
  // Back to the old file and its lock.
  lock.ReleaseHeldLock();
  VaultPath = oldPath;
  ReadOnly = oldReadOnly;
  if (!oldPath.empty() && !oldReadOnly) lock.AcquireLock(oldPath, false);
  UpdateDetailControls();
  UpdateCaption();
  TimerUpdateUITimer(this);
  // Nothing was saved: the chords stay mapped as the old file has them.
  SaveState(false);
  return false;
}

// ===========================================================================
// Open

bool TFormMain::OpenVault(const std::string& path, bool force) {
  using namespace DocumentTexts;
  if (!Platform::FileExists(path)) {
    ShowMessageBox(kFileMissing, kOpenErrorCaption, MB_ICONERROR);
    return false;
  }
  if (!SameText(ExtractFileExt(path), ".qvl")) {
    ShowMessageBox(kOnlyQvl, kInvalidTypeCaption, MB_ICONERROR);
    return false;
  }
  // After every wait for the user: a vault locked (unless it was locked to
  // begin with: unlocking reopens it through here) or replaced meanwhile
  // ends the open, and a lock shows the unlock prompt.
  const bool lockedAtStart = Locked;
  const std::uint64_t generation = DocumentGeneration;
  auto interrupted = [&] { return (Locked && !lockedAtStart) || DocumentGeneration != generation; };
  auto abandon = [&] {
    if (Locked && !lockedAtStart) UnlockIfLocked();
    return false;
  };
  if (!force && !ConfirmSaveChanges()) return false;
  if (interrupted()) return abandon();

  TVaultLock& lock = ProcessVaultLock();
  bool readOnly = false, takeOver = false, cancelled = false;
  TLockInfo info;
  if (lock.IsLockedByOther(path, info)) {
    const int answer = ShowMessageBox(LockedByPrompt(info.clientName), LockTexts::kCaption,
                                      MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
    if (interrupted()) return abandon();
    if (answer == IDYES)
      takeOver = true;
    else if (answer == IDNO)
      readOnly = true;
    else
      return false;
  }

  // From here every way out that is not a success hides the bar and
  // puts the caption back.
  const std::string opening = ExtractFileName(path) + kOpeningSuffix;
  SetCaption(opening);
  if (Application) Application->SetTitle(opening);
  Update();
  bool opened = false;
  struct TFinally {
    TFormMain* form;
    bool& opened;
    ~TFinally() {
      if (opened) return;
      form->HideProgress();
      form->UpdateCaption();
    }
  } finally{this, opened};

  std::string text;
  std::string key;
  int keyIterations = 0;
  const TCipherState before = CipherStateOf(*QEnc1);
  // Every early way out below wipes what was read and derived.
  struct TWipe {
    std::string& a;
    std::string& b;
    ~TWipe() {
      WipeString(a);
      WipeString(b);
    }
  } wipe{text, key};

  const bool plain = !QEnc1->IsEncryptedFile(path);
  if (plain) {
    const TQEncError damaged = DamagedContainerError(path);
    if (damaged != ErrNone) {
      ShowMessageBox(TQEnc::ErrorToString(damaged), kOpenErrorCaption, MB_ICONERROR);
      return false;
    }
    // A file that is not encrypted opens only when the user agrees.
    const int answer = ShowMessageBox(kUnencryptedQuestion, kUnencryptedCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (interrupted()) return abandon();
    if (answer != IDYES) return false;
    ShowProgress(10);
    ShowProgress(60);
    if (!ReadPlainFile(path, text)) {
      HideProgress();
      ShowMessageBox(kUnencryptedUnreadable, kOpenErrorCaption, MB_ICONERROR);
      return false;
    }
    // The master password it is saved under from now on.
    HideProgress();
    std::string password;
    const bool given = AskPassword(false, false, password);
    if (interrupted() || !given) {
      WipeString(password);
      return interrupted() ? abandon() : false;
    }
    // The key is made with the count the first save writes.
    ShowProgress(10);
    ShowProgress(30);
    TQEnc defaults(nullptr);
    DefaultsEngine(defaults);
    key = DeriveKeyWaiting(*this, defaults, password, 30, 60);
    keyIterations = defaults.Iterations();
    WipeString(password);
    if (key.empty()) {
      HideProgress();
      return false;
    }
    // The Defaults page reaches the engine once the lock is held.
    ShowProgress(60);
    ShowProgress(90);
  } else {
    // The held key first: a vault with the same master password opens
    // without a prompt.
    bool ok = false;
    if (!SessionKey.empty()) {
      ShowProgress(10);
      ShowProgress(60);
      const TQEncError error = DecryptVault(*this, path, SessionKey, text);
      ok = error == ErrNone;
      if (ok) {
        key = SessionKey;
        keyIterations = SessionKeyIterations;
      } else {
        HideProgress();
        // Esc: the open ends with everything as it was.
        if (error == ErrCanceled) return false;
        if (error != ErrWrongPassword) {
          ShowMessageBox(TQEnc::ErrorToString(error), kOpenErrorCaption, MB_ICONERROR);
          return false;
        }
      }
    }
    // Then the password, asked until it opens the file or the user gives up.
    while (!ok) {
      HideProgress();
      std::string password;
      const bool given = AskPassword(true, false, password);
      if (interrupted() || !given) {
        WipeString(password);
        return interrupted() ? abandon() : false;
      }
      if (password.empty()) continue;
      ShowProgress(10);
      ShowProgress(30);
      key = DeriveKeyWaiting(*this, *QEnc1, password, 30, 60);
      keyIterations = std::max(QEnc1->Iterations(), kEngineIterationFloor);
      if (key.empty()) {
        WipeString(password);
        HideProgress();
        if (QEnc1->CancelRequested()) return false;
        ShowMessageBox(kSessionKeyFailed, kPasswordErrorCaption, MB_ICONERROR);
        if (interrupted()) return abandon();
        continue;
      }
      ShowProgress(60);
      TQEncError error = DecryptVault(*this, path, key, text);
      if (error == ErrWrongPassword) {
        // The key may have been made with another count than today's.
        for (int count : PasswordRetryCounts(keyIterations, HeaderIterations(path), SessionKeyIterations,
                                             DefaultsIterations())) {
          TQEnc deriver(nullptr);
          deriver.SetIterations(count);
          WipeString(key);
          key = DeriveKeyWaiting(*this, deriver, password, 30, 60);
          keyIterations = count;
          if (key.empty()) {
            if (deriver.CancelRequested()) error = ErrCanceled;
            break;
          }
          error = DecryptVault(*this, path, key, text);
          if (error != ErrWrongPassword) break;
        }
      }
      WipeString(password);
      ok = error == ErrNone;
      if (ok) break;
      WipeString(key);
      HideProgress();
      // Esc: the open ends with everything as it was.
      if (error == ErrCanceled) return false;
      if (error != ErrWrongPassword) {
        // A damaged, cut or unreadable file: no password opens it.
        ShowMessageBox(TQEnc::ErrorToString(error), kOpenErrorCaption, MB_ICONERROR);
        return false;
      }
      ShowMessageBox(kWrongPassword, kOpenErrorCaption, MB_ICONERROR);
      if (interrupted()) return abandon();
    }
    ShowProgress(90);
  }
  // What the decryption put into the engine: the file's cipher settings.
  const TCipherState decrypted = CipherStateOf(*QEnc1);

  // The shown document keeps its key and cipher settings until the lock
  // is held.
  if (!lock.Seams().AskLockedWhileOpening)
    lock.Seams().AskLockedWhileOpening = [](const std::string& question, const std::string& caption) {
      const int answer = ShowMessageBox(question, caption, MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
      return answer == IDYES ? TLockAnswer::TakeOver : answer == IDNO ? TLockAnswer::ReadOnly : TLockAnswer::Cancel;
    };
  const std::string full = ExpandFileName(path);
  const bool held = lock.AcquireLockWithPrompt(full, readOnly, takeOver, cancelled);
  if (!held || interrupted()) {
    // The settings go back unless a document opened meanwhile put its own.
    if (SameCipherState(CipherStateOf(*QEnc1), decrypted)) RestoreCipherState(*QEnc1, before);
    if (held && !readOnly && SameText(lock.HeldLockPath(), full) && !SameText(VaultPath, full))
      lock.ReleaseHeldLock();
    // A vault opened meanwhile lost its lock when this one's was taken over
    // or given up for read-only: it takes it back.
    if (DocumentGeneration != generation && !Locked && !ReadOnly && !VaultPath.empty() &&
        !SameText(lock.HeldLockPath(), VaultPath))
      lock.AcquireLock(VaultPath, false);
    if (interrupted()) return abandon();
    HideProgress();
    if (!cancelled) ShowMessageBox(LockTexts::kNotAcquired, LockTexts::kCaption, MB_ICONWARNING);
    return false;
  }

  TakeSessionKey(key, keyIterations);
  if (plain) DefaultsEngine(*QEnc1);
  MemoData->ClearSecret();  // the text of the vault shown before
  MemoData->SetSecretText(text);
  FreeAllEntries();
  ParseVaultText(text, Vault);
  FillGroupTree();
  ShowReadVault();
  ClearSearchHistory();
  VaultPath = full;
  ReadOnly = readOnly;
  Modified = plain && !readOnly;
  UpdateDetailControls();
  UpdateCaption();
  TimerUpdateUITimer(this);
  SaveState();
  RegisterEntryHotKeys();
  // The keys start in the group tree, whose chosen group is then drawn as
  // the focused selection.
  FocusControl(TreeView1);
  opened = true;
  FinishProgress();
  WipeReleasedText();  // of the vault shown before
  return true;
}

// ===========================================================================
// Commands

void TFormMain::NewFile(TObject*) {
  if (UnlockIfLocked()) return;
  const std::uint64_t generation = DocumentGeneration;
  if (!ConfirmSaveChanges() || !StillSameDocument(generation)) return;
  std::string password;
  const bool given = AskPassword(false, false, password);
  if (!StillSameDocument(generation) || !given) {
    WipeString(password);
    return;
  }
  // The key is made with the count the first save writes.
  TQEnc defaults(nullptr);
  DefaultsEngine(defaults);
  std::string key = DeriveKeyWaiting(*this, defaults, password, 0, 100);
  WipeString(password);
  if (key.empty()) {
    if (!defaults.CancelRequested())
      ShowMessageBox(DocumentTexts::kSessionKeyFailed, DocumentTexts::kPasswordErrorCaption, MB_ICONERROR);
    return;
  }
  ProcessVaultLock().ReleaseHeldLock();
  ReadOnly = false;
  TakeSessionKey(key, defaults.Iterations());
  DefaultsEngine(*QEnc1);
  QEnc1->ClearSessionKey();
  // The old vault text is overwritten in the memo, not only dropped.
  MemoData->ClearSecret();
  FreeAllEntries();
  Vault.Clear();
  FillGroupTree();
  ClearSearchHistory();
  VaultPath.clear();
  Modified = false;
  UpdateDetailControls();
  UpdateCaption();
  TimerUpdateUITimer(this);
  FocusControl(TreeView1);
  WipeReleasedText();
}

void TFormMain::OpenFile(TObject*) {
  if (UnlockIfLocked()) return;
  const std::uint64_t generation = DocumentGeneration;
  if (!VaultPath.empty()) OpenDialog1->SetInitialDir(ExtractFilePath(VaultPath));
  const bool picked = OpenDialog1->Execute(Handle());
  if (!StillSameDocument(generation) || !picked) return;
  OpenVault(OpenDialog1->FileName(), false);
}

void TFormMain::CloseFile(TObject*) {
  // A lock or another vault that came in during the question ends the
  // Close: it was meant for the document asked about.
  const bool lockedBefore = Locked;
  const std::uint64_t generation = DocumentGeneration;
  if (!ConfirmSaveChanges()) return;
  if (Locked != lockedBefore || DocumentGeneration != generation) {
    if (Locked && !lockedBefore) UnlockIfLocked();
    return;
  }
  // A locked vault is closed without its password (the tray's Close and
  // the unlock prompt's Close button): no vault is left to unlock.
  ProcessVaultLock().ReleaseHeldLock();
  ReadOnly = false;
  Locked = false;
  UnregisterRememberedHotKeys();
  RememberedShortcuts.clear();
  PendingHotKeyId = -1;
  ResetAutomateAwait();
  // The vault text is overwritten in the memo, not only dropped.
  MemoData->ClearSecret();
  FreeAllEntries();
  Vault.Clear();
  FillGroupTree();
  ClearSearchHistory();
  VaultPath.clear();
  Modified = false;
  WipeString(SessionKey);
  QEnc1->ClearSessionKey();
  UpdateDetailControls();
  UpdateCaption();
  TimerUpdateUITimer(this);
  WipeReleasedText();
}

void TFormMain::WipeReleasedText() {
  if (WipeReleasedPosted) return;
  WipeReleasedPosted = PostMessageA(Handle(), kWipeReleasedMessage, 0, 0) != FALSE;
  if (!WipeReleasedPosted) Platform::WipeFreedMemory();
}

void TFormMain::TakeSessionKey(std::string& key, int iterations) {
  WipeString(SessionKey);
  SessionKey = std::move(key);
  key.clear();
  SessionKeyIterations = iterations;
}

void TFormMain::ChangeMasterPassword1Click(TObject*) {
  if (UnlockIfLocked()) return;
  // Without an open vault there is no key to change.
  if (!RefuseIfReadOnly(true) || SessionKey.empty()) return;
  const std::uint64_t generation = DocumentGeneration;
  std::string password;
  const bool given = AskPassword(false, true, password);
  if (!StillSameDocument(generation) || !given) {
    WipeString(password);
    return;
  }
  std::string key = DeriveKeyWaiting(*this, *QEnc1, password, 0, 100);
  WipeString(password);
  if (key.empty()) {
    if (!QEnc1->CancelRequested())
      ShowMessageBox(DocumentTexts::kNewMasterKeyFailed, DocumentTexts::kPasswordErrorCaption, MB_ICONERROR);
    return;
  }
  TakeSessionKey(key, std::max(QEnc1->Iterations(), kEngineIterationFloor));
  QEnc1->ClearSessionKey();
  Changed(this);
}

void TFormMain::SaveFile(TObject*) { SaveVault(false); }

void TFormMain::SaveFileAs(TObject*) { SaveVaultAs(); }
