// TIFF through libtiff: any layout libtiff's RGBA interface reads (read straight into the
// picture, bottom-left origin, then red and blue swapped in place); each page a layer.
// Written as 8-bit RGBA with unassociated alpha, one row buffer at a time.
#include <tiffio.h>

#include <cstring>
#include <vector>

#include "image_codec.h"

namespace formats {
namespace {

struct MemoryFile {
  std::span<const uint8_t> bytes;
  toff_t at = 0;
};

tmsize_t MemRead(thandle_t h, void* out, tmsize_t size) {
  auto* m = static_cast<MemoryFile*>(h);
  const toff_t left = m->at < m->bytes.size() ? m->bytes.size() - m->at : 0;
  const tmsize_t n = static_cast<tmsize_t>(std::min<toff_t>(left, static_cast<toff_t>(size)));
  if (n > 0) std::memcpy(out, m->bytes.data() + m->at, static_cast<size_t>(n));
  m->at += static_cast<toff_t>(n);
  return n;
}
tmsize_t MemWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t MemSeek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  toff_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes.size() : 0;
  m->at = base + offset;
  return m->at;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes.size(); }

tmsize_t FileRead(thandle_t h, void* out, tmsize_t size) {
  return static_cast<tmsize_t>(std::fread(out, 1, static_cast<size_t>(size), static_cast<std::FILE*>(h)));
}
tmsize_t FileWrite(thandle_t h, void* data, tmsize_t size) {
  return static_cast<tmsize_t>(std::fwrite(data, 1, static_cast<size_t>(size), static_cast<std::FILE*>(h)));
}
toff_t FileSeek(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<std::FILE*>(h);
  if (std::fseek(f, static_cast<long>(offset), whence) != 0) return static_cast<toff_t>(-1);
  return static_cast<toff_t>(std::ftell(f));
}
int FileClose(thandle_t) { return 0; }  // the atomic helper owns the file
toff_t FileSize(thandle_t h) {
  auto* f = static_cast<std::FILE*>(h);
  const long here = std::ftell(f);
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  return static_cast<toff_t>(size);
}
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

// libtiff's messages go nowhere: faults come back as results.
void Silent(const char*, const char*, va_list) {}
struct Quiet {
  Quiet() {
    TIFFSetErrorHandler(Silent);
    TIFFSetWarningHandler(Silent);
  }
};
const Quiet g_quiet;

struct Tiff {
  TIFF* handle = nullptr;
  ~Tiff() {
    if (handle) TIFFClose(handle);
  }
};

constexpr int kMaxPages = 4096;

}  // namespace

