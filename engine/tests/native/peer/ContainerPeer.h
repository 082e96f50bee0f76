// A second implementation of the vault container, written from the format's
// description on OpenSSL (PBKDF2, HMAC, AES, ChaCha20) and libgcrypt
// (Twofish, Blowfish). It shares no code with the engine: the engine's tests
// and the vault peer program hold the engine's bytes against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Peer {

using Bytes = std::vector<std::uint8_t>;

// Readies libgcrypt once (no secure memory) before its first use.
void InitGcrypt();

// PBKDF2-HMAC-SHA256 over the first 200 bytes of the password and a 16-byte
// salt, as the container derives its stage keys.
Bytes Pbkdf2(const std::string& password, const std::uint8_t* salt, std::uint32_t iterations, int length);

Bytes Hmac(const std::uint8_t* key, std::size_t keyLength, const Bytes& data);

// XORs the keystream of cipher `code` (0 AES, 1 Blowfish, 2 ChaCha20,
// 3 Twofish) at byte `offset` of the body into the data.
void Apply(int code, const std::uint8_t* key, const std::uint8_t* iv, std::uint8_t* data, std::size_t n,
           std::uint64_t offset);

struct TSettings {
  std::vector<int> Codes;  // one cipher: a version 2 header; two or three: version 3
  std::string Password;
  std::string KeyName;
  std::uint32_t Iterations = 5000;
  bool FastMode = false;
  int HeaderOnlyKB = 0;
  bool Compatibility = false;  // every chunk restarts the keystream
  int BufferSize = 8192;
};

// The container for the settings; salts and IVs come from `random` in the
// order salt 1, IV 1, salt 2, IV 2, … (FastMode: IVs only).
Bytes Write(const TSettings& s, const Bytes& plain, const Bytes& random);

// Reads a container with the password; false when it is too short for its
// header or its tag does not match. `codes` receives the stage ciphers.
bool Read(const Bytes& c, const std::string& password, bool compatibility, int bufferSize, Bytes& plain,
          std::vector<int>* codes = nullptr);

// The vault's session key for a master password: 32 bytes of
// PBKDF2-HMAC-SHA256 (whole password, salt "Tq4-Morrow-Salt9") as 64
// upper-case hexadecimal digits.
std::string SessionKey(const std::string& masterPassword, std::uint32_t iterations);

// The 7-byte algorithm trailer a vault file carries after a single-cipher
// container ("" for AES and for cascades).
std::string Trailer(const std::vector<int>& codes);

}  // namespace Peer
