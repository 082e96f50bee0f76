// The operations of TQEnc on streams, strings and files: round trips over
// every cipher and cascade, trailers, names, refusals that must leave files
// alone, the replacing move of decryption, verification and recognition.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/SysUtils.h"
#include "base/tests/TestUtil.h"
#include "engine/QEnc.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string Tail(const std::string& s, std::size_t n) { return s.size() < n ? s : s.substr(s.size() - n); }

// The trailer a single-cipher file writer appends, "" for none.
std::string ExpectedTrailer(const TCascadeCase& c) {
  if (StageCount(c) != 1) return "";
  switch (c.A1) {
    case qeaBlowfishCTR: return "$$$B$$$";
    case qeaChaCha20: return "$$$C$$$";
    case qeaTwofishCTR: return "$$$T$$$";
    default: return "";
  }
}

class TOpsEngine : public TQEnc {
 public:
  using TQEnc::SetBusy;
  TOpsEngine() {
    SetKey("correct horse");
    SetIterations(5000);
    SetFastIterations(5000);
  }
};

bool HasTemporary(const std::string& dir) {
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ".tmp") return true;
  return false;
}

TEST(QEncOps, RoundTripsEveryCipherAndCascade) {
  TempDir dir;
  const std::string plain = Text(Pattern(3000, 7));
  for (bool fast : {true, false}) {
    for (const auto& c : Cascades()) {
      SCOPED_TRACE(std::string(c.Name) + (fast ? " fast" : " random"));
      TOpsEngine q;
      q.SetFastMode(fast);

      // String.
      const std::string container = q.EncryptString(plain, c.A1, c.A2, c.A3, "note.txt");
      ASSERT_FALSE(container.empty()) << q.LastError();
      EXPECT_EQ(q.Algorithm(), qeaAES128CTR);  // the overload restores the settings
      EXPECT_EQ(q.Algorithm2(), qeaNone);
      EXPECT_EQ(q.DecryptString(container, "note.txt"), plain);
      EXPECT_EQ(q.LastError(), ErrNone);
      EXPECT_EQ(q.Algorithm(), c.A1);  // a decryption takes the header's ciphers
      q.SetAlgorithm(qeaAES128CTR);
      q.SetAlgorithm2(qeaNone);
      q.SetAlgorithm3(qeaNone);

      // Stream, from a position inside the input.
      TMemoryStream in, enc, out;
      Fill(in, Pattern(5, 1));
      in.Seek(0, soEnd);
      in.WriteBuffer(plain.data(), static_cast<std::int64_t>(plain.size()));
      in.SetPosition(5);
      ASSERT_TRUE(q.EncryptStream(&in, &enc, c.A1, c.A2, c.A3, "s"));
      enc.SetPosition(0);
      ASSERT_TRUE(q.DecryptStream(&enc, &out, "s"));
      EXPECT_EQ(Text(Contents(out)), plain);

      // File, with the trailer only after a single cipher other than AES.
      const std::string source = dir.File("plain.bin");
      WriteTestFile(source, plain);
      const std::string encrypted = dir.File(std::string("enc-") + c.Name);
      ASSERT_TRUE(q.EncryptFile(source, encrypted, c.A1, c.A2, c.A3)) << q.LastError();
      const std::string stored = ReadTestFile(encrypted);
      const std::string trailer = ExpectedTrailer(c);
      EXPECT_EQ(stored.size(),
                plain.size() + (StageCount(c) == 1 ? 84u : 150u) + trailer.size());
      if (!trailer.empty()) {
        EXPECT_EQ(Tail(stored, 7), trailer);
      }
      const std::string restored = dir.File(std::string("dec-") + c.Name);
      ASSERT_TRUE(q.DecryptFile(encrypted, restored)) << q.LastError();
      EXPECT_EQ(ReadTestFile(restored), plain);
      EXPECT_FALSE(HasTemporary(dir.Path()));
      // The vault's pair, with the settings as they stand.
      q.SetAlgorithm(c.A1);
      q.SetAlgorithm2(c.A2);
      q.SetAlgorithm3(c.A3);
      const std::string vault = dir.File("vault.qvf");
      ASSERT_TRUE(q.EncryptStringToFile(plain, vault, ""));
      EXPECT_EQ(ReadTestFile(vault).size(), stored.size());
      EXPECT_EQ(q.DecryptFileToString(vault), plain);
      EXPECT_EQ(q.LastError(), ErrNone);
    }
  }
}

