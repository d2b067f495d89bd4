// Geometry list records. Until the geometry model exists a project has no geometry.
#include "project/project_file_geometry.h"

namespace lumetra::project {

void GeometryToFile(Project*, GeometryNumbers&, std::vector<FileGeometry>&) {}

void GeometryFromFile(Project*, const std::vector<FileGeometry>&, GeometryByNumber&) {}

void GeometryResolveOwners(Project*, const std::vector<FileGeometry>&, const GeometryByNumber&,
                           const std::unordered_map<int32_t, Clip*>&) {}

}  // namespace lumetra::project
