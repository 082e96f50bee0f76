// TQEnc as a component: defaults and floors of its properties, the error
// texts, the effective password, the reporting methods with their Cancel
// answers, progress thinning against a scripted clock, and cancellation from
// another thread.

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "engine/KeyCache.h"
#include "engine/QEnc.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;

TEST(QEncComponent, Defaults) {
  TQEnc q;
  EXPECT_TRUE(q.CompatibilityMode());
  EXPECT_EQ(q.SecureDeleteWipes(), 3);
  EXPECT_EQ(q.SecureDeleteOversizePercent(), 1000);
  EXPECT_EQ(q.Key(), "");
  EXPECT_EQ(q.Algorithm(), qeaAES128CTR);
  EXPECT_EQ(q.Algorithm2(), qeaNone);
  EXPECT_EQ(q.Algorithm3(), qeaNone);
  EXPECT_FALSE(q.HeaderOnly());
  EXPECT_EQ(q.HeaderOnlyKB(), 444);
  EXPECT_TRUE(q.FastMode());
  EXPECT_FALSE(q.UseFileNameInKey());
  EXPECT_TRUE(q.UseEncryptedPrefix());
  EXPECT_EQ(q.EncryptedPrefix(), "$");
  EXPECT_EQ(q.Iterations(), 200000);
  EXPECT_EQ(q.FastIterations(), 20000);
  EXPECT_EQ(q.BufferSize(), 8192);
  EXPECT_FALSE(q.Busy());
  EXPECT_FALSE(q.CancelRequested());
  EXPECT_EQ(q.LastError(), ErrNone);
  EXPECT_EQ(q.LastOutputFile(), "");
  EXPECT_FALSE(q.OnProgress || q.OnError || q.OnStatus || q.OnFileBegin || q.OnFileDone ||
               q.OnDeleteFileProgress || q.OnDeleteFileDone);
}

TEST(QEncComponent, SetterFloors) {
  struct TCase {
    const char* Name;
    void (TQEnc::*Set)(int);
    int (TQEnc::*Get)() const;
    int Value;
    int Stored;
  } cases[] = {
      {"Iterations 0", &TQEnc::SetIterations, &TQEnc::Iterations, 0, 5000},
      {"Iterations 4999", &TQEnc::SetIterations, &TQEnc::Iterations, 4999, 5000},
      {"Iterations 5000", &TQEnc::SetIterations, &TQEnc::Iterations, 5000, 5000},
      {"Iterations 5001", &TQEnc::SetIterations, &TQEnc::Iterations, 5001, 5001},
      {"Iterations -1", &TQEnc::SetIterations, &TQEnc::Iterations, -1, 5000},
      {"Iterations max", &TQEnc::SetIterations, &TQEnc::Iterations, INT_MAX, INT_MAX},
      {"FastIterations 4999", &TQEnc::SetFastIterations, &TQEnc::FastIterations, 4999, 5000},
      {"FastIterations 7000", &TQEnc::SetFastIterations, &TQEnc::FastIterations, 7000, 7000},
      {"BufferSize 511", &TQEnc::SetBufferSize, &TQEnc::BufferSize, 511, 512},
      {"BufferSize 0", &TQEnc::SetBufferSize, &TQEnc::BufferSize, 0, 512},
      {"BufferSize 513", &TQEnc::SetBufferSize, &TQEnc::BufferSize, 513, 513},
      {"HeaderOnlyKB 0", &TQEnc::SetHeaderOnlyKB, &TQEnc::HeaderOnlyKB, 0, 1},
      {"HeaderOnlyKB -5", &TQEnc::SetHeaderOnlyKB, &TQEnc::HeaderOnlyKB, -5, 1},
      {"HeaderOnlyKB 2", &TQEnc::SetHeaderOnlyKB, &TQEnc::HeaderOnlyKB, 2, 2},
      {"SecureDeleteWipes 0", &TQEnc::SetSecureDeleteWipes, &TQEnc::SecureDeleteWipes, 0, 1},
      {"SecureDeleteWipes 7", &TQEnc::SetSecureDeleteWipes, &TQEnc::SecureDeleteWipes, 7, 7},
      {"OversizePercent 99", &TQEnc::SetSecureDeleteOversizePercent, &TQEnc::SecureDeleteOversizePercent, 99, 100},
      {"OversizePercent 150", &TQEnc::SetSecureDeleteOversizePercent, &TQEnc::SecureDeleteOversizePercent, 150,
       150},
  };
  for (const TCase& c : cases) {
    TQEnc q;
    (q.*c.Set)(c.Value);
    EXPECT_EQ((q.*c.Get)(), c.Stored) << c.Name;
  }
  TQEnc q;
  q.SetEncryptedPrefix("");
  EXPECT_EQ(q.EncryptedPrefix(), "$");
  q.SetEncryptedPrefix("enc_");
  EXPECT_EQ(q.EncryptedPrefix(), "enc_");
  q.SetEncryptedPrefix("");
  EXPECT_EQ(q.EncryptedPrefix(), "$");
  q.SetAlgorithm(qeaUnknown);  // stored unchanged; the operations refuse it
  EXPECT_EQ(q.Algorithm(), qeaUnknown);
}

