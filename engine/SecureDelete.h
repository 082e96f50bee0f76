// The file calls of secure deletion: an exclusive write-through handle,
// overwriting, cutting, renaming and removing, and the random source of the
// overwrite passes. SecureDeleteWin32.cpp or SecureDeletePosix.cpp
// implements them; the build picks one.
#pragma once

#include <cstdint>
#include <string>

namespace SecureDeleteIo {

enum class TKind { Missing, Unreadable, Directory, File };

// What lies at the path, from its attributes.
TKind Query(const std::string& path);
// Clears read-only and the other attributes; false when that failed.
bool SetNormalAttributes(const std::string& path);

using THandle = std::intptr_t;
constexpr THandle InvalidHandle = -1;

// An existing file for reading and writing, shared with no one, every
// write going through to the disk.
THandle OpenExclusive(const std::string& path);
bool FileSize(THandle h, std::int64_t& size);
bool Rewind(THandle h);
// Bytes written, -1 on failure.
std::int64_t Write(THandle h, const void* data, std::uint32_t count);
bool Flush(THandle h);
// Ends the file at the current position.
bool CutHere(THandle h);
void Close(THandle h);

// Renames a file; never replaces an existing target.
bool Rename(const std::string& from, const std::string& to);
bool Remove(const std::string& path);
std::uint32_t ProcessId();
std::uint32_t ThreadId();

// The random source of the overwrite data.
using TRandom = std::uintptr_t;
bool RandomOpen(TRandom& random);
bool RandomFill(TRandom random, void* data, std::uint32_t count);
void RandomClose(TRandom random);

}  // namespace SecureDeleteIo
