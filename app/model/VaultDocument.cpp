#include "app/model/VaultDocument.h"

#include <algorithm>

#include "base/SysUtils.h"

std::string VaultCaption(const std::string& vaultPath, bool modified, bool readOnly, bool locked) {
  std::string caption = vaultPath.empty() ? "Untitled - Vaultline" : ExtractFileName(vaultPath) + " - Vaultline";
  if (modified) caption = "*" + caption;
  if (readOnly) caption = "[Read-only] " + caption;
  if (locked) caption = "[Locked] " + caption;
  return caption;
}

std::string VaultTextForContainer(const std::string& vaultText) {
  return vaultText.empty() ? std::string("\r\n") : vaultText;
}

std::vector<int> PasswordRetryCounts(int triedCount, int headerCount, int documentKeyCount, int defaultsCount) {
  auto effective = [](int count) { return std::max(count, kEngineIterationFloor); };
  std::vector<int> counts;
  std::vector<int> seen{effective(triedCount)};
  for (int count : {headerCount, documentKeyCount, defaultsCount, kStandardIterations}) {
    if (count <= 0) continue;
    const int e = effective(count);
    if (std::find(seen.begin(), seen.end(), e) != seen.end()) continue;
    seen.push_back(e);
    counts.push_back(e);
  }
  return counts;
}

std::string VaultTempName(const std::string& vaultPath) { return vaultPath + ".tmp"; }

TVaultSaveOutcome WriteVaultFile(const std::string& vaultPath, const TVaultSaveIo& io) {
  TVaultSaveOutcome outcome;
  const std::string tmp = VaultTempName(vaultPath);
  auto done = [&](TVaultSaveStep step) {
    if (io.OnStep) io.OnStep(step);
    return !io.AfterStep || io.AfterStep(step);
  };
  auto fail = [&](TVaultSaveResult result) {
    io.RemoveFile(tmp);
    outcome.Result = result;
    return outcome;
  };

  // A temporary file left by an earlier save that stopped is never taken
  // for this one's.
  io.RemoveFile(tmp);
  outcome.EncryptError = io.Encrypt(tmp);
  if (outcome.EncryptError != 0) return fail(TVaultSaveResult::EncryptFailed);
  if (!done(TVaultSaveStep::Encrypted)) return outcome.Result = TVaultSaveResult::Stopped, outcome;

  if (!io.MakeBackupCopies(vaultPath, outcome.BackupError)) return fail(TVaultSaveResult::BackupFailed);
  if (!done(TVaultSaveStep::BackedUp)) return outcome.Result = TVaultSaveResult::Stopped, outcome;

  if (!io.Replace(tmp, vaultPath)) return fail(TVaultSaveResult::ReplaceFailed);
  if (!done(TVaultSaveStep::Replaced)) return outcome.Result = TVaultSaveResult::Stopped, outcome;

  io.ApplyBackupMode(vaultPath);
  if (!done(TVaultSaveStep::BackupsKept)) return outcome.Result = TVaultSaveResult::Stopped, outcome;
  outcome.Result = TVaultSaveResult::Saved;
  return outcome;
}
