#include "format_functions.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "image_codec.h"
#include "movie.h"
#include "safe_file.h"
#include "sound_file.h"

namespace formats {
namespace {

// Output flags the session answers to "OutputFlags".
constexpr int32_t kOutputSound = 0x2;
constexpr int32_t kOutputJoinSound = 0x8000;

struct ImageCodecRow {
  const char* ext;
  DecodeFn decode;
  EncodeFn encode;
};

constexpr ImageCodecRow kImageCodecs[] = {
    {"png", PngDecode, PngEncode},   {"jpg", JpegDecode, JpegEncode},
    {"jpeg", JpegDecode, JpegEncode}, {"jpe", JpegDecode, JpegEncode},
    {"tga", TgaDecode, TgaEncode},   {"bmp", BmpDecode, BmpEncode},
    {"dib", BmpDecode, BmpEncode},   {"tif", TiffDecode, TiffEncode},
    {"tiff", TiffDecode, TiffEncode}, {"exr", ExrDecode, ExrEncode},
};

std::string Extension(const std::string& file) {
  const size_t dot = file.find_last_of('.');
  const size_t slash = file.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string e = file.substr(dot + 1);
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

const ImageCodecRow* CodecByExtension(const std::string& ext) {
  for (const ImageCodecRow& row : kImageCodecs) {
    if (ext == row.ext) return &row;
  }
  return nullptr;
}

// The file's own signature wins over its name; TGA has none.
const ImageCodecRow* CodecFor(std::span<const uint8_t> b, const std::string& file) {
  auto starts = [&](std::initializer_list<uint8_t> sig) {
    return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
  };
  if (starts({0x89, 'P', 'N', 'G'})) return CodecByExtension("png");
  if (starts({0xFF, 0xD8, 0xFF})) return CodecByExtension("jpg");
  if (starts({'B', 'M'})) return CodecByExtension("bmp");
  if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) return CodecByExtension("tif");
  if (starts({0x76, 0x2f, 0x31, 0x01})) return CodecByExtension("exr");
  return CodecByExtension(Extension(file));
}

// "Page 2" names the second page; anything else the first.
int32_t PageOf(const char* layer) {
  int page = 0;
  if (layer && std::sscanf(layer, "Page %d", &page) == 1 && page >= 1) return page - 1;
  return 0;
}

Status DecodeFile(const char* file, int32_t page, ImageInfo* info, PicOwner* pic) {
  if (file == nullptr) return Status::Error(PIC_ERROR_FILE_OPEN, "no file name");
  std::vector<uint8_t> bytes;
  if (Status st = ReadRegularFile(file, kMaxImageFileBytes, &bytes); !st.ok()) return st;
  const ImageCodecRow* codec = CodecFor(bytes, file);
  if (codec == nullptr) return Status::Error(PIC_ERROR_FORMAT_TYPE, "unknown image type");
  return codec->decode(bytes, page, info, pic);
}

void Put(int32_t* out, int32_t value) {
  if (out) *out = value;
}

uint16_t* Thumbnail(HostCallContext* ctx, PIC* pic, int32_t width, int32_t height) {
  PicOwner owner(pic);
  uint16_t* buffer = HostPicToRgb555Fit(pic, width, height);
  if (buffer == nullptr) HostReportError(ctx, "No memory");
  return buffer;
}

// One movie being written by an output session.
struct MovieSession {
  MovieWriter writer;
  uintptr_t settings = 0;  // word 11 of the session's context
  bool failed = false;
};

// Movies whose pictures are done and whose sound is still to come, by output settings.
// The muxer stays open between the picture pass and the sound pass.
struct ParkedMovies {
  std::mutex mutex;
  std::map<uintptr_t, MovieSession*> sessions;
  ~ParkedMovies() {
    // A sound pass that never came: the movie is closed with its pictures only.
    for (auto& [key, session] : sessions) {
      session->writer.Finish();
      delete session;
    }
  }
};
ParkedMovies g_parked;

MovieSession* Unpark(uintptr_t settings) {
  std::lock_guard lock(g_parked.mutex);
  auto it = g_parked.sessions.find(settings);
  if (it == g_parked.sessions.end()) return nullptr;
  MovieSession* session = it->second;
  g_parked.sessions.erase(it);
  return session;
}

uintptr_t Settings(HostCallContext* ctx) { return ctx ? ctx->word[HCC_WORD_OUTPUT] : 0; }

SoundPlan SoundOfSession(HostCallContext* ctx) {
  SoundPlan sound;
  int32_t flags = 0;
  if (!HostGetInt(ctx, "OutputFlags", 0, &flags)) return sound;
  sound.muxed = (flags & kOutputSound) && (flags & kOutputJoinSound) && Settings(ctx) != 0;
  int32_t value = 0;
  if (HostGetInt(ctx, "OutputSamples", 1, &value) && value > 0) sound.rate = value;
  if (HostGetInt(ctx, "OutputChannels", 1, &value) && value > 0) sound.channels = value;
  return sound;
}

MovieParams ParamsOf(const void* params) {
  return params ? *static_cast<const MovieParams*>(params) : MovieParams{};
}

}  // namespace

PIC* ImageLoad(HostCallContext* ctx, const char* file, const char* layer, int32_t /*frame*/) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    ImageInfo info;
    PicOwner pic;
    if (Status st = DecodeFile(file, PageOf(layer), &info, &pic); !st.ok()) {
      HostReportStatus(ctx, st);
      return nullptr;
    }
    return pic.release();
  });
}