TEST(QEncComponent, ErrorTexts) {
  const char* const texts[] = {
      "",
      "The encryption component is currently busy.",
      "An input or output stream is missing.",
      "No password was provided.",
      "The encryption algorithm is unknown or unsupported.",
      "The stream position is invalid.",
      "The encryption salt could not be generated.",
      "The encryption nonce could not be generated.",
      "The operation was canceled.",
      "The data is invalid or is not encrypted.",
      "The password is incorrect or the encrypted data was modified.",
      "No input file was specified.",
      "No output file was specified.",
      "The specified file could not be found.",
      "Directories are not supported for this operation.",
      "The encryption header could not be read.",
      "The encryption header is invalid.",
      "The encrypted data uses an unsupported header version.",
      "The encryption header size is invalid.",
      "The encrypted data length is invalid.",
      "The encryption algorithm marker could not be written.",
      "The encryption operation failed.",
      "The decryption operation failed.",
      "The temporary file could not be renamed.",
      "The encrypted data could not be verified.",
      "The file attributes could not be read.",
      "The secure random number generator could not be initialized.",
      "The file could not be opened.",
      "The file size could not be determined.",
      "The file could not be read completely.",
      "The file position could not be changed.",
      "Secure random data could not be generated.",
      "The file could not be written completely.",
      "The background operation could not be started.",
      "An unknown encryption error occurred.",
  };
  ASSERT_EQ(sizeof texts / sizeof texts[0], 35u);
  for (int e = 0; e < 35; ++e) EXPECT_EQ(TQEnc::ErrorToString(static_cast<TQEncError>(e)), texts[e]) << e;
  EXPECT_EQ(TQEnc::ErrorToString(ErrWrongPassword), "The password is incorrect or the encrypted data was modified.");
  for (int e : {35, 255, -1, INT_MIN, INT_MAX})
    EXPECT_EQ(TQEnc::ErrorToString(static_cast<TQEncError>(e)), "An unknown encryption error occurred.") << e;
}

TEST(QEncComponent, EffectiveKey) {
  struct TCase {
    bool UseName;
    const char* Name;
    const char* Expected;
  } cases[] = {
      {false, "C:\\v\\vault.qvl", "key"},
      {true, "C:\\v\\vault.qvl", "vault.qvl|key"},
      {true, "vault.qvl", "vault.qvl|key"},
      {true, "C:\\v\\", "C:\\v\\|key"},  // no name part: the whole name
      {true, "", "key"},
  };
  for (const TCase& c : cases) {
    TQEnc q;
    q.SetKey("key");
    q.SetUseFileNameInKey(c.UseName);
    EXPECT_EQ(q.EffectiveKey(c.Name), c.Expected) << c.Name;
  }
}

TEST(QEncComponent, OwnedByAnotherComponent) {
  TComponent owner;
  auto* q = new TQEnc(&owner);
  EXPECT_EQ(q->Owner(), &owner);
  EXPECT_EQ(owner.ComponentCount(), 1);
}  // the owner destroys it

TEST(QEncComponent, DoErrorStoresTheCodeBeforeTheEvent) {
  TTestQEnc q;
  std::vector<TQEncError> seen;
  q.OnError = [&](TObject* sender, TQEncError e) {
    EXPECT_EQ(sender, &q);
    EXPECT_EQ(q.LastError(), e);
    seen.push_back(e);
  };
  q.DoError(ErrWrongPassword);
  EXPECT_EQ(q.LastError(), ErrWrongPassword);
  EXPECT_EQ(seen, std::vector<TQEncError>{ErrWrongPassword});
  q.ClearError();
  EXPECT_EQ(q.LastError(), ErrNone);
  q.OnError = nullptr;
  q.DoError(ErrCanceled);  // no handler: the code is still kept
  EXPECT_EQ(q.LastError(), ErrCanceled);
}

// A reporting method's Cancel argument starts as CancelRequested; a handler
// that leaves it true sets CancelRequested, and the result is its negation.
TEST(QEncComponent, CancelAnswers) {
  struct TCase {
    bool Before;
    bool HandlerSets;  // what the handler writes, if it writes
    bool Writes;
    bool After;
  } cases[] = {
      {false, false, false, false},
      {false, true, true, true},
      {true, false, false, true},
      {true, false, true, true},  // a handler cannot take a request back
  };
  for (const TCase& c : cases) {
    TTestQEnc q;
    bool seenCancel = !c.Before;
    q.OnProgress = [&](TObject*, TQEncOperation, const std::string&, int, int, bool& cancel) {
      seenCancel = cancel;
      if (c.Writes) cancel = c.HandlerSets;
    };
    q.OnFileBegin = [&](TObject*, TQEncOperation, const std::string&, const std::string&, bool& cancel) {
      seenCancel = cancel;
      if (c.Writes) cancel = c.HandlerSets;
    };
    for (int which = 0; which < 2; ++which) {
      q.ResetCancel();
      if (c.Before) q.Cancel();
      const bool goOn = which == 0 ? q.DoProgress(qeoEncrypt, "f", 1, 2) : q.DoFileBegin(qeoDecrypt, "a", "b");
      EXPECT_EQ(seenCancel, c.Before);
      EXPECT_EQ(q.CancelRequested(), c.After);
      EXPECT_EQ(goOn, !c.After);
    }
  }
  TTestQEnc q;  // no handlers: the answer is the flag
  EXPECT_TRUE(q.DoProgress(qeoEncrypt, "f", 0, 1));
  q.Cancel();
  EXPECT_FALSE(q.DoProgress(qeoEncrypt, "f", 0, 1));
  EXPECT_FALSE(q.DoFileBegin(qeoEncrypt, "a", "b"));
}

