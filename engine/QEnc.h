// TQEnc: the encryption engine as a non-visual component. It holds the
// settings of every operation as properties, writes and reads the encrypted
// container, reports progress, status, file events and errors through seven
// events, records the last error in LastError, and lets a caller or an event
// handler cancel a running operation.
//
// Failures never escape as exceptions: an operation returns false (or an
// empty result), records one TQEncError in LastError and fires OnError.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Component.h"
#include "base/Stream.h"
#include "engine/KeyDerivation.h"
#include "engine/QEncTypes.h"

// The Windows headers rename these to their ANSI forms; our members keep
// their own names.
#undef EncryptFile
#undef DecryptFile

class TQEncWorkerThread;

using TQEncProgressEvent = std::function<void(TObject* Sender, TQEncOperation Operation, const std::string& FileName,
                                              int Position, int Max, bool& Cancel)>;
using TQEncErrorEvent = std::function<void(TObject* Sender, TQEncError Error)>;
using TQEncStatusEvent = std::function<void(TObject* Sender, const std::string& StatusText)>;
using TQEncFileBeginEvent = std::function<void(TObject* Sender, TQEncOperation Operation,
                                               const std::string& InputFile, const std::string& OutputFile,
                                               bool& Cancel)>;
using TQEncFileDoneEvent = std::function<void(TObject* Sender, TQEncOperation Operation,
                                              const std::string& InputFile, const std::string& OutputFile,
                                              bool Success)>;
using TQEncDeleteFileProgressEvent = std::function<void(TObject* Sender, const std::string& FileName, int Position,
                                                        int Max, int Pass, int PassCount, bool& Cancel)>;
using TQEncDeleteFileDoneEvent =
    std::function<void(TObject* Sender, const std::string& FileName, bool Success)>;
// The progress of a password's key derivation, in thousandths of its rounds.
using TQEncKeyProgressEvent = std::function<void(TObject* Sender, int Position, int Max, bool& Cancel)>;

class TQEnc : public TComponent {
 public:
  explicit TQEnc(TComponent* owner = nullptr);
  ~TQEnc() override;

  // ---- Properties ----
  bool CompatibilityMode() const { return compatibilityMode_; }
  void SetCompatibilityMode(bool value);
  int SecureDeleteWipes() const { return secureDeleteWipes_; }
  void SetSecureDeleteWipes(int value);  // below 1 becomes 1
  int SecureDeleteOversizePercent() const { return secureDeleteOversizePercent_; }
  void SetSecureDeleteOversizePercent(int value);  // below 100 becomes 100
  const std::string& Key() const { return key_; }
  void SetKey(const std::string& value);  // the old key is wiped
  TQEncAlgorithm Algorithm() const { return algorithm_; }
  void SetAlgorithm(TQEncAlgorithm value);
  TQEncAlgorithm Algorithm2() const { return algorithm2_; }
  void SetAlgorithm2(TQEncAlgorithm value);
  TQEncAlgorithm Algorithm3() const { return algorithm3_; }
  void SetAlgorithm3(TQEncAlgorithm value);
  bool HeaderOnly() const { return headerOnly_; }
  void SetHeaderOnly(bool value);
  int HeaderOnlyKB() const { return headerOnlyKB_; }
  void SetHeaderOnlyKB(int value);  // below 1 becomes 1
  bool FastMode() const { return fastMode_; }
  void SetFastMode(bool value);
  bool UseFileNameInKey() const { return useFileNameInKey_; }
  void SetUseFileNameInKey(bool value);
  bool UseEncryptedPrefix() const { return useEncryptedPrefix_; }
  void SetUseEncryptedPrefix(bool value);
  const std::string& EncryptedPrefix() const { return encryptedPrefix_; }
  void SetEncryptedPrefix(const std::string& value);  // "" becomes "$"
  int Iterations() const { return iterations_; }
  void SetIterations(int value);  // below 5,000 becomes 5,000
  int FastIterations() const { return fastIterations_; }
  void SetFastIterations(int value);  // below 5,000 becomes 5,000
  int BufferSize() const { return bufferSize_; }
  void SetBufferSize(int value);  // below 512 becomes 512
  bool Busy() const { return busy_.load(); }
  bool CancelRequested() const { return cancelRequested_.load(); }
  TQEncError LastError() const { return lastError_.load(); }
  const std::string& LastOutputFile() const { return lastOutputFile_; }

