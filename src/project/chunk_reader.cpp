// Bounds-checked chunk reading.
#include "project/chunk_reader.h"

#include <algorithm>
#include <cstring>

#include "project/chunk_ids.h"

namespace lumetra::project {

bool ChunkCursor::Take(size_t n, const uint8_t*& p) {
  if (!ok_ || n > Remaining()) {
    ok_ = false;
    return false;
  }
  p = bytes_.data() + pos_;
  pos_ += n;
  return true;
}

bool ChunkCursor::U8(uint8_t& v) {
  const uint8_t* p;
  if (!Take(1, p)) return false;
  v = p[0];
  return true;
}

bool ChunkCursor::U16(uint16_t& v) {
  const uint8_t* p;
  if (!Take(2, p)) return false;
  v = static_cast<uint16_t>(p[0] | (p[1] << 8));
  return true;
}

bool ChunkCursor::U32(uint32_t& v) {
  const uint8_t* p;
  if (!Take(4, p)) return false;
  v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  return true;
}

bool ChunkCursor::I32(int32_t& v) {
  uint32_t u;
  if (!U32(u)) return false;
  v = static_cast<int32_t>(u);
  return true;
}

bool ChunkCursor::F32(float& v) {
  uint32_t u;
  if (!U32(u)) return false;
  std::memcpy(&v, &u, sizeof v);
  return true;
}

bool ChunkCursor::Bytes(size_t n, ByteSpan& out) {
  const uint8_t* p;
  if (!Take(n, p)) return false;
  out = ByteSpan(p, n);
  return true;
}

bool ChunkCursor::CString(size_t max_len, std::string& out) {
  if (!ok_) return false;
  ByteSpan rest = Rest();
  auto nul = std::find(rest.begin(), rest.end(), uint8_t{0});
  size_t len = static_cast<size_t>(nul - rest.begin());
  if (nul == rest.end() || len > max_len) {
    ok_ = false;
    return false;
  }
  out.assign(reinterpret_cast<const char*>(rest.data()), len);
  pos_ += len + 1;
  return true;
}

bool ChunkCursor::Skip(size_t n) {
  const uint8_t* p;
  return Take(n, p);
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
