// SHA-256 of a byte range, for the manifest of rendered frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lumetra::output {

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const uint8_t> bytes);
  std::array<uint8_t, 32> Final();

 private:
  void Block(const uint8_t* p);
  std::array<uint32_t, 8> h_;
  std::array<uint8_t, 64> buffer_{};
  std::size_t used_ = 0;
  uint64_t length_ = 0;
};

// Lower-case hex of the digest of `bytes`.
std::string Sha256Hex(std::span<const uint8_t> bytes);
std::string HexOf(std::span<const uint8_t> digest);

}  // namespace lumetra::output
