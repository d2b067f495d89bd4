// Field-by-field encoding of the binary settings records, with range checks on reading.
#include "app/settings_records.h"

#include <algorithm>
#include <cstring>

namespace lumetra::app {
namespace {

class Writer {
 public:
  explicit Writer(std::span<uint8_t> out) : out_(out) {}
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[pos_++] = static_cast<uint8_t>(v >> (8 * i));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void U8(uint8_t v) { out_[pos_++] = v; }
  // A NUL-padded text field; the text is cut to leave room for the terminator.
  void Text(const std::string& s, std::size_t field) {
    const std::size_t n = std::min(s.size(), field - 1);
    for (std::size_t i = 0; i < field; ++i) out_[pos_++] = i < n ? static_cast<uint8_t>(s[i]) : 0;
  }

 private:
  std::span<uint8_t> out_;
  std::size_t pos_ = 0;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in_[pos_++]) << (8 * i);
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint8_t U8() { return in_[pos_++]; }
  // A text field must hold its NUL inside the field.
  std::optional<std::string> Text(std::size_t field) {
    const auto begin = in_.begin() + static_cast<std::ptrdiff_t>(pos_);
    const auto end = begin + static_cast<std::ptrdiff_t>(field);
    pos_ += field;
    const auto nul = std::find(begin, end, uint8_t{0});
    if (nul == end) return std::nullopt;
    return std::string(begin, nul);
  }

 private:
  std::span<const uint8_t> in_;
  std::size_t pos_ = 0;
};

bool InRange(int32_t v, int32_t lo, int32_t hi) {
  return v >= lo && v <= hi;
}

constexpr std::size_t kColorNameField = 40;
constexpr std::size_t kFaceField = 32;
constexpr int32_t kCoordLimit = 1 << 20;

}  // namespace

std::array<uint8_t, 4> Le32Encode(uint32_t v) {
  std::array<uint8_t, 4> out{};
  Writer(out).U32(v);
  return out;
}

uint32_t Le32Decode(std::span<const uint8_t, 4> bytes) {
  return Reader(bytes).U32();
}

std::array<uint8_t, kColorRecordSize> ColorEncode(const ColorEntry& e) {
  std::array<uint8_t, kColorRecordSize> out{};
  Writer w(out);
  w.Text(e.name, kColorNameField);
  w.I32(e.line_style);
  w.I32(e.line_width);
  w.U32(e.color);
  return out;
}

std::optional<ColorEntry> ColorDecode(std::span<const uint8_t> bytes, const std::string& name) {
  if (bytes.size() != kColorRecordSize) return std::nullopt;
  Reader r(bytes);
  ColorEntry e;
  if (!r.Text(kColorNameField)) return std::nullopt;
  e.name = name;
  e.line_style = r.I32();
  e.line_width = r.I32();
  e.color = r.U32();
  if (!InRange(e.line_style, 0, 4) || !InRange(e.line_width, 0, 16) || e.color > 0xFFFFFF)
    return std::nullopt;
  return e;
}

std::array<uint8_t, kFontRecordSize> FontEncode(const FontEntry& e) {
  std::array<uint8_t, kFontRecordSize> out{};
  Writer w(out);
  w.I32(e.height);
  w.I32(e.width);
  w.I32(e.escapement);
  w.I32(e.orientation);
  w.I32(e.weight);
  for (uint8_t b : {e.italic, e.underline, e.strike_out, e.char_set, e.out_precision,
                    e.clip_precision, e.quality, e.pitch_and_family})
    w.U8(b);
  w.Text(e.face, kFaceField);
  return out;
}

