// Fuzzes the container reader and writer.
//
// First byte even: the rest is read as a container (its length as given, or
// without a trailer). The header's iteration count, when it is one a writer
// could store, is brought down to below 64 so each run stays fast; counts
// above 2^31 - 1 stay as they are and must be refused. The reader must give
// exactly the code that the header's bytes call for, computed here on its
// own, and nothing may crash, hang or read out of bounds.
//
// First byte odd: the next bytes choose a cascade and the settings, the rest
// is plain data; what the writer makes of it must read back to the same
// bytes, and a cascade the writer refuses must be refused with its code.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/Stream.h"
#include "engine/QEnc.h"
#include "engine/QEncContainer.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// The reader's verdict on these bytes, from the header's fields alone:
// ErrWrongPassword stands for "the header passes; the tag decides".
TQEncError Expected(const std::vector<std::uint8_t>& c, std::int64_t length) {
  if (c.size() < 5 || std::memcmp(c.data(), "QVF1", 4) != 0) return ErrUnsupportedHeaderVersion;
  const int version = c[4];
  if (version != 2 && version != 3) return ErrUnsupportedHeaderVersion;
  const std::size_t headerSize = version == 2 ? 84 : 150;
  if (length <= static_cast<std::int64_t>(headerSize)) return ErrInvalidEncryptedData;
  if (c.size() < headerSize) return ErrHeaderReadFailed;
  if (Le32(c.data() + (version == 2 ? 80 : 146)) != headerSize) return ErrInvalidHeaderSize;
  if (version == 2) {
    if (c[5] > 3) return ErrUnknownAlgorithm;
  } else {
    const int stages = c[5];
    if (stages != 2 && stages != 3) return ErrInvalidHeader;
    for (int s = 0; s < stages; ++s)
      if (c[6 + static_cast<std::size_t>(s)] > 3) return ErrUnknownAlgorithm;
  }
  if (Le32(c.data() + (version == 2 ? 8 : 10)) > 2147483647u) return ErrInvalidHeader;
  return ErrWrongPassword;
}

void Read(const std::uint8_t* data, std::size_t size, bool withoutTrailer) {
  std::vector<std::uint8_t> c(data, data + size);
  if (c.size() >= 14 && std::memcmp(c.data(), "QVF1", 4) == 0 && (c[4] == 2 || c[4] == 3)) {
    std::uint8_t* count = c.data() + (c[4] == 2 ? 8 : 10);
    const std::uint32_t n = Le32(count);
    if (n <= 2147483647u) {
      const std::uint32_t small = n % 64;
      for (int i = 0; i < 4; ++i) count[i] = static_cast<std::uint8_t>(small >> (8 * i));
    }
  }
  TMemoryStream in, out;
  if (!c.empty()) in.Write(c.data(), static_cast<std::int64_t>(c.size()));
  in.SetPosition(0);
  const std::int64_t length =
      withoutTrailer ? ContainerLengthWithoutTrailer(in) : static_cast<std::int64_t>(c.size());
  if (length < 0 || length > static_cast<std::int64_t>(c.size())) std::abort();

  TQEnc q;
  q.SetKey("fuzz password");
  q.SetBufferSize(512);
  q.SetCompatibilityMode(size % 2 == 0);
  const bool ok = q.DecryptStreamCore(&in, &out, "fuzz.qvl", "fuzz.qvl", length);
  const TQEncError expected = Expected(c, length);
  if (ok) {
    // Only a container sealed with this password gets here.
    if (expected != ErrWrongPassword || q.LastError() != ErrNone) std::abort();
  } else if (q.LastError() != expected) {
    std::abort();
  }
  if (out.Size() > length) std::abort();
  q.ClearKeyCache();
}

void RoundTrip(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return;
  const int a1 = data[0] % 6, a2 = data[1] % 6, a3 = data[2] % 6;
  const std::uint8_t flags = data[3];
  const int bufferSize = 512 + data[4] * 7;
  const int headerOnlyKB = 1 + data[5] % 3;
  const std::vector<std::uint8_t> plain(data + 6, data + size);

  TQEnc writer;
  writer.SetKey("fuzz password");
  writer.SetAlgorithm(static_cast<TQEncAlgorithm>(a1));
  writer.SetAlgorithm2(static_cast<TQEncAlgorithm>(a2));
  writer.SetAlgorithm3(static_cast<TQEncAlgorithm>(a3));
  writer.SetFastMode(true);  // the same salt every time: the key cache answers
  writer.SetFastIterations(5000);
  writer.SetHeaderOnly(flags & 1);
  writer.SetHeaderOnlyKB(headerOnlyKB);
  writer.SetCompatibilityMode(flags & 2);
  writer.SetUseFileNameInKey(flags & 4);
  writer.SetBufferSize(bufferSize);
  TMemoryStream in, sealed, back;
  if (!plain.empty()) in.Write(plain.data(), static_cast<std::int64_t>(plain.size()));
  in.SetPosition(0);
  TQEncCascade cascade;
  const bool valid = ParseCascade(a1, a2, a3, cascade);
  const bool ok = writer.EncryptStreamCore(&in, &sealed, "C:\\fuzz\\vault.qvl", "vault");
  if (ok != valid) std::abort();
  if (!ok) {
    if (writer.LastError() != ErrUnknownAlgorithm || sealed.Size() != 0) std::abort();
    return;
  }
  if (sealed.Size() != cascade.HeaderSize() + static_cast<std::int64_t>(plain.size())) std::abort();

  TQEnc reader;
  reader.SetKey("fuzz password");
  reader.SetCompatibilityMode(flags & 2);
  reader.SetUseFileNameInKey(flags & 4);
  reader.SetBufferSize(bufferSize);
  sealed.SetPosition(0);
  const bool read = reader.DecryptStreamCore(&sealed, &back, "D:\\elsewhere\\vault.qvl", "vault", sealed.Size());
  if (plain.empty()) {
    if (read || reader.LastError() != ErrInvalidEncryptedData) std::abort();
    return;
  }
  if (!read || back.Size() != static_cast<std::int64_t>(plain.size()) ||
      std::memcmp(back.Memory(), plain.data(), plain.size()) != 0)
    std::abort();
  if (reader.Algorithm() != a1 || reader.Algorithm2() != (cascade.StageCount >= 2 ? a2 : qeaNone) ||
      reader.Algorithm3() != (cascade.StageCount == 3 ? a3 : qeaNone) || !reader.FastMode())
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1)
    RoundTrip(data + 1, size - 1);
  else
    Read(data + 1, size - 1, (data[0] & 2) != 0);
  return 0;
}
