// A project's geometry list as the project file sees it: the list that belongs to a
// project record, its chunk, numbering, owner clips.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "geometry/geometry_list.h"
#include "project/model.h"
#include "project/project_file_template.h"

namespace lumetra::project {

// The geometry list of a project; created on first use. Project::first_geometry follows
// its head. Installs the project hooks that free and move lists when none are installed.
geometry::GeometryList& ProjectGeometry(Project* project);
// Null when the project has no list yet.
geometry::GeometryList* ProjectGeometryFind(const Project* project);
void ProjectGeometrySync(Project* project);

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
