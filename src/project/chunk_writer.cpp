// Chunk writing into a byte vector.
#include "project/chunk_writer.h"

#include <cstring>

#include "project/chunk_ids.h"

namespace lumetra::project {

void ChunkWriter::U16(uint16_t v) {
  out_.push_back(static_cast<uint8_t>(v));
  out_.push_back(static_cast<uint8_t>(v >> 8));
}

void ChunkWriter::U32(uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  out_.insert(out_.end(), b, b + 4);
}

void ChunkWriter::F32(float v) {
  uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  U32(u);
}

void ChunkWriter::Bytes(std::span<const uint8_t> bytes) {
  out_.insert(out_.end(), bytes.begin(), bytes.end());
}

void ChunkWriter::CString(std::string_view text) {
  out_.insert(out_.end(), text.begin(), text.end());
  out_.push_back(0);
}

size_t ChunkWriter::Open(uint16_t id) {
  size_t mark = out_.size();
  U16(id);
  U32(0);
  return mark;
}

void ChunkWriter::Close(size_t mark) {
  size_t length = out_.size() - mark;
  if (length > UINT32_MAX) {
    ok_ = false;
    return;
  }
  for (int i = 0; i < 4; ++i) out_[mark + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

void ChunkWriter::TextChunk(uint16_t id, std::string_view text) {
  size_t m = Open(id);
  CString(text);
  Close(m);
}

void ChunkWriter::BlockChunk(uint16_t id, std::span<const uint8_t> bytes) {
  size_t m = Open(id);
  Bytes(bytes);
  Close(m);
}

void ChunkWriter::EmptyChunk(uint16_t id) {
  U16(id);
  U32(kChunkHeaderSize);
}

}  // namespace lumetra::project
