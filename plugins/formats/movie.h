// Movies through libavformat and libavcodec: a writer that encodes pictures and the track's
// sound into one file, and a reader that answers frames by number and the sound track.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host.h"

namespace formats {

// The parameter block of the movie output formats.
struct MovieParams {
  int32_t codec;     // MovieCodec; 0: the container's default
  int32_t bit_rate;  // kbit/s; 0: driven by quality
  int32_t quality;   // H.264 CRF 0 to 51, MPEG-4 qscale 1 to 31; 0: the codec's default
};

enum MovieCodec : int32_t {
  kCodecDefault = 0,
  kCodecH264 = 1,
  kCodecMpeg4 = 2,
  kCodecFfv1 = 3,
  kCodecProres = 4,
};

// What the output session says about the sound that follows the pictures.
struct SoundPlan {
  bool muxed = false;  // a sound pass will hand its sound to this file
  int32_t rate = 44100;
  int32_t channels = 2;
};

class MovieWriter {
 public:
  MovieWriter();
  ~MovieWriter();
  MovieWriter(const MovieWriter&) = delete;
  MovieWriter& operator=(const MovieWriter&) = delete;

  // container: "mp4", "mkv" or "mov".
  Status Open(const std::string& file, const std::string& container, const MovieParams& params,
              int32_t width, int32_t height, double fps, const SoundPlan& sound);
  bool is_open() const;
  bool has_sound() const;
  Status WriteFrame(const PIC& pic);
  // Drains the picture encoder; the file stays open for the sound.
  Status FinishVideo();
  Status WriteSound(const SoundBlock& block);
  // Drains every encoder, writes the index and renames the file into place.
  Status Finish();
  // Drops the file.
  void Abort();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Whether this build's libavcodec has an encoder of that name.
bool HaveEncoder(const char* name);

struct MovieInfo {
  int32_t width = 0, height = 0;
  int32_t frames = 0;       // 0 when the file has no pictures
  double fps = 0;
  int32_t sample_rate = 0;  // 0 when the file has no sound
  int32_t channels = 0;
  int64_t samples = 0;
};

class MovieReader {
 public:
  MovieReader();
  ~MovieReader();
  MovieReader(const MovieReader&) = delete;
  MovieReader& operator=(const MovieReader&) = delete;

  Status Open(const std::string& file);
  const std::string& file() const;
  const MovieInfo& info() const;
  // Frame `frame` (0 is the first) at the file's frame rate into a new picture.
  Status ReadFrame(int32_t frame, PicOwner* pic);
  // The sound from `from` to `to` seconds as 16-bit samples at the file's rate.
  Status ReadSound(float from, float to, SoundBlock** block);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Readers kept open between calls, one user at a time each: Take answers an open reader of
// the file (a new one when none is idle), Give puts it back for the next call.
std::unique_ptr<MovieReader> MovieReaderTake(const std::string& file, Status* status);
void MovieReaderGive(std::unique_ptr<MovieReader> reader);

}  // namespace formats
