// A project's geometry list as the project file sees it: its chunk, numbering, owner clips.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "geometry/geometry_list.h"
#include "model/model.h"
#include "projectfile/project_file_template.h"

namespace lumetra::project {

// Numbers the geometry 0, 1, 2 ... (clips must be numbered already), clears owner-clip
// links to clips no longer in the project, and writes the Geometry list chunk.
void GeometryToFile(Project* project, GeometryNumbers& numbers, std::vector<uint8_t>& chunk);

// Reads a Geometry list chunk into the project's list; by_number gets every loaded object.
// kLoadOk, or the load status when the list chunk itself is damaged.
int GeometryFromFile(Project* project, const std::vector<uint8_t>& chunk, int32_t version,
                     int32_t time_base, GeometryByNumber& by_number);

// Each loaded object's owner clip number becomes the clip with that number, or none.
void GeometryResolveOwners(const GeometryByNumber& loaded,
                           const std::unordered_map<int32_t, Clip*>& clips);

}  // namespace lumetra::project
