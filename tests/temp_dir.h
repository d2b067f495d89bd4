// A test's own directory under the temporary area: a unique name from mkdtemp, so that runs
// on one machine never meet, removed with everything in it when the owner goes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace lumetra::test_dir {

// A new empty directory "<temp>/<prefix>.XXXXXX" (mode 0700).
inline std::filesystem::path MakeTempDir(const std::string& prefix) {
  std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + ".XXXXXX")).string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + tmpl);
  return tmpl;
}

class TempDir {
 public:
  explicit TempDir(const std::string& prefix) : path_(MakeTempDir(prefix)) {}
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace lumetra::test_dir
