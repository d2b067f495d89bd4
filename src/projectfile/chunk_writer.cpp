// Chunk writing into a byte vector.
#include "projectfile/chunk_writer.h"

#include "projectfile/chunk_ids.h"

namespace lumetra::project {

void ChunkWriter::CString(std::string_view text) {
  out_.Bytes(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  out_.U8(0);
}

size_t ChunkWriter::Open(uint16_t id) {
  size_t mark = out_.Size();
  U16(id);
  U32(0);
  return mark;
}

void ChunkWriter::Close(size_t mark) {
  size_t length = out_.Size() - mark;
  if (length > UINT32_MAX || !out_.PatchU32(mark + 2, static_cast<uint32_t>(length))) ok_ = false;
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
