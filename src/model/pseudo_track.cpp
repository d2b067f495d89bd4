// The pseudo tracks "*Previous", "*Input0".."*Input2" and the input resolution rule.
#include "model/pseudo_track.h"

#include <array>
#include <cstdio>

#include "model/model.h"

namespace lumetra::project {
namespace {

// Sub-projects nest as a tree; the bound only stops a corrupted owner chain.
constexpr int kMaxNesting = 4096;

std::array<Track, 4>& PseudoTracks() {
  static std::array<Track, 4> tracks = [] {
    std::array<Track, 4> t{};
    const char* names[4] = {"*Previous", "*Input0", "*Input1", "*Input2"};
    for (int i = 0; i < 4; ++i) {
      std::snprintf(t[i].name, sizeof t[i].name, "%s", names[i]);
      t[i].number = kPreviousTrackNumber - i;
    }
    return t;
  }();
  return tracks;
}

}  // namespace

Track* PseudoTrackGet(PseudoTrack which) {
  return &PseudoTracks()[static_cast<int>(which)];
}

Track* PseudoTrackByNumber(int32_t number) {
  int32_t i = kPreviousTrackNumber - number;
  return i >= 0 && i < 4 ? &PseudoTracks()[i] : nullptr;
}

bool IsPseudoTrack(const Track* track) {
  const auto& t = PseudoTracks();
  return track >= &t[0] && track <= &t[3];
}

Track* InputResolve(const Track* track, Track* input) {
  for (int depth = 0; depth < kMaxNesting; ++depth) {
    if (input == nullptr || !IsPseudoTrack(input)) return input;
    if (track == nullptr) return nullptr;
    if (input->number == kPreviousTrackNumber) return track->next;
    const Clip* owner = track->owner_clip;
    if (owner == nullptr) return nullptr;
    auto index = static_cast<std::size_t>(kInput0TrackNumber - input->number);
    if (index >= owner->inputs.size()) return nullptr;
    input = owner->inputs[index];
    track = owner->track;
  }
  return nullptr;
}

}  // namespace lumetra::project
