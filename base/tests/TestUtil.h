// Helpers shared by the test programs: a private temporary folder per test
// and small file helpers.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "base/Platform.h"

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    for (int i = 0; i < 100; ++i) {
      auto p = std::filesystem::temp_directory_path() /
               ("vltest-" + std::to_string(rd()) + std::to_string(i));
      std::error_code ec;
      if (std::filesystem::create_directory(p, ec)) {
        path_ = p.string();
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary folder");
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
  }

 private:
  std::string path_;
};

inline void WriteTestFile(const std::string& path, const std::string& data) {
  std::ofstream f(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::string ReadTestFile(const std::string& path) {
  std::ifstream f(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool PathExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(path), ec);
}
