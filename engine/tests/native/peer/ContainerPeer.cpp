// The container peer: see ContainerPeer.h.
#include "engine/tests/native/peer/ContainerPeer.h"

#include <gcrypt.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace Peer {

void InitGcrypt() {
  static const bool done = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)done;
}

Bytes Pbkdf2(const std::string& password, const std::uint8_t* salt, std::uint32_t iterations, int length) {
  Bytes out(static_cast<std::size_t>(length));
  const int n = static_cast<int>(std::min<std::size_t>(password.size(), 200));
  if (PKCS5_PBKDF2_HMAC(password.data(), n, salt, 16, static_cast<int>(iterations), EVP_sha256(), length,
                        out.data()) != 1)
    throw std::runtime_error("PBKDF2 failed");
  return out;
}

Bytes Hmac(const std::uint8_t* key, std::size_t keyLength, const Bytes& data) {
  Bytes out(32);
  unsigned len = 0;
  HMAC(EVP_sha256(), key, static_cast<int>(keyLength), data.data(), data.size(), out.data(), &len);
  return out;
}

// The counter block of each cipher for block index `index`.
static void AesCounter(const std::uint8_t* iv, std::uint64_t index, std::uint8_t* counter) {
  std::memcpy(counter, iv, 12);
  const std::uint32_t c = ((std::uint32_t(iv[12]) << 24) | (std::uint32_t(iv[13]) << 16) |
                           (std::uint32_t(iv[14]) << 8) | iv[15]) +
                          static_cast<std::uint32_t>(index);
  for (int i = 0; i < 4; ++i) counter[12 + i] = static_cast<std::uint8_t>(c >> (24 - 8 * i));
}

static void BlowfishCounter(const std::uint8_t* iv, std::uint64_t index, std::uint8_t* counter) {
  std::uint64_t c = 0;
  for (int i = 0; i < 8; ++i) c = (c << 8) | iv[i];
  c += index;
  for (int i = 0; i < 8; ++i) counter[i] = static_cast<std::uint8_t>(c >> (56 - 8 * i));
}

static void TwofishCounter(const std::uint8_t* iv, std::uint64_t index, std::uint8_t* counter) {
  std::memcpy(counter, iv, 16);
  unsigned carry = 0;
  for (int i = 15; i >= 0; --i) {
    const unsigned add = i >= 8 ? static_cast<unsigned>((index >> (8 * (15 - i))) & 0xFF) : 0;
    const unsigned sum = counter[i] + add + carry;
    counter[i] = static_cast<std::uint8_t>(sum);
    carry = sum >> 8;
  }
}

// XORs the keystream of `code` at byte `offset` into the data: AES and the
// two gcrypt ciphers encrypt their counter blocks in ECB mode, ChaCha20 runs
// from the block index with the nonce after it.
void Apply(int code, const std::uint8_t* key, const std::uint8_t* iv, std::uint8_t* data, std::size_t n,
           std::uint64_t offset) {
  const int block = code == 0 || code == 3 ? 16 : code == 1 ? 8 : 64;
  EVP_CIPHER_CTX* evp = EVP_CIPHER_CTX_new();
  gcry_cipher_hd_t gcry = nullptr;
  if (code == 0) {
    EVP_EncryptInit_ex(evp, EVP_aes_128_ecb(), nullptr, key, nullptr);
    EVP_CIPHER_CTX_set_padding(evp, 0);
  } else if (code == 1 || code == 3) {
    InitGcrypt();
    gcry_cipher_open(&gcry, code == 1 ? GCRY_CIPHER_BLOWFISH : GCRY_CIPHER_TWOFISH128, GCRY_CIPHER_MODE_ECB, 0);
    gcry_cipher_setkey(gcry, key, 16);
  } else {
    std::uint8_t k[32], nonce[16];
    std::memcpy(k, key, 16);
    std::memcpy(k + 16, iv, 16);
    const auto c = static_cast<std::uint32_t>(offset / 64);
    for (int i = 0; i < 4; ++i) nonce[i] = static_cast<std::uint8_t>(c >> (8 * i));
    std::memcpy(nonce + 4, iv, 12);
    EVP_EncryptInit_ex(evp, EVP_chacha20(), nullptr, k, nonce);
  }
  std::uint8_t ks[64], counter[16];
  const std::uint8_t zeros[64] = {};
  int len = 0;
  for (std::size_t i = 0; i < n;) {
    const std::uint64_t at = offset + i;
    const std::uint64_t index = at / static_cast<std::uint64_t>(block);
    switch (code) {
      case 0:
        AesCounter(iv, index, counter);
        EVP_EncryptUpdate(evp, ks, &len, counter, 16);
        break;
      case 1:
        BlowfishCounter(iv, index, counter);
        gcry_cipher_encrypt(gcry, ks, 8, counter, 8);
        break;
      case 2:
        EVP_EncryptUpdate(evp, ks, &len, zeros, 64);  // the next block of the stream
        break;
      default:
        TwofishCounter(iv, index, counter);
        gcry_cipher_encrypt(gcry, ks, 16, counter, 16);
        break;
    }
    for (auto skip = static_cast<std::size_t>(at % static_cast<std::uint64_t>(block));
         skip < static_cast<std::size_t>(block) && i < n; ++skip, ++i)
      data[i] ^= ks[skip];
  }
  EVP_CIPHER_CTX_free(evp);
  if (gcry) gcry_cipher_close(gcry);
}

