// Which kinds of project data changed since the last save, load or new project.
#pragma once

#include <cstdint>

namespace lumetra::project {

enum ChangeFlag : uint32_t {
  kChangedClipParameters = 1,
  kChangedTracks = 2,
  kChangedProjectSettings = 4,
  kChangedGeometries = 8,
};

uint32_t ChangeFlags();
void SetChangeFlags(uint32_t bits);
void ClearChangeFlags();

}  // namespace lumetra::project
