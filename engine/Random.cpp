#include "engine/Random.h"

#include <cstddef>

#include "base/Platform.h"

bool RandomBytes(void* buffer, std::int64_t count) {
  if (buffer == nullptr || count <= 0) return false;
  if (static_cast<std::uint64_t>(count) > static_cast<std::uint64_t>(SIZE_MAX)) return false;
  return Platform::RandomBytes(buffer, static_cast<std::size_t>(count));
}
