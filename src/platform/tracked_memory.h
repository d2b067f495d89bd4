// The host's one recorded allocator: every block that may cross the plug-in boundary
// (clip data, strings, ALLOCBUF buffers, converted pixel buffers, thumbnails, picture
// records) is made here, so that a release can tell what the host handed out from what it
// did not, instead of freeing whatever pointer it is given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumetra::platform {

// What a block is: a release names the kind it expects and refuses the others (a picture
// record must go through the picture release, which frees its pixels too).
enum class BlockKind : uint8_t { kBuffer = 1, kPicture = 2 };

// A zeroed block of size bytes (at least one), or null.
void* TrackedAlloc(std::size_t size, BlockKind kind = BlockKind::kBuffer);
// Frees a block of that kind; false, and nothing freed, for any other pointer (null, foreign,
// already released, or of another kind).
bool TrackedRelease(void* block, BlockKind kind = BlockKind::kBuffer);
// The size of a live block of that kind, 0 for any other pointer.
std::size_t TrackedSize(const void* block, BlockKind kind = BlockKind::kBuffer);
// Live blocks of a kind (tests and leak checks).
std::size_t TrackedCount(BlockKind kind);

}  // namespace lumetra::platform