TEST(QEncOps, WrongKeyAndEmptyText) {
  TOpsEngine q;
  const std::string container = q.EncryptString("secret", "n");
  q.SetKey("wrong");
  EXPECT_EQ(q.DecryptString(container, "n"), "");
  EXPECT_EQ(q.LastError(), ErrWrongPassword);

  q.SetKey("correct horse");
  const std::string empty = q.EncryptString("", "n");
  EXPECT_EQ(empty.size(), 84u);
  EXPECT_EQ(q.DecryptString(empty, "n"), "");
  EXPECT_EQ(q.LastError(), ErrInvalidEncryptedData);
}

// A cancellation answered to the first progress event ends the core
// without a code; the string front ends must still not read as success.
TEST(QEncOps, CancelledStringOperationsReportCanceled) {
  TempDir dir;
  TOpsEngine q;
  const std::string container = q.EncryptString("secret text", "n");
  ASSERT_TRUE(q.EncryptStringToFile("vault text", dir.File("v"), ""));
  const std::string text = q.EncryptText("x", "n", 0);
  q.OnProgress = [](TObject*, TQEncOperation, const std::string&, int position, int, bool& cancel) {
    if (position == 0) cancel = true;
  };
  EXPECT_EQ(q.EncryptString("abc", "n"), "");
  EXPECT_EQ(q.LastError(), ErrCanceled);
  EXPECT_EQ(q.DecryptString(container, "n"), "");
  EXPECT_EQ(q.LastError(), ErrCanceled);
  EXPECT_EQ(q.DecryptFileToString(dir.File("v")), "");
  EXPECT_EQ(q.LastError(), ErrCanceled);
  EXPECT_EQ(q.DecryptText(text, "n"), "");
  EXPECT_EQ(q.LastError(), ErrCanceled);
}

TEST(QEncOps, DefaultNamesTrailerAndTemporary) {
  TempDir dir;
  TOpsEngine q;
  const std::string source = dir.File("letter.txt");
  WriteTestFile(source, "Dear reader");
  ASSERT_TRUE(q.EncryptFile(source, ""));
  EXPECT_EQ(q.LastOutputFile(), dir.File("$letter.txt"));
  EXPECT_NE(Tail(ReadTestFile(dir.File("$letter.txt")), 7), "$$$A$$$");
  EXPECT_EQ(q.DetectFileAlgorithm(dir.File("$letter.txt")), qeaAES128CTR);

  q.SetAlgorithm(qeaTwofishCTR);
  const std::string other = dir.File("b.txt");
  WriteTestFile(other, "second");
  ASSERT_TRUE(q.EncryptFile(other, ""));
  EXPECT_EQ(Tail(ReadTestFile(dir.File("$b.txt")), 7), "$$$T$$$");

  // Decryption writes "<output>.tmp" and moves it into place.
  std::filesystem::remove(other);
  bool sawTemporary = false;
  q.OnProgress = [&](TObject*, TQEncOperation op, const std::string&, int, int, bool&) {
    if (op == qeoDecrypt && PathExists(other + ".tmp")) sawTemporary = true;
  };
  ASSERT_TRUE(q.DecryptFile(dir.File("$b.txt"), ""));
  EXPECT_TRUE(sawTemporary);
  EXPECT_EQ(q.LastOutputFile(), other);
  EXPECT_EQ(ReadTestFile(other), "second");
  EXPECT_FALSE(HasTemporary(dir.Path()));
}

