// Clip and track lookups that never read through an unknown pointer: the pointer is only
// compared against the project lists.
#include "host/context_clip.h"

#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"

namespace lumetra::project {

Clip* ContextClip(const HostCallContext* ctx) {
  if (ctx == nullptr) return nullptr;
  const auto* wanted = reinterpret_cast<const Clip*>(ctx->word[HCC_WORD_CLIP]);
  if (wanted == nullptr) return nullptr;
  Clip* found = nullptr;
  for (Project* p = ProjectListHead(); p != nullptr && found == nullptr; p = p->next) {
    TrackWalk(p->first_track, [&](Track* t) {
      for (Clip* c = t->first_clip; c != nullptr && found == nullptr; c = c->next) {
        if (c == wanted) found = c;
        if (c->edit_copy == wanted) found = c->edit_copy;
      }
    });
  }
  // A make runs on a copy of its clip that is on no track.
  if (found == nullptr && ClipIsLiveCopy(wanted)) found = const_cast<Clip*>(wanted);
  // A clip being created is on no track while its init runs.
  if (found == nullptr && wanted == ClipInInit()) found = const_cast<Clip*>(wanted);
  return found;
}

bool ClipIsKnown(const Clip* clip) {
  if (clip == nullptr) return false;
  bool found = false;
  for (Project* p = ProjectListHead(); p != nullptr && !found; p = p->next)
    TrackWalk(p->first_track, [&](Track* t) {
      for (const Clip* c = t->first_clip; c != nullptr && !found; c = c->next) found = c == clip;
    });
  return found;
}

bool TrackIsKnown(const Track* track) {
  if (track == nullptr) return false;
  bool found = false;
  for (Project* p = ProjectListHead(); p != nullptr && !found; p = p->next)
    TrackWalk(p->first_track, [&](Track* t) { found = found || t == track; });
  return found;
}

}  // namespace lumetra::project