Status TiffDecode(std::span<const uint8_t> file, int32_t page, ImageInfo* info, PicOwner* out) {
  MemoryFile memory{file};
  Tiff tif;
  tif.handle = TIFFClientOpen("memory", "rm", &memory, MemRead, MemWrite, MemSeek, MemClose,
                              MemSize, NoMap, NoUnmap);
  if (tif.handle == nullptr) return Status::Error(PIC_ERROR_FORMAT_TYPE, "not a readable TIFF file");
  int pages = 1;
  while (pages < kMaxPages && TIFFReadDirectory(tif.handle)) ++pages;
  info->pages = pages;
  if (page < 0 || page >= pages || !TIFFSetDirectory(tif.handle, static_cast<tdir_t>(page))) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "no such page");
  }
  uint32_t width = 0, height = 0;
  uint16_t bits = 8, samples = 1;
  TIFFGetField(tif.handle, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.handle, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif.handle, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif.handle, TIFFTAG_SAMPLESPERPIXEL, &samples);
  info->width = static_cast<int32_t>(std::min<uint32_t>(width, INT32_MAX));
  info->height = static_cast<int32_t>(std::min<uint32_t>(height, INT32_MAX));
  info->bits_per_pixel = bits * samples;
  info->channels = samples;
  if (out == nullptr) return Status::Ok();
  uint16_t photometric = 0, planar = PLANARCONFIG_CONTIG, extra_count = 0;
  uint16_t* extra = nullptr;
  TIFFGetField(tif.handle, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif.handle, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif.handle, TIFFTAG_EXTRASAMPLES, &extra_count, &extra);
  // Plain 8-bit RGB and RGBA strips are read row by row: the RGBA interface would
  // premultiply unassociated alpha.
  const bool plain = bits == 8 && planar == PLANARCONFIG_CONTIG && photometric == PHOTOMETRIC_RGB &&
                     !TIFFIsTiled(tif.handle) && (samples == 3 || samples == 4);
  if (plain) {
    Status status;
    PIC* pic = NewPicture(info->width, info->height, &status);
    if (pic == nullptr) return status;
    out->reset(pic);
    if (TIFFScanlineSize64(tif.handle) != static_cast<uint64_t>(width) * samples) {
      out->reset(nullptr);
      return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "unexpected TIFF row size");
    }
    std::vector<uint8_t> row(static_cast<size_t>(width) * samples);
    for (uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(tif.handle, row.data(), y, 0) != 1) {
        out->reset(nullptr);
        return Status::Error(PIC_ERROR_FILE_READ, "damaged TIFF data");
      }
      uint8_t* d = TopRow(pic, static_cast<int32_t>(y));
      const uint8_t* s = row.data();
      for (uint32_t x = 0; x < width; ++x, s += samples, d += 4) {
        d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = samples == 4 ? s[3] : 255;
      }
    }
    return Status::Ok();
  }
  char reason[1024] = {};
  if (!TIFFRGBAImageOK(tif.handle, reason)) return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, reason);
  Status status;
  PIC* pic = NewPicture(info->width, info->height, &status);
  if (pic == nullptr) return status;
  out->reset(pic);
  // Bottom-left origin is the picture's own row order; each pixel lands as R, G, B, A.
  if (!TIFFReadRGBAImageOriented(tif.handle, width, height, reinterpret_cast<uint32_t*>(pic->pixels),
                                 ORIENTATION_BOTLEFT, 0)) {
    out->reset(nullptr);
    return Status::Error(PIC_ERROR_FILE_READ, "damaged TIFF data");
  }
  uint8_t* p = pic->pixels;
  for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i, p += 4) std::swap(p[0], p[2]);
  return Status::Ok();
}

Status TiffEncode(const PIC& pic, const void* params, std::FILE* file) {
  const int32_t choice = params ? static_cast<const TiffParams*>(params)->compression : 0;
  const uint16_t compression = choice == 1 ? COMPRESSION_NONE : choice == 2 ? COMPRESSION_LZW
                                                                            : COMPRESSION_ADOBE_DEFLATE;
  Tiff tif;
  tif.handle = TIFFClientOpen("file", "w", file, FileRead, FileWrite, FileSeek, FileClose,
                              FileSize, NoMap, NoUnmap);
  if (tif.handle == nullptr) return Status::Error(PIC_ERROR_FILE_CREATE, "cannot start TIFF");
  const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
  TIFF* t = tif.handle;
  bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(pic.width)) &&
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(pic.height)) &&
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4) &&
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra) &&
            TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(t, TIFFTAG_COMPRESSION, compression) &&
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  if (compression != COMPRESSION_NONE) ok = ok && TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  std::vector<uint8_t> row(static_cast<size_t>(pic.width) * 4);
  for (int32_t y = 0; ok && y < pic.height; ++y) {
    const uint8_t* s = TopRow(&pic, y);
    for (size_t i = 0; i < row.size(); i += 4) {
      row[i] = s[i + 2], row[i + 1] = s[i + 1], row[i + 2] = s[i], row[i + 3] = s[i + 3];
    }
    ok = TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) == 1;
  }
  ok = ok && TIFFWriteDirectory(t);
  TIFFClose(t);
  tif.handle = nullptr;
  return ok ? Status::Ok() : Status::Error(PIC_ERROR_FILE_WRITE, "cannot write TIFF data");
}

}  // namespace formats
