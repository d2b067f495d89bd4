// The geometry services that effects call: outline curves, bounding box, distance and
// group members. Each takes the geometry lock and refuses a geometry of another list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry/geo_kinds.h"
#include "geometry/geometry_list.h"

namespace lumetra::geometry {

// The picture a service answers in: the list of the clip's project and the clip image.
// aspect is A = height / (width x pixel aspect) of the project frame; a geometry point
// (x, y) maps to pixel (x * width, y * height / aspect).
struct GeoFrame {
  const GeometryList* list = nullptr;
  float width = 0.f;
  float height = 0.f;
  float aspect = 1.f;
};
// A frame for a W x H image of a project whose frame has the given pixel aspect.
GeoFrame GeoFrameFor(const GeometryList* list, int width, int height, float pixel_aspect);

// Emits g's outline at `time` as bezier segments in the frame's pixels. 1 when every
// callback returned 1, else the callback's stopping value; 0 when g is not a live
// geometry of frame.list or the frame is degenerate.
int GeoGetCurves(const GeoFrame& frame, Geometry* g, float time, bool closed_only, intptr_t user,
                 GeoCurveFn cb);
// Bounding box (x0, y0, x1, y1) in the frame's pixels; the whole image (0, 0, W, H) for a
// null or foreign geometry and for kinds without a box.
void GeoGetBBox(const GeoFrame& frame, Geometry* g, float box[4], float time);
// Distance in pixels from (px, py) to g; kGeoNoDistance for none.
float GeoDistance(const GeoFrame& frame, Geometry* g, float time, float px, float py);
// For a group of list: up to capacity member pointers in member order; returns the member
// count. 0 for other kinds and for a geometry that is not in the list.
int V_GeoSubgeoGet(const GeometryList& list, Geometry* g, Geometry** out, int capacity);

}  // namespace lumetra::geometry