std::optional<FontEntry> FontDecode(std::span<const uint8_t> bytes, const std::string& name) {
  if (bytes.size() != kFontRecordSize) return std::nullopt;
  Reader r(bytes);
  FontEntry e;
  e.name = name;
  e.height = r.I32();
  e.width = r.I32();
  e.escapement = r.I32();
  e.orientation = r.I32();
  e.weight = r.I32();
  e.italic = r.U8();
  e.underline = r.U8();
  e.strike_out = r.U8();
  e.char_set = r.U8();
  e.out_precision = r.U8();
  e.clip_precision = r.U8();
  e.quality = r.U8();
  e.pitch_and_family = r.U8();
  auto face = r.Text(kFaceField);
  if (!face || face->empty() || !InRange(e.height, -1000, 1000) || !InRange(e.width, 0, 1000) ||
      !InRange(e.escapement, -3600, 3600) || !InRange(e.orientation, -3600, 3600) ||
      !InRange(e.weight, 0, 1000) || e.italic > 1 || e.underline > 1 || e.strike_out > 1)
    return std::nullopt;
  e.face = std::move(*face);
  return e;
}

std::array<uint8_t, kWindowPlacementSize> PlacementEncode(const WindowPlacement& p) {
  std::array<uint8_t, kWindowPlacementSize> out{};
  Writer w(out);
  for (int32_t v : {p.length, p.flags, p.show_cmd, p.min_x, p.min_y, p.max_x, p.max_y, p.left,
                    p.top, p.right, p.bottom})
    w.I32(v);
  return out;
}

std::optional<WindowPlacement> PlacementDecode(std::span<const uint8_t> bytes) {
  if (bytes.size() != kWindowPlacementSize) return std::nullopt;
  Reader r(bytes);
  WindowPlacement p;
  for (int32_t* v : {&p.length, &p.flags, &p.show_cmd, &p.min_x, &p.min_y, &p.max_x, &p.max_y,
                     &p.left, &p.top, &p.right, &p.bottom})
    *v = r.I32();
  if (p.length != static_cast<int32_t>(kWindowPlacementSize) || !InRange(p.flags, 0, 7) ||
      !InRange(p.show_cmd, 0, 11))
    return std::nullopt;
  for (int32_t v : {p.min_x, p.min_y, p.max_x, p.max_y, p.left, p.top, p.right, p.bottom})
    if (!InRange(v, -kCoordLimit, kCoordLimit)) return std::nullopt;
  if (p.right < p.left || p.bottom < p.top) return std::nullopt;
  return p;
}

std::array<uint8_t, kSafeFrameSize> SafeFrameEncode(const SafeFrame& s) {
  std::array<uint8_t, kSafeFrameSize> out{};
  Writer w(out);
  for (int32_t v : {s.left, s.top, s.right, s.bottom}) w.I32(v);
  return out;
}

std::optional<SafeFrame> SafeFrameDecode(std::span<const uint8_t> bytes) {
  if (bytes.size() != kSafeFrameSize) return std::nullopt;
  Reader r(bytes);
  SafeFrame s;
  for (int32_t* v : {&s.left, &s.top, &s.right, &s.bottom}) {
    *v = r.I32();
    if (!InRange(*v, 0, 49)) return std::nullopt;
  }
  return s;
}

std::array<ColorEntry, kColorEntries> DefaultColors() {
  return {{
      {"Storyboard Background", 0, 1, 0x808080},
      {"Track Name in Storyboard", 0, 1, 0x000000},
      {"Track Background", 0, 1, 0xC0C0C0},
      {"Selected Track", 0, 1, 0xE0C0A0},
      {"Clip", 0, 1, 0x80C0C0},
      {"Selected Clip", 0, 2, 0x40A0FF},
      {"Clip Name", 0, 1, 0x000000},
      {"Time Ruler", 0, 1, 0x404040},
      {"Current Time", 0, 1, 0x0000FF},
      {"Active Segment", 2, 1, 0x00A000},
      {"Preview Segment", 2, 1, 0xA00000},
  }};
}

std::array<FontEntry, kFontEntries> DefaultFonts() {
  std::array<FontEntry, kFontEntries> fonts;
  const char* names[kFontEntries] = {"Storyboard", "Track Names",  "Clip Names",
                                     "Time Ruler", "Curve Editor", "Track Information"};
  for (std::size_t i = 0; i < kFontEntries; ++i) fonts[i].name = names[i];
  fonts[1].weight = 700;
  fonts[3].height = -10;
  return fonts;
}

}  // namespace lumetra::app
