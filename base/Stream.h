// Streams of our class library: an abstract TStream with 64-bit positions,
// a file stream over the platform's file handles and a memory stream whose
// buffer is wiped whenever it is released or moved.
#pragma once

#include <cstdint>
#include <string>

#include "base/Component.h"
#include "base/Platform.h"

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
 public:
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  std::int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(std::int64_t pos) { Seek(pos, soBeginning); }
  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t size) = 0;

  // Exactly count bytes, or EReadError / EWriteError.
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);

  // Copies count bytes from source (count 0: all of source from its start).
  // Returns the number of bytes copied; throws when source ends early.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

enum : unsigned {
  fmCreate = 0xFF00,
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
};

class TFileStream : public TStream {
 public:
  // Opens or creates the file; throws EFOpenError / EFCreateError.
  TFileStream(const std::string& fileName, unsigned mode);
  ~TFileStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;

  // Pushes written data to the disk.
  bool Flush();
  const std::string& FileName() const { return fileName_; }
  Platform::FileHandle Handle() const { return handle_; }

 private:
  std::string fileName_;
  Platform::FileHandle handle_ = Platform::InvalidFile;
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return size_; }
  void SetSize(std::int64_t size) override;

  std::uint8_t* Memory() { return data_; }
  const std::uint8_t* Memory() const { return data_; }
  // Wipes and releases the buffer.
  void Clear();

  // The bytes the buffer holds room for. Setting it ahead of writes whose
  // total is known allocates once instead of growing step by step; it never
  // shrinks the buffer below Size().
  std::int64_t Capacity() const { return capacity_; }
  void SetCapacity(std::int64_t capacity);

  void LoadFromStream(TStream& source);
  void LoadFromFile(const std::string& fileName);
  void SaveToStream(TStream& dest);
  void SaveToFile(const std::string& fileName);

 private:
  void Reserve(std::int64_t capacity);
  void Reallocate(std::int64_t capacity);

  std::uint8_t* data_ = nullptr;
  std::int64_t size_ = 0;
  std::int64_t capacity_ = 0;
  std::int64_t pos_ = 0;
};
