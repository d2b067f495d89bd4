// Formatting and parsing of times in the three display modes, and the duration text.
#include "timecode/time_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "timecode/time_base.h"

namespace lumetra::project {
namespace {

// Beyond this many seconds the integer fields would not fit; such times are clamped.
constexpr float kFormatLimit = 1.0e9f;

float Sanitize(float t) {
  if (!std::isfinite(t)) return 0.0f;
  return std::fmax(-kFormatLimit, std::fmin(t, kFormatLimit));
}

std::string Printf(const char* format, auto... args) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, format, args...);
  return std::string(buf, n < 0 ? 0 : static_cast<std::size_t>(n));
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Optional sign then at least one digit, nothing else; refuses overflow of int32.
std::optional<int64_t> ParseSignedInt(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  uint32_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if (v > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return std::nullopt;
  return negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
}

// Digits only (an empty field counts as 0); refuses signs and overflow of int32.
std::optional<int64_t> ParseField(std::string_view s) {
  s = Trim(s);
  if (s.empty()) return 0;
  if (s.front() == '+' || s.front() == '-') return std::nullopt;
  return ParseSignedInt(s);
}

std::optional<float> ToFiniteFloat(double v) {
  if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(v);
}

std::optional<float> ParseTimeCode(std::string_view s, int32_t base) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int64_t fields[4] = {0, 0, 0, 0};
  for (int i = 0;; ++i) {
    if (i == 4) return std::nullopt;  // a fifth field
    const std::size_t colon = s.find(':');
    auto v = ParseField(s.substr(0, colon));
    if (!v) return std::nullopt;
    fields[i] = *v;
    if (colon == std::string_view::npos) break;
    s.remove_prefix(colon + 1);
  }
  const auto [h, m, sec, f] = fields;
  if (m >= 60 || sec >= 60 || f >= base) return std::nullopt;
  const double t = static_cast<double>((h * 60 + m) * 60 + sec) +
                   static_cast<double>(f) / static_cast<double>(base);
  return ToFiniteFloat(negative ? -t : t);
}

std::optional<float> ParseSeconds(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // A second sign, "inf" and "nan" are refused by from_chars in fixed format.
  if (s.empty() || s.front() == '+' || s.front() == '-') return std::nullopt;
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return ToFiniteFloat(negative ? -v : v);
}

}  // namespace

std::string TimeFormat(float time, int32_t base, int32_t mode) {
  const float t = Sanitize(time);
  const int32_t b = TimeBaseClamp(base);
  switch (mode) {
    case kTimeDisplayFrames:
      return Printf("%d", TimeToFrame(t, b, kFrameEpsDisplay));
    case kTimeDisplayTimeCode: {
      const float a = std::fabs(t);
      // Hours and minutes come from the whole seconds: an f32 product with 1/60 or 1/3600
      // can round up to the next minute just below it (59.999996 s showed 00:01:59:24).
      const float whole = std::trunc(a);
      const int64_t total = static_cast<int64_t>(whole);
      const int64_t hours = total / 3600 % 24;
      const int64_t minutes = total / 60 % 60;
      const int64_t seconds = total % 60;
      // The frame is truncated without an epsilon, in double so the f32 product cannot
      // round up to the next frame.
      const int64_t frames =
          static_cast<int64_t>((static_cast<double>(a) - whole) * static_cast<double>(b));
      return Printf("%s%.2d:%.2d:%.2d:%.2d", t < 0.0f ? "-" : " ", static_cast<int>(hours),
                    static_cast<int>(minutes), static_cast<int>(seconds), static_cast<int>(frames));
    }
    default:
      return Printf("%.3f", static_cast<double>(t));
  }
}

std::optional<float> TimeParse(std::string_view text, int32_t base, int32_t mode) {
  if (text.size() > kTimeFieldMaxChars) return std::nullopt;
  const std::string_view s = Trim(text);
  const int32_t b = TimeBaseClamp(base);
  switch (mode) {
    case kTimeDisplayTimeCode:
      return ParseTimeCode(s, b);
    case kTimeDisplayFrames: {
      auto frames = ParseSignedInt(s);
      if (!frames) return std::nullopt;
      return static_cast<float>(static_cast<double>(*frames) / b);
    }
    default:
      return ParseSeconds(s);
  }
}

std::string DurationFormat(float time, int32_t base) {
  const float t0 = Sanitize(time);
  const char* sign = t0 < 0.0f ? "-" : "";
  const double t = std::fabs(static_cast<double>(t0));
  const int32_t b = TimeBaseClamp(base);
  const double whole = std::trunc(t + 0.000001);
  const int64_t m = static_cast<int64_t>(t / 60.0 + 0.000001) % 60;
  const int64_t s = static_cast<int64_t>(whole) % 60;
  int64_t f = static_cast<int64_t>((t - whole) * b + 0.1);
  // The +0.1 absorbs f32 error; it must not carry a frame into the next second.
  if (f >= b) f = b - 1;
  if (f < 0) f = 0;
  if (t < 60.0) return Printf("%s%.2d:%.2d", sign, static_cast<int>(s), static_cast<int>(f));
  if (t < 3600.0)
    return Printf("%s%d:%.2d:%.2d", sign, static_cast<int>(m), static_cast<int>(s),
                  static_cast<int>(f));
  const int64_t h = static_cast<int64_t>(t / 3600.0 + 0.000001);
  return Printf("%s%d:%.2d:%.2d:%.2d", sign, static_cast<int>(h), static_cast<int>(m),
                static_cast<int>(s), static_cast<int>(f));
}

}  // namespace lumetra::project
