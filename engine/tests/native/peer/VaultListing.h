// The listing of a vault's groups and entries that vault_peer and the
// program-level vault tests exchange (see VaultPeer.cpp for its lines):
// fields are joined by "|", and "\", "|", CR and LF inside a field are
// written as "\\", "\p", "\r" and "\n".
#pragma once

#include <string>
#include <vector>

namespace VaultListing {

inline std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '|': out += "\\p"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

// The fields of one line, unescaped.
inline std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '|') {
      fields.emplace_back();
    } else if (line[i] == '\\' && i + 1 < line.size()) {
      const char c = line[++i];
      fields.back() += c == 'p' ? '|' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

}  // namespace VaultListing
