#include "app/model/VaultBackup.h"

#include <cstdio>

#include "app/model/OsServices.h"
#include "base/Platform.h"
#include "base/SysUtils.h"

namespace {

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
  static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return days[m - 1];
}

bool CanOpenForReading(const std::string& path) {
  Platform::FileHandle h = Platform::FileOpen(path, Platform::OpenMode::Read, Platform::ShareMode::DenyNone);
  if (h == Platform::InvalidFile) return false;
  Platform::FileClose(h);
  return true;
}

}  // namespace

int GetBackupMode(int checkedButton) { return checkedButton >= 1 && checkedButton <= 4 ? checkedButton : 2; }

std::string BakFileName(const std::string& vaultPath) { return vaultPath + ".bak"; }

std::string DailyBackupName(const std::string& vaultPath, const std::string& date) {
  return ExtractFilePath(vaultPath) + ChangeFileExt(ExtractFileName(vaultPath), "") + "-" + date + ".bak";
}

bool ParseDailyBackupName(const std::string& fileName, const std::string& baseName, std::string& date) {
  if (!SameText(ExtractFileExt(fileName), ".bak")) return false;
  const std::string stem = ChangeFileExt(fileName, "");
  const std::string prefix = baseName + "-";
  if (stem.size() != prefix.size() + 8) return false;
  if (!SameText(stem.substr(0, prefix.size()), prefix)) return false;
  const std::string digits = stem.substr(prefix.size());
  if (!AllDigits(digits)) return false;
  date = digits;
  return true;
}

std::string AddDaysToDate(const std::string& date, int days) {
  if (date.size() != 8 || !AllDigits(date)) return {};
  const std::int64_t y = std::stoll(date.substr(0, 4));
  const unsigned m = static_cast<unsigned>(std::stoi(date.substr(4, 2)));
  const unsigned d = static_cast<unsigned>(std::stoi(date.substr(6, 2)));
  if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return {};
  std::int64_t ny;
  unsigned nm, nd;
  CivilFromDays(DaysFromCivil(y, m, d) + days, ny, nm, nd);
  if (ny < 0 || ny > 9999) return {};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02u%02u", static_cast<int>(ny), nm, nd);
  return buf;
}

TBackupSeams DefaultBackupSeams(std::function<bool(const std::string& path)> isEncryptedFile) {
  TBackupSeams s;
  s.Today = [] { return OsServices::LocalDateToday(); };
  s.FileDate = [](const std::string& path, std::string& date) { return OsServices::FileLocalDate(path, date); };
  s.FileExists = [](const std::string& path) { return Platform::FileExists(path); };
  s.IsEncryptedFile = std::move(isEncryptedFile);
  s.CanReadFile = CanOpenForReading;
  s.CopyFileOverwrite = [](const std::string& source, const std::string& target) {
    return OsServices::CopyFileOverwrite(source, target);
  };
  s.MoveFileTo = [](const std::string& source, const std::string& target, bool replace) {
    return replace ? OsServices::MoveFileReplace(source, target) : OsServices::MoveFileNoReplace(source, target);
  };
  s.RemoveFile = [](const std::string& path) { return Platform::RemoveFile(path); };
  s.ListFileNames = [](const std::string& directory) { return OsServices::ListFileNames(directory); };
  return s;
}

TVaultBackup::TVaultBackup(TBackupSeams seams) : seams_(std::move(seams)) {}

bool TVaultBackup::CopyFileViaTemp(const std::string& source, const std::string& destination, bool replace) {
  const std::string tmp = destination + ".tmp";
  seams_.RemoveFile(tmp);
  if (seams_.CopyFileOverwrite(source, tmp) && seams_.MoveFileTo(tmp, destination, replace)) return true;
  seams_.RemoveFile(tmp);
  return false;
}

bool TVaultBackup::IsPlainVaultFile(const std::string& vaultPath) {
  if (!seams_.IsEncryptedFile || !seams_.FileExists(vaultPath)) return false;
  // A file that cannot be read is not known to be plain: its backup is
  // attempted and fails, which stops the save.
  if (seams_.CanReadFile && !seams_.CanReadFile(vaultPath)) return false;
  return !seams_.IsEncryptedFile(vaultPath);
}

bool TVaultBackup::MakeDailyBackup(const std::string& vaultPath, int mode) {
  if (mode <= 2) return true;
  if (!seams_.FileExists(vaultPath)) return true;  // the first save
  if (IsPlainVaultFile(vaultPath)) return true;
  std::string fileDate;
  if (!seams_.FileDate(vaultPath, fileDate)) return false;
  const std::string today = seams_.Today();
  if (fileDate < today) {
    const std::string name = DailyBackupName(vaultPath, fileDate);
    if (seams_.FileExists(name)) return true;
    return CopyFileViaTemp(vaultPath, name, false);
  }
  return true;  // the vault was already written today
}

bool TVaultBackup::MakeBackupCopies(const std::string& vaultPath, int mode, std::string& errorText) {
  errorText.clear();
  if (!MakeDailyBackup(vaultPath, mode)) {
    errorText = BackupTexts::kDailyFailed;
    return false;
  }
  if (mode >= 2 && seams_.FileExists(vaultPath) && !IsPlainVaultFile(vaultPath) &&
      !CopyFileViaTemp(vaultPath, BakFileName(vaultPath), true)) {
    errorText = BackupTexts::kBakFailed;
    return false;
  }
  return true;
}

void TVaultBackup::PruneDailyBackups(const std::string& vaultPath, int mode) {
  const std::string dir = ExtractFilePath(vaultPath);
  const std::string base = ChangeFileExt(ExtractFileName(vaultPath), "");
  const std::vector<std::string> names = seams_.ListFileNames(dir);

  std::string newest;
  if (mode == 3) {
    for (const std::string& name : names) {
      std::string date;
      if (ParseDailyBackupName(name, base, date) && date > newest) newest = date;
    }
  }
  const std::string cutoff = AddDaysToDate(seams_.Today(), -7);

  for (const std::string& name : names) {
    std::string date;
    if (!ParseDailyBackupName(name, base, date)) continue;
    const bool remove = mode <= 2 || (mode == 3 && date != newest) || (mode == 4 && date < cutoff);
    if (remove) seams_.RemoveFile(dir + name);
  }
}

void TVaultBackup::ApplyBackupMode(const std::string& vaultPath, int mode) {
  if (mode == 1) seams_.RemoveFile(BakFileName(vaultPath));
  PruneDailyBackups(vaultPath, mode);
}
