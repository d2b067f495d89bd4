// The picture cache: pictures held in requests, evicted least recently served first while
// the cached bytes are not below the memory budget.
#include "platform/system_info.h"
#include "render/pic.h"
#include "render/render_request.h"

namespace lumetra::render {

namespace {
constexpr uint64_t kMemoryReserved = 16ull << 20;

uint64_t PicBytes(const PIC* pic) {
  return static_cast<uint64_t>(pic->width) * static_cast<uint64_t>(pic->height) * 4;
}
}  // namespace

uint64_t DefaultMemoryProxy(uint64_t physical, std::optional<uint64_t> cgroup_limit) {
  if (cgroup_limit && *cgroup_limit < physical) physical = *cgroup_limit;
  return physical > kMemoryReserved ? (physical - kMemoryReserved) / 2 : 0;
}

uint64_t DefaultMemoryProxy() {
  return DefaultMemoryProxy(platform::PhysicalMemory(), platform::CgroupMemoryLimit());
}

void RenderEngine::Impl::StorePicture(RenderRequest* rq, PIC* picture) {
  picture->tag = rq->time;
  rq->picture = picture;
  cached_count += 1;
  cached_bytes += PicBytes(picture);
  pic_owner[picture] = rq;
}

void RenderEngine::Impl::DropPicture(RenderRequest* rq) {
  if (rq->cached) {
    cache_lru.erase(rq->cache_pos);
    rq->cached = false;
  }
  if (rq->picture == nullptr) return;
  cached_count -= 1;
  cached_bytes -= PicBytes(rq->picture);
  pic_owner.erase(rq->picture);
  PicFree(rq->picture);
  rq->picture = nullptr;
}

void RenderEngine::Impl::Touch(RenderRequest* rq) {
  rq = Source(rq);
  if (rq == nullptr || live.count(rq) == 0) return;
  bool evictable = rq->picture != nullptr && (rq->flags & kRqRunning) == 0 &&
                   rq->user_word == 0 && Outstanding(rq) == 0;
  if (rq->cached) {
    cache_lru.erase(rq->cache_pos);
    rq->cached = false;
  }
  if (evictable) {
    rq->cache_pos = cache_lru.insert(cache_lru.end(), rq);
    rq->cached = true;
  }
}

void RenderEngine::Impl::Evict() {
  while (cached_bytes >= memory_budget && !cache_lru.empty()) {
    RenderRequest* rq = cache_lru.front();
    DropPicture(rq);
    for (RenderRequest* in : rq->inputs) Defer(in);
    Defer(rq);
  }
}

}  // namespace lumetra::render
