#include "app/model/VaultLock.h"

#include <algorithm>

#include "app/model/OsServices.h"
#include "app/model/TextLines.h"
#include "base/FileUtil.h"
#include "base/Platform.h"
#include "base/Stream.h"
#include "base/SysUtils.h"

namespace {

std::int64_t StrToInt64Or0(std::string_view s) {
  std::int64_t v = 0;
  return TryStrToInt64(std::string(s), v) ? v : 0;
}

bool ReadFileHead(const std::string& path, std::string& text) {
  text.clear();
  if (!Platform::FileExists(path)) return false;
  try {
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    // One byte past the limit shows a file too long to be read whole.
    std::int64_t n = std::min(f.Size(), kLockReadLimit + 1);
    text.assign(static_cast<std::size_t>(n), '\0');
    std::int64_t got = f.Read(text.data(), n);
    text.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    return true;
  } catch (const std::exception&) {
    text.clear();
    return false;
  }
}

std::string Prompt(const char* prefix, const std::string& clientName) {
  return prefix + (clientName.empty() ? std::string(LockTexts::kAnotherClient) : clientName) +
         LockTexts::kChoices;
}

}  // namespace

std::string LockedByPrompt(const std::string& clientName) {
  return Prompt(LockTexts::kLockedByPrefix, clientName);
}

std::string LockedWhileOpeningPrompt(const std::string& clientName) {
  return Prompt(LockTexts::kLockedWhileOpeningPrefix, clientName);
}

void InitLockInfo(TLockInfo& info) { info = TLockInfo{}; }

std::string LockFilePath(const std::string& vaultPath) {
  return vaultPath.empty() ? std::string() : vaultPath + ".lock";
}

bool ParseLockText(std::string_view text, TLockInfo& info) {
  InitLockInfo(info);
  bool first = true, magic = false;
  ForEachTextLine(text, [&](std::string_view line) {
    if (first) {
      first = false;
      magic = TrimBlanks(line) == kLockMagic;
      return;
    }
    if (!magic) return;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return;
    std::string_view key = TrimBlanks(line.substr(0, eq));
    std::string_view value = line.substr(eq + 1);
    if (key == "active") info.active = TrimBlanks(value) == "1";
    else if (key == "vault") info.vault.assign(value);
    else if (key == "clientId") info.clientId.assign(value);
    else if (key == "clientName") info.clientName.assign(value);
    else if (key == "createdUtc") info.createdUtc = StrToInt64Or0(value);
    else if (key == "refreshedUtc") info.refreshedUtc = StrToInt64Or0(value);
  });
  if (!magic) {
    InitLockInfo(info);
    return false;
  }
  info.parsed = true;
  return true;
}

std::string FormatLockText(bool active, const std::string& vaultFileName, const std::string& clientId,
                           const std::string& clientName, std::int64_t nowUtc) {
  const std::string now = IntToStr(nowUtc);
  std::string text;
  text += kLockMagic;
  text += "\r\nactive=";
  text += active ? "1" : "0";
  text += "\r\nvault=" + vaultFileName;
  text += "\r\nclientId=" + clientId;
  text += "\r\nclientName=" + clientName;
  text += "\r\ncreatedUtc=" + now;
  text += "\r\nrefreshedUtc=" + now + "\r\n";
  return text;
}

bool IsLockLiveAt(const TLockInfo& info, std::int64_t nowUtc) {
  if (info.oversized) return true;
  if (!info.parsed || !info.active || info.refreshedUtc <= 0) return false;
  // Both times are > 0 here or nowUtc is negative, so the difference cannot
  // overflow; a negative clock sees every lock as far in the future.
  if (nowUtc < 0) return false;
  const std::int64_t diff = nowUtc - info.refreshedUtc;
  return diff >= -kLockLiveMs && diff <= kLockLiveMs;
}

TLockSeams DefaultLockSeams() {
  TLockSeams s;
  s.UtcNowMs = [] { return Platform::UtcNowMs(); };
  s.TickCount = [] { return Platform::TickCount(); };
  s.ComputerName = [] { return Platform::ComputerName(); };
  s.UserName = [] { return Platform::UserName(); };
  s.ReadFile = ReadFileHead;
  s.WriteFile = [](const std::string& path, const std::string& text) { return SaveFileReplacing(path, text); };
  return s;
}

TVaultLock::TVaultLock(TLockSeams seams) : seams_(std::move(seams)) {}

std::string TVaultLock::GetClientName() {
  std::string computer = seams_.ComputerName ? seams_.ComputerName() : std::string();
  std::string user = seams_.UserName ? seams_.UserName() : std::string();
  if (computer.empty()) computer = "Windows PC";
  if (user.empty()) user = "User";
  return computer + " / " + user;
}

std::string TVaultLock::GetClientId() {
  if (clientId_.empty()) clientId_ = "windows-client:" + OsServices::AnsiLowerCase(GetClientName());
  return clientId_;
}

bool TVaultLock::ReadLockFile(const std::string& lockPath, std::string& text) {
  bool oversized = false;
  return ReadLockText(lockPath, text, oversized);
}