// ---- Progress thinning for a worker, with a scripted clock ----

TEST(QEncComponent, ThinningSendsOnePerPercentStep) {
  TTestQEnc q;
  q.Tick = 1000;
  int sent = 0;
  for (int i = 0; i < 10; ++i) {
    q.Tick = 1000 + static_cast<std::uint32_t>(i);  // ten calls within 10 ms
    sent += q.ProgressDue(5000 + i, 100000);        // all at 5 %
  }
  EXPECT_EQ(sent, 1);
  q.Tick = 1009;
  EXPECT_TRUE(q.ProgressDue(100000, 100000)) << "position = max always goes through";
  EXPECT_TRUE(q.ProgressDue(100000, 100000));
  EXPECT_TRUE(q.ProgressDue(0, 100000)) << "position 0 always goes through";
  EXPECT_TRUE(q.ProgressDue(-3, 100000));
}

TEST(QEncComponent, ThinningRules) {
  struct TStep {
    std::uint32_t Tick;
    int Position, Max;
    bool Due;
  };
  const std::vector<TStep> steps = {
      {100, 10, 1000, true},    // 1 %: differs from "none sent"
      {110, 12, 1000, false},   // still 1 %, 10 ms later
      {179, 19, 1000, false},   // 79 ms
      {180, 19, 1000, true},    // 80 ms since the last one sent
      {181, 20, 1000, true},    // 2 %
      {182, 20, 0, true},       // max < 1: percent 0, a change
      {183, 20, 0, false},
      {184, 5000, 1000, true},  // beyond max: clamped to 100 and at max
      {185, -1, 1000, true},    // at or below zero
      {186, 1, 1000, false},    // 0 % again, like the last one sent
  };
  TTestQEnc q;
  for (const TStep& s : steps) {
    q.Tick = s.Tick;
    EXPECT_EQ(q.ProgressDue(s.Position, s.Max), s.Due) << "tick " << s.Tick;
  }
  // The tick count wraps: the difference is taken unsigned.
  q.Tick = 0xFFFFFFF0u;
  EXPECT_TRUE(q.ProgressDue(500, 1000));
  q.Tick = 0x00000010u;  // 32 ms later
  EXPECT_FALSE(q.ProgressDue(501, 1000));
  q.Tick = 0x00000040u;  // 80 ms later
  EXPECT_TRUE(q.ProgressDue(502, 1000));
  // Forgetting the record makes the next call go through.
  q.ResetProgressRecord();
  q.Tick = 0x00000041u;
  EXPECT_TRUE(q.ProgressDue(503, 1000));
}

// Percentages of positions near the top of the int range are computed in
// 64 bits.
TEST(QEncComponent, ThinningPercentIn64Bits) {
  TTestQEnc q;
  q.Tick = 5;
  EXPECT_TRUE(q.ProgressDue(INT_MAX / 2 - 1000, INT_MAX));  // 49 %
  EXPECT_FALSE(q.ProgressDue(INT_MAX / 2, INT_MAX));
}

// ---- Cancellation from another thread ----

TEST(QEncComponent, CancelFromAnotherThreadStopsARunningEncryption) {
  TQEnc q;
  q.SetKey("k");
  q.SetFastMode(true);
  q.SetFastIterations(5000);
  q.SetBufferSize(512);
  std::atomic<bool> running{false};
  q.OnProgress = [&](TObject*, TQEncOperation, const std::string&, int position, int, bool&) {
    if (position > 0) running = true;
  };
  TMemoryStream in, out;
  Fill(in, Pattern(1 << 20));
  std::thread canceller([&] {
    while (!running) std::this_thread::yield();
    q.Cancel();
  });
  const bool ok = q.EncryptStreamCore(&in, &out, "f", "f");
  canceller.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(q.LastError(), ErrCanceled);
  EXPECT_LT(out.Size(), 84 + (1 << 20));
}

TEST(QEncComponent, ClearKeyCacheEmptiesTheSharedCache) {
  TQEnc a, b;
  for (TQEnc* q : {&a, &b}) {
    q->SetKey("k");
    q->SetFastIterations(5000);
  }
  TMemoryStream in, out;
  Fill(in, Pattern(10));
  ASSERT_TRUE(a.EncryptStreamCore(&in, &out, "f", "f"));
  EXPECT_GE(TQEncKeyCache::Count(), 1u);
  b.ClearKeyCache();  // any instance empties it for all
  EXPECT_EQ(TQEncKeyCache::Count(), 0u);
}

}  // namespace
