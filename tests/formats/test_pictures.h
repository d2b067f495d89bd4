// Small pictures and comparisons for the format tests, and the peer tools they run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/format_host.h"

namespace formats_test {

// A deterministic pattern: gradients, a hard edge and, with alpha, a coverage ramp.
inline PIC* Pattern(int32_t width, int32_t height, bool alpha, int32_t seed = 0) {
  PIC* pic = MakePicture(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = pic->pixels + (size_t(y) * width + x) * 4;
      p[0] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
      p[1] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
      p[2] = static_cast<uint8_t>(((x + seed * 7) / 8 + y / 8) % 2 ? 220 : 30);
      p[3] = alpha ? static_cast<uint8_t>((x * 3 + y * 5 + seed) % 256) : 255;
    }
  }
  return pic;
}

// Smooth colour waves moving with the seed: what 4:2:0 and 4:2:2 video keeps well.
inline PIC* Waves(int32_t width, int32_t height, int32_t seed) {
  PIC* pic = MakePicture(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = pic->pixels + (size_t(y) * width + x) * 4;
      p[0] = static_cast<uint8_t>(128 + 90 * std::sin((x + 2.0 * seed) / 6.0));
      p[1] = static_cast<uint8_t>(128 + 90 * std::cos((y + 3.0 * seed) / 5.0));
      p[2] = static_cast<uint8_t>(128 + 90 * std::sin((x + y + 4.0 * seed) / 9.0));
      p[3] = 255;
    }
  }
  return pic;
}

// Peak signal-to-noise ratio over blue, green and red (and alpha when asked), in dB;
// 1000 for identical pictures.
inline double Psnr(const PIC& a, const PIC& b, bool alpha = false) {
  if (a.width != b.width || a.height != b.height) return 0;
  double sum = 0;
  size_t count = 0;
  for (size_t i = 0; i < size_t(a.width) * a.height * 4; ++i) {
    if (i % 4 == 3 && !alpha) continue;
    const double d = double(a.pixels[i]) - double(b.pixels[i]);
    sum += d * d;
    ++count;
  }
  if (sum == 0) return 1000;
  return 10 * std::log10(255.0 * 255.0 / (sum / count));
}

inline bool SamePixels(const PIC& a, const PIC& b) {
  return a.width == b.width && a.height == b.height &&
         std::equal(a.pixels, a.pixels + size_t(a.width) * a.height * 4, b.pixels);
}

inline bool HaveTool(const std::string& tool) {
  return std::system((tool + " -version >/dev/null 2>&1").c_str()) == 0;
}

inline int RunQuiet(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

// The output of a command (its stdout).
inline std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Raw top-down BGRA frames as a picture (bottom-up).
inline PIC* FromTopDown(const std::vector<uint8_t>& raw, size_t offset, int32_t width,
                        int32_t height) {
  if (raw.size() < offset + size_t(width) * height * 4) return nullptr;
  PIC* pic = MakePicture(width, height);
  for (int32_t y = 0; y < height; ++y) {
    std::copy_n(raw.data() + offset + size_t(y) * width * 4, size_t(width) * 4,
                pic->pixels + size_t(height - 1 - y) * width * 4);
  }
  return pic;
}

}  // namespace formats_test
