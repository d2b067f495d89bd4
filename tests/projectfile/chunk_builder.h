// A small chunk builder for tests: files assembled by hand, field by field.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "projectfile/chunk_reader.h"

namespace lumetra::project::test {

// Bytes of one chunk or a sequence of fields. Chunks nest by adding a built chunk.
class CB {
 public:
  CB() = default;
  // A chunk with this id; its length is computed from what is added, unless forced.
  explicit CB(uint16_t id) : id_(id), is_chunk_(true) {}

  CB& u8(uint8_t v) { return raw({v}); }
  CB& u16(uint16_t v) { return raw({uint8_t(v), uint8_t(v >> 8)}); }
  CB& u32(uint32_t v) {
    return raw({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }
  CB& i32(int32_t v) { return u32(uint32_t(v)); }
  CB& f32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    return u32(u);
  }
  CB& cstr(std::string_view s) {
    body_.insert(body_.end(), s.begin(), s.end());
    body_.push_back(0);
    return *this;
  }
  CB& raw(std::initializer_list<uint8_t> bytes) {
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  CB& bytes(const std::vector<uint8_t>& b) {
    body_.insert(body_.end(), b.begin(), b.end());
    return *this;
  }
  CB& add(const CB& child) { return bytes(child.build()); }
  CB& text(uint16_t id, std::string_view s) { return add(CB(id).cstr(s)); }
  // Writes this length into the header instead of the real one.
  CB& length(uint32_t forced) {
    forced_ = forced;
    has_forced_ = true;
    return *this;
  }

  std::vector<uint8_t> build() const {
    if (!is_chunk_) return body_;
    std::vector<uint8_t> out;
    uint32_t len = has_forced_ ? forced_ : uint32_t(body_.size() + 6);
    out = {uint8_t(id_),      uint8_t(id_ >> 8),  uint8_t(len),
           uint8_t(len >> 8), uint8_t(len >> 16), uint8_t(len >> 24)};
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
  }

 private:
  uint16_t id_ = 0;
  bool is_chunk_ = false;
  bool has_forced_ = false;
  uint32_t forced_ = 0;
  std::vector<uint8_t> body_;
};

// Offsets of the length field of every chunk header in a file: the root, and the children
// of every payload that reads as a clean list of chunks.
inline void LengthFieldOffsets(ByteSpan bytes, size_t base, std::vector<size_t>& out) {
  ChunkList list(bytes);
  Chunk c;
  std::vector<std::pair<size_t, Chunk>> found;
  size_t at = 0;
  while (list.Next(c)) {
    found.push_back({at, c});
    at += c.length;
  }
  if (list.Fault() != ChunkFault::kNone) return;
  for (auto& [off, chunk] : found) {
    out.push_back(base + off + 2);
    LengthFieldOffsets(chunk.payload, base + off + 6, out);
  }
}

inline std::vector<size_t> LengthFieldOffsets(ByteSpan bytes) {
  std::vector<size_t> out;
  LengthFieldOffsets(bytes, 0, out);
  return out;
}

}  // namespace lumetra::project::test