bool TVaultLock::ReadLockText(const std::string& lockPath, std::string& text, bool& oversized) {
  text.clear();
  oversized = false;
  if (!seams_.ReadFile || !seams_.ReadFile(lockPath, text)) {
    text.clear();
    return false;
  }
  if (static_cast<std::int64_t>(text.size()) > kLockReadLimit) {
    oversized = true;
    text.resize(kLockReadLimit);
  }
  return true;
}

bool TVaultLock::ParseLockFile(const std::string& vaultPath, TLockInfo& info) {
  InitLockInfo(info);
  std::string text;
  bool oversized = false;
  if (vaultPath.empty() || !ReadLockText(LockFilePath(vaultPath), text, oversized)) return false;
  if (oversized) {
    // No lock this program writes comes near the limit, and what lies past
    // it (the times, say) is never seen: such a file may be a live lock of
    // a client we cannot name, so it is one.
    info.parsed = true;
    info.active = true;
    info.oversized = true;
    return true;
  }
  return ParseLockText(text, info);
}

bool TVaultLock::WriteLockFile(const std::string& vaultPath, bool active) {
  if (vaultPath.empty() || !seams_.WriteFile) return false;
  const std::string text = FormatLockText(active, ExtractFileName(vaultPath), GetClientId(), GetClientName(),
                                          seams_.UtcNowMs());
  return seams_.WriteFile(LockFilePath(vaultPath), text);
}

bool TVaultLock::IsLockLive(const TLockInfo& info) { return IsLockLiveAt(info, seams_.UtcNowMs()); }

bool TVaultLock::IsLockedByOther(const std::string& vaultPath, TLockInfo& info) {
  return ParseLockFile(vaultPath, info) && IsLockLive(info) && !SameText(info.clientId, GetClientId());
}

void TVaultLock::ReleaseLock(const std::string& vaultPath) {
  if (vaultPath.empty()) return;
  TLockInfo info;
  if (ParseLockFile(vaultPath, info) && info.active && SameText(info.clientId, GetClientId()))
    WriteLockFile(vaultPath, false);
}

void TVaultLock::ReleaseHeldLock() {
  if (heldLockPath_.empty()) return;
  ReleaseLock(heldLockPath_);
  heldLockPath_.clear();
  lastHeartbeatTick_ = 0;
}

bool TVaultLock::WriteAndVerify(const std::string& fullPath) {
  if (!WriteLockFile(fullPath, true)) return false;
  // Another client may have written in between: the file read back decides.
  TLockInfo info;
  return ParseLockFile(fullPath, info) && info.active && SameText(info.clientId, GetClientId());
}

bool TVaultLock::AcquireLock(const std::string& vaultPath, bool force) {
  if (vaultPath.empty()) return false;
  const std::string full = ExpandFileName(vaultPath);
  TLockInfo info;
  if (!force && IsLockedByOther(full, info)) return false;
  if (!WriteAndVerify(full)) return false;
  const std::string old = heldLockPath_;
  heldLockPath_ = full;
  lastHeartbeatTick_ = seams_.TickCount();
  if (!old.empty() && !SameText(old, full)) ReleaseLock(old);
  return true;
}

bool TVaultLock::AcquireLockWithPrompt(const std::string& vaultPath, bool& readOnly, bool force,
                                       bool& cancelled) {
  if (readOnly) {
    ReleaseHeldLock();
    return true;
  }
  if (AcquireLock(vaultPath, force)) return true;
  TLockInfo info;
  if (!IsLockedByOther(vaultPath, info)) return false;  // the lock file could not be written
  const TLockAnswer answer =
      seams_.AskLockedWhileOpening
          ? seams_.AskLockedWhileOpening(LockedWhileOpeningPrompt(info.clientName), LockTexts::kCaption)
          : TLockAnswer::Cancel;
  switch (answer) {
    case TLockAnswer::Cancel:
      cancelled = true;
      return false;
    case TLockAnswer::ReadOnly:
      readOnly = true;
      ReleaseHeldLock();
      return true;
    case TLockAnswer::TakeOver:
      break;
  }
  return AcquireLock(vaultPath, true);
}

bool TVaultLock::CheckLockBeforeSave(const std::string& vaultPath) {
  if (vaultPath.empty()) return false;
  const std::string full = ExpandFileName(vaultPath);
  TLockInfo info;
  if (IsLockedByOther(full, info)) return false;
  if (!WriteAndVerify(full)) return false;
  heldLockPath_ = full;
  lastHeartbeatTick_ = seams_.TickCount();
  return true;
}

void TVaultLock::RefreshLock() {
  if (heldLockPath_.empty()) return;
  const std::uint32_t now = seams_.TickCount();
  if (static_cast<std::uint32_t>(now - lastHeartbeatTick_) < kLockHeartbeatMs) return;
  TLockInfo info;
  if (IsLockedByOther(heldLockPath_, info)) {
    heldLockPath_.clear();
    lastHeartbeatTick_ = 0;
    return;
  }
  if (WriteLockFile(heldLockPath_, true)) lastHeartbeatTick_ = now;
}
