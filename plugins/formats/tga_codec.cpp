// Truevision TGA: true-colour and grey images, plain or run-length encoded, 8, 24 or 32 bits,
// either origin; written as 32-bit uncompressed bottom-up, the picture's own layout.
#include <cstring>

#include "byte_reader.h"
#include "image_codec.h"

namespace formats {
namespace {

struct TgaHeader {
  uint8_t id_length, map_type, image_type;
  uint16_t map_first, map_length;
  uint8_t map_bits;
  uint16_t width, height;
  uint8_t bits, descriptor;
};

// One pixel of `bytes` bytes into BGRA.
inline void ToBgra(const uint8_t* in, int bytes, uint8_t* out) {
  if (bytes == 1) {
    out[0] = out[1] = out[2] = in[0];
    out[3] = 255;
  } else {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
    out[3] = bytes == 4 ? in[3] : 255;
  }
}

}  // namespace

Status TgaDecode(std::span<const uint8_t> file, int32_t /*page*/, ImageInfo* info,
                 PicOwner* out) {
  ByteReader r(file);
  TgaHeader h{};
  h.id_length = r.U8();
  h.map_type = r.U8();
  h.image_type = r.U8();
  h.map_first = r.U16();
  h.map_length = r.U16();
  h.map_bits = r.U8();
  r.Skip(4);  // origin x, y
  h.width = r.U16();
  h.height = r.U16();
  h.bits = r.U8();
  h.descriptor = r.U8();
  if (r.failed()) return Status::Error(PIC_ERROR_FILE_READ, "truncated TGA header");
  const int base_type = h.image_type & ~8;
  const bool rle = (h.image_type & 8) != 0;
  if (h.map_type > 1 || (base_type != 2 && base_type != 3 && base_type != 1)) {
    return Status::Error(PIC_ERROR_FORMAT_TYPE, "not a TGA image type this reads");
  }
  if (base_type == 1) return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "colour-mapped TGA");
  const int bytes = h.bits / 8;
  if (h.bits % 8 != 0 || (base_type == 2 && bytes != 3 && bytes != 4) ||
      (base_type == 3 && bytes != 1)) {
    return Status::Error(PIC_ERROR_PIXEL_DEPTH, std::to_string(h.bits) + "-bit TGA");
  }
  info->width = h.width;
  info->height = h.height;
  info->bits_per_pixel = h.bits;
  info->channels = bytes == 4 ? 4 : bytes == 3 ? 3 : 1;
  if (out == nullptr) return Status::Ok();
  r.Skip(h.id_length);
  if (h.map_type == 1) r.Skip(static_cast<size_t>(h.map_length) * ((h.map_bits + 7) / 8));
  if (r.failed()) return Status::Error(PIC_ERROR_FILE_READ, "truncated TGA header");
  Status status;
  PIC* pic = NewPicture(h.width, h.height, &status);
  if (pic == nullptr) return status;
  out->reset(pic);
  const bool top_down = (h.descriptor & 0x20) != 0;
  const bool right_left = (h.descriptor & 0x10) != 0;
  int32_t run = 0;       // pixels left in the current packet
  bool repeat = false;   // the packet repeats one pixel
  const uint8_t* value = nullptr;
  for (int32_t y = 0; y < h.height; ++y) {
    uint8_t* row = top_down ? TopRow(pic, y) : pic->pixels + static_cast<size_t>(y) * h.width * 4;
    if (!rle) {
      auto src = r.Bytes(static_cast<size_t>(h.width) * bytes);
      if (src.empty()) return out->reset(nullptr), Status::Error(PIC_ERROR_FILE_READ, "truncated TGA data");
      for (int32_t x = 0; x < h.width; ++x) {
        const int32_t dx = right_left ? h.width - 1 - x : x;
        ToBgra(src.data() + static_cast<size_t>(x) * bytes, bytes, row + dx * 4);
      }
      continue;
    }
    // Packets may run across rows.
    for (int32_t x = 0; x < h.width; ++x) {
      if (run == 0) {
        const uint8_t head = r.U8();
        run = (head & 0x7f) + 1;
        repeat = (head & 0x80) != 0;
        if (repeat) value = r.Bytes(bytes).data();
      }
      const uint8_t* px = repeat ? value : r.Bytes(bytes).data();
      if (r.failed() || px == nullptr) {
        out->reset(nullptr);
        return Status::Error(PIC_ERROR_FILE_READ, "truncated TGA data");
      }
      const int32_t dx = right_left ? h.width - 1 - x : x;
      ToBgra(px, bytes, row + dx * 4);
      --run;
    }
  }
  return Status::Ok();
}

Status TgaEncode(const PIC& pic, const void* /*params*/, std::FILE* out) {
  bool ok = PutU8(out, 0) && PutU8(out, 0) && PutU8(out, 2) && PutU16(out, 0) &&
            PutU16(out, 0) && PutU8(out, 0) && PutU16(out, 0) && PutU16(out, 0) &&
            PutU16(out, static_cast<uint16_t>(pic.width)) &&
            PutU16(out, static_cast<uint16_t>(pic.height)) && PutU8(out, 32) &&
            PutU8(out, 8);  // 8 alpha bits, bottom-left origin
  // Bottom-up BGRA rows are exactly the picture's pixel block.
  const size_t size = static_cast<size_t>(pic.width) * pic.height * 4;
  ok = ok && std::fwrite(pic.pixels, 1, size, out) == size;
  return ok ? Status::Ok() : Status::Error(PIC_ERROR_FILE_WRITE, "cannot write TGA data");
}

}  // namespace formats
