// A project's geometry list: owns its geometries, keeps creation order and a name index.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "geometry/geometry.h"

namespace lumetra::geometry {

// What the geometry module asks of the clips of the project that holds the list. The
// project module installs one; without it no clip refers to any geometry.
class GeoClipHooks {
 public:
  virtual ~GeoClipHooks() = default;
  // Clears every reference to g in the geometry fields of all clips' data and of their
  // saved copies, and refreshes the edit window of each clip that had one.
  virtual void ClearReferences(const Geometry* g) = 0;
  // Elements of geometry-typed data fields of every clip of every track equal to g.
  virtual int CountReferences(const Geometry* g) = 0;
  // True when a clip's data, or either of its saved data copies, refers to g.
  virtual bool IsReferenced(const Geometry* g) = 0;
};

// The process-wide geometry lock (re-entrant). Lock order: render lock, then this one.
std::recursive_mutex& GeoLock();

class GeometryList {
 public:
  GeometryList() = default;
  GeometryList(const GeometryList&) = delete;
  GeometryList& operator=(const GeometryList&) = delete;
  ~GeometryList();

  Geometry* First() const { return head_; }
  Geometry* Last() const { return tail_; }
  std::size_t Size() const { return owned_.size(); }
  // True when g is a live geometry of this list (g is never dereferenced to decide).
  bool Holds(const Geometry* g) const { return g != nullptr && owned_.count(g) != 0; }

  // Appends a geometry and takes it over; returns it.
  Geometry* Append(std::unique_ptr<Geometry> g);
  // Frees every geometry (no clip hooks are called).
  void Clear();
  // Moves every geometry of other to the end of this list, in order.
  void TakeAll(GeometryList& other);

  void SetClipHooks(GeoClipHooks* hooks) { hooks_ = hooks; }
  GeoClipHooks* ClipHooks() const { return hooks_; }

  // Name index.
  Geometry* FindByName(std::string_view name) const;
  bool NameTaken(std::string_view name) const { return names_.count(std::string(name)) != 0; }

  // Traversal stamp for walks that must visit each geometry once (process-wide, so that
  // geometries moved between lists never meet a stale stamp).
  static uint64_t NextVisit();

 private:
  friend bool GeoRename(Geometry* g, std::string_view name);
  friend bool GeoMakeName(std::string_view base, std::string& out, GeometryList& list);
  friend void GeoRemoveFromList(Geometry* g);

  void IndexName(Geometry* g);
  void UnindexName(Geometry* g);
  // Unlinks g from the order and frees it.
  void Erase(Geometry* g);

  Geometry* head_ = nullptr;
  Geometry* tail_ = nullptr;
  uint64_t seq_ = 0;
  std::unordered_map<const Geometry*, std::unique_ptr<Geometry>> owned_;
  std::unordered_multimap<std::string, Geometry*> names_;
  GeoClipHooks* hooks_ = nullptr;

  // GeoMakeName's cache: up to ten bases with the next number to try.
  struct NameSlot {
    std::string base;
    int next = 1;
  };
  std::vector<NameSlot> name_cache_;
};

}  // namespace lumetra::geometry
