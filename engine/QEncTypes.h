// The value types that the encryption component and its container share:
// cipher codes, operations and result codes.
#pragma once

// Cipher codes. Values 0-3 equal the container's cipher byte for the same
// cipher; qeaUnknown is a detection result and never a valid stage, qeaNone
// marks an unused stage of a cascade.
enum TQEncAlgorithm : int {
  qeaAES128CTR = 0,
  qeaBlowfishCTR = 1,
  qeaChaCha20 = 2,
  qeaTwofishCTR = 3,
  qeaUnknown = 4,
  qeaNone = 5,
};

enum TQEncOperation : int {
  qeoEncrypt = 0,
  qeoDecrypt = 1,
};

// Result codes; TQEnc::ErrorToString gives the user's text of each.
enum TQEncError : int {
  ErrNone = 0,
  ErrBusy = 1,
  ErrMissingStream = 2,
  ErrEmptyKey = 3,
  ErrUnknownAlgorithm = 4,
  ErrInvalidStreamPosition = 5,
  ErrSaltGenerationFailed = 6,
  ErrNonceGenerationFailed = 7,
  ErrCanceled = 8,
  ErrInvalidEncryptedData = 9,
  ErrWrongPassword = 10,
  ErrEmptyInputFile = 11,
  ErrEmptyOutputFile = 12,
  ErrFileNotFound = 13,
  ErrDirectoryNotSupported = 14,
  ErrHeaderReadFailed = 15,
  ErrInvalidHeader = 16,
  ErrUnsupportedHeaderVersion = 17,
  ErrInvalidHeaderSize = 18,
  ErrInvalidEncryptedLength = 19,
  ErrAlgorithmMarkerFailed = 20,
  ErrEncryptFailed = 21,
  ErrDecryptFailed = 22,
  ErrFileRenameFailed = 23,
  ErrVerificationFailed = 24,
  ErrFileAttributeFailed = 25,
  ErrRandomGeneratorFailed = 26,
  ErrFileOpenFailed = 27,
  ErrFileSizeFailed = 28,
  ErrFileReadFailed = 29,
  ErrSeekFailed = 30,
  ErrRandomDataFailed = 31,
  ErrFileWriteFailed = 32,
  ErrAsyncStartFailed = 33,
  ErrUnknown = 34,
};