TEST(QEncOps, NameHelpers) {
  TOpsEngine q;
  EXPECT_EQ(q.PlainNameForEncryptedFile("dir/$a.txt"), "a.txt");
  EXPECT_EQ(q.PlainNameForEncryptedFile("dir/a.txt"), "a.txt");
  EXPECT_EQ(q.PlainNameForEncryptedFile("$"), "");
  q.SetEncryptedPrefix("ENC_");
  EXPECT_EQ(q.PlainNameForEncryptedFile("enc_a"), "enc_a");  // case-sensitive
  EXPECT_EQ(q.BuildOutputEncryptName("d/x.bin"), "d/ENC_x.bin");
  EXPECT_EQ(q.BuildOutputDecryptName("d/ENC_x.bin"), "d/x.bin");
  q.SetUseEncryptedPrefix(false);
  EXPECT_EQ(q.PlainNameForEncryptedFile("d/ENC_x.bin"), "ENC_x.bin");
  EXPECT_EQ(q.BuildOutputEncryptName("d/x.bin"), "d/x.bin");
}

// A refused encryption touches neither the input nor an existing output.
TEST(QEncOps, FailedEncryptionLeavesFilesIntact) {
  TempDir dir;
  const std::string input = dir.File("in.txt");
  const std::string output = dir.File("out.qvf");
  struct TCase {
    const char* Name;
    std::function<void(TOpsEngine&)> Setup;
    std::function<bool(TOpsEngine&)> Run;
    TQEncError Error;
  };
  const std::vector<TCase> cases = {
      {"empty key, file", [](TOpsEngine& q) { q.SetKey(""); },
       [&](TOpsEngine& q) { return q.EncryptFile(input, output); }, ErrEmptyKey},
      {"bad cascade, file", [](TOpsEngine& q) { q.SetAlgorithm2(qeaUnknown); },
       [&](TOpsEngine& q) { return q.EncryptFile(input, output); }, ErrUnknownAlgorithm},
      {"empty key, vault", [](TOpsEngine& q) { q.SetKey(""); },
       [&](TOpsEngine& q) { return q.EncryptStringToFile("new", output, ""); }, ErrEmptyKey},
      {"bad cascade, vault", [](TOpsEngine& q) { q.SetAlgorithm(qeaNone); },
       [&](TOpsEngine& q) { return q.EncryptStringToFile("new", output, ""); }, ErrUnknownAlgorithm},
      {"bad cascade argument", [](TOpsEngine&) {},
       [&](TOpsEngine& q) { return q.EncryptFile(input, output, qeaNone, qeaNone, qeaNone); },
       ErrUnknownAlgorithm},
      {"output is the input", [](TOpsEngine& q) { q.SetUseEncryptedPrefix(false); },
       [&](TOpsEngine& q) { return q.EncryptFile(input, ""); }, ErrEncryptFailed},
      {"output names the input", [](TOpsEngine&) {},
       [&](TOpsEngine& q) { return q.EncryptFile(input, dir.File("./in.txt")); }, ErrEncryptFailed},
      {"decrypt onto the input", [](TOpsEngine&) {},
       [&](TOpsEngine& q) { return q.DecryptFile(input, input); }, ErrDecryptFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteTestFile(input, "precious input");
    WriteTestFile(output, "precious output");
    TOpsEngine q;
    c.Setup(q);
    bool fileBegin = false;
    q.OnFileBegin = [&](TObject*, TQEncOperation, const std::string&, const std::string&, bool&) {
      fileBegin = true;
    };
    EXPECT_FALSE(c.Run(q));
    EXPECT_EQ(q.LastError(), c.Error);
    EXPECT_EQ(ReadTestFile(input), "precious input");
    EXPECT_EQ(ReadTestFile(output), "precious output");
    EXPECT_FALSE(HasTemporary(dir.Path()));
    if (c.Error == ErrEncryptFailed || c.Error == ErrDecryptFailed) {
      EXPECT_FALSE(fileBegin);
    }
  }
}

// A failed or cancelled encryption of a new output removes what it wrote.
TEST(QEncOps, CancelledEncryptionRemovesItsOutput) {
  TempDir dir;
  TOpsEngine q;
  q.SetBufferSize(512);
  WriteTestFile(dir.File("in"), Text(Pattern(20000)));
  q.OnProgress = [](TObject*, TQEncOperation, const std::string&, int position, int, bool& cancel) {
    if (position > 2000) cancel = true;
  };
  EXPECT_FALSE(q.EncryptFile(dir.File("in"), dir.File("out")));
  EXPECT_EQ(q.LastError(), ErrCanceled);
  EXPECT_FALSE(PathExists(dir.File("out")));
  EXPECT_EQ(ReadTestFile(dir.File("in")), Text(Pattern(20000)));
}

TEST(QEncOps, DecryptionReplacesTheOutputOnlyOnSuccess) {
  TempDir dir;
  TOpsEngine q;
  WriteTestFile(dir.File("in"), "new plain");
  ASSERT_TRUE(q.EncryptFile(dir.File("in"), dir.File("enc")));
  WriteTestFile(dir.File("out"), "old plain");
  q.SetKey("wrong");
  EXPECT_FALSE(q.DecryptFile(dir.File("enc"), dir.File("out")));
  EXPECT_EQ(q.LastError(), ErrWrongPassword);
  EXPECT_EQ(ReadTestFile(dir.File("out")), "old plain");
  EXPECT_FALSE(HasTemporary(dir.Path()));
  q.SetKey("correct horse");
  ASSERT_TRUE(q.DecryptFile(dir.File("enc"), dir.File("out")));
  EXPECT_EQ(ReadTestFile(dir.File("out")), "new plain");
}

TEST(QEncOps, InputErrorsAndBusy) {
  TempDir dir;
  WriteTestFile(dir.File("f"), "x");
  struct TCase {
    std::string Input;
    TQEncError Error;
  };
  const std::vector<TCase> cases = {
      {"", ErrEmptyInputFile}, {dir.File("missing"), ErrFileNotFound}, {dir.Path(), ErrDirectoryNotSupported}};
  for (const auto& c : cases) {
    TOpsEngine q;
    EXPECT_FALSE(q.EncryptFile(c.Input, dir.File("o")));
    EXPECT_EQ(q.LastError(), c.Error);
    EXPECT_FALSE(q.DecryptFile(c.Input, dir.File("o")));
    EXPECT_EQ(q.LastError(), c.Error);
    EXPECT_FALSE(q.VerifyEncryptedFile(c.Input, dir.File("f"), 0));
    EXPECT_EQ(q.LastError(), c.Error);
  }
  TOpsEngine q;
  int events = 0;
  q.OnFileBegin = [&](TObject*, TQEncOperation, const std::string&, const std::string&, bool&) { ++events; };
  q.OnFileDone = [&](TObject*, TQEncOperation, const std::string&, const std::string&, bool) { ++events; };
  q.SetBusy(true);
  EXPECT_FALSE(q.EncryptFile(dir.File("f"), dir.File("o")));
  EXPECT_EQ(q.LastError(), ErrBusy);
  EXPECT_FALSE(q.DecryptFile(dir.File("f"), dir.File("o")));
  EXPECT_EQ(q.LastError(), ErrBusy);
  EXPECT_EQ(events, 0);
  EXPECT_FALSE(PathExists(dir.File("o")));
}

// Verification checks each condition on both names before the next one:
// an empty name anywhere wins over a missing file, a missing file over a
// folder, whichever side it is on.
TEST(QEncOps, VerifyChecksBothNamesForEachConditionInTurn) {
  TempDir dir;
  WriteTestFile(dir.File("f"), "x");
  const std::string file = dir.File("f"), missing = dir.File("missing"), folder = dir.Path();
  struct TCase {
    std::string Source, Encrypted;
    TQEncError Error;
  };
  const std::vector<TCase> cases = {
      {folder, "", ErrEmptyInputFile},
      {missing, "", ErrEmptyInputFile},
      {"", missing, ErrEmptyInputFile},
      {"", folder, ErrEmptyInputFile},
      {folder, missing, ErrFileNotFound},
      {missing, folder, ErrFileNotFound},
      {file, missing, ErrFileNotFound},
      {file, folder, ErrDirectoryNotSupported},
      {folder, file, ErrDirectoryNotSupported},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("source '" + c.Source + "', encrypted '" + c.Encrypted + "'");
    TOpsEngine q;
    EXPECT_FALSE(q.VerifyEncryptedFile(c.Source, c.Encrypted, 0));
    EXPECT_EQ(q.LastError(), c.Error);
    EXPECT_FALSE(q.Busy());
  }
}

TEST(QEncOps, FileNameInKeyFailsAfterARename) {
  TempDir dir;
  TOpsEngine q;
  q.SetUseFileNameInKey(true);
  WriteTestFile(dir.File("a.txt"), "bound to its name");
  ASSERT_TRUE(q.EncryptFile(dir.File("a.txt"), ""));
  std::filesystem::rename(dir.File("$a.txt"), dir.File("$b.txt"));
  EXPECT_FALSE(q.DecryptFile(dir.File("$b.txt"), ""));
  EXPECT_EQ(q.LastError(), ErrWrongPassword);
  std::filesystem::rename(dir.File("$b.txt"), dir.File("$a.txt"));
  std::filesystem::remove(dir.File("a.txt"));
  ASSERT_TRUE(q.DecryptFile(dir.File("$a.txt"), ""));
  EXPECT_EQ(ReadTestFile(dir.File("a.txt")), "bound to its name");
}

TEST(QEncOps, Recognition) {
  TempDir dir;
  TOpsEngine q;
  EXPECT_FALSE(q.IsEncryptedFile(dir.File("missing")));
  EXPECT_EQ(q.DetectFileAlgorithm(dir.File("missing")), qeaUnknown);
  WriteTestFile(dir.File("marker"), "anything at all$$$B$$$");
  EXPECT_TRUE(q.IsEncryptedFile(dir.File("marker")));
  EXPECT_EQ(q.DetectFileAlgorithm(dir.File("marker")), qeaBlowfishCTR);
  WriteTestFile(dir.File("plain"), std::string(200, 'x'));
  EXPECT_FALSE(q.IsEncryptedFile(dir.File("plain")));
  EXPECT_EQ(q.DetectFileAlgorithm(dir.File("plain")), qeaUnknown);

  WriteTestFile(dir.File("in"), "cascade");
  ASSERT_TRUE(q.EncryptFile(dir.File("in"), dir.File("tac"), qeaTwofishCTR, qeaAES128CTR, qeaChaCha20));
  EXPECT_TRUE(q.IsEncryptedFile(dir.File("tac")));
  EXPECT_EQ(q.DetectFileAlgorithm(dir.File("tac")), qeaTwofishCTR);

  // Streams: the position is kept; a header cut short is not a container.
  TMemoryStream s;
  Fill(s, Pattern(3));
  s.Seek(0, soEnd);
  const std::string c = q.EncryptString("x", qeaChaCha20, qeaNone, qeaNone, "n");
  s.WriteBuffer(c.data(), static_cast<std::int64_t>(c.size()));
  s.SetPosition(3);
  EXPECT_TRUE(q.IsEncryptedStream(&s));
  EXPECT_EQ(q.DetectStreamAlgorithm(&s), qeaChaCha20);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_FALSE(q.IsEncryptedStream(nullptr));
  EXPECT_EQ(q.DetectStreamAlgorithm(nullptr), qeaUnknown);
  TMemoryStream cut;
  Fill(cut, Bytes(c.begin(), c.begin() + 83));
  EXPECT_FALSE(q.IsEncryptedStream(&cut));
}

TEST(QEncOps, AlgorithmToString) {
  const std::vector<std::pair<int, std::string>> cases = {
      {qeaAES128CTR, "AES-128"}, {qeaBlowfishCTR, "Blowfish"}, {qeaChaCha20, "ChaCha20"},
      {qeaTwofishCTR, "Twofish"}, {qeaUnknown, "Unknown"},   {qeaNone, "None"},
      {-1, "Unknown"},            {99, "Unknown"}};
  for (const auto& [a, text] : cases) EXPECT_EQ(TQEnc::AlgorithmToString(static_cast<TQEncAlgorithm>(a)), text);
}

TEST(QEncOps, Verify) {
  TempDir dir;
  const std::string plain = Text(Pattern(5000, 3));
  std::string other = plain;
  other[4000] ^= 1;
  WriteTestFile(dir.File("src"), plain);
  WriteTestFile(dir.File("other"), other);
  for (bool compatibility : {true, false}) {
    for (const auto& c : Cascades()) {
      SCOPED_TRACE(std::string(c.Name) + (compatibility ? " compat" : ""));
      TOpsEngine q;
      q.SetCompatibilityMode(compatibility);
      q.SetBufferSize(1024);
      ASSERT_TRUE(q.EncryptFile(dir.File("src"), dir.File("enc"), c.A1, c.A2, c.A3));
      EXPECT_TRUE(q.VerifyEncryptedFile(dir.File("src"), dir.File("enc"), 1 << 30));
      EXPECT_EQ(q.LastError(), ErrNone);
      // -1 checks the header, the length and the tag only.
      EXPECT_TRUE(q.VerifyEncryptedFile(dir.File("other"), dir.File("enc"), -1));
      EXPECT_TRUE(q.VerifyEncryptedFile(dir.File("other"), dir.File("enc"), 4000));
      EXPECT_FALSE(q.VerifyEncryptedFile(dir.File("other"), dir.File("enc"), 4001));
      EXPECT_EQ(q.LastError(), ErrVerificationFailed);
      q.SetKey("wrong");
      EXPECT_FALSE(q.VerifyEncryptedFile(dir.File("src"), dir.File("enc"), -1));
      EXPECT_EQ(q.LastError(), ErrWrongPassword);
      EXPECT_FALSE(q.Busy());
    }
  }
  // Header-only: the plain tail is compared as stored.
  TOpsEngine q;
  q.SetHeaderOnly(true);
  q.SetHeaderOnlyKB(1);
  q.SetBufferSize(700);
  ASSERT_TRUE(q.EncryptFile(dir.File("src"), dir.File("ho")));
  EXPECT_TRUE(q.VerifyEncryptedFile(dir.File("src"), dir.File("ho"), 100000));
  EXPECT_FALSE(q.VerifyEncryptedFile(dir.File("other"), dir.File("ho"), 100000));
  // A source of another size.
  WriteTestFile(dir.File("short"), plain.substr(1));
  EXPECT_FALSE(q.VerifyEncryptedFile(dir.File("short"), dir.File("ho"), -1));
  EXPECT_EQ(q.LastError(), ErrVerificationFailed);
  WriteTestFile(dir.File("tiny"), std::string(84, 'Q'));
  EXPECT_FALSE(q.VerifyEncryptedFile(dir.File("src"), dir.File("tiny"), -1));
  EXPECT_EQ(q.LastError(), ErrUnsupportedHeaderVersion);
}

}  // namespace

