// Cryptographic random bytes from the operating system, for salts, IVs and
// the overwrite passes of secure deletion.
#pragma once

#include <cstdint>

// Fills count bytes at buffer. Returns false for a null buffer, a count of 0
// or less, or when the system's source fails (the buffer is then zeroed).
bool RandomBytes(void* buffer, std::int64_t count);
