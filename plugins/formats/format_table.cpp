#include "format_table.h"

#include <cstring>

#include "format_functions.h"
#include "image_codec.h"
#include "movie.h"

namespace formats {
namespace {

constexpr const char* kPngExt[] = {"png", nullptr};
constexpr const char* kJpegExt[] = {"jpg", "jpeg", "jpe", "jfif", nullptr};
constexpr const char* kTgaExt[] = {"tga", "icb", "vda", "vst", nullptr};
constexpr const char* kBmpExt[] = {"bmp", "dib", nullptr};
constexpr const char* kTiffExt[] = {"tif", "tiff", nullptr};
constexpr const char* kExrExt[] = {"exr", nullptr};
constexpr const char* kMovieExt[] = {"mp4", "mov", "mkv", "avi", "m4v", "webm", "mpg",
                                     "mpeg", "mts", "m2ts", "ts", "wmv", "flv", "ogv",
                                     "mxf", "dv", nullptr};
constexpr const char* kSoundExt[] = {"wav", "aif", "aiff", "flac", "ogg", "oga", "mp3",
                                     "m4a", "aac", "opus", "au", "caf", "w64", nullptr};

constexpr uint32_t kStill = kInputImage | kNumberedFiles;

const InputDef kInputs[] = {
    {"PNG image", "Portable Network Graphics  (*.png)", kPngExt, kStill, ImageLoad, ImageInform,
     ImageBrowse, nullptr, nullptr, nullptr},
    {"JPEG image", "JPEG image  (*.jpg; *.jpeg)", kJpegExt, kStill, ImageLoad, ImageInform,
     ImageBrowse, nullptr, nullptr, nullptr},
    {"TGA image", "Truevision TGA  (*.tga)", kTgaExt, kStill, ImageLoad, ImageInform,
     ImageBrowse, nullptr, nullptr, nullptr},
    {"BMP image", "Windows bitmap  (*.bmp)", kBmpExt, kStill, ImageLoad, ImageInform,
     ImageBrowse, nullptr, nullptr, nullptr},
    {"TIFF image", "TIFF image, pages as layers  (*.tif; *.tiff)", kTiffExt, kStill, ImageLoad,
     ImageInform, ImageBrowse, ImageLayers, nullptr, nullptr},
    {"OpenEXR image", "OpenEXR half float, shown as sRGB  (*.exr)", kExrExt, kStill, ImageLoad,
     ImageInform, ImageBrowse, nullptr, nullptr, nullptr},
    {"Movie", "Movie file with its sound  (*.mp4; *.mov; *.mkv; *.avi ...)", kMovieExt,
     kInputImage | kInputSound, MovieLoad, MovieInform, MovieBrowse, MovieLayers, SoundLoad,
     SoundInform},
    {"Sound", "Sound file  (*.wav; *.aiff; *.flac; *.ogg; *.mp3 ...)", kSoundExt, kInputSound,
     nullptr, nullptr, nullptr, nullptr, SoundLoad, SoundInform},
};

constexpr ParamFieldDef kPngParams[] = {
    {"CompressionLevel", "int32", offsetof(PngParams, compression)}};
constexpr ParamFieldDef kJpegParams[] = {{"Quality", "int32", offsetof(JpegParams, quality)}};
constexpr ParamFieldDef kTiffParams[] = {
    {"Compression", "int32", offsetof(TiffParams, compression)}};
constexpr ParamFieldDef kMovieParams[] = {
    {"Codec", "int32", offsetof(MovieParams, codec)},
    {"BitRate", "int32", offsetof(MovieParams, bit_rate)},
    {"Quality", "int32", offsetof(MovieParams, quality)},
};

constexpr uint32_t kMovieFlags = kOutputSoundMuxed | kOutputChunkedSound;

constexpr OutputDef Still(const char* ext, const char* name, const char* description,
                         std::span<const ParamFieldDef> params) {
  return {ext,       name,    description, kNumberedFiles, params,  ImageSave, nullptr,
          nullptr,   ParamsCheck, nullptr, nullptr,        nullptr, nullptr};
}
constexpr OutputDef Movie(const char* ext, const char* name, const char* description) {
  return {ext,         name,           description,     kMovieFlags,      kMovieParams,
          MovieSave,   MovieStart,     MovieFinish,     MovieCheck,       MovieSoundSave,
          MovieSoundStart, MovieSoundFinish, MovieCheck};
}
constexpr OutputDef Sound(const char* ext, const char* name, const char* description) {
  return {ext,     name,          description,    kOutputChunkedSound, {},
          nullptr, nullptr,       nullptr,        nullptr,             SoundFileSave,
          SoundFileStart, SoundFileFinish, ParamsCheck};
}

const OutputDef kOutputs[] = {
    Still("png", "PNG image", "PNG, 8-bit RGBA, numbered files", kPngParams),
    Still("jpg", "JPEG image", "JPEG, numbered files", kJpegParams),
    Still("tga", "TGA image", "TGA, 32-bit uncompressed, numbered files", {}),
    Still("bmp", "BMP image", "Windows bitmap, 32-bit, numbered files", {}),
    Still("tif", "TIFF image", "TIFF, 8-bit RGBA, numbered files", kTiffParams),
    Still("exr", "OpenEXR image", "OpenEXR half float from sRGB, numbered files", {}),
    Movie("mp4", "MP4 movie", "MP4 (H.264, or MPEG-4 part 2) with AAC sound"),
    Movie("mkv", "Matroska movie", "Matroska, FFV1 lossless with FLAC sound"),
    Movie("mov", "QuickTime movie", "QuickTime MOV (ProRes 422 HQ) with PCM sound"),
    Sound("wav", "WAV sound", "WAV sound file"),
    Sound("aiff", "AIFF sound", "AIFF sound file"),
    Sound("flac", "FLAC sound", "FLAC lossless sound file"),
    Sound("ogg", "Ogg Vorbis sound", "Ogg Vorbis sound file"),
};

}  // namespace

std::span<const InputDef> InputDefs() { return kInputs; }
std::span<const OutputDef> OutputDefs() { return kOutputs; }

bool OutputAvailable(const OutputDef& def) {
  if (std::strcmp(def.ext, "mkv") == 0) return HaveEncoder("ffv1");
  if (std::strcmp(def.ext, "mov") == 0) return HaveEncoder("prores_ks") || HaveEncoder("mpeg4");
  if (std::strcmp(def.ext, "mp4") == 0) return HaveEncoder("libx264") || HaveEncoder("mpeg4");
  return true;
}

}  // namespace formats