  // ---- Events (fired on the main thread, the component as Sender) ----
  TQEncProgressEvent OnProgress;
  TQEncErrorEvent OnError;
  TQEncStatusEvent OnStatus;
  TQEncFileBeginEvent OnFileBegin;
  TQEncFileDoneEvent OnFileDone;
  TQEncDeleteFileProgressEvent OnDeleteFileProgress;
  TQEncDeleteFileDoneEvent OnDeleteFileDone;
  // Fired while keys are derived from a password (the session key, a
  // container's stage keys missing from the key cache): when the thousandth
  // reached changes and at least every 40 ms, so a handler may keep a window
  // answering and cancel.
  TQEncKeyProgressEvent OnKeyProgress;

  // ---- Errors and cancellation ----
  void ClearError() { lastError_.store(ErrNone); }
  // Safe from any thread: only sets the flag that the running operation
  // tests between chunks.
  void Cancel() { cancelRequested_.store(true); }
  void ResetCancel() { cancelRequested_.store(false); }
  // Empties the process-wide key cache shared by every instance.
  void ClearKeyCache();
  // The user's text of a result code; any value outside 0-34, negative
  // included, gets the text of ErrUnknown.
  static std::string ErrorToString(TQEncError error);

  // The password the container keys are derived from: Key, or with
  // UseFileNameInKey the file-name part of `name` (the whole name when that
  // part is empty) + "|" + Key, or Key alone when the name is empty too.
  std::string EffectiveKey(const std::string& name) const;

  // ---- Container routines ----
  // Encrypts from the input's position to its end and writes the container
  // at the output's position; the output must be able to go back to where
  // the header began. keyName decides the effective password and the
  // FastMode salt; progressName is only passed to OnProgress.
  bool EncryptStreamCore(TStream* input, TStream* output, const std::string& keyName,
                         const std::string& progressName);
  // Reads exactly containerLength bytes from the input's position and
  // writes the plain data at the output's position. The plain data is
  // written before the tag is checked: on failure the output holds
  // unauthenticated bytes that the caller must discard. On success the
  // header's ciphers, mode and iteration count are copied into Algorithm,
  // Algorithm2, Algorithm3, FastMode and FastIterations or Iterations.
  bool DecryptStreamCore(TStream* input, TStream* output, const std::string& keyName,
                         const std::string& progressName, std::int64_t containerLength);

  // ---- Names ----
  // The file's name part without EncryptedPrefix in front (when
  // UseEncryptedPrefix is set and the name begins with it); never a folder.
  std::string PlainNameForEncryptedFile(const std::string& file) const;
  // The file's folder + (EncryptedPrefix when UseEncryptedPrefix) + its name.
  std::string BuildOutputEncryptName(const std::string& file) const;
  // The file's folder + PlainNameForEncryptedFile(file).
  std::string BuildOutputDecryptName(const std::string& file) const;

  // ---- Streams and strings ----
  // From the input's position to its end. They do not test Busy.
  bool EncryptStream(TStream* input, TStream* output, const std::string& name);
  bool EncryptStream(TStream* input, TStream* output, TQEncAlgorithm algorithm1, TQEncAlgorithm algorithm2,
                     TQEncAlgorithm algorithm3, const std::string& name);
  bool DecryptStream(TStream* input, TStream* output, const std::string& name);
  // The container as a byte string; "" on failure (LastError tells an empty
  // result from a failure; a cancelled call reports ErrCanceled).
  std::string EncryptString(const std::string& text, const std::string& name);
  std::string EncryptString(const std::string& text, TQEncAlgorithm algorithm1, TQEncAlgorithm algorithm2,
                            TQEncAlgorithm algorithm3, const std::string& name);
  std::string DecryptString(const std::string& data, const std::string& name);
  // The vault's writer and reader. An empty keyName takes
  // PlainNameForEncryptedFile(file). The writer checks Key and the cipher
  // settings before it touches the file, writes the trailer of a single
  // cipher other than AES, and removes the file only when it created it.
  bool EncryptStringToFile(const std::string& text, const std::string& file, const std::string& keyName);
  std::string DecryptFileToString(const std::string& file);

