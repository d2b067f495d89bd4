// The geometry slots of the service table: lookups by name, outlines, boxes, distances
// and group members, each checking that the geometry belongs to the call's project.
#pragma once

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

LumetraGeometry SvcGeometryFind(LumetraProject project, const char* name);
int32_t SvcGeoGetCurves(HostCallContext* ctx, LumetraGeometry geometry, float time,
                        int32_t closed_only, intptr_t user, LumetraCurveCallback callback);
float SvcGeoDistanceFrame(HostCallContext* ctx, LumetraGeometry geometry, float time, float x,
                          float y);
float SvcGeoDistance(HostCallContext* ctx, LumetraGeometry geometry, float time, float x, float y);
int32_t SvcV_GeoSubgeoGet(LumetraGeometry geometry, LumetraGeometry* members, int32_t capacity);
LumetraGeometry SvcClipGeometryField(HostCallContext* ctx, LumetraGeometry* field);
LumetraGeometry SvcClipGeometryByFieldName(HostCallContext* ctx, const char* field_name);
int32_t SvcGeometryName(LumetraGeometry geometry, char* buffer, int32_t size);
int32_t SvcGeoGetBBox(HostCallContext* ctx, LumetraGeometry geometry, float box[4], float time);

}  // namespace lumetra::project
