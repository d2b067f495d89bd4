// Little-endian field reader over a bounded byte span, and a field-by-field writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace lumetra::geometry {

// Reads fields from a span; a read past the end fails and leaves the reader failed.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }
  std::size_t Position() const { return pos_; }
  bool Ok() const { return ok_; }
  void Fail() { ok_ = false; }

  bool U8(uint8_t& v) { return Raw(&v, 1); }
  bool U16(uint16_t& v) {
    uint8_t b[2];
    if (!Raw(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool U32(uint32_t& v) {
    uint8_t b[4];
    if (!Raw(b, 4)) return false;
    v = uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
    return true;
  }
  bool I32(int32_t& v) {
    uint32_t u;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool F32(float& v) {
    uint32_t u;
    if (!U32(u)) return false;
    std::memcpy(&v, &u, 4);
    return true;
  }
  // Text up to its NUL (consumed); fails when no NUL comes before the end.
  bool CString(std::string& s) {
    if (!ok_) return false;
    const uint8_t* start = bytes_.data() + pos_;
    const void* nul = std::memchr(start, 0, bytes_.size() - pos_);
    if (nul == nullptr) return Failed();
    std::size_t n = static_cast<const uint8_t*>(nul) - start;
    s.assign(reinterpret_cast<const char*>(start), n);
    pos_ += n + 1;
    return true;
  }
  // A sub-span of n bytes, consumed.
  bool Take(std::size_t n, std::span<const uint8_t>& out) {
    if (!ok_ || n > bytes_.size() - pos_) return Failed();
    out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  bool Skip(std::size_t n) {
    std::span<const uint8_t> unused;
    return Take(n, unused);
  }

 private:
  bool Raw(void* dst, std::size_t n) {
    if (!ok_ || n > bytes_.size() - pos_) return Failed();
    std::memcpy(dst, bytes_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  bool Failed() {
    ok_ = false;
    return false;
  }

  std::span<const uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// Appends fields little-endian to a caller's buffer; chunks are opened and closed with their length
// patched.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    U32(u);
  }
  void CString(const std::string& s) {
    out_.insert(out_.end(), s.begin(), s.end());
    out_.push_back(0);
  }
  // Writes a chunk header with a placeholder length; returns its position.
  std::size_t OpenChunk(uint16_t id) {
    std::size_t at = out_.size();
    U16(id);
    U32(0);
    return at;
  }
  // Sets the chunk's length to everything written since it was opened.
  void CloseChunk(std::size_t at) {
    uint32_t len = static_cast<uint32_t>(out_.size() - at);
    for (int i = 0; i < 4; ++i) out_[at + 2 + i] = static_cast<uint8_t>(len >> (8 * i));
  }

  std::size_t Size() const { return out_.size(); }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace lumetra::geometry
