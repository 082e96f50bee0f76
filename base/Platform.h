// The platform seam: the few operating-system services that portable code
// needs. Platform.cpp files for Win32 and POSIX implement them; CMake picks one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>


namespace Platform {

// Fills buf with n bytes from the operating system's cryptographic random
// source. Returns false (and leaves buf zeroed) when the source fails.
bool RandomBytes(void* buf, std::size_t n);

// Milliseconds since an arbitrary start; the 32-bit form wraps like
// GetTickCount, the 64-bit form does not.
std::uint32_t TickCount();
std::uint64_t TickCount64();

// Milliseconds since 1970-01-01 00:00 UTC.
std::int64_t UtcNowMs();

// Moves source over target, replacing an existing target, and does not return
// before the data has reached the disk. On failure the target is untouched.
bool MoveFileReplacing(const std::string& source, const std::string& target);

// Overwrites n bytes at p with zeros in a way the optimiser cannot remove.
void SecureZero(void* p, std::size_t n);

// Overwrites the memory the process's heaps hold free, and the unused part
// of the calling thread's stack, with zeros: the system's own code (text
// drawing, controls) copies shown text into blocks it frees without wiping,
// out of reach of any other wipe. Each free block is taken from its heap,
// zeroed and given back; a block the heap no longer hands out is zeroed
// where it lies, but for the heap's own links at its two ends. Call it
// after the secrets have been released.
void WipeFreedMemory();

// The number of the processor the calling thread runs on at this moment, -1
// when the system does not say.
int CurrentProcessor();
// Keeps the calling thread off `processor` from now on, leaving it the
// other processors the process may use; false, and nothing changed, when
// that would leave none or the system refuses.
bool AvoidProcessor(int processor);

std::string ComputerName();
std::string UserName();

// Absolute, normalised form of a path relative to the current directory.
std::string FullPathName(const std::string& path);

bool FileExists(const std::string& path);       // a file, not a folder
bool DirectoryExists(const std::string& path);
bool RemoveFile(const std::string& path);
bool MakeDirectory(const std::string& path);  // one level
bool RemoveEmptyDirectory(const std::string& path);  // must be empty
std::string TempDirectory();                    // ends in a path delimiter

// Low-level file handles behind TFileStream. -1 is an invalid handle.
using FileHandle = std::intptr_t;
constexpr FileHandle InvalidFile = -1;

enum class OpenMode { Read, Write, ReadWrite };
enum class ShareMode { Compat, Exclusive, DenyWrite, DenyRead, DenyNone };

FileHandle FileOpen(const std::string& path, OpenMode mode, ShareMode share);
FileHandle FileCreate(const std::string& path);  // create or truncate, read-write
std::int64_t FileRead(FileHandle h, void* buf, std::int64_t count);         // -1 on error
std::int64_t FileWrite(FileHandle h, const void* buf, std::int64_t count);  // -1 on error
std::int64_t FileSeek(FileHandle h, std::int64_t offset, int origin);       // 0 begin, 1 current, 2 end
bool FileTruncate(FileHandle h, std::int64_t size);
bool FileFlush(FileHandle h);
void FileClose(FileHandle h);

}  // namespace Platform