  // ---- Files ----
  // An empty output name takes BuildOutputEncryptName / BuildOutputDecryptName.
  // An output that resolves to the input itself is refused before anything is
  // opened. Decryption writes output + ".tmp" and moves it over the output in
  // one replacing move.
  bool EncryptFile(const std::string& inputFile, const std::string& outputFile);
  bool EncryptFile(const std::string& inputFile, const std::string& outputFile, TQEncAlgorithm algorithm1,
                   TQEncAlgorithm algorithm2, TQEncAlgorithm algorithm3);
  bool DecryptFile(const std::string& inputFile, const std::string& outputFile);
  // Checks that the encrypted file is an intact container of the source and
  // that its first compareLimit bytes (negative: none) decrypt to the
  // source's. Fires no file or progress events and ignores Cancel.
  bool VerifyEncryptedFile(const std::string& sourceFile, const std::string& encryptedFile, int compareLimit);

  // ---- Recognition ----
  bool IsEncryptedStream(TStream* stream);
  bool IsEncryptedFile(const std::string& file);
  TQEncAlgorithm DetectStreamAlgorithm(TStream* stream);
  TQEncAlgorithm DetectFileAlgorithm(const std::string& file);
  // "None", "AES-128", "Blowfish", "ChaCha20", "Twofish" or "Unknown".
  static std::string AlgorithmToString(TQEncAlgorithm algorithm);

  // ---- Session key and Base64 text ----
  // 64 upper-case hexadecimal digits of PBKDF2-HMAC-SHA256(password,
  // "Tq4-Morrow-Salt9", max(Iterations, 5000), 32 bytes); "" for "".
  // A front end of its own: clears CancelRequested first; a cancel during
  // the derivation (Cancel, or OnKeyProgress) gives "" with ErrCanceled.
  std::string DeriveSessionKey(const std::string& password);
  // Zeroes Key in place, empties it and empties the key cache.
  void ClearSessionKey();
  // Base64 of EncryptString; lineWidth > 0 breaks lines with CR LF.
  std::string EncryptText(const std::string& text, const std::string& name, int lineWidth);
  std::string DecryptText(const std::string& text, const std::string& name);
  bool IsEncryptedText(const std::string& text);
  TQEncAlgorithm DetectTextAlgorithm(const std::string& text);

  // ---- Secure deletion ----
  // Negative wipes or oversizeWipes take SecureDeleteWipes, a negative
  // factor SecureDeleteOversizePercent / 100 (at least 1).
  bool DeleteFileSecure(const std::string& file, int wipes, int oversizeWipes, int oversizeFactor);
  bool DeleteFileSecureCore(const std::string& file, int wipes, int oversizeWipes, int oversizeFactor);

  // ---- Background jobs (one at a time) ----
  // True means only that the job started; the outcome arrives as OnFileDone
  // or OnDeleteFileDone on the main thread, which must keep servicing
  // main-thread calls meanwhile. Destroying the component cancels a running
  // job and waits for it, servicing the job's calls; it may be destroyed
  // from the job's done handler, but not from its other event handlers.
  bool EncryptFileAsync(const std::string& inputFile, const std::string& outputFile);
  bool DecryptFileAsync(const std::string& inputFile, const std::string& outputFile);
  bool DeleteFileSecureAsync(const std::string& file, int wipes, int oversizeWipes, int oversizeFactor);

 protected:
  // ---- Reporting, used by every operation ----
  // DoError stores the code in LastError before OnError fires. The bool
  // results tell the operation to go on: not CancelRequested after the event,
  // which a handler sets by leaving its Cancel argument true.
  void DoError(TQEncError error);
  void DoStatus(const std::string& statusText);
  bool DoProgress(TQEncOperation operation, const std::string& fileName, int position, int max);
  bool DoFileBegin(TQEncOperation operation, const std::string& inputFile, const std::string& outputFile);
  void DoFileDone(TQEncOperation operation, const std::string& inputFile, const std::string& outputFile,
                  bool success);
  bool DoDeleteFileProgress(const std::string& fileName, int position, int max, int pass, int passCount);
  void DoDeleteFileDone(const std::string& fileName, bool success);
  // OnKeyProgress, on the main thread; true to go on.
  bool DoKeyProgress(int position, int max);
  // What a derivation reports to: OnKeyProgress thinned as described there,
  // and the answer false once CancelRequested.
  TPbkdf2Progress KeyProgress();

  // Thinning of progress sent from a worker thread: true for position <= 0,
  // for position >= max (max >= 1), when the percent (position * 100 / max,
  // 0 when max < 1, clamped to 0-100) differs from the last one sent, or
  // when at least 80 ms (unsigned tick difference) passed since then. When
  // true, the percent and the tick are recorded as the last ones sent.
  bool ProgressDue(int position, int max);
  // Forgets the last percent and tick sent (-1 and 0).
  void ResetProgressRecord();

