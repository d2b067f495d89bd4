// Projects: creation and defaults, the project list, the current project, copy, merge, free.
#pragma once

#include <memory>
#include <optional>

#include "model/model.h"

namespace lumetra::project {

// A zeroed record with status 1, pushed at the head of the project list.
Project* ProjectCreate();
// kProjectDefaults, then the "New Project" defaults when they exist.
void ProjectSetDefaults(Project* project);
// Makes it the current project: missing time base and snap taken from the old current
// project, derived values set, the old current project freed.
void ProjectMakeCurrent(Project* project);
// Unlinks it from the list (no current project when it was current) and frees its tracks,
// clips, geometry and the record. Null is ignored.
void ProjectFree(Project* project);
// Deep copy pushed at the head of the list: settings, geometry, tracks, clips and
// sub-projects, inputs re-pointed to the copies. Status 0 when part of it failed.
Project* ProjectCopy(const Project* project);
// Moves the loaded project's geometry and tracks into current (loaded tracks first), makes
// every track number unique again (sub-projects included), frees the loaded record.
void ProjectMerge(Project* current, Project* loaded);

Project* CurrentProject();
Project* ProjectListHead();

// The "New Project" defaults of the settings, kept process-wide; set by the settings and
// preset code. Values are clamped into their ranges when applied.
void SetNewProjectDefaults(std::optional<ProjectSettings> defaults);
std::optional<ProjectSettings> NewProjectDefaults();

// Values derived from the current project whenever one is made current.
struct DerivedValues {
  float pixel_ratio = 1.0f;  // height / (pixel aspect * width)
  int32_t preview_width = 4;
  int32_t preview_height = 1;
};
DerivedValues ProjectDerivedValues();
DerivedValues ComputeDerivedValues(const ProjectSettings& settings);

struct ProjectDeleter {
  void operator()(Project* project) const { ProjectFree(project); }
};
using ProjectPtr = std::unique_ptr<Project, ProjectDeleter>;

}  // namespace lumetra::project
