// Clip operations: creation, placement, copying, inputs and freeing.
#pragma once

#include <cstdint>
#include <memory>

#include "model/model.h"

struct HostCallContext;

namespace lumetra::project {

// A new clip of the process on the track over [start, end[: display mode from the process,
// one empty input per process input except the previous-track input ("*Previous"), a data
// block filled by the process's init function. None when the span is not valid or not
// free, the init function fails, or the process asks for more than kMaxProcessInputs.
Clip* ClipCreate(HostCallContext* ctx, ProcessRecord* process, float start, float end,
                 Track* track);

// Inserts an unlinked clip into the track over [start, end[ when that span is free;
// 1 on success, 0 when refused (invalid span, occupied, pseudo track, clip already on a
// track, or a SuperClip put inside its own sub-project).
int ClipPlace(Clip* clip, Track* track, float start, float end);
// Takes a clip out of its track's list; its track pointer stays.
void ClipUnlink(Clip* clip);
bool ClipIsLinked(const Clip* clip);

enum class ClipCopyMode {
  kDeep,        // a SuperClip's sub-project is copied too, its tracks newly numbered
  kRecordOnly,  // no sub-project: edit copies
};
// Copy of the record: process, span, track (not linked), flags, display mode, edit window
// position, inputs (same tracks; inputs into a copied sub-project re-pointed to the copies),
// icon and data block. None when memory runs out.
Clip* ClipCopy(const Clip* clip, ClipCopyMode mode = ClipCopyMode::kDeep);
// True for a copy ClipCopy made that is not freed yet (render and sound makes run on them).
bool ClipIsLiveCopy(const Clip* clip);
// The clip whose init function ClipCreate is running on this thread, else null: it is on
// no track yet, but its init reads it through the context.
const Clip* ClipInInit();

// Sets input `index` (none, a pseudo track or a track of the clip's project). Refused
// (false) for an index out of range, a foreign or freed track, or a cycle: the input
// resolves to a track whose picture depends on the clip's own track.
bool ClipSetInput(Clip* clip, uint32_t index, Track* input);
// The track input `index` stands for, resolved from the clip's track.
Track* ClipResolveInput(const Clip* clip, uint32_t index);
// True when making track `from` needs track `target` (through clip inputs, "*Previous" and
// sub-projects), ignoring the clip `ignore`.
bool TrackDependsOn(const Track* from, const Track* target, const Clip* ignore = nullptr);
// Clears every input that closes a cycle (for projects read from files); returns how many.
int ProjectBreakInputCycles(Project* project);

// Destroys the edit window, frees the copies, icon, inputs, data and sub-project, unlinks
// the clip from its track when linked, and frees the record. Null is ignored.
void ClipFree(Clip* clip);

struct ClipDeleter {
  void operator()(Clip* clip) const { ClipFree(clip); }
};
using ClipPtr = std::unique_ptr<Clip, ClipDeleter>;

}  // namespace lumetra::project
