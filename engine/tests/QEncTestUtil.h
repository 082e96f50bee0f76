// Helpers for the container and component tests: an engine whose random
// source and clock are scripted, streams that fail after N bytes, the
// cascades under test and byte helpers.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Stream.h"
#include "engine/QEnc.h"

namespace QEncTest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes FromHex(const std::string& hex) {
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  return out;
}

inline std::string ToHex(const std::uint8_t* p, std::size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}
inline std::string ToHex(const Bytes& b) { return ToHex(b.data(), b.size()); }

inline Bytes Pattern(std::size_t n, unsigned seed = 1) {
  Bytes b(n);
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (auto& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<std::uint8_t>(x >> 16);
  }
  return b;
}

// An engine with a scripted random source (a running byte counter unless a
// call is told to fail) and a clock the test sets.
class TTestQEnc : public TQEnc {
 public:
  using TQEnc::DoError;
  using TQEnc::DoFileBegin;
  using TQEnc::DoProgress;
  using TQEnc::ProgressDue;
  using TQEnc::ResetProgressRecord;

  // Whether the HMAC runs on the helper thread, whatever the data's size.
  void SetMacThread(bool on) { macThreadFrom_ = on ? 0 : INT64_MAX; }
  // The least number of bytes handed to the helper thread at a time.
  void SetMacPieceSize(std::int64_t bytes) { macPieceSize_ = bytes; }
  void SetMacHelperStep(std::function<void()> step) { macHelperStep_ = std::move(step); }

  // Counter mode: each call hands out the next bytes of 00 01 02 … FF 00 …
  bool Scripted = false;
  std::uint8_t NextByte = 0;
  int FailCall = -1;  // the call (counted from 0) that fails
  int Calls = 0;
  std::uint32_t Tick = 0;

 protected:
  bool GenerateRandom(std::uint8_t* buffer, int count) override {
    const int call = Calls++;
    if (call == FailCall) {
      std::memset(buffer, 0, static_cast<std::size_t>(count));
      return false;
    }
    if (!Scripted) return TQEnc::GenerateRandom(buffer, count);
    for (int i = 0; i < count; ++i) buffer[i] = NextByte++;
    return true;
  }
  std::uint32_t CurrentTick() override { return Tick; }
};

// A memory stream that stops after a budget of bytes read or written: past
// it a call moves fewer bytes than asked (the rest of the budget, then
// nothing), or throws as a failing disk would.
class TFailingStream : public TStream {
 public:
  enum class TFailure { Short, Throw };

  TFailingStream() = default;
  explicit TFailingStream(const Bytes& data) { memory_.Write(data.data(), static_cast<std::int64_t>(data.size())); memory_.SetPosition(0); }

  std::int64_t ReadBudget = INT64_MAX;
  std::int64_t WriteBudget = INT64_MAX;
  TFailure Failure = TFailure::Short;

  std::int64_t Read(void* buffer, std::int64_t count) override {
    const std::int64_t n = Take(ReadBudget, count);
    if (n < count && Failure == TFailure::Throw) throw EReadError("read failed");
    return memory_.Read(buffer, n);
  }
  std::int64_t Write(const void* buffer, std::int64_t count) override {
    const std::int64_t n = Take(WriteBudget, count);
    if (n < count && Failure == TFailure::Throw) throw EWriteError("write failed");
    return memory_.Write(buffer, n);
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return memory_.Seek(offset, origin); }
  std::int64_t Size() override { return memory_.Size(); }
  void SetSize(std::int64_t size) override { memory_.SetSize(size); }

  Bytes Data() { return Bytes(memory_.Memory(), memory_.Memory() + memory_.Size()); }

 private:
  static std::int64_t Take(std::int64_t& budget, std::int64_t count) {
    const std::int64_t n = count < budget ? count : budget;
    budget -= n;
    return n;
  }
  TMemoryStream memory_;
};

inline void Fill(TMemoryStream& s, const Bytes& data) {
  s.Clear();
  if (!data.empty()) s.Write(data.data(), static_cast<std::int64_t>(data.size()));
  s.SetPosition(0);
}

inline Bytes Contents(TMemoryStream& s) { return Bytes(s.Memory(), s.Memory() + s.Size()); }

// A cascade as the three algorithm properties, with a short name.
struct TCascadeCase {
  const char* Name;
  TQEncAlgorithm A1, A2, A3;
};

// The four single ciphers and the ten cascades of the settings dialog
// (T Twofish, A AES, C ChaCha20 in stage order), plus Blowfish in cascades
// and one cipher used twice.
inline const std::vector<TCascadeCase>& Cascades() {
  static const std::vector<TCascadeCase> cases = {
      {"A", qeaAES128CTR, qeaNone, qeaNone},       {"B", qeaBlowfishCTR, qeaNone, qeaNone},
      {"C", qeaChaCha20, qeaNone, qeaNone},        {"T", qeaTwofishCTR, qeaNone, qeaNone},
      {"TA", qeaTwofishCTR, qeaAES128CTR, qeaNone}, {"TC", qeaTwofishCTR, qeaChaCha20, qeaNone},
      {"CA", qeaChaCha20, qeaAES128CTR, qeaNone},   {"TAC", qeaTwofishCTR, qeaAES128CTR, qeaChaCha20},
      {"TCA", qeaTwofishCTR, qeaChaCha20, qeaAES128CTR}, {"CTA", qeaChaCha20, qeaTwofishCTR, qeaAES128CTR},
      {"CAT", qeaChaCha20, qeaAES128CTR, qeaTwofishCTR}, {"BAC", qeaBlowfishCTR, qeaAES128CTR, qeaChaCha20},
      {"AB", qeaAES128CTR, qeaBlowfishCTR, qeaNone},      {"AA", qeaAES128CTR, qeaAES128CTR, qeaNone},
  };
  return cases;
}

inline int StageCount(const TCascadeCase& c) { return c.A2 == qeaNone ? 1 : (c.A3 == qeaNone ? 2 : 3); }

}  // namespace QEncTest
