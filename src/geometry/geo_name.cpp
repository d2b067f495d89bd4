// Unique geometry names: numbered candidates checked against the list's name index.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "geometry/geo_ops.h"

namespace lumetra::geometry {

namespace {

constexpr int kNameNumberMax = 9999;
constexpr std::size_t kNameCacheSize = 10;

std::string Numbered(std::string_view base, int n, const char* format) {
  char digits[16];
  std::snprintf(digits, sizeof digits, format, n);
  std::string s(base);
  s += digits;
  return s;
}

// "%s%.3d" below 1000, "%s%d" from 1000 on.
std::string Candidate(std::string_view base, int n) {
  return Numbered(base, n, n < 1000 ? "%.3d" : "%d");
}

}  // namespace

bool GeoMakeName(std::string_view base, std::string& out, GeometryList& list) {
  if (base.size() + 4 > kGeoNameMax) return false;
  std::lock_guard lock(GeoLock());
  auto& cache = list.name_cache_;
  std::size_t slot = cache.size();
  for (std::size_t i = 0; i < cache.size(); ++i)
    if (cache[i].base == base) slot = i;
  int n = slot < cache.size() ? cache[slot].next : 1;
  for (; n <= kNameNumberMax; ++n) {
    std::string name = Candidate(base, n);
    if (!list.NameTaken(name)) {
      out = std::move(name);
      break;
    }
  }
  if (n > kNameNumberMax) return false;
  if (slot == cache.size()) {
    if (cache.size() == kNameCacheSize) cache.pop_back();
    cache.push_back({std::string(base), 1});
    slot = cache.size() - 1;
  }
  cache[slot].next = n + 1;
  if (slot > 0 && cache[slot].next > cache[slot - 1].next) std::swap(cache[slot], cache[slot - 1]);
  return true;
}

bool GeoFirstFreeName(std::string_view prefix, bool zero_pad, std::string& out,
                      const GeometryList& list) {
  if (prefix.size() + 4 > kGeoNameMax) return false;
  for (int n = 1; n <= kNameNumberMax; ++n) {
    std::string name = Numbered(prefix, n, zero_pad ? "%.3d" : "%3d");
    if (!list.NameTaken(name)) {
      out = std::move(name);
      return true;
    }
  }
  return false;
}

bool GeoRename(Geometry* g, std::string_view name) {
  if (g == nullptr || name.size() > kGeoNameMax || name.find('\0') != name.npos) return false;
  std::lock_guard lock(GeoLock());
  if (g->owner == nullptr) {
    g->name.assign(name);
    return true;
  }
  Geometry* other = g->owner->FindByName(name);
  if (other == g) return true;
  if (other != nullptr) return false;
  g->owner->UnindexName(g);
  g->name.assign(name);
  g->owner->IndexName(g);
  return true;
}

Geometry* GeoFindByName(const GeometryList& list, std::string_view name) {
  return list.FindByName(name);
}

std::size_t GeoGetName(const Geometry* g, char* buffer, std::size_t size) {
  if (g == nullptr || buffer == nullptr || size == 0) return 0;
  std::size_t n = std::min(size - 1, g->name.size());
  std::memcpy(buffer, g->name.data(), n);
  buffer[n] = '\0';
  return n;
}

}  // namespace lumetra::geometry
