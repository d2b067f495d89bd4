// The farm's frames read back through the format library: their pixels checked against the
// manifests, and a movie farm's frames assembled into the movie with the project's sound.
#pragma once

#include <cstddef>
#include <string>

#include "app/farm_manifest.h"
#include "app/farm_plan.h"
#include "host/plugin_registry.h"

namespace lumetra::app {

// The plug-in libraries of this machine, as "--render" loads them. Once per process.
void LoadFarmLibraries();

// True when a picture saved through `format` reads back with the same pixels (PNG, TGA: yes;
// JPEG: no). Found by saving a small picture of every byte value into `folder` and reading it
// back; the file is removed.
bool FormatKeepsPixels(const project::OutputFormat& format, const std::string& folder);

// Marks the done frames that are bad (FrameState::kBadFile): not readable through their
// input format or, for a format that keeps pixels, with pixels other than their hash says.
// Loads the libraries. Answers how many were marked.
std::size_t VerifyFarmFrames(const FarmPlan& plan, FarmFrames& frames);

// Writes plan.movie from the verified frames and the sound of the project's track (the
// project is loaded for it). Empty on success, else what failed.
std::string AssembleFarmMovie(const FarmPlan& plan, int32_t* frames_written);

// A movie as its input format reads it back: frames, size and sound (rate 0: none).
struct MovieFacts {
  int32_t frames = 0, width = 0, height = 0;
  int32_t sample_rate = 0, channels = 0;
  std::string error;  // the movie does not open
};
MovieFacts ReadMovieFacts(const std::string& file);

}  // namespace lumetra::app
