#include "sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "byte_reader.h"

namespace formats {
namespace {

constexpr double kMaxSoundBytes = 512.0 * 1024 * 1024;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// libsndfile's virtual I/O over a stdio file (written through the atomic helper).
sf_count_t VioLength(void* user) {
  auto* f = static_cast<std::FILE*>(user);
  const long here = std::ftell(f);
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  return size;
}
sf_count_t VioSeek(sf_count_t offset, int whence, void* user) {
  auto* f = static_cast<std::FILE*>(user);
  if (std::fseek(f, static_cast<long>(offset), whence) != 0) return -1;
  return std::ftell(f);
}
sf_count_t VioRead(void* ptr, sf_count_t count, void* user) {
  return static_cast<sf_count_t>(std::fread(ptr, 1, static_cast<size_t>(count), static_cast<std::FILE*>(user)));
}
sf_count_t VioWrite(const void* ptr, sf_count_t count, void* user) {
  return static_cast<sf_count_t>(std::fwrite(ptr, 1, static_cast<size_t>(count), static_cast<std::FILE*>(user)));
}
sf_count_t VioTell(void* user) { return std::ftell(static_cast<std::FILE*>(user)); }

SF_VIRTUAL_IO g_vio = {VioLength, VioSeek, VioRead, VioWrite, VioTell};

int BitsOf(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 32;
    case SF_FORMAT_DOUBLE: return 64;
    default: return 16;
  }
}

struct SndFile {
  SNDFILE* handle = nullptr;
  ~SndFile() {
    if (handle) sf_close(handle);
  }
};

Status OpenForReading(const std::string& file, SndFile* out, SF_INFO* info) {
  if (Status st = CheckRegularFile(file); !st.ok()) return st;
  std::memset(info, 0, sizeof *info);
  out->handle = sf_open(file.c_str(), SFM_READ, info);
  if (out->handle == nullptr) {
    return Status::Error(PIC_ERROR_FORMAT_TYPE, std::string("cannot read sound: ") + sf_strerror(nullptr));
  }
  if (info->samplerate < 1 || info->samplerate > 384000 || info->channels < 1 ||
      info->channels > 16 || info->frames < 0) {
    return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "unusable sound header");
  }
  return Status::Ok();
}

}  // namespace

int SoundFileMajor(const std::string& extension) {
  const std::string e = Lower(extension);
  if (e == "wav") return SF_FORMAT_WAV;
  if (e == "aif" || e == "aiff") return SF_FORMAT_AIFF;
  if (e == "flac") return SF_FORMAT_FLAC;
  if (e == "ogg" || e == "oga") return SF_FORMAT_OGG;
  return 0;
}

Status SoundFileInform(const std::string& file, SoundFileInfo* out) {
  SndFile f;
  SF_INFO info;
  if (Status st = OpenForReading(file, &f, &info); !st.ok()) return st;
  out->rate = info.samplerate;
  out->channels = info.channels;
  out->bits = BitsOf(info.format);
  out->samples = info.frames;
  return Status::Ok();
}

Status SoundFileRead(const std::string& file, float from, float to, SoundBlock** block) {
  *block = nullptr;
  SndFile f;
  SF_INFO info;
  if (Status st = OpenForReading(file, &f, &info); !st.ok()) return st;
  if (!(from >= 0) || !(to > from) || to > 7200.0f) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "bad sound span");
  }
  if ((to - from) * double(info.samplerate) * info.channels * 2 > kMaxSoundBytes) {
    return Status::Error(PIC_ERROR_MEMORY, "sound span too long");
  }
  SoundBlock* out = HostSoundCreate(from, to, info.samplerate, 2, info.channels);
  if (out == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no sound block");
  const sf_count_t first = static_cast<sf_count_t>(std::trunc(from * double(info.samplerate) + 0.0001));
  if (first < info.frames && sf_seek(f.handle, first, SEEK_SET) >= 0) {
    const sf_count_t want = std::min<sf_count_t>(out->samples, info.frames - first);
    // Reads straight into the block; what the file lacks stays silent.
    sf_readf_short(f.handle, reinterpret_cast<short*>(out->data), want);
  }
  *block = out;
  return Status::Ok();
}

