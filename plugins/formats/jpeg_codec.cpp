// JPEG through libjpeg-turbo: decoded and encoded as JCS_EXT_BGRA, the picture's own byte
// order, one row at a time straight from and into the picture.
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "image_codec.h"

namespace formats {
namespace {

struct JpegFault {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char text[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
  auto* fault = reinterpret_cast<JpegFault*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, fault->text);
  std::longjmp(fault->jump, 1);
}
// A file that ends early is a fault, not a warning: the library would fill it with grey.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnError(cinfo);
}

struct DecodeState {
  jpeg_decompress_struct cinfo{};
  JpegFault fault{};
  // Faults found by the steps themselves; strings are made after the jump is gone.
  int32_t code = PIC_OK;
  const char* detail = nullptr;
};

bool DecodeSteps(DecodeState* s, std::span<const uint8_t> file, ImageInfo* info,
                 PicOwner* out) {
  if (setjmp(s->fault.jump)) return false;
  jpeg_mem_src(&s->cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&s->cinfo, TRUE);
  info->width = static_cast<int32_t>(s->cinfo.image_width);
  info->height = static_cast<int32_t>(s->cinfo.image_height);
  info->channels = s->cinfo.num_components;
  info->bits_per_pixel = 8 * s->cinfo.num_components;
  if (out == nullptr) return true;
  PIC* pic = nullptr;
  if (!PictureFits(info->width, info->height, &s->code, &s->detail) ||
      (pic = HostPicCreate(info->width, info->height)) == nullptr) {
    if (s->code == PIC_OK) s->code = PIC_ERROR_MEMORY, s->detail = "no picture";
    return false;
  }
  out->reset(pic);
  s->cinfo.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&s->cinfo);
  if (s->cinfo.output_width != s->cinfo.image_width || s->cinfo.output_components != 4) {
    s->code = PIC_ERROR_FORMAT_UNSUPPORTED;
    s->detail = "unexpected JPEG output layout";
    return false;
  }
  while (s->cinfo.output_scanline < s->cinfo.output_height) {
    JSAMPROW row = TopRow(pic, static_cast<int32_t>(s->cinfo.output_scanline));
    if (jpeg_read_scanlines(&s->cinfo, &row, 1) != 1) {
      s->code = PIC_ERROR_FILE_READ;
      s->detail = "truncated JPEG data";
      return false;
    }
  }
  jpeg_finish_decompress(&s->cinfo);
  return true;
}

struct EncodeState {
  jpeg_compress_struct cinfo{};
  JpegFault fault{};
};

bool EncodeSteps(EncodeState* s, const PIC& pic, int quality, std::FILE* out) {
  if (setjmp(s->fault.jump)) return false;
  jpeg_stdio_dest(&s->cinfo, out);
  s->cinfo.image_width = static_cast<JDIMENSION>(pic.width);
  s->cinfo.image_height = static_cast<JDIMENSION>(pic.height);
  s->cinfo.input_components = 4;
  s->cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&s->cinfo);
  jpeg_set_quality(&s->cinfo, quality, TRUE);
  // High qualities keep full colour resolution: edges of keyed and composited frames.
  if (quality >= 90) {
    for (int c = 0; c < s->cinfo.num_components; ++c) {
      s->cinfo.comp_info[c].h_samp_factor = 1;
      s->cinfo.comp_info[c].v_samp_factor = 1;
    }
  }
  jpeg_start_compress(&s->cinfo, TRUE);
  while (s->cinfo.next_scanline < s->cinfo.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(TopRow(&pic, static_cast<int32_t>(s->cinfo.next_scanline)));
    jpeg_write_scanlines(&s->cinfo, &row, 1);
  }
  jpeg_finish_compress(&s->cinfo);
  return true;
}

}  // namespace

Status JpegDecode(std::span<const uint8_t> file, int32_t /*page*/, ImageInfo* info,
                  PicOwner* pic) {
  if (file.size() < 3 || file[0] != 0xFF || file[1] != 0xD8) {
    return Status::Error(PIC_ERROR_FORMAT_TYPE, "not a JPEG file");
  }
  DecodeState s;
  s.cinfo.err = jpeg_std_error(&s.fault.mgr);
  s.fault.mgr.error_exit = OnError;
  s.fault.mgr.emit_message = OnMessage;
  jpeg_create_decompress(&s.cinfo);
  // Progressive files keep coefficients for the whole image: bound that too.
  s.cinfo.mem->max_memory_to_use = 256L << 20;
  const bool ok = DecodeSteps(&s, file, info, pic);
  jpeg_destroy_decompress(&s.cinfo);
  if (ok) return Status::Ok();
  if (pic) pic->reset(nullptr);
  if (s.code != PIC_OK) return Status::Error(s.code, s.detail);
  return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, s.fault.text);
}

Status JpegEncode(const PIC& pic, const void* params, std::FILE* out) {
  int quality = params ? static_cast<const JpegParams*>(params)->quality : 0;
  if (quality < 1 || quality > 100) quality = 90;
  EncodeState s;
  s.cinfo.err = jpeg_std_error(&s.fault.mgr);
  s.fault.mgr.error_exit = OnError;
  s.fault.mgr.emit_message = OnMessage;
  jpeg_create_compress(&s.cinfo);
  const bool ok = EncodeSteps(&s, pic, quality, out);
  jpeg_destroy_compress(&s.cinfo);
  return ok ? Status::Ok() : Status::Error(PIC_ERROR_FILE_WRITE, s.fault.text);
}

}  // namespace formats
