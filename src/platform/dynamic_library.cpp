// dlopen/dlsym wrapper; dlerror is read at once so its text belongs to this call.
#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/atomic_write.h"

namespace lumetra::platform {
namespace {
std::string TakeDlError(const char* fallback) {
  const char* e = dlerror();
  return e != nullptr ? e : fallback;
}

bool ReadAt(int fd, void* out, std::size_t size, uint64_t offset) {
  auto* p = static_cast<char*>(out);
  while (size > 0) {
    const ssize_t n = pread(fd, p, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

// What dlopen must not be given, with the reason; empty for anything else, which is left to
// dlopen's own checks (no ELF, another class). Not a regular file: the loader's open would
// wait forever on a FIFO. A 64-bit ELF file whose program headers or loadable bytes lie
// beyond its size: the loader maps its segments as the headers say and touches pages past
// the end of the file, which ends the process with SIGBUS.
std::string RefusedLibraryReason(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  std::string why;
  struct stat st {};
  Elf64_Ehdr eh{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return S_ISREG(st.st_mode) ? std::string() : path + ": " + NotRegularFileText(st.st_mode);
  }
  if (ReadAt(fd, &eh, sizeof eh, 0) &&
      eh.e_ident[EI_MAG0] == ELFMAG0 && eh.e_ident[EI_MAG1] == ELFMAG1 &&
      eh.e_ident[EI_MAG2] == ELFMAG2 && eh.e_ident[EI_MAG3] == ELFMAG3 &&
      eh.e_ident[EI_CLASS] == ELFCLASS64) {
    const auto size = static_cast<uint64_t>(st.st_size);
    const uint64_t table = uint64_t{eh.e_phnum} * sizeof(Elf64_Phdr);
    std::vector<Elf64_Phdr> ph(eh.e_phnum);
    if (eh.e_phentsize != sizeof(Elf64_Phdr) || eh.e_phoff > size || table > size - eh.e_phoff ||
        !ReadAt(fd, ph.data(), table, eh.e_phoff)) {
      why = "its program headers lie beyond its " + std::to_string(size) + " bytes";
    } else {
      for (const Elf64_Phdr& h : ph) {
        if (h.p_type != PT_LOAD && h.p_type != PT_DYNAMIC) continue;
        if (h.p_offset > size || h.p_filesz > size - h.p_offset) {
          why = "a loadable segment ends at byte " + std::to_string(h.p_offset + h.p_filesz) +
                " of its " + std::to_string(size) + " bytes";
          break;
        }
      }
    }
  }
  close(fd);
  return why.empty() ? why : path + ": truncated shared object: " + why;
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
  if (std::string why = RefusedLibraryReason(path); !why.empty()) {
    lib.error_ = std::move(why);
    return lib;
  }
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
