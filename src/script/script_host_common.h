// Helpers shared by the host function families.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/script_function.h"

namespace lumetra::geometry {
struct Geometry;
}

namespace lumetra::script::host {

// Reports a count message "%s<Name>() needs ..." whose "%d" is the argument count; the
// expression then ends with an error.
bool CountError(ScriptCall& call, const char* format);

// True when the clip is the running clip or lies on a track of the run's project.
// Takes the render lock.
bool ClipKnown(ScriptCall& call, const project::Clip* clip);
// True when the track is linked in the run's project. Takes the render lock.
bool TrackKnown(ScriptCall& call, const project::Track* track);
// True when g is a live geometry of the run's project. The caller holds the geometry lock.
bool GeometryKnown(ScriptCall& call, const geometry::Geometry* g);

// A NUL-terminated string from caller memory, at most max - 1 bytes; false when the
// memory policy refuses a byte or no NUL comes within the bound.
bool ReadCString(ScriptCall& call, uint64_t address, std::size_t max, std::string& out);

// Case-blind comparison of ASCII texts.
bool SameText(std::string_view a, std::string_view b);

// The clip's render state (and, with redraw, its edit window) after its data changed.
void ClipChanged(project::Clip* clip, bool redraw);

void RegisterClipFunctions(FunctionTable& table);
void RegisterKeyFunctions(FunctionTable& table);
void RegisterDialogFunctions(FunctionTable& table);
void RegisterGeometryFunctions(FunctionTable& table);

}  // namespace lumetra::script::host
