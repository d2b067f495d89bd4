// The still-image codecs: each decodes a file held in memory straight into a picture's rows
// and encodes a picture's rows into an open file, without a full-frame copy.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

#include "host.h"

namespace formats {

struct ImageInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits_per_pixel = 0;
  int32_t channels = 0;
  int32_t pages = 1;
};

// Parameter blocks, laid out by each format's "Parameters" template. A zeroed block (what
// the host makes before any preset is applied) means the format's defaults.
struct PngParams {
  int32_t compression;  // 1 to 9 zlib levels; 0: the default (Paeth rows, level 6 runs)
};
struct JpegParams {
  int32_t quality;  // 1 to 100; 0: 90
};
struct TiffParams {
  int32_t compression;  // 0 deflate, 1 none, 2 LZW
};

// Reads the header into info; with pic, decodes page `page` into a new picture as well.
using DecodeFn = Status (*)(std::span<const uint8_t> file, int32_t page, ImageInfo* info,
                            PicOwner* pic);
using EncodeFn = Status (*)(const PIC& pic, const void* params, std::FILE* out);

Status PngDecode(std::span<const uint8_t> file, int32_t page, ImageInfo* info, PicOwner* pic);
Status PngEncode(const PIC& pic, const void* params, std::FILE* out);
Status JpegDecode(std::span<const uint8_t> file, int32_t page, ImageInfo* info, PicOwner* pic);
Status JpegEncode(const PIC& pic, const void* params, std::FILE* out);
Status TgaDecode(std::span<const uint8_t> file, int32_t page, ImageInfo* info, PicOwner* pic);
Status TgaEncode(const PIC& pic, const void* params, std::FILE* out);
Status BmpDecode(std::span<const uint8_t> file, int32_t page, ImageInfo* info, PicOwner* pic);
Status BmpEncode(const PIC& pic, const void* params, std::FILE* out);
Status TiffDecode(std::span<const uint8_t> file, int32_t page, ImageInfo* info, PicOwner* pic);
Status TiffEncode(const PIC& pic, const void* params, std::FILE* out);
Status ExrDecode(std::span<const uint8_t> file, int32_t page, ImageInfo* info, PicOwner* pic);
Status ExrEncode(const PIC& pic, const void* params, std::FILE* out);

}  // namespace formats
