// Geometry as typed objects: "vertex", "contour" and "shape" creation and the geometry
// operations, against the current project's geometry list.
#pragma once

namespace lumetra::project {

// Registers the geometry kind (10) and the operations "attach", "link",
// "NextSelectedGeometry" and "NextSelectedContour". Called once at start-up.
void ObjectGeometryRegister();
void ObjectGeometryUnregister();

}  // namespace lumetra::project
