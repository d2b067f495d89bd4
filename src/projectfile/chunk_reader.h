// Bounds-checked reading of chunked files: a cursor over one chunk's bytes and the
// iteration over a container's child chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/byte_io.h"

namespace lumetra::project {

using ByteSpan = std::span<const uint8_t>;

// Little-endian reads from a span (platform::ByteReader) whose failure sticks: after a read
// past the end every later read fails too, so that a sequence of reads is checked once.
class ChunkCursor {
 public:
  explicit ChunkCursor(ByteSpan bytes) : in_(bytes) {}

  bool U8(uint8_t& v) { return Keep(in_.U8(v)); }
  bool U16(uint16_t& v) { return Keep(ok_ && in_.U16(v)); }
  bool U32(uint32_t& v) { return Keep(ok_ && in_.U32(v)); }
  bool I32(int32_t& v) { return Keep(ok_ && in_.I32(v)); }
  bool F32(float& v) { return Keep(ok_ && in_.F32(v)); }
  // The next n bytes as a sub-span; fails when fewer remain.
  bool Bytes(size_t n, ByteSpan& out) { return Keep(ok_ && in_.Bytes(n, out)); }
  bool Skip(size_t n) { return Keep(ok_ && in_.Skip(n)); }
  // Text up to its NUL (consumed); fails without a NUL or when longer than max_len.
  bool CString(size_t max_len, std::string& out);

  size_t Remaining() const { return in_.Remaining(); }
  size_t Position() const { return in_.Position(); }
  bool Ok() const { return ok_; }
  ByteSpan Rest() const { return in_.Data().subspan(in_.Position()); }
  platform::ByteReader& Reader() { return in_; }

 private:
  bool Keep(bool ok) {
    ok_ = ok_ && ok;
    return ok_;
  }
  platform::ByteReader in_;
  bool ok_ = true;
};

// One chunk: its identifier, its whole length and exactly its payload.
struct Chunk {
  uint16_t id = 0;
  uint32_t length = 0;
  ByteSpan payload;
};

enum class ChunkFault {
  kNone,
  kShortLength,     // a length below the 6-byte header
  kBeyondParent,    // a length that runs past the container
  kTruncatedHeader  // 1 to 5 bytes left where a header should start
};

// The child chunks of a container's payload, in order. Next() stops at the end or at the
// first fault; Fault() tells which.
class ChunkList {
 public:
  explicit ChunkList(ByteSpan payload) : rest_(payload) {}
  bool Next(Chunk& out);
  ChunkFault Fault() const { return fault_; }
  // What is left unread; after a fault it starts at the faulty header.
  ByteSpan Rest() const { return rest_; }

 private:
  ByteSpan rest_;
  ChunkFault fault_ = ChunkFault::kNone;
};

// What a fault found instead of a chunk header at the start of rest, as "expected ...".
std::string ChunkFaultText(ChunkFault fault, ByteSpan rest);

// Reads one chunk header at the start of bytes and bounds it by bytes.
ChunkFault ChunkAt(ByteSpan bytes, Chunk& out);

// A string chunk's text: the payload up to its first NUL (all of it without one).
std::string ChunkText(const Chunk& chunk, size_t max_len = SIZE_MAX);

}  // namespace lumetra::project
