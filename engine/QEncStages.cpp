#include "engine/QEncStages.h"

#include <cstring>

#include "base/Wipe.h"
#include "engine/Blowfishctr.h"
#include "engine/CtrCipher.h"
#include "engine/KeyCache.h"
#include "engine/Twofish.h"

struct TQEncStages::TStage {
  int Code = qeaAES128CTR;
  TQEncKeyCacheEntry Keys;
  std::uint8_t Iv[QEncFormat::IvSize] = {};
  TTwofishContext Twofish;
  TBlowfishContext Blowfish;

  void Clear() {
    WipeBytes(&Keys, sizeof Keys);
    WipeBytes(Iv, sizeof Iv);
    Twofish.Clear();
    Blowfish.Clear();
    Code = qeaAES128CTR;
  }
};

TQEncStages::TQEncStages() : stages_(new TStage[QEncFormat::MaxStages]) {}

TQEncStages::~TQEncStages() { Clear(); }

void TQEncStages::Clear() {
  for (int s = 0; s < QEncFormat::MaxStages; ++s) stages_[s].Clear();
  count_ = 0;
}

bool TQEncStages::Derive(const TQEncHeader& header, const std::string& password, const TPbkdf2Progress& progress,
                         bool* stopped) {
  Clear();
  if (stopped) *stopped = false;
  const int count = header.Cascade.StageCount;
  if (count < 1 || count > QEncFormat::MaxStages) return false;
  TQEncStageKeyRequest requests[QEncFormat::MaxStages];
  TQEncKeyCacheEntry keys[QEncFormat::MaxStages];
  for (int s = 0; s < count; ++s) {
    const int code = header.Cascade.Codes[s];
    requests[s].StagePassword = StagePassword(password, header.Version(), s + 1, code);
    requests[s].Salt = header.Salts[s];
    requests[s].Iterations = header.Iterations;
    requests[s].CipherKeyLength = CipherKeyLength(code);
  }
  const bool ok = DeriveStageKeys(requests, count, keys, progress, stopped);
  if (ok) {
    for (int s = 0; s < count; ++s) {
      TStage& st = stages_[s];
      st.Code = header.Cascade.Codes[s];
      st.Keys = keys[s];
      std::memcpy(st.Iv, header.Ivs[s], sizeof st.Iv);
      if (st.Code == qeaTwofishCTR) st.Twofish.SetKey(st.Keys.CipherKey, 16);
      if (st.Code == qeaBlowfishCTR) st.Blowfish.SetKey(st.Keys.CipherKey, 16);
    }
    count_ = count;
  }
  for (int s = 0; s < count; ++s) WipeString(requests[s].StagePassword);
  WipeBytes(keys, sizeof keys);
  return ok;
}

const std::uint8_t* TQEncStages::MacKey() const { return stages_[0].Keys.MacKey; }

void TQEncStages::Apply(int stage, std::uint8_t* buffer, std::int64_t length, std::int64_t offset,
                        bool compatibility) const {
  const TStage& st = stages_[stage];
  CtrCipherApply(st.Code, buffer, length, compatibility, offset, st.Twofish, st.Blowfish, st.Iv, st.Keys.CipherKey);
}

void TQEncStages::Encrypt(std::uint8_t* buffer, std::int64_t length, std::int64_t offset, bool compatibility) const {
  for (int s = 0; s < count_; ++s) Apply(s, buffer, length, offset, compatibility);
}

void TQEncStages::Decrypt(std::uint8_t* buffer, std::int64_t length, std::int64_t offset, bool compatibility) const {
  for (int s = count_ - 1; s >= 0; --s) Apply(s, buffer, length, offset, compatibility);
}
