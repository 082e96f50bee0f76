// Writing a file safely: the data goes to "<target>.tmp", which then replaces
// the target in one move that writes through. The target is either the old
// file or the new one, never a mixture, and no temporary is left on failure.
#pragma once

#include <functional>
#include <string>

#include "base/Stream.h"

// The writer fills the stream; an exception from it counts as failure.
// Returns false (target untouched, temporary removed) on any failure.
bool SaveFileReplacing(const std::string& target, const std::function<void(TStream&)>& writer);
bool SaveFileReplacing(const std::string& target, const std::string& data);

// Reads a whole file; false when it cannot be opened or read. maxBytes
// bounds how much is read (files that are larger fail).
bool ReadWholeFile(const std::string& path, std::string& data, std::int64_t maxBytes = INT64_MAX);