namespace {

TEST(QEncOps, VaultWriterAndReaderErrors) {
  TempDir dir;
  TOpsEngine q;
  EXPECT_FALSE(q.EncryptStringToFile("x", "", ""));
  EXPECT_EQ(q.LastError(), ErrEmptyOutputFile);
  EXPECT_FALSE(q.EncryptStringToFile("x", dir.File("no-such-folder/v"), ""));
  EXPECT_EQ(q.LastError(), ErrEncryptFailed);
  EXPECT_EQ(q.DecryptFileToString(dir.File("missing")), "");
  EXPECT_EQ(q.LastError(), ErrDecryptFailed);
  WriteTestFile(dir.File("plain"), std::string(100, 'p'));
  EXPECT_EQ(q.DecryptFileToString(dir.File("plain")), "");
  EXPECT_EQ(q.LastError(), ErrUnsupportedHeaderVersion);
  // A key name of its own: the reader takes the file's name without prefix.
  q.SetUseFileNameInKey(true);
  ASSERT_TRUE(q.EncryptStringToFile("named", dir.File("$vault.txt"), "vault.txt"));
  EXPECT_EQ(q.DecryptFileToString(dir.File("$vault.txt")), "named");
}

// The readers into memory size their output from the container before they
// decrypt. A large container still reads back whole; a container cut short
// anywhere, or with one byte changed, gives an empty text and its error.
TEST(QEncOps, ReadersIntoMemoryTakeLargeAndDamagedContainers) {
  TempDir dir;
  TOpsEngine q;
  q.SetAlgorithm(qeaTwofishCTR);  // a cascade, whose header is the larger one
  q.SetAlgorithm2(qeaAES128CTR);
  q.SetAlgorithm3(qeaChaCha20);
  const std::string plain = Text(Pattern(6 << 20, 5));
  const std::string file = dir.File("$big.qvf");
  ASSERT_TRUE(q.EncryptStringToFile(plain, file, ""));
  const std::string container = ReadTestFile(file);
  ASSERT_EQ(container.size(), plain.size() + 150);
  EXPECT_EQ(q.DecryptFileToString(file), plain);
  EXPECT_EQ(q.LastError(), ErrNone);
  EXPECT_EQ(q.DecryptString(container, "big.qvf"), plain);
  EXPECT_EQ(q.LastError(), ErrNone);

  struct TDamage {
    const char* What;
    std::string Bytes;
    TQEncError Error;
  };
  std::string flipped = container;
  flipped[container.size() / 2] ^= 0x01;
  const TDamage cases[] = {
      {"one byte short", container.substr(0, container.size() - 1), ErrWrongPassword},
      {"half the body", container.substr(0, 150 + plain.size() / 2), ErrWrongPassword},
      {"one byte of body", container.substr(0, 151), ErrWrongPassword},
      {"the header alone", container.substr(0, 150), ErrInvalidEncryptedData},
      {"part of the header", container.substr(0, 100), ErrInvalidEncryptedData},
      {"a byte changed", flipped, ErrWrongPassword},
  };
  for (const TDamage& d : cases) {
    WriteTestFile(dir.File("$cut.qvf"), d.Bytes);
    EXPECT_EQ(q.DecryptFileToString(dir.File("$cut.qvf")), "") << d.What;
    EXPECT_EQ(q.LastError(), d.Error) << d.What;
    EXPECT_EQ(q.DecryptString(d.Bytes, "cut.qvf"), "") << d.What;
    EXPECT_EQ(q.LastError(), d.Error) << d.What;
  }
}

TEST(QEncOps, StatusTexts) {
  TempDir dir;
  TOpsEngine q;
  std::vector<std::string> statuses;
  q.OnStatus = [&](TObject*, const std::string& s) { statuses.push_back(s); };
  WriteTestFile(dir.File("a.txt"), "a");
  ASSERT_TRUE(q.EncryptFile(dir.File("a.txt"), ""));
  ASSERT_TRUE(q.VerifyEncryptedFile(dir.File("a.txt"), dir.File("$a.txt"), -1));
  ASSERT_TRUE(q.DecryptFile(dir.File("$a.txt"), dir.File("b.txt")));
  EXPECT_EQ(statuses, (std::vector<std::string>{"Encrypting a.txt", "Verifying $a.txt", "Decrypting $a.txt"}));
}

}  // namespace
