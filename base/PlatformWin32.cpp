#include <windows.h>
#include <wincrypt.h>

#include "base/Platform.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Platform {

// One CryptoAPI provider for the whole process: acquiring one costs far more
// than drawing a few bytes (the password generator draws byte by byte).
static HCRYPTPROV RandomProvider() {
  static const HCRYPTPROV provider = [] {
    HCRYPTPROV p = 0;
    if (!CryptAcquireContextA(&p, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
      p = 0;
    return p;
  }();
  return provider;
}

bool RandomBytes(void* buf, std::size_t n) {
  HCRYPTPROV prov = RandomProvider();
  if (!prov) {
    SecureZero(buf, n);
    return false;
  }
  auto* p = static_cast<BYTE*>(buf);
  bool ok = true;
  while (n > 0 && ok) {
    DWORD chunk = n > 0x10000000u ? 0x10000000u : static_cast<DWORD>(n);
    ok = CryptGenRandom(prov, chunk, p) != FALSE;
    p += chunk;
    n -= chunk;
  }
  if (!ok) SecureZero(buf, static_cast<std::size_t>(p - static_cast<BYTE*>(buf)) + n);
  return ok;
}

std::uint32_t TickCount() { return GetTickCount(); }
std::uint64_t TickCount64() { return GetTickCount64(); }

int CurrentProcessor() { return static_cast<int>(GetCurrentProcessorNumber()); }

bool AvoidProcessor(int processor) {
  if (processor < 0 || processor >= static_cast<int>(sizeof(DWORD_PTR) * 8)) return false;
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return false;
  const DWORD_PTR rest = process & ~(static_cast<DWORD_PTR>(1) << processor);
  return rest != 0 && SetThreadAffinityMask(GetCurrentThread(), rest) != 0;
}

std::int64_t UtcNowMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  // 100 ns ticks since 1601 → ms since 1970.
  return static_cast<std::int64_t>(u.QuadPart / 10000u) - 11644473600000LL;
}

bool MoveFileReplacing(const std::string& source, const std::string& target) {
  DWORD attr = GetFileAttributesA(source.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // Write-through covers the move, not the data of the file moved: a rename
  // on one volume would otherwise reach the disk before the bytes it names.
  // A source we may not write to (read-only) cannot be flushed and is moved
  // as it is.
  HANDLE file = CreateFileA(source.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    const bool flushed = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    if (!flushed) return false;
  }
  return MoveFileExA(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

void SecureZero(void* p, std::size_t n) {
  if (p && n) SecureZeroMemory(p, n);
}

namespace {

// The stack below the caller, where finished calls left their locals.
__attribute__((noinline)) void WipeStackBelow() {
  volatile char area[512 * 1024];
  SecureZeroMemory(const_cast<char*>(area), sizeof area);
}

// A list that lives outside the heaps, so that keeping it takes no free
// block away from the wipe.
template <class T>
class TOutsideList {
 public:
  explicit TOutsideList(std::size_t capacity)
      : items_(static_cast<T*>(VirtualAlloc(nullptr, capacity * sizeof(T), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))),
        capacity_(items_ ? capacity : 0) {}
  ~TOutsideList() {
    if (items_) VirtualFree(items_, 0, MEM_RELEASE);
  }
  TOutsideList(const TOutsideList&) = delete;
  TOutsideList& operator=(const TOutsideList&) = delete;
  bool Add(T item) {
    if (size_ == capacity_) return false;
    items_[size_++] = item;
    return true;
  }
  void Clear() { size_ = 0; }
  std::size_t Size() const { return size_; }
  T* begin() const { return items_; }
  T* end() const { return items_ + size_; }

 private:
  T* items_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

// A free block of a heap.
struct TFreeBlock {
  std::uintptr_t Start;
  SIZE_T Size;
};

// A block the heap holds free, with room for data.
bool IsFreeBlock(const PROCESS_HEAP_ENTRY& entry) {
  return (entry.wFlags & (PROCESS_HEAP_ENTRY_BUSY | PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE)) == 0 &&
         entry.cbData >= 16;
}

// The free blocks of heap that hold data, as many as fit.
void FreeBlocksOf(HANDLE heap, TOutsideList<TFreeBlock>& blocks) {
  blocks.Clear();
  if (!HeapLock(heap)) return;
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(heap, &entry))
    if (IsFreeBlock(entry) && !blocks.Add({reinterpret_cast<std::uintptr_t>(entry.lpData), entry.cbData})) break;
  HeapUnlock(heap);
}

// True when the block overlaps one of the sorted blocks.
bool Overlaps(const TFreeBlock& block, const TOutsideList<TFreeBlock>& sorted) {
  auto after = std::upper_bound(sorted.begin(), sorted.end(), block.Start,
                                [](std::uintptr_t at, const TFreeBlock& b) { return at < b.Start; });
  if (after != sorted.end() && after->Start < block.Start + block.Size) return true;
  return after != sorted.begin() && (after - 1)->Start + (after - 1)->Size > block.Start;
}

// Takes every block that heap holds free now, zeroes it and gives it back.
// The largest are asked for first, so that each request fits only a block
// of its own size: a smaller one would be cut from a larger block that is
// still to come. The small sizes may be served from elsewhere all the
// same, so the heap is walked again for what is left of the first blocks;
// memory the heap gains meanwhile is new and left alone.
void WipeFreeBlocks(HANDLE heap) {
  constexpr std::size_t kMaxBlocks = 1 << 17;
  TOutsideList<TFreeBlock> first(kMaxBlocks);
  TOutsideList<TFreeBlock> now(kMaxBlocks);
  TOutsideList<TFreeBlock> wanted(kMaxBlocks);
  TOutsideList<void*> taken(kMaxBlocks);
  FreeBlocksOf(heap, first);
  // In the order of their addresses, for Overlaps.
  std::sort(first.begin(), first.end(), [](const TFreeBlock& a, const TFreeBlock& b) { return a.Start < b.Start; });
  for (int round = 0; round < 4 && first.Size() > 0; ++round) {
    wanted.Clear();
    if (round > 0) FreeBlocksOf(heap, now);
    for (const TFreeBlock& block : round == 0 ? first : now)
      if (round == 0 || Overlaps(block, first)) wanted.Add(block);
    if (wanted.Size() == 0) break;
    std::sort(wanted.begin(), wanted.end(), [](const TFreeBlock& a, const TFreeBlock& b) { return a.Size > b.Size; });
    for (const TFreeBlock& block : wanted) {
      void* p = HeapAlloc(heap, 0, block.Size);
      if (!p) continue;
      const SIZE_T size = HeapSize(heap, 0, p);
      SecureZeroMemory(p, size != static_cast<SIZE_T>(-1) ? size : block.Size);
      if (!taken.Add(p)) {
        HeapFree(heap, 0, p);
        break;
      }
    }
  }
  for (void* p : taken) HeapFree(heap, 0, p);
  // A block freed before the heap began to serve its size from groups of
  // equal blocks is never handed out for it again: what such blocks hold
  // is overwritten where they lie, all but their first 16 bytes (the links
  // of the heap's free list) and their last 8 (a link back to the block).
  if (!HeapLock(heap)) return;
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(heap, &entry))
    if (IsFreeBlock(entry) && entry.cbData > 24)
      SecureZeroMemory(static_cast<char*>(entry.lpData) + 16, entry.cbData - 24);
  HeapUnlock(heap);
}

}  // namespace

void WipeFreedMemory() {
  WipeStackBelow();
  // The list of heaps lives on the stack: the walk allocates nothing from them.
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < count && i < 64; ++i) WipeFreeBlocks(heaps[i]);
}

std::string ComputerName() {
  char buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD len = sizeof buf;
  if (!GetComputerNameA(buf, &len)) return {};
  return std::string(buf, len);
}

std::string UserName() {
  char buf[257] = {};
  DWORD len = sizeof buf;
  if (!GetUserNameA(buf, &len) || len == 0) return {};
  return std::string(buf);  // len counts the terminating zero
}

std::string FullPathName(const std::string& path) {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    if (n == 0) return path;
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.resize(n + 1);
  }
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }
bool MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }
bool RemoveEmptyDirectory(const std::string& path) { return RemoveDirectoryA(path.c_str()) != FALSE; }

