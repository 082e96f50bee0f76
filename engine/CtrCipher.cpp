#include "engine/CtrCipher.h"

#include "engine/Aes.h"
#include "engine/Chacha20.h"

void CtrCipherApply(int code, std::uint8_t* buffer, std::int64_t length, bool compatibility, std::int64_t offset,
                    const TTwofishContext& twofish, const TBlowfishContext& blowfish, const std::uint8_t iv[16],
                    const std::uint8_t* key) {
  if (buffer == nullptr || length <= 0) return;
  const std::int64_t at = compatibility ? 0 : offset;
  switch (code) {
    case ccBlowfishCtr:
      BlowfishCtrXor(buffer, length, blowfish, iv, at);
      break;
    case ccChaCha20:
      Chacha20Xor(buffer, length, key, iv, at);
      break;
    case ccTwofishCtr:
      TwofishCtrXor(buffer, length, twofish, iv, at);
      break;
    default:  // ccAes128Ctr, and any unknown code
      Aes128CtrXor(buffer, length, key, iv, at);
      break;
  }
}
