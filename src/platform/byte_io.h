// Little-endian byte reading over a bounds-checked span and byte writing to a vector.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumetra::platform {

// Reads fixed-width little-endian fields from a span. A read that would pass the end
// fails: it returns false, leaves the output and the position unchanged.
class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }
  std::span<const uint8_t> Data() const { return data_; }

  bool U8(uint8_t& v) {
    if (Remaining() < 1) return false;
    v = data_[pos_++];
    return true;
  }
  bool I8(int8_t& v) {
    uint8_t u = 0;
    if (!U8(u)) return false;
    v = static_cast<int8_t>(u);
    return true;
  }
  bool U16(uint16_t& v) {
    if (Remaining() < 2) return false;
    v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool U32(uint32_t& v) {
    if (Remaining() < 4) return false;
    v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
        static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }
  bool I32(int32_t& v) {
    uint32_t u = 0;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool F32(float& v) {
    uint32_t u = 0;
    if (!U32(u)) return false;
    v = std::bit_cast<float>(u);
    return true;
  }
  // The next n bytes as a span; fails when fewer remain.
  bool Bytes(std::size_t n, std::span<const uint8_t>& out) {
    if (Remaining() < n) return false;
    out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  bool Skip(std::size_t n) {
    if (Remaining() < n) return false;
    pos_ += n;
    return true;
  }
  // A reader over the next n bytes (it can never read past them); this reader moves past.
  bool Sub(std::size_t n, ByteReader& child) {
    std::span<const uint8_t> bytes;
    if (!Bytes(n, bytes)) return false;
    child = ByteReader(bytes);
    return true;
  }

 private:
  std::span<const uint8_t> data_;
  std::size_t pos_ = 0;
};

// Appends fixed-width little-endian fields to a byte vector.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

  std::size_t Size() const { return out_.size(); }

  void U8(uint8_t v) { out_.push_back(v); }
  void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
  void U16(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out_.push_back(static_cast<uint8_t>(v >> shift));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
  void Bytes(std::span<const uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }
  // Overwrites a u32 written earlier (a chunk length known only at the chunk's end).
  // Returns false when the four bytes at offset were never written.
  bool PatchU32(std::size_t offset, uint32_t v) {
    if (offset > out_.size() || out_.size() - offset < 4) return false;
    for (int i = 0; i < 4; ++i) out_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    return true;
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace lumetra::platform