std::string TempDirectory() {
  char buf[MAX_PATH + 2] = {};
  DWORD n = GetTempPathA(sizeof buf, buf);
  std::string d = (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string(".\\");
  if (d.back() != '\\' && d.back() != '/') d += '\\';
  return d;
}

static HANDLE ToHandle(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

FileHandle FileOpen(const std::string& path, OpenMode mode, ShareMode share) {
  DWORD access = mode == OpenMode::Read ? GENERIC_READ
               : mode == OpenMode::Write ? GENERIC_WRITE
                                         : GENERIC_READ | GENERIC_WRITE;
  DWORD shareFlags = FILE_SHARE_READ | FILE_SHARE_WRITE;
  switch (share) {
    case ShareMode::Compat: shareFlags = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case ShareMode::Exclusive: shareFlags = 0; break;
    case ShareMode::DenyWrite: shareFlags = FILE_SHARE_READ; break;
    case ShareMode::DenyRead: shareFlags = FILE_SHARE_WRITE; break;
    case ShareMode::DenyNone: shareFlags = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
  }
  HANDLE h = CreateFileA(path.c_str(), access, shareFlags, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
}

FileHandle FileCreate(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? InvalidFile : reinterpret_cast<FileHandle>(h);
}

std::int64_t FileRead(FileHandle h, void* buf, std::int64_t count) {
  auto* p = static_cast<char*>(buf);
  std::int64_t done = 0;
  while (done < count) {
    DWORD want = count - done > 0x40000000 ? 0x40000000u : static_cast<DWORD>(count - done);
    DWORD got = 0;
    if (!ReadFile(ToHandle(h), p + done, want, &got, nullptr)) return done > 0 ? done : -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

std::int64_t FileWrite(FileHandle h, const void* buf, std::int64_t count) {
  auto* p = static_cast<const char*>(buf);
  std::int64_t done = 0;
  while (done < count) {
    DWORD want = count - done > 0x40000000 ? 0x40000000u : static_cast<DWORD>(count - done);
    DWORD put = 0;
    if (!WriteFile(ToHandle(h), p + done, want, &put, nullptr) || put == 0)
      return done > 0 ? done : -1;
    done += put;
  }
  return done;
}

std::int64_t FileSeek(FileHandle h, std::int64_t offset, int origin) {
  LARGE_INTEGER dist, out;
  dist.QuadPart = offset;
  DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(ToHandle(h), dist, &out, method)) return -1;
  return out.QuadPart;
}

bool FileTruncate(FileHandle h, std::int64_t size) {
  LARGE_INTEGER cur, zero, target;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(ToHandle(h), zero, &cur, FILE_CURRENT)) return false;
  target.QuadPart = size;
  if (!SetFilePointerEx(ToHandle(h), target, nullptr, FILE_BEGIN)) return false;
  bool ok = SetEndOfFile(ToHandle(h)) != FALSE;
  SetFilePointerEx(ToHandle(h), cur, nullptr, FILE_BEGIN);
  return ok;
}

bool FileFlush(FileHandle h) { return FlushFileBuffers(ToHandle(h)) != FALSE; }

void FileClose(FileHandle h) {
  if (h != InvalidFile) CloseHandle(ToHandle(h));
}

}  // namespace Platform