  void SetBusy(bool value) { busy_.store(value); }
  // True on the thread of this component's running worker: the operation's
  // busy test, error clearing, cancel reset and done event belong to the
  // front end that started the job.
  bool OnWorker() const;
  void SetLastOutputFile(const std::string& value) { lastOutputFile_ = value; }

  // ---- Seams ----
  // The source of salts and IVs (the system's random bytes).
  virtual bool GenerateRandom(std::uint8_t* buffer, int count);
  // The tick count in milliseconds that progress thinning measures with.
  virtual std::uint32_t CurrentTick();

  // The worker thread running a job for this component, or none.
  std::atomic<TQEncWorkerThread*> worker_{nullptr};

  // From this many bytes of data on, a container operation computes its
  // HMAC on a helper thread beside the cipher and the stream copies; the
  // bytes are the same either way.
  std::int64_t macThreadFrom_ = std::int64_t(1) << 20;
  // The least number of bytes handed to the helper thread at a time: the
  // fewer hand-overs, the less the two threads meet.
  std::int64_t macPieceSize_ = std::int64_t(256) << 10;
  // Run by the helper thread before each few KiB it hashes, when set: lets a
  // test hold the helper in the middle of a piece, as a busy machine would.
  std::function<void()> macHelperStep_;

 private:
  friend class TQEncWorkerThread;

  bool compatibilityMode_ = true;
  int secureDeleteWipes_ = 3;
  int secureDeleteOversizePercent_ = 1000;
  std::string key_;
  TQEncAlgorithm algorithm_ = qeaAES128CTR;
  TQEncAlgorithm algorithm2_ = qeaNone;
  TQEncAlgorithm algorithm3_ = qeaNone;
  bool headerOnly_ = false;
  int headerOnlyKB_ = 444;
  bool fastMode_ = true;
  bool useFileNameInKey_ = false;
  bool useEncryptedPrefix_ = true;
  std::string encryptedPrefix_ = "$";
  int iterations_ = 200000;
  int fastIterations_ = 20000;
  int bufferSize_ = 8192;
  std::atomic<bool> busy_{false};
  std::atomic<bool> cancelRequested_{false};
  std::atomic<TQEncError> lastError_{ErrNone};
  std::string lastOutputFile_;

  int lastProgressPercent_ = -1;
  std::uint32_t lastProgressTick_ = 0;

  bool StartJob(int job, const std::string& inputFile, const std::string& outputFile, int wipes,
                int oversizeWipes, int oversizeFactor);
  void ResolveDeleteArguments(int& wipes, int& oversizeWipes, int& oversizeFactor) const;
  bool EncryptFileBody(const std::string& inputFile, const std::string& outputFile);
  bool DecryptFileBody(const std::string& inputFile, const std::string& outputFile);
  // The common start of EncryptFile and DecryptFile (operation qeoEncrypt or
  // qeoDecrypt): off the worker, refuses while busy, then clears the error,
  // the last output name and the cancel request; checks the input file;
  // takes the output name (an empty one is built from the input) and records
  // it as the last output. False with the error reported when it may not go on.
  bool PrepareFileOperation(TQEncOperation operation, bool onWorker, const std::string& inputFile,
                            const std::string& outputFile, std::string& output);
  // The common end of EncryptFile and DecryptFile: the begin event, busy
  // around body, and off the worker the done event.
  bool RunFileOperation(TQEncOperation operation, bool onWorker, const std::string& inputFile,
                        const std::string& output,
                        bool (TQEnc::*body)(const std::string&, const std::string&));
  // Fires a cancelable event through fire (given the cancel flag, which
  // starts as CancelRequested) when hasHandler and the component is not
  // being destroyed; a flag left true requests cancelling. True to go on.
  // Defined beside its callers in QEnc.cpp.
  template <typename TFire>
  bool FireCancelable(bool hasHandler, const TFire& fire);

  // The thread objects of jobs; one is released when a later job starts
  // after it returned, or when the component is destroyed, so none frees
  // itself under a caller.
  std::vector<std::unique_ptr<TQEncWorkerThread>> threads_;
  // Set while the destructor waits for a job: events are no longer fired.
  std::atomic<bool> destroying_{false};
};
