#include "base/FileUtil.h"

#include "base/Exceptions.h"
#include "base/Platform.h"

bool SaveFileReplacing(const std::string& target, const std::function<void(TStream&)>& writer) {
  const std::string tmp = target + ".tmp";
  bool written = false;
  try {
    TFileStream f(tmp, fmCreate);
    writer(f);
    written = f.Flush();
  } catch (const std::exception&) {
    written = false;
  }
  if (written && Platform::MoveFileReplacing(tmp, target)) return true;
  Platform::RemoveFile(tmp);
  return false;
}

bool SaveFileReplacing(const std::string& target, const std::string& data) {
  return SaveFileReplacing(target, [&](TStream& s) {
    s.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
  });
}

bool ReadWholeFile(const std::string& path, std::string& data, std::int64_t maxBytes) {
  try {
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    std::int64_t size = f.Size();
    if (size > maxBytes) return false;
    data.assign(static_cast<std::size_t>(size), '\0');
    f.ReadBuffer(data.data(), size);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
