#include <windows.h>
#include <wincrypt.h>

#include "engine/SecureDelete.h"

namespace SecureDeleteIo {

namespace {
HANDLE ToHandle(THandle h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

TKind Query(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
               ? TKind::Missing
               : TKind::Unreadable;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TKind::Directory : TKind::File;
}

bool SetNormalAttributes(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

THandle OpenExclusive(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  return h == INVALID_HANDLE_VALUE ? InvalidHandle : reinterpret_cast<THandle>(h);
}

bool FileSize(THandle h, std::int64_t& size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(ToHandle(h), &li)) return false;
  size = li.QuadPart;
  return true;
}

bool Rewind(THandle h) {
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  return SetFilePointerEx(ToHandle(h), zero, nullptr, FILE_BEGIN) != 0;
}

std::int64_t Write(THandle h, const void* data, std::uint32_t count) {
  DWORD written = 0;
  if (!WriteFile(ToHandle(h), data, count, &written, nullptr)) return -1;
  return written;
}

bool Flush(THandle h) { return FlushFileBuffers(ToHandle(h)) != 0; }

bool CutHere(THandle h) { return SetEndOfFile(ToHandle(h)) != 0; }

void Close(THandle h) {
  if (h != InvalidHandle) CloseHandle(ToHandle(h));
}

bool Rename(const std::string& from, const std::string& to) { return MoveFileA(from.c_str(), to.c_str()) != 0; }

bool Remove(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::uint32_t ProcessId() { return GetCurrentProcessId(); }
std::uint32_t ThreadId() { return GetCurrentThreadId(); }

bool RandomOpen(TRandom& random) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
  random = static_cast<TRandom>(provider);
  return true;
}

bool RandomFill(TRandom random, void* data, std::uint32_t count) {
  return CryptGenRandom(static_cast<HCRYPTPROV>(random), count, static_cast<BYTE*>(data)) != 0;
}

void RandomClose(TRandom random) {
  if (random != 0) CryptReleaseContext(static_cast<HCRYPTPROV>(random), 0);
}

}  // namespace SecureDeleteIo
