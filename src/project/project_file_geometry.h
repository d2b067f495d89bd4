// The project's geometry list as project file records: numbering, owner clips and links.
#pragma once

#include <unordered_map>
#include <vector>

#include "project/model.h"
#include "project/project_file_doc.h"
#include "project/project_file_template.h"

namespace lumetra::project {

// Numbers the geometry objects 0, 1, 2 ... in list order and makes their records; an
// owner-clip link to a clip no longer in the project is cleared. Clip numbers are set.
void GeometryToFile(Project* project, GeometryNumbers& numbers, std::vector<FileGeometry>& out);

// Builds the loaded objects at the end of the project's geometry list and resolves their
// links by number (a number not in the list gives none). by_number gets every object.
void GeometryFromFile(Project* project, const std::vector<FileGeometry>& records,
                      GeometryByNumber& by_number);

// After the track list: each loaded object's owner clip number becomes the clip with that
// number, or none.
void GeometryResolveOwners(Project* project, const std::vector<FileGeometry>& records,
                           const GeometryByNumber& by_number,
                           const std::unordered_map<int32_t, Clip*>& clips);

}  // namespace lumetra::project
