// Windows bitmaps: uncompressed 8-bit (palette), 24-bit and 32-bit, bottom-up or top-down;
// written as 32-bit bottom-up, the picture's own layout.
#include "byte_reader.h"
#include "image_codec.h"

namespace formats {

Status BmpDecode(std::span<const uint8_t> file, int32_t /*page*/, ImageInfo* info,
                 PicOwner* out) {
  ByteReader r(file);
  if (r.U8() != 'B' || r.U8() != 'M') return Status::Error(PIC_ERROR_FORMAT_TYPE, "not a BMP file");
  r.Skip(8);
  const uint32_t data_offset = r.U32();
  const uint32_t header_size = r.U32();
  const int32_t width = static_cast<int32_t>(r.U32());
  const int32_t raw_height = static_cast<int32_t>(r.U32());
  r.U16();  // planes
  const uint16_t bits = r.U16();
  const uint32_t compression = r.U32();
  r.Skip(12);
  const uint32_t colours_used = r.U32();
  if (r.failed() || header_size < 40) return Status::Error(PIC_ERROR_FILE_READ, "truncated BMP header");
  // BI_BITFIELDS with the usual masks is laid out as BI_RGB for 32 bits.
  if (compression != 0 && !(compression == 3 && bits == 32)) {
    return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "compressed BMP");
  }
  if (bits != 8 && bits != 24 && bits != 32) {
    return Status::Error(PIC_ERROR_PIXEL_DEPTH, std::to_string(bits) + "-bit BMP");
  }
  if (raw_height == INT32_MIN) return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "bad BMP height");
  const bool top_down = raw_height < 0;
  const int32_t height = top_down ? -raw_height : raw_height;
  info->width = width;
  info->height = height;
  info->bits_per_pixel = bits;
  info->channels = bits == 32 ? 4 : 3;
  if (out == nullptr) return Status::Ok();
  uint8_t palette[256][4] = {};
  if (bits == 8) {
    const uint32_t count = colours_used == 0 ? 256 : colours_used;
    if (count > 256) return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "BMP palette too large");
    if (!r.Seek(14 + header_size)) return Status::Error(PIC_ERROR_NO_COLOR_MAP, "no BMP palette");
    for (uint32_t i = 0; i < count; ++i) {
      auto entry = r.Bytes(4);
      if (entry.empty()) return Status::Error(PIC_ERROR_NO_COLOR_MAP, "truncated BMP palette");
      palette[i][0] = entry[0];
      palette[i][1] = entry[1];
      palette[i][2] = entry[2];
      palette[i][3] = 255;
    }
  }
  Status status;
  PIC* pic = NewPicture(width, height, &status);
  if (pic == nullptr) return status;
  out->reset(pic);
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  if (!r.Seek(data_offset)) {
    out->reset(nullptr);
    return Status::Error(PIC_ERROR_FILE_READ, "BMP data offset past the end");
  }
  for (int32_t y = 0; y < height; ++y) {
    auto src = r.Bytes(stride);
    if (src.empty()) {
      out->reset(nullptr);
      return Status::Error(PIC_ERROR_FILE_READ, "truncated BMP data");
    }
    uint8_t* row = top_down ? TopRow(pic, y) : pic->pixels + static_cast<size_t>(y) * width * 4;
    const uint8_t* s = src.data();
    if (bits == 32) {
      for (int32_t x = 0; x < width; ++x, s += 4, row += 4) {
        row[0] = s[0], row[1] = s[1], row[2] = s[2], row[3] = s[3];
      }
    } else if (bits == 24) {
      for (int32_t x = 0; x < width; ++x, s += 3, row += 4) {
        row[0] = s[0], row[1] = s[1], row[2] = s[2], row[3] = 255;
      }
    } else {
      for (int32_t x = 0; x < width; ++x, ++s, row += 4) {
        const uint8_t* c = palette[*s];
        row[0] = c[0], row[1] = c[1], row[2] = c[2], row[3] = c[3];
      }
    }
  }
  return Status::Ok();
}

Status BmpEncode(const PIC& pic, const void* /*params*/, std::FILE* out) {
  const uint32_t data_size = static_cast<uint32_t>(pic.width) * pic.height * 4;
  const uint32_t offset = 14 + 40;
  bool ok = PutU8(out, 'B') && PutU8(out, 'M') && PutU32(out, offset + data_size) &&
            PutU32(out, 0) && PutU32(out, offset) && PutU32(out, 40) &&
            PutU32(out, static_cast<uint32_t>(pic.width)) &&
            PutU32(out, static_cast<uint32_t>(pic.height)) && PutU16(out, 1) &&
            PutU16(out, 32) && PutU32(out, 0) && PutU32(out, data_size) &&
            PutU32(out, 2835) && PutU32(out, 2835) && PutU32(out, 0) && PutU32(out, 0);
  ok = ok && std::fwrite(pic.pixels, 1, data_size, out) == data_size;
  return ok ? Status::Ok() : Status::Error(PIC_ERROR_FILE_WRITE, "cannot write BMP data");
}

}  // namespace formats
