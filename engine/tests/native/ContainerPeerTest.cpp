// The container against a second implementation of its format built on
// OpenSSL (PBKDF2, HMAC, AES, ChaCha20) and libgcrypt (Twofish, Blowfish):
// for every cipher and cascade, whole and header-only, random and FastMode
// salts, CompatibilityMode on and off, the engine writes exactly the bytes
// the peer writes from the same salts and IVs, and each reads the other's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/QEnc.h"
#include "engine/tests/native/peer/ContainerPeer.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;

// The bytes the engine's scripted random source hands out: 00 01 02 …
Bytes Counter(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i);
  return b;
}

struct TPeerCase {
  TCascadeCase Cascade;
  bool HeaderOnly;
  bool FastMode;
  bool Compatibility;
};

std::string CaseName(const ::testing::TestParamInfo<TPeerCase>& i) {
  return std::string(i.param.Cascade.Name) + (i.param.HeaderOnly ? "_HeaderOnly" : "_Whole") +
         (i.param.FastMode ? "_Fast" : "_Random") + (i.param.Compatibility ? "_Compat" : "_Offsets");
}

class ContainerPeer : public ::testing::TestWithParam<TPeerCase> {
 protected:
  Peer::TSettings PeerSettings() const {
    const TPeerCase& p = GetParam();
    Peer::TSettings s;
    s.Codes.push_back(p.Cascade.A1);
    if (p.Cascade.A2 != qeaNone) s.Codes.push_back(p.Cascade.A2);
    if (p.Cascade.A3 != qeaNone) s.Codes.push_back(p.Cascade.A3);
    s.Password = "peer password";
    s.KeyName = "C:\\Vaults\\family.qvl";
    s.FastMode = p.FastMode;
    s.HeaderOnlyKB = p.HeaderOnly ? 1 : 0;
    s.Compatibility = p.Compatibility;
    s.BufferSize = 512;
    return s;
  }
  void Configure(TQEnc& q) const {
    const TPeerCase& p = GetParam();
    q.SetKey("peer password");
    q.SetAlgorithm(p.Cascade.A1);
    q.SetAlgorithm2(p.Cascade.A2);
    q.SetAlgorithm3(p.Cascade.A3);
    q.SetFastMode(p.FastMode);
    q.SetIterations(5000);
    q.SetFastIterations(5000);
    q.SetHeaderOnly(p.HeaderOnly);
    q.SetHeaderOnlyKB(1);
    q.SetCompatibilityMode(p.Compatibility);
    q.SetBufferSize(512);
  }
  // Long enough for several chunks, a partial last one and, header-only,
  // a plain tail; it ends in a marker to show that nothing is cut.
  Bytes Plain() const {
    Bytes b = Pattern(1900, 77);
    const std::string tail = "$$$T$$$";
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  }
};

TEST_P(ContainerPeer, EngineWritesThePeersBytes) {
  TTestQEnc q;
  Configure(q);
  q.Scripted = true;
  TMemoryStream in, out;
  Fill(in, Plain());
  ASSERT_TRUE(q.EncryptStreamCore(&in, &out, "C:\\Vaults\\family.qvl", "family"));
  const Bytes ours = Contents(out);
  const Bytes theirs = Peer::Write(PeerSettings(), Plain(), Counter(96));
  ASSERT_EQ(ours.size(), theirs.size());
  EXPECT_EQ(ToHex(ours), ToHex(theirs));

  Bytes back;
  ASSERT_TRUE(Peer::Read(ours, "peer password", GetParam().Compatibility, 512, back));
  EXPECT_EQ(back, Plain());
}

TEST_P(ContainerPeer, EngineReadsThePeersContainer) {
  Bytes random = Pattern(96, 5);
  const Bytes theirs = Peer::Write(PeerSettings(), Plain(), random);
  TQEnc q;
  q.SetKey("peer password");
  q.SetCompatibilityMode(GetParam().Compatibility);
  q.SetBufferSize(512);
  TMemoryStream in, out;
  Fill(in, theirs);
  ASSERT_TRUE(q.DecryptStreamCore(&in, &out, "C:\\Vaults\\family.qvl", "family", static_cast<std::int64_t>(theirs.size())))
      << TQEnc::ErrorToString(q.LastError());
  EXPECT_EQ(Contents(out), Plain());
  EXPECT_EQ(q.Algorithm(), GetParam().Cascade.A1);
  EXPECT_EQ(q.Algorithm2(), GetParam().Cascade.A2);
  EXPECT_EQ(q.Algorithm3(), GetParam().Cascade.A3);
  EXPECT_EQ(q.FastMode(), GetParam().FastMode);
}

std::vector<TPeerCase> PeerCases() {
  std::vector<TPeerCase> v;
  for (const TCascadeCase& c : Cascades())
    for (bool headerOnly : {false, true})
      for (bool fast : {false, true}) v.push_back({c, headerOnly, fast, headerOnly != fast});  // each cascade both ways
  return v;
}

INSTANTIATE_TEST_SUITE_P(Cascades, ContainerPeer, ::testing::ValuesIn(PeerCases()), CaseName);

// Counters near their wraps: AES keeps bytes 0-11 and wraps the low 32 bits,
// Blowfish carries through 64 bits, Twofish through all 128, ChaCha20 starts
// at the block index.
TEST(ContainerPeerCounters, CountersNearTheirWraps) {
  for (const TCascadeCase& c : {Cascades()[0], Cascades()[1], Cascades()[2], Cascades()[3]}) {
    Peer::TSettings s;
    s.Codes = {c.A1};
    s.Password = "wrap";
    s.KeyName = "w";
    s.BufferSize = 512;
    Bytes random(32, 0xFF);  // salt and IV all FF
    const Bytes plain = Pattern(3000, 9);
    const Bytes theirs = Peer::Write(s, plain, random);
    TQEnc q;
    q.SetKey("wrap");
    q.SetCompatibilityMode(false);
    q.SetBufferSize(700);  // other chunk sizes: offsets carry on
    TMemoryStream in, out;
    Fill(in, theirs);
    ASSERT_TRUE(q.DecryptStreamCore(&in, &out, "w", "w", static_cast<std::int64_t>(theirs.size()))) << c.Name;
    EXPECT_EQ(Contents(out), plain) << c.Name;
  }
}

}  // namespace
