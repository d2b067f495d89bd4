// Depth-first walk over a track list and the sub-projects of its clips.
#pragma once

namespace lumetra::project {

template <class Fn>
void TrackWalk(Track* list, Fn&& fn) {
  for (Track* t = list; t != nullptr;) {
    Track* next = t->next;
    fn(t);
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) {
      if (c->sub_first_track != nullptr) TrackWalk(c->sub_first_track, fn);
    }
    t = next;
  }
}

}  // namespace lumetra::project
