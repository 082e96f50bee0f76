#include "base/Stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "base/Exceptions.h"

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, soCurrent);
  std::int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count < 0) throw EReadError("Stream read error");
  const std::int64_t bufSize = 64 * 1024;
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::min(count, bufSize)));
  std::int64_t left = count;
  try {
    while (left > 0) {
      std::int64_t n = std::min(left, bufSize);
      source.ReadBuffer(buf.data(), n);
      WriteBuffer(buf.data(), n);
      left -= n;
    }
  } catch (...) {
    Platform::SecureZero(buf.data(), buf.size());
    throw;
  }
  Platform::SecureZero(buf.data(), buf.size());
  return count;
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : fileName_(fileName) {
  if ((mode & 0xFF00) == fmCreate) {
    handle_ = Platform::FileCreate(fileName);
    if (handle_ == Platform::InvalidFile) throw EFCreateError("Cannot create file \"" + fileName + "\"");
    return;
  }
  Platform::OpenMode om = (mode & 3) == fmOpenWrite       ? Platform::OpenMode::Write
                          : (mode & 3) == fmOpenReadWrite ? Platform::OpenMode::ReadWrite
                                                          : Platform::OpenMode::Read;
  Platform::ShareMode sm;
  switch (mode & 0xF0) {
    case fmShareExclusive: sm = Platform::ShareMode::Exclusive; break;
    case fmShareDenyWrite: sm = Platform::ShareMode::DenyWrite; break;
    case fmShareDenyRead: sm = Platform::ShareMode::DenyRead; break;
    case fmShareDenyNone: sm = Platform::ShareMode::DenyNone; break;
    default: sm = Platform::ShareMode::Compat; break;
  }
  handle_ = Platform::FileOpen(fileName, om, sm);
  if (handle_ == Platform::InvalidFile) throw EFOpenError("Cannot open file \"" + fileName + "\"");
}

TFileStream::~TFileStream() { Platform::FileClose(handle_); }

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::int64_t n = Platform::FileRead(handle_, buffer, count);
  return n < 0 ? 0 : n;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::int64_t n = Platform::FileWrite(handle_, buffer, count);
  return n < 0 ? 0 : n;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t r = Platform::FileSeek(handle_, offset, static_cast<int>(origin));
  if (r < 0) throw EStreamError("Seek error in \"" + fileName_ + "\"");
  return r;
}

void TFileStream::SetSize(std::int64_t size) {
  if (size < 0 || !Platform::FileTruncate(handle_, size))
    throw EWriteError("Cannot set the size of \"" + fileName_ + "\"");
  if (Position() > size) Seek(size, soBeginning);
}

bool TFileStream::Flush() { return Platform::FileFlush(handle_); }

// ---- TMemoryStream ----

TMemoryStream::~TMemoryStream() { Clear(); }

// Bytes past Size() never hold data: a shrinking SetSize wipes them. So
// wiping the first Size() bytes of a buffer leaves nothing of its contents,
// and the untouched rest of the buffer is not paged in just to be zeroed.
void TMemoryStream::Clear() {
  if (data_) {
    Platform::SecureZero(data_, static_cast<std::size_t>(size_));
    ::operator delete(data_);
  }
  data_ = nullptr;
  size_ = capacity_ = pos_ = 0;
}

void TMemoryStream::SetCapacity(std::int64_t capacity) { Reallocate(std::max(capacity, size_)); }

void TMemoryStream::Reserve(std::int64_t capacity) {
  if (capacity <= capacity_) return;
  // Grow geometrically.
  std::int64_t newCap = std::max<std::int64_t>(capacity, capacity_ + capacity_ / 2);
  newCap = (newCap + 0xFFF) & ~std::int64_t{0xFFF};
  Reallocate(newCap);
}

// Moves the contents into a buffer of exactly capacity bytes (at least
// Size()); the old buffer is wiped before it is freed so no copy of its
// contents stays behind in the heap.
void TMemoryStream::Reallocate(std::int64_t capacity) {
  if (capacity == capacity_) return;
  if (capacity < 0 || static_cast<std::uint64_t>(capacity) > std::numeric_limits<std::size_t>::max())
    throw std::bad_alloc();
  std::uint8_t* p = nullptr;
  if (capacity > 0) {
    p = static_cast<std::uint8_t*>(::operator new(static_cast<std::size_t>(capacity)));
    if (size_ > 0) std::memcpy(p, data_, static_cast<std::size_t>(size_));
  }
  if (data_) {
    Platform::SecureZero(data_, static_cast<std::size_t>(size_));
    ::operator delete(data_);
  }
  data_ = p;
  capacity_ = capacity;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  std::int64_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, static_cast<std::size_t>(n));
  pos_ += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::int64_t end = pos_ + count;
  if (end > capacity_) Reserve(end);
  if (pos_ > size_) std::memset(data_ + size_, 0, static_cast<std::size_t>(pos_ - size_));
  std::memcpy(data_ + pos_, buffer, static_cast<std::size_t>(count));
  pos_ = end;
  if (end > size_) size_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_;
  std::int64_t p = base + offset;
  if (p < 0) throw EStreamError("Seek before the start of a memory stream");
  pos_ = p;
  return pos_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0) throw EWriteError("Negative stream size");
  if (size > capacity_) Reserve(size);
  if (size > size_) std::memset(data_ + size_, 0, static_cast<std::size_t>(size - size_));
  else if (data_) Platform::SecureZero(data_ + size, static_cast<std::size_t>(size_ - size));
  size_ = size;
  if (pos_ > size_) pos_ = size_;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  std::int64_t n = source.Size();
  SetSize(n);
  pos_ = 0;
  if (n > 0) source.ReadBuffer(data_, n);
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TMemoryStream::SaveToStream(TStream& dest) {
  if (size_ > 0) dest.WriteBuffer(data_, size_);
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream f(fileName, fmCreate);
  SaveToStream(f);
}
