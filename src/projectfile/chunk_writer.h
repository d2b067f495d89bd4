// Writing chunked files into a byte vector: fields one by one, little-endian, and
// containers whose length is filled in when they close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/byte_io.h"

namespace lumetra::project {

class ChunkWriter {
 public:
  explicit ChunkWriter(std::vector<uint8_t>& out) : out_(out) {}

  void U8(uint8_t v) { out_.U8(v); }
  void U16(uint16_t v) { out_.U16(v); }
  void U32(uint32_t v) { out_.U32(v); }
  void I32(int32_t v) { out_.I32(v); }
  void F32(float v) { out_.F32(v); }
  void Bytes(std::span<const uint8_t> bytes) { out_.Bytes(bytes); }
  // Text followed by one NUL byte (no chunk header).
  void CString(std::string_view text);

  // Opens a chunk; Close() with the returned mark writes its length. Containers nest.
  size_t Open(uint16_t id);
  void Close(size_t mark);

  // A string chunk: text and one NUL.
  void TextChunk(uint16_t id, std::string_view text);
  // A chunk holding exactly these bytes (empty: length 6).
  void BlockChunk(uint16_t id, std::span<const uint8_t> bytes);
  void EmptyChunk(uint16_t id);

  // False once a chunk grew beyond what a 32-bit length can hold.
  bool Ok() const { return ok_; }
  size_t Size() const { return out_.Size(); }
  platform::ByteWriter& Writer() { return out_; }

 private:
  platform::ByteWriter out_;
  bool ok_ = true;
};

}  // namespace lumetra::project
