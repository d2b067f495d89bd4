// Sound files through libsndfile: WAV, AIFF, FLAC and Ogg Vorbis, read and written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host.h"
#include "safe_file.h"

namespace formats {

struct SoundFileInfo {
  int32_t rate = 0;
  int32_t channels = 0;
  int32_t bits = 0;
  int64_t samples = 0;
};

// libsndfile's major format for an extension ("wav", "aiff", "flac", "ogg"); 0 for none.
int SoundFileMajor(const std::string& extension);

Status SoundFileInform(const std::string& file, SoundFileInfo* info);
// [from, to) seconds as a new block at the file's rate and channels, 16-bit.
Status SoundFileRead(const std::string& file, float from, float to, SoundBlock** block);

// A sound file being written: opened at the first block, whose rate and channels it takes.
class SoundFileWriter {
 public:
  SoundFileWriter();
  ~SoundFileWriter();
  SoundFileWriter(const SoundFileWriter&) = delete;
  SoundFileWriter& operator=(const SoundFileWriter&) = delete;
  Status Write(const std::string& file, const SoundBlock& block);
  Status Finish();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace formats
