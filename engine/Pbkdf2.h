// PBKDF2 (RFC 8018) with HMAC-SHA256 as the pseudo-random function.
#pragma once

#include <cstdint>

// Derives outLength bytes from password and salt into out and returns true.
// Returns false without writing anything when password or out is null, when
// passwordLength is negative, or when outLength is 0 or less (or beyond the
// standard's limit of (2^32 - 1) * 32 bytes). An empty password (length 0,
// non-null pointer) is valid. A salt of any length is used whole; a null
// salt or a length of 0 or less is the empty salt. An iteration count of 0
// counts as 1.
bool Pbkdf2HmacSha256(const void* password, std::int64_t passwordLength, const void* salt,
                      std::int64_t saltLength, std::uint8_t* out, std::int64_t outLength,
                      std::uint32_t iterations);
