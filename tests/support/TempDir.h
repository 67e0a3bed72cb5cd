// SPDX-License-Identifier: GPL-3.0-or-later
// A scratch folder for the files one test writes, removed afterwards.
#pragma once

#include <filesystem>
#include <random>
#include <string>

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto path =
          std::filesystem::temp_directory_path() / ("kinscope-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(path, error)) path_ = path.u8string();
    }
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};
