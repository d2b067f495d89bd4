// Bounds-checked chunk reading.
#include "projectfile/chunk_reader.h"

#include <algorithm>

#include "platform/format.h"
#include "projectfile/chunk_ids.h"

namespace lumetra::project {

bool ChunkCursor::CString(size_t max_len, std::string& out) {
  if (!ok_) return false;
  ByteSpan rest = Rest();
  auto nul = std::find(rest.begin(), rest.end(), uint8_t{0});
  size_t len = static_cast<size_t>(nul - rest.begin());
  if (nul == rest.end() || len > max_len) return Keep(false);
  out.assign(reinterpret_cast<const char*>(rest.data()), len);
  return Skip(len + 1);
}

ChunkFault ChunkAt(ByteSpan bytes, Chunk& out) {
  if (bytes.size() < kChunkHeaderSize) return ChunkFault::kTruncatedHeader;
  ChunkCursor c(bytes);
  c.U16(out.id);
  c.U32(out.length);
  if (out.length < kChunkHeaderSize) return ChunkFault::kShortLength;
  if (out.length > bytes.size()) return ChunkFault::kBeyondParent;
  out.payload = bytes.subspan(kChunkHeaderSize, out.length - kChunkHeaderSize);
  return ChunkFault::kNone;
}

std::string ChunkFaultText(ChunkFault fault, ByteSpan rest) {
  uint32_t length = 0;
  if (rest.size() >= kChunkHeaderSize)
    length = uint32_t{rest[2]} | uint32_t{rest[3]} << 8 | uint32_t{rest[4]} << 16 |
             uint32_t{rest[5]} << 24;
  switch (fault) {
    case ChunkFault::kNone:
      break;
    case ChunkFault::kShortLength:
      return platform::Format("expected a chunk length of at least %u bytes, found %u",
                              kChunkHeaderSize, length);
    case ChunkFault::kBeyondParent:
      return platform::Format(
          "expected a chunk within the %zu bytes left in its container, found a length of %u",
          rest.size(), length);
    case ChunkFault::kTruncatedHeader:
      return platform::Format("expected a %u-byte chunk header, found %zu bytes",
                              kChunkHeaderSize, rest.size());
  }
  return "expected a chunk";
}

bool ChunkList::Next(Chunk& out) {
  if (fault_ != ChunkFault::kNone || rest_.empty()) return false;
  fault_ = ChunkAt(rest_, out);
  if (fault_ != ChunkFault::kNone) return false;
  rest_ = rest_.subspan(out.length);
  return true;
}

std::string ChunkText(const Chunk& chunk, size_t max_len) {
  ByteSpan p = chunk.payload;
  auto nul = std::find(p.begin(), p.end(), uint8_t{0});
  size_t len = std::min(static_cast<size_t>(nul - p.begin()), max_len);
  return std::string(reinterpret_cast<const char*>(p.data()), len);
}

}  // namespace lumetra::project