struct SoundFileWriter::State {
  AtomicOutput out;
  SndFile file;
  int32_t rate = 0, channels = 0;
  std::vector<int32_t> widened;
};

SoundFileWriter::SoundFileWriter() = default;
SoundFileWriter::~SoundFileWriter() = default;

Status SoundFileWriter::Write(const std::string& file, const SoundBlock& block) {
  if (block.bytes < 1 || block.bytes > 4 || block.channels < 1 || block.channels > 16 ||
      block.rate < 1000 || block.rate > 384000 || (block.samples > 0 && block.data == nullptr)) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "unusable sound block");
  }
  if (!s_) {
    const size_t dot = file.find_last_of('.');
    const int major = SoundFileMajor(dot == std::string::npos ? "" : file.substr(dot + 1));
    if (major == 0) return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "no sound format for " + file);
    int sub = block.bytes == 1 ? SF_FORMAT_PCM_U8 : block.bytes == 3 ? SF_FORMAT_PCM_24
              : block.bytes == 4 ? SF_FORMAT_PCM_32 : SF_FORMAT_PCM_16;
    if (major == SF_FORMAT_AIFF && sub == SF_FORMAT_PCM_U8) sub = SF_FORMAT_PCM_S8;
    if (major == SF_FORMAT_FLAC) sub = block.bytes >= 3 ? SF_FORMAT_PCM_24 : block.bytes == 1 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16;
    if (major == SF_FORMAT_OGG) sub = SF_FORMAT_VORBIS;
    auto s = std::make_unique<State>();
    SF_INFO info{};
    info.samplerate = static_cast<int>(block.rate);
    info.channels = block.channels;
    info.format = major | sub;
    if (!sf_format_check(&info)) return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "sound format not writable");
    if (Status st = s->out.Open(file); !st.ok()) return st;
    s->file.handle = sf_open_virtual(&g_vio, SFM_WRITE, &info, s->out.file());
    if (s->file.handle == nullptr) {
      return Status::Error(PIC_ERROR_FILE_CREATE, std::string("sound file: ") + sf_strerror(nullptr));
    }
    s->rate = static_cast<int32_t>(block.rate);
    s->channels = block.channels;
    s_ = std::move(s);
  }
  State& s = *s_;
  if (static_cast<int32_t>(block.rate) != s.rate || block.channels != s.channels) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "sound format changed between blocks");
  }
  // Every width goes in as 32-bit integers, the top bits holding the sample.
  const size_t values = static_cast<size_t>(block.samples) * block.channels;
  s.widened.resize(values);
  const uint8_t* d = block.data;
  for (size_t i = 0; i < values; ++i) {
    uint32_t v = 0;
    switch (block.bytes) {
      case 1: v = static_cast<uint32_t>(static_cast<int32_t>(d[i]) - 128) << 24; break;
      case 2: v = (uint32_t{d[2 * i]} | uint32_t{d[2 * i + 1]} << 8) << 16; break;
      case 3: v = (uint32_t{d[3 * i]} | uint32_t{d[3 * i + 1]} << 8 | uint32_t{d[3 * i + 2]} << 16) << 8; break;
      default: v = uint32_t{d[4 * i]} | uint32_t{d[4 * i + 1]} << 8 | uint32_t{d[4 * i + 2]} << 16 | uint32_t{d[4 * i + 3]} << 24; break;
    }
    s.widened[i] = static_cast<int32_t>(v);
  }
  if (sf_writef_int(s.file.handle, s.widened.data(), block.samples) != static_cast<sf_count_t>(block.samples)) {
    return Status::Error(PIC_ERROR_FILE_WRITE, std::string("sound file: ") + sf_strerror(s.file.handle));
  }
  return Status::Ok();
}

Status SoundFileWriter::Finish() {
  if (!s_) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "no sound was written");
  sf_close(s_->file.handle);
  s_->file.handle = nullptr;
  Status st = s_->out.Commit();
  s_.reset();
  return st;
}

}  // namespace formats
