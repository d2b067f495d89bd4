// The geometry record, its kinds, flags and kind data blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/lumetra_plugin.h"

namespace lumetra::geometry {

class GeometryList;

// Object tag of every geometry record: the clip data field type code of `geometry`.
inline constexpr uint32_t kGeometryTag = 10;

// Longest name kept (the file reader's buffer holds 512 bytes with the NUL).
inline constexpr std::size_t kGeoNameMax = 511;

enum GeoKind : int16_t {
  kGeoVertex = 0,
  kGeoVector = 3,
  kGeoContour = 4,
  kGeoMorphPair = 5,
  kGeoGroup = 6,
};
// True for the kinds that exist (1, 2, 7 and anything else are refused).
bool GeoKindValid(int kind);

enum GeoFlag : uint32_t {
  kGeoHidden = 1u << 0,
  kGeoFrozen = 1u << 1,
  kGeoMarked = 1u << 3,
  kGeoSelected = 1u << 4,
  kGeoChanged = 1u << 10,
  kGeoBeingDeleted = 1u << 12,
  kGeoSubtreeMark = 1u << 14,
  kGeoTimesInSeconds = 1u << 15,  // set on every geometry as it is written
  kGeoPosXOff = 1u << 16,
  kGeoPosYOff = 1u << 17,
  kGeoPosZOff = 1u << 18,
  kGeoRotXOff = 1u << 19,
  kGeoRotYOff = 1u << 20,
  kGeoRotZOff = 1u << 21,
  kGeoScaleXOff = 1u << 22,
  kGeoScaleYOff = 1u << 23,
  kGeoScaleZOff = 1u << 24,
  kGeoTemporary = 1u << 25,
  kGeoScriptChanged = 1u << 26,
};

// Cache time of an invalid world cache.
inline constexpr float kGeoCacheInvalid = 3.3e38f;
// Distance meaning "no distance".
inline constexpr float kGeoNoDistance = 3e38f;

// Curve track indexes; 3 and 4 exist only on vertices.
enum GeoTrack { kGeoTrackPosition = 0, kGeoTrackRotation, kGeoTrackScale, kGeoTrackV, kGeoTrackW };

struct Geometry;

// Kind-specific data; owned by the geometry.
struct GeoKindData {
  virtual ~GeoKindData() = default;
};

struct GeoVertexData final : GeoKindData {
  KeyfloatKey* v = nullptr;  // outgoing handle, 2 components
  KeyfloatKey* w = nullptr;  // incoming handle, 2 components
  // Two further references the file carries with a vertex; cleared when their target goes.
  Geometry* refs[2] = {nullptr, nullptr};
  ~GeoVertexData() override;
};

struct GeoContourData final : GeoKindData {
  std::vector<Geometry*> vertices;  // member slots, in outline order
  uint32_t flags = 0;               // bit 0: closed
  bool Closed() const { return (flags & 1u) != 0; }
};

struct GeoGroupData final : GeoKindData {
  std::vector<Geometry*> members;
};

struct GeoMorphPairData final : GeoKindData {
  uint32_t word = 0;
  Geometry* a = nullptr;
  Geometry* b = nullptr;
  float split_a[4] = {0.f, 0.25f, 0.5f, 0.75f};
  float split_b[4] = {0.f, 0.25f, 0.5f, 0.75f};
  uint16_t steps = 1;  // 1 to kGeoMorphStepsMax
  uint16_t word2 = 0;
};
inline constexpr uint16_t kGeoMorphStepsMax = 24;

// One geometry object. The list that holds it owns it; fields up to `owner` follow the
// record's established order, the rest are this implementation's indexes.
struct Geometry {
  uint32_t tag = kGeometryTag;
  int16_t kind = kGeoVector;
  uint32_t flags = 0;
  std::unique_ptr<GeoKindData> data;
  std::string name;
  Geometry* next = nullptr;
  Geometry* prev = nullptr;
  uint32_t id = 0;
  uint32_t colour = 0;
  uint32_t colour2 = 0;
  Geometry* parent = nullptr;
  KeyfloatKey* position = nullptr;
  KeyfloatKey* rotation = nullptr;
  KeyfloatKey* scale = nullptr;
  float world_matrix[4] = {1.f, 0.f, -0.f, 1.f};
  float world_pos[3] = {0.f, 0.f, 0.f};
  float cache_time = -1.f;
  float world_rot_x = 0.f;
  float world_rot_y = 0.f;
  float world_rot_z = 0.f;
  float world_scale[3] = {1.f, 1.f, 1.f};
  void* owner_clip = nullptr;  // the clip whose script made a temporary geometry
  uint32_t generation = 0;
  GeometryList* owner = nullptr;

  // Indexes kept so that no operation scans the whole list.
  std::vector<Geometry*> children;    // geometries whose parent is this one
  std::vector<Geometry*> containers;  // one entry per member slot that holds this one
  std::vector<Geometry*> referrers;   // vertices whose extra references name this one
  uint64_t seq = 0;                   // list order key
  uint64_t visit = 0;                 // traversal stamp
  int32_t owner_clip_number = -1;     // as read from a file, for the project to resolve

  Geometry() = default;
  Geometry(const Geometry&) = delete;
  Geometry& operator=(const Geometry&) = delete;
  ~Geometry();

  GeoVertexData* Vertex() const;
  GeoContourData* Contour() const;
  GeoGroupData* Group() const;
  GeoMorphPairData* MorphPair() const;
};

}  // namespace lumetra::geometry