int32_t ImageInform(HostCallContext* ctx, const char* file, void*, int32_t* first,
                    int32_t* last, int32_t* width, int32_t* height, int32_t* bits,
                    int32_t* channels) {
  return Guarded<int32_t>(ctx, 0, [&] {
    ImageInfo info;
    if (Status st = DecodeFile(file, 0, &info, nullptr); !st.ok()) {
      HostReportStatus(ctx, st);
      return 0;
    }
    Put(first, 0);
    Put(last, 0);
    Put(width, info.width);
    Put(height, info.height);
    Put(bits, info.bits_per_pixel);
    Put(channels, info.channels);
    return 1;
  });
}

uint16_t* ImageBrowse(HostCallContext* ctx, const char* file, void* info, int32_t frame,
                      int32_t width, int32_t height) {
  PIC* pic = ImageLoad(ctx, file, nullptr, frame);
  (void)info;
  return pic ? Thumbnail(ctx, pic, width, height) : nullptr;
}

int32_t ImageLayers(HostCallContext* ctx, const char* file, int32_t index, char* name,
                    int32_t size) {
  return Guarded<int32_t>(ctx, 0, [&] {
    ImageInfo info;
    if (index < 0 || !DecodeFile(file, 0, &info, nullptr).ok() || index >= info.pages) return 0;
    if (name && size > 0) std::snprintf(name, static_cast<size_t>(size), "Page %d", index + 1);
    return 1;
  });
}

int32_t ImageSave(HostCallContext* ctx, void* params, uintptr_t, const PIC* pic,
                  const char* file, const char*, int32_t) {
  return Guarded<int32_t>(ctx, 0, [&] {
    Status st;
    const ImageCodecRow* codec = file ? CodecByExtension(Extension(file)) : nullptr;
    if (pic == nullptr || pic->pixels == nullptr || pic->width < 1 || pic->height < 1) {
      st = Status::Error(PIC_ERROR_NULL, "no picture");
    } else if (codec == nullptr) {
      st = Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, std::string("no image format for ") + (file ? file : ""));
    } else {
      AtomicOutput out;
      st = out.Open(file);
      if (st.ok()) st = codec->encode(*pic, params, out.file());
      if (st.ok()) st = out.Commit();
    }
    if (!st.ok()) HostReportStatus(ctx, st);
    return st.ok() ? 1 : 0;
  });
}

int32_t ParamsCheck(HostCallContext*, void*) { return 1; }

PIC* MovieLoad(HostCallContext* ctx, const char* file, const char*, int32_t frame) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    Status st;
    auto reader = MovieReaderTake(file ? file : "", &st);
    PicOwner pic;
    if (reader) st = reader->ReadFrame(frame, &pic);
    MovieReaderGive(std::move(reader));
    if (!st.ok()) {
      HostReportStatus(ctx, st);
      return nullptr;
    }
    return pic.release();
  });
}

int32_t MovieInform(HostCallContext* ctx, const char* file, void*, int32_t* first,
                    int32_t* last, int32_t* width, int32_t* height, int32_t* bits,
                    int32_t* channels) {
  return Guarded<int32_t>(ctx, 0, [&] {
    Status st;
    auto reader = MovieReaderTake(file ? file : "", &st);
    if (!reader) {
      HostReportStatus(ctx, st);
      return 0;
    }
    const MovieInfo info = reader->info();
    MovieReaderGive(std::move(reader));
    if (info.frames == 0) return 0;
    Put(first, 0);
    Put(last, info.frames - 1);
    Put(width, info.width);
    Put(height, info.height);
    Put(bits, 32);
    Put(channels, 4);
    return 1;
  });
}

