// The executable's full path (Windows build only), read into a buffer that
// grows until the whole path fits.
#pragma once

#include <cstdint>
#include <string>

namespace qdreg_win32 {

// initialSize is the first buffer's size in bytes; tests start it small to
// drive the growth. Returns "" when Windows cannot give the name.
std::string ModuleFileName(std::uint32_t initialSize = 260);

}  // namespace qdreg_win32
