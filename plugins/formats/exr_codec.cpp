// OpenEXR through its RGBA interface, one scan line at a time. Files hold linear light as
// half floats; pictures hold sRGB-encoded bytes: the sRGB transfer is applied on read and
// undone on write. Alpha is linear both ways.
#include <ImathBox.h>
#include <ImfIO.h>
#include <ImfRgbaFile.h>
#include <half.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "image_codec.h"

namespace formats {
namespace {

class MemoryStream : public Imf::IStream {
 public:
  explicit MemoryStream(std::span<const uint8_t> bytes) : Imf::IStream("memory"), bytes_(bytes) {}
  bool read(char c[], int n) override {
    if (n < 0 || static_cast<uint64_t>(n) > bytes_.size() - std::min<uint64_t>(at_, bytes_.size())) {
      throw std::runtime_error("truncated EXR file");
    }
    std::memcpy(c, bytes_.data() + at_, static_cast<size_t>(n));
    at_ += static_cast<uint64_t>(n);
    return at_ < bytes_.size();
  }
  uint64_t tellg() override { return at_; }
  void seekg(uint64_t pos) override { at_ = pos; }

 private:
  std::span<const uint8_t> bytes_;
  uint64_t at_ = 0;
};

class FileStream : public Imf::OStream {
 public:
  explicit FileStream(std::FILE* f) : Imf::OStream("file"), f_(f) {}
  void write(const char c[], int n) override {
    if (std::fwrite(c, 1, static_cast<size_t>(n), f_) != static_cast<size_t>(n)) {
      throw std::runtime_error("cannot write EXR data");
    }
  }
  uint64_t tellp() override { return static_cast<uint64_t>(std::ftell(f_)); }
  void seekp(uint64_t pos) override { std::fseek(f_, static_cast<long>(pos), SEEK_SET); }

 private:
  std::FILE* f_;
};

double SrgbEncode(double linear) {
  return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}
double SrgbDecode(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

uint8_t ToByte(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// Tables over every half value (by its bits) and every byte, built once.
struct Tables {
  std::vector<uint8_t> encode = std::vector<uint8_t>(65536);  // half linear -> sRGB byte
  std::vector<uint8_t> alpha = std::vector<uint8_t>(65536);   // half -> byte
  std::array<half, 256> decode{};                             // sRGB byte -> half linear
  std::array<half, 256> alpha_half{};
  Tables() {
    for (uint32_t bits = 0; bits < 65536; ++bits) {
      half h;
      h.setBits(static_cast<unsigned short>(bits));
      const double v = std::isfinite(float(h)) ? float(h) : 0.0;
      encode[bits] = ToByte(SrgbEncode(std::max(v, 0.0)));
      alpha[bits] = ToByte(v);
    }
    for (int i = 0; i < 256; ++i) {
      decode[i] = half(static_cast<float>(SrgbDecode(i / 255.0)));
      alpha_half[i] = half(i / 255.0f);
    }
  }
};
const Tables& TablesOnce() {
  static const Tables tables;
  return tables;
}

}  // namespace

Status ExrDecode(std::span<const uint8_t> file, int32_t /*page*/, ImageInfo* info, PicOwner* out) {
  try {
    MemoryStream stream(file);
    Imf::RgbaInputFile exr(stream);
    const Imath::Box2i window = exr.dataWindow();
    const int64_t w = int64_t{window.max.x} - window.min.x + 1;
    const int64_t h = int64_t{window.max.y} - window.min.y + 1;
    info->width = static_cast<int32_t>(std::clamp<int64_t>(w, 0, INT32_MAX));
    info->height = static_cast<int32_t>(std::clamp<int64_t>(h, 0, INT32_MAX));
    info->bits_per_pixel = 64;
    info->channels = 4;
    if (out == nullptr) return Status::Ok();
    Status status;
    PIC* pic = NewPicture(info->width, info->height, &status);
    if (pic == nullptr) return status;
    out->reset(pic);
    const Tables& t = TablesOnce();
    std::vector<Imf::Rgba> row(static_cast<size_t>(w));
    for (int32_t y = 0; y < info->height; ++y) {
      const int ly = window.min.y + y;
      // The frame buffer is addressed by absolute coordinates: shift it onto one row.
      Imf::Rgba* base = row.data() - window.min.x - static_cast<ptrdiff_t>(ly) * w;
      exr.setFrameBuffer(base, 1, static_cast<size_t>(w));
      exr.readPixels(ly);
      uint8_t* d = TopRow(pic, y);
      for (int64_t x = 0; x < w; ++x, d += 4) {
        const Imf::Rgba& p = row[static_cast<size_t>(x)];
        d[0] = t.encode[p.b.bits()];
        d[1] = t.encode[p.g.bits()];
        d[2] = t.encode[p.r.bits()];
        d[3] = t.alpha[p.a.bits()];
      }
    }
    return Status::Ok();
  } catch (const std::bad_alloc&) {
    if (out) out->reset(nullptr);
    return Status::Error(PIC_ERROR_MEMORY, "no memory for EXR data");
  } catch (const std::exception& e) {
    if (out) out->reset(nullptr);
    return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, e.what());
  }
}

Status ExrEncode(const PIC& pic, const void* /*params*/, std::FILE* file) {
  try {
    FileStream stream(file);
    Imf::Header header(pic.width, pic.height);
    header.compression() = Imf::ZIP_COMPRESSION;
    Imf::RgbaOutputFile exr(stream, header, Imf::WRITE_RGBA);
    const Tables& t = TablesOnce();
    std::vector<Imf::Rgba> row(static_cast<size_t>(pic.width));
    for (int32_t y = 0; y < pic.height; ++y) {
      const uint8_t* s = TopRow(&pic, y);
      for (int32_t x = 0; x < pic.width; ++x, s += 4) {
        row[static_cast<size_t>(x)] = Imf::Rgba(t.decode[s[2]], t.decode[s[1]], t.decode[s[0]],
                                                t.alpha_half[s[3]]);
      }
      exr.setFrameBuffer(row.data() - static_cast<ptrdiff_t>(y) * pic.width, 1,
                         static_cast<size_t>(pic.width));
      exr.writePixels(1);
    }
    return Status::Ok();
  } catch (const std::exception& e) {
    return Status::Error(PIC_ERROR_FILE_WRITE, e.what());
  }
}

}  // namespace formats
