// A loaded shared library: dlopen(RTLD_NOW | RTLD_LOCAL), dlsym, and dlerror text on failure.
#pragma once

#include <string>

namespace lumetra::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary();

  // Loads the library; on failure Loaded() is false and Error() holds the dlerror text.
  static DynamicLibrary Open(const std::string& path);

  bool Loaded() const { return handle_ != nullptr; }
  const std::string& Error() const { return error_; }
  // errno as the failed load left it (0 when the loader set none).
  int ErrorNumber() const { return error_number_; }
  // The symbol's address, or null with Error() set.
  void* Symbol(const char* name);
  // Keeps the library mapped for the rest of the process (plug-ins are never unloaded).
  void KeepLoaded() { keep_ = true; }

 private:
  void* handle_ = nullptr;
  bool keep_ = false;
  std::string error_;
  int error_number_ = 0;
};

}  // namespace lumetra::platform
