// The clip side of a project's geometry list: references to geometry in clip data blocks.
#pragma once

#include <functional>
#include <memory>

#include "geometry/geometry_list.h"

namespace lumetra::project {

struct Clip;
struct Project;

// Hooks answering for the geometry fields of every clip of the project (sub-projects
// included) and of the clips' saved data copies. The caller holds the render lock.
std::unique_ptr<geometry::GeoClipHooks> ProjectGeoClipHooks(Project* project);

// Calls fn(g) for every element of the clip's geometry fields with the geometry stored
// there; when fn returns true the (changed) g is stored back. Elements the block does not
// hold are skipped.
void ClipGeometrySlots(Clip* clip, const std::function<bool(geometry::Geometry*& g)>& fn);

}  // namespace lumetra::project
