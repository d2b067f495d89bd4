// A bounds-checked little-endian reader over a file held in memory: a read past the end
// sets the failed flag and answers 0, never touching memory outside the span.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

namespace formats {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool failed() const { return failed_; }
  size_t position() const { return at_; }
  size_t remaining() const { return bytes_.size() - at_; }
  bool Seek(size_t at) {
    if (at > bytes_.size()) return failed_ = true, false;
    at_ = at;
    return true;
  }
  bool Skip(size_t n) { return n <= remaining() ? (at_ += n, true) : (failed_ = true, false); }
  uint8_t U8() { return remaining() >= 1 ? bytes_[at_++] : Fail(); }
  uint16_t U16() {
    if (remaining() < 2) return Fail();
    const uint16_t v = static_cast<uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
    at_ += 2;
    return v;
  }
  uint32_t U32() {
    if (remaining() < 4) return Fail();
    const uint32_t v = static_cast<uint32_t>(bytes_[at_]) | uint32_t{bytes_[at_ + 1]} << 8 |
                       uint32_t{bytes_[at_ + 2]} << 16 | uint32_t{bytes_[at_ + 3]} << 24;
    at_ += 4;
    return v;
  }
  // n bytes from here, or an empty span (and failed) when fewer remain.
  std::span<const uint8_t> Bytes(size_t n) {
    if (n > remaining()) return failed_ = true, std::span<const uint8_t>{};
    auto out = bytes_.subspan(at_, n);
    at_ += n;
    return out;
  }

 private:
  uint8_t Fail() {
    failed_ = true;
    return 0;
  }
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
  bool failed_ = false;
};

// Field-by-field little-endian writers into a FILE.
inline bool PutU8(std::FILE* f, uint32_t v) { return std::fputc(static_cast<int>(v & 0xff), f) != EOF; }
inline bool PutU16(std::FILE* f, uint32_t v) { return PutU8(f, v) && PutU8(f, v >> 8); }
inline bool PutU32(std::FILE* f, uint32_t v) { return PutU16(f, v) && PutU16(f, v >> 16); }

}  // namespace formats
