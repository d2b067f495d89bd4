// PNG through libpng: 1 to 16-bit grey, palette, RGB and RGBA in, 8-bit RGBA out; rows go
// straight between the file and the picture (png_set_bgr matches the picture's byte order).
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

#include "image_codec.h"

namespace formats {
namespace {

struct MemoryReader {
  std::span<const uint8_t> file;
  size_t at = 0;
};

// libpng reports faults by longjmp; the text is kept for the status.
struct PngFault {
  std::jmp_buf jump;
  char text[128];
};

void OnError(png_structp png, png_const_charp message) {
  auto* fault = static_cast<PngFault*>(png_get_error_ptr(png));
  std::snprintf(fault->text, sizeof fault->text, "%s", message ? message : "PNG error");
  std::longjmp(fault->jump, 1);
}
void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep out, png_size_t size) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (size > r->file.size() - r->at) png_error(png, "truncated file");
  std::memcpy(out, r->file.data() + r->at, size);
  r->at += size;
}

void WriteBytes(png_structp png, png_bytep data, png_size_t size) {
  if (std::fwrite(data, 1, size, static_cast<std::FILE*>(png_get_io_ptr(png))) != size) {
    png_error(png, "write failed");
  }
}
void FlushBytes(png_structp) {}

// Everything that must survive a longjmp lives in plain records owned by the caller.
struct DecodeState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  MemoryReader reader;
  PngFault fault{};
  // Faults found by the steps themselves; strings are made after the jump is gone.
  int32_t code = PIC_OK;
  const char* detail = nullptr;
};

bool DecodeSteps(DecodeState* s, ImageInfo* info, PicOwner* out) {
  if (setjmp(s->fault.jump)) return false;
  png_set_read_fn(s->png, &s->reader, ReadBytes);
  png_set_chunk_malloc_max(s->png, 8u << 20);
  png_read_info(s->png, s->info);
  const png_uint_32 width = png_get_image_width(s->png, s->info);
  const png_uint_32 height = png_get_image_height(s->png, s->info);
  const int depth = png_get_bit_depth(s->png, s->info);
  const int type = png_get_color_type(s->png, s->info);
  const int channels = png_get_channels(s->png, s->info);
  info->width = static_cast<int32_t>(width);
  info->height = static_cast<int32_t>(height);
  info->channels = channels;
  info->bits_per_pixel = depth * channels;
  if (out == nullptr) return true;
  if (depth == 16) png_set_strip_16(s->png);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s->png);
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(s->png);
  if (png_get_valid(s->png, s->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s->png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(s->png);
  }
  png_set_filler(s->png, 0xff, PNG_FILLER_AFTER);
  png_set_bgr(s->png);
  const int passes = png_set_interlace_handling(s->png);
  png_read_update_info(s->png, s->info);
  if (png_get_rowbytes(s->png, s->info) != static_cast<size_t>(width) * 4) {
    png_error(s->png, "unexpected row layout");
  }
  PIC* pic = nullptr;
  if (!PictureFits(info->width, info->height, &s->code, &s->detail) ||
      (pic = HostPicCreate(info->width, info->height)) == nullptr) {
    if (s->code == PIC_OK) s->code = PIC_ERROR_MEMORY, s->detail = "no picture";
    return false;
  }
  out->reset(pic);
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(s->png, TopRow(pic, static_cast<int32_t>(y)), nullptr);
    }
  }
  png_read_end(s->png, nullptr);
  return true;
}

struct EncodeState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngFault fault{};
};

// How the default level (0) encodes: one Paeth filter for every row and run-length
// matches only. Rendered frames are mostly smooth or flat, so Paeth leaves runs of zeros
// that runs alone compress well: about 5% larger than level 6 with every filter tried per
// row, and several times faster (the filter search and level 6's match search were nearly
// all of a frame's save time).
constexpr int kDefaultLevel = 6;

bool EncodeSteps(EncodeState* s, const PIC& pic, int level, std::FILE* out) {
  if (setjmp(s->fault.jump)) return false;
  png_set_write_fn(s->png, out, WriteBytes, FlushBytes);
  if (level == 0) {
    png_set_compression_level(s->png, kDefaultLevel);
    png_set_compression_strategy(s->png, Z_RLE);
    png_set_filter(s->png, 0, PNG_FILTER_PAETH);
  } else {
    png_set_compression_level(s->png, level);
    // Fast levels gain most from a single cheap filter.
    if (level <= 3) png_set_filter(s->png, 0, PNG_FILTER_SUB);
  }
  png_set_IHDR(s->png, s->info, static_cast<png_uint_32>(pic.width),
               static_cast<png_uint_32>(pic.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(s->png, s->info);
  png_set_bgr(s->png);
  for (int32_t y = 0; y < pic.height; ++y) {
    png_write_row(s->png, const_cast<png_bytep>(TopRow(&pic, y)));
  }
  png_write_end(s->png, s->info);
  return true;
}

}  // namespace

Status PngDecode(std::span<const uint8_t> file, int32_t /*page*/, ImageInfo* info,
                 PicOwner* pic) {
  if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0) {
    return Status::Error(PIC_ERROR_FORMAT_TYPE, "not a PNG file");
  }
  DecodeState s;
  s.reader.file = file;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.fault, OnError, OnWarning);
  if (s.png != nullptr) s.info = png_create_info_struct(s.png);
  if (s.info == nullptr) {
    png_destroy_read_struct(&s.png, nullptr, nullptr);
    return Status::Error(PIC_ERROR_MEMORY, "no PNG decoder");
  }
  const bool ok = DecodeSteps(&s, info, pic);
  png_destroy_read_struct(&s.png, &s.info, nullptr);
  if (ok) return Status::Ok();
  if (pic) pic->reset(nullptr);
  if (s.code != PIC_OK) return Status::Error(s.code, s.detail);
  return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, s.fault.text);
}

Status PngEncode(const PIC& pic, const void* params, std::FILE* out) {
  // 1 to 9: that zlib level; anything else the default encoding.
  int level = params ? static_cast<const PngParams*>(params)->compression : 0;
  if (level < 1 || level > 9) level = 0;
  EncodeState s;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s.fault, OnError, OnWarning);
  if (s.png != nullptr) s.info = png_create_info_struct(s.png);
  if (s.info == nullptr) {
    png_destroy_write_struct(&s.png, nullptr);
    return Status::Error(PIC_ERROR_MEMORY, "no PNG encoder");
  }
  const bool ok = EncodeSteps(&s, pic, level, out);
  png_destroy_write_struct(&s.png, &s.info);
  return ok ? Status::Ok() : Status::Error(PIC_ERROR_FILE_WRITE, s.fault.text);
}

}  // namespace formats