static std::uint32_t Fnv(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

static std::string NamePart(const std::string& name) {
  const std::size_t cut = name.find_last_of("\\/:");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

static std::string StagePassword(const TSettings& s, int stage) {
  if (s.Codes.size() == 1) return s.Password;
  return s.Password + "|QENC3-STAGE|" + std::to_string(stage) + "|ALG|" + std::to_string(s.Codes[stage - 1]);
}

// The container for the settings; salts and IVs come from `random` in the
// order salt 1, IV 1, salt 2, IV 2, … (FastMode: IVs only).
Bytes Write(const TSettings& s, const Bytes& plain, const Bytes& random) {
  const bool v2 = s.Codes.size() == 1;
  std::size_t r = 0;
  auto take = [&](std::uint8_t* out) {
    std::memcpy(out, random.data() + r, 16);
    r += 16;
  };
  std::uint8_t salts[3][16] = {}, ivs[3][16] = {};
  std::vector<Bytes> keys;
  Bytes mac;
  for (std::size_t j = 0; j < s.Codes.size(); ++j) {
    const int stage = static_cast<int>(j) + 1;
    const std::string pw = StagePassword(s, stage);
    if (s.FastMode) {
      const std::string name = v2 ? s.KeyName : s.KeyName + "|QENC3-STAGE|" + std::to_string(stage);
      std::string part = NamePart(name);
      if (part.empty()) part = name;
      const std::string message = pw + "|" + std::to_string(Fnv(part) % 50);
      const Bytes h = Hmac(reinterpret_cast<const std::uint8_t*>(pw.data()), pw.size(),
                           Bytes(message.begin(), message.end()));
      std::memcpy(salts[j], h.data(), 16);
    } else {
      take(salts[j]);
    }
    take(ivs[j]);
    const int keyLength = s.Codes[j] == 2 ? 32 : 16;
    const Bytes dk = Pbkdf2(pw, salts[j], s.Iterations, keyLength + 32);
    keys.emplace_back(dk.begin(), dk.begin() + keyLength);
    if (j == 0) mac.assign(dk.begin() + keyLength, dk.end());
  }
  const std::size_t e = s.HeaderOnlyKB > 0 ? std::min<std::size_t>(std::size_t(s.HeaderOnlyKB) * 1024, plain.size()) : 0;
  auto le32 = [](Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  Bytes header = {'Q', 'V', 'F', '1'};
  if (v2) {
    header.insert(header.end(), {2, static_cast<std::uint8_t>(s.Codes[0]), std::uint8_t(s.FastMode ? 1 : 2), 0});
    le32(header, s.Iterations);
    header.insert(header.end(), salts[0], salts[0] + 16);
    header.insert(header.end(), ivs[0], ivs[0] + 16);
    le32(header, static_cast<std::uint32_t>(e));
    header.insert(header.end(), 32, 0);
    le32(header, 84);
  } else {
    header.push_back(3);
    header.push_back(static_cast<std::uint8_t>(s.Codes.size()));
    for (std::size_t j = 0; j < 3; ++j)
      header.push_back(j < s.Codes.size() ? static_cast<std::uint8_t>(s.Codes[j]) : 0xFF);
    header.push_back(s.FastMode ? 1 : 2);
    le32(header, s.Iterations);
    for (auto& salt : salts) header.insert(header.end(), salt, salt + 16);
    for (auto& iv : ivs) header.insert(header.end(), iv, iv + 16);
    le32(header, static_cast<std::uint32_t>(e));
    header.insert(header.end(), 32, 0);
    le32(header, 150);
  }
  Bytes body = plain;
  const std::size_t limit = e > 0 ? e : body.size();
  for (std::size_t pos = 0; pos < limit; pos += static_cast<std::size_t>(s.BufferSize)) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(s.BufferSize), limit - pos);
    for (std::size_t j = 0; j < s.Codes.size(); ++j)
      Apply(s.Codes[j], keys[j].data(), ivs[j], body.data() + pos, n, s.Compatibility ? 0 : pos);
  }
  Bytes sealed = header;
  sealed.insert(sealed.end(), body.begin(), body.end());
  const Bytes tag = Hmac(mac.data(), mac.size(), sealed);
  std::copy(tag.begin(), tag.end(), sealed.begin() + (v2 ? 48 : 114));
  return sealed;
}

// Reads a container with the password; false when its tag does not match.
bool Read(const Bytes& c, const std::string& password, bool compatibility, int bufferSize, Bytes& plain,
          std::vector<int>* codes) {
  if (c.size() < 5 || (c[4] != 2 && c[4] != 3) || c.size() <= (c[4] == 2 ? 84u : 150u)) return false;
  auto le32 = [&](std::size_t at) {
    return std::uint32_t(c[at]) | (std::uint32_t(c[at + 1]) << 8) | (std::uint32_t(c[at + 2]) << 16) |
           (std::uint32_t(c[at + 3]) << 24);
  };
  const bool v2 = c[4] == 2;
  const std::size_t hs = v2 ? 84 : 150;
  TSettings s;
  s.Password = password;
  std::vector<const std::uint8_t*> salts, ivs;
  if (v2) {
    s.Codes = {c[5]};
    s.Iterations = le32(8);
    salts = {&c[12]};
    ivs = {&c[28]};
  } else {
    for (int j = 0; j < c[5]; ++j) {
      s.Codes.push_back(c[6 + static_cast<std::size_t>(j)]);
      salts.push_back(&c[14 + 16 * static_cast<std::size_t>(j)]);
      ivs.push_back(&c[62 + 16 * static_cast<std::size_t>(j)]);
    }
    s.Iterations = le32(10);
  }
  const std::uint32_t count = le32(v2 ? 44 : 110);
  std::vector<Bytes> keys;
  Bytes mac;
  for (std::size_t j = 0; j < s.Codes.size(); ++j) {
    const int keyLength = s.Codes[j] == 2 ? 32 : 16;
    const Bytes dk = Pbkdf2(StagePassword(s, static_cast<int>(j) + 1), salts[j], s.Iterations, keyLength + 32);
    keys.emplace_back(dk.begin(), dk.begin() + keyLength);
    if (j == 0) mac.assign(dk.begin() + keyLength, dk.end());
  }
  Bytes zeroed = c;
  std::fill(zeroed.begin() + (v2 ? 48 : 114), zeroed.begin() + (v2 ? 80 : 146), 0);
  const Bytes tag = Hmac(mac.data(), mac.size(), zeroed);
  if (!std::equal(tag.begin(), tag.end(), c.begin() + (v2 ? 48 : 114))) return false;
  if (codes) *codes = s.Codes;
  plain.assign(c.begin() + static_cast<std::ptrdiff_t>(hs), c.end());
  const std::size_t limit = count != 0 ? std::min<std::size_t>(count, plain.size()) : plain.size();
  for (std::size_t pos = 0; pos < limit; pos += static_cast<std::size_t>(bufferSize)) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(bufferSize), limit - pos);
    for (std::size_t j = s.Codes.size(); j-- > 0;)
      Apply(s.Codes[j], keys[j].data(), ivs[j], plain.data() + pos, n, compatibility ? 0 : pos);
  }
  return true;
}

std::string SessionKey(const std::string& masterPassword, std::uint32_t iterations) {
  static const char salt[] = "Tq4-Morrow-Salt9";
  std::uint8_t out[32];
  if (PKCS5_PBKDF2_HMAC(masterPassword.data(), static_cast<int>(masterPassword.size()),
                        reinterpret_cast<const std::uint8_t*>(salt), 16, static_cast<int>(iterations), EVP_sha256(),
                        32, out) != 1)
    throw std::runtime_error("PBKDF2 failed");
  static const char digits[] = "0123456789ABCDEF";
  std::string key;
  for (std::uint8_t b : out) {
    key += digits[b >> 4];
    key += digits[b & 15];
  }
  return key;
}

std::string Trailer(const std::vector<int>& codes) {
  if (codes.size() != 1) return "";
  switch (codes[0]) {
    case 1: return "$$$B$$$";
    case 2: return "$$$C$$$";
    case 3: return "$$$T$$$";
    default: return "";
  }
}

}  // namespace Peer