uint16_t* MovieBrowse(HostCallContext* ctx, const char* file, void*, int32_t frame,
                      int32_t width, int32_t height) {
  PIC* pic = MovieLoad(ctx, file, nullptr, frame);
  return pic ? Thumbnail(ctx, pic, width, height) : nullptr;
}

int32_t MovieLayers(HostCallContext* ctx, const char* file, int32_t index, char* name,
                    int32_t size) {
  return Guarded<int32_t>(ctx, 0, [&] {
    Status st;
    auto reader = MovieReaderTake(file ? file : "", &st);
    if (!reader) return 0;
    const MovieInfo info = reader->info();
    MovieReaderGive(std::move(reader));
    std::vector<const char*> layers;
    if (info.frames > 0) layers.push_back("Video");
    if (info.sample_rate > 0) layers.push_back("Audio");
    if (index < 0 || index >= static_cast<int32_t>(layers.size())) return 0;
    if (name && size > 0) std::snprintf(name, static_cast<size_t>(size), "%s", layers[index]);
    return 1;
  });
}

uintptr_t MovieStart(HostCallContext* ctx, void*) {
  return Guarded<uintptr_t>(ctx, 0, [&] {
    // A movie of an earlier session with these settings whose sound never came is closed.
    if (MovieSession* old = Unpark(Settings(ctx))) {
      old->writer.Finish();
      delete old;
    }
    auto session = std::make_unique<MovieSession>();
    session->settings = Settings(ctx);
    return reinterpret_cast<uintptr_t>(session.release());
  });
}

int32_t MovieSave(HostCallContext* ctx, void* params, uintptr_t stream, const PIC* pic,
                  const char* file, const char*, int32_t) {
  return Guarded<int32_t>(ctx, 0, [&] {
    auto* session = reinterpret_cast<MovieSession*>(stream);
    Status st;
    if (session == nullptr) {
      st = Status::Error(PIC_ERROR_FORMAT_SPECIAL, "movie not started");
    } else if (pic == nullptr || pic->pixels == nullptr) {
      st = Status::Error(PIC_ERROR_NULL, "no picture");
    } else if (session->failed) {
      st = Status::Error(PIC_ERROR_FORMAT_SPECIAL, "the movie failed earlier");
    } else {
      if (!session->writer.is_open()) {
        const std::string name = file ? file : "";
        st = session->writer.Open(name, Extension(name), ParamsOf(params), pic->width,
                                  pic->height, HostFrameRate(ctx), SoundOfSession(ctx));
      }
      if (st.ok()) st = session->writer.WriteFrame(*pic);
      if (!st.ok()) {
        session->failed = true;
        session->writer.Abort();
      }
    }
    if (!st.ok()) HostReportStatus(ctx, st);
    return st.ok() ? 1 : 0;
  });
}

int32_t MovieFinish(HostCallContext* ctx, void*, uintptr_t stream) {
  return Guarded<int32_t>(ctx, 0, [&] {
    std::unique_ptr<MovieSession> session(reinterpret_cast<MovieSession*>(stream));
    if (!session) return 1;
    Status st;
    if (!session->writer.is_open()) {
      st = session->failed ? Status::Error(PIC_ERROR_FORMAT_SPECIAL, "the movie failed")
                           : Status::Error(PIC_ERROR_FORMAT_SPECIAL, "no frame was saved");
    } else if (session->writer.has_sound()) {
      // The sound pass comes next and finishes the file.
      st = session->writer.FinishVideo();
      if (st.ok()) {
        std::lock_guard lock(g_parked.mutex);
        MovieSession*& slot = g_parked.sessions[session->settings];
        if (slot != nullptr) {
          slot->writer.Finish();
          delete slot;
        }
        slot = session.release();
      }
    } else {
      st = session->writer.Finish();
    }
    if (!st.ok()) HostReportStatus(ctx, st);
    return st.ok() ? 1 : 0;
  });
}

int32_t MovieCheck(HostCallContext*, void* params) {
  const MovieParams p = ParamsOf(params);
  return p.codec >= kCodecDefault && p.codec <= kCodecProres && p.bit_rate >= 0 &&
                 p.quality >= 0 && p.quality <= 51
             ? 1
             : 0;
}

