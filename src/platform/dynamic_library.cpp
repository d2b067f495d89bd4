// dlopen/dlsym wrapper; dlerror is read at once so its text belongs to this call.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cerrno>
#include <utility>

namespace lumetra::platform {
namespace {
std::string TakeDlError(const char* fallback) {
  const char* e = dlerror();
  return e != nullptr ? e : fallback;
}
}  // namespace

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      keep_(other.keep_),
      error_(std::move(other.error_)),
      error_number_(other.error_number_) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr && !keep_) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    keep_ = other.keep_;
    error_ = std::move(other.error_);
    error_number_ = other.error_number_;
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr && !keep_) dlclose(handle_);
}

DynamicLibrary DynamicLibrary::Open(const std::string& path) {
  DynamicLibrary lib;
  dlerror();
  errno = 0;
  lib.handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib.handle_ == nullptr) {
    lib.error_number_ = errno;
    lib.error_ = TakeDlError("could not load library");
  }
  return lib;
}

void* DynamicLibrary::Symbol(const char* name) {
  if (handle_ == nullptr) {
    error_ = "library not loaded";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr) error_ = TakeDlError("symbol not found");
  return address;
}

}  // namespace lumetra::platform
