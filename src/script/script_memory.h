// Where scripts may read and write through pointer casts.
//
// Libraries hand the interpreter the addresses of their own variables, so pointer casts
// write where the script says. A policy decides which addresses a run may touch: the
// default refuses only what can never be a library's variable (the unmapped low 64 KiB,
// non-canonical addresses, ranges that wrap); tests and the fuzz target confine runs to
// areas they register.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace lumetra::script {

class MemoryPolicy {
 public:
  virtual ~MemoryPolicy() = default;
  // True when [address, address + size) may be read (write false) or written.
  virtual bool Allows(uint64_t address, std::size_t size, bool write) const = 0;
};

class DefaultMemoryPolicy final : public MemoryPolicy {
 public:
  bool Allows(uint64_t address, std::size_t size, bool write) const override;
};

// Allows only ranges that lie wholly inside one registered area.
class AreaMemoryPolicy final : public MemoryPolicy {
 public:
  void AddArea(const void* begin, std::size_t size, bool writable = true);
  bool Allows(uint64_t address, std::size_t size, bool write) const override;

 private:
  struct Area {
    uint64_t begin;
    uint64_t end;
    bool writable;
  };
  mutable std::mutex mutex_;
  std::vector<Area> areas_;
};

// Installs the policy for every later run (null: the default); returns the previous one.
std::shared_ptr<const MemoryPolicy> SetMemoryPolicy(std::shared_ptr<const MemoryPolicy> policy);
std::shared_ptr<const MemoryPolicy> CurrentMemoryPolicy();

}  // namespace lumetra::script