uintptr_t MovieSoundStart(HostCallContext* ctx, void*) {
  return Guarded<uintptr_t>(ctx, 0, [&]() -> uintptr_t {
    MovieSession* session = Unpark(Settings(ctx));
    if (session == nullptr) {
      HostReportError(ctx, "No movie is open for this sound: the pictures were not rendered "
                           "with sound joined to the video");
      return 0;
    }
    return reinterpret_cast<uintptr_t>(session);
  });
}

int32_t MovieSoundSave(HostCallContext* ctx, void*, uintptr_t stream, const SoundBlock* sound,
                       const char*, const char*, float) {
  return Guarded<int32_t>(ctx, 0, [&] {
    auto* session = reinterpret_cast<MovieSession*>(stream);
    Status st = session == nullptr || sound == nullptr
                    ? Status::Error(PIC_ERROR_FORMAT_SPECIAL, "no movie or no sound")
                    : session->writer.WriteSound(*sound);
    if (!st.ok()) HostReportStatus(ctx, st);
    return st.ok() ? 1 : 0;
  });
}

int32_t MovieSoundFinish(HostCallContext* ctx, void*, uintptr_t stream) {
  return Guarded<int32_t>(ctx, 0, [&] {
    std::unique_ptr<MovieSession> session(reinterpret_cast<MovieSession*>(stream));
    if (!session) return 0;
    Status st = session->writer.Finish();
    if (!st.ok()) HostReportStatus(ctx, st);
    return st.ok() ? 1 : 0;
  });
}

SoundBlock* SoundLoad(HostCallContext* ctx, const char* file, const char*, float from,
                      float to) {
  return Guarded<SoundBlock*>(ctx, nullptr, [&]() -> SoundBlock* {
    const std::string name = file ? file : "";
    SoundBlock* block = nullptr;
    Status st;
    if (SoundFileMajor(Extension(name)) != 0) {
      st = SoundFileRead(name, from, to, &block);
    } else {
      auto reader = MovieReaderTake(name, &st);
      if (reader) st = reader->ReadSound(from, to, &block);
      MovieReaderGive(std::move(reader));
    }
    if (!st.ok()) HostReportStatus(ctx, st);
    return block;
  });
}

int32_t SoundInform(HostCallContext* ctx, const char* file, void*, int32_t* first,
                    int32_t* last, int32_t* rate, int32_t* channels, int32_t* bits) {
  return Guarded<int32_t>(ctx, 0, [&] {
    const std::string name = file ? file : "";
    SoundFileInfo info;
    Status st;
    if (SoundFileMajor(Extension(name)) != 0) {
      st = SoundFileInform(name, &info);
    } else {
      auto reader = MovieReaderTake(name, &st);
      if (reader) {
        const MovieInfo m = reader->info();
        info = {m.sample_rate, m.channels, 16, m.samples};
        if (m.sample_rate == 0) st = Status::Error(PIC_ERROR_FORMAT_TYPE, "no sound in " + name);
      }
      MovieReaderGive(std::move(reader));
    }
    if (!st.ok()) {
      HostReportStatus(ctx, st);
      return 0;
    }
    Put(first, 0);
    Put(last, static_cast<int32_t>(std::min<int64_t>(info.samples, INT32_MAX)));
    Put(rate, info.rate);
    Put(channels, info.channels);
    Put(bits, info.bits);
    return 1;
  });
}

uintptr_t SoundFileStart(HostCallContext* ctx, void*) {
  return Guarded<uintptr_t>(ctx, 0, [&] {
    return reinterpret_cast<uintptr_t>(std::make_unique<SoundFileWriter>().release());
  });
}

int32_t SoundFileSave(HostCallContext* ctx, void*, uintptr_t stream, const SoundBlock* sound,
                      const char* file, const char*, float) {
  return Guarded<int32_t>(ctx, 0, [&] {
    auto* writer = reinterpret_cast<SoundFileWriter*>(stream);
    Status st = writer == nullptr || sound == nullptr || file == nullptr
                    ? Status::Error(PIC_ERROR_FORMAT_SPECIAL, "no sound file or no sound")
                    : writer->Write(file, *sound);
    if (!st.ok()) HostReportStatus(ctx, st);
    return st.ok() ? 1 : 0;
  });
}

int32_t SoundFileFinish(HostCallContext* ctx, void*, uintptr_t stream) {
  return Guarded<int32_t>(ctx, 0, [&] {
    std::unique_ptr<SoundFileWriter> writer(reinterpret_cast<SoundFileWriter*>(stream));
    if (!writer) return 0;
    Status st = writer->Finish();
    if (!st.ok()) HostReportStatus(ctx, st);
    return st.ok() ? 1 : 0;
  });
}

}  // namespace formats
