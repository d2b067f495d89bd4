// Sequence detection over a sorted listing.
#include "media/sequence_detect.h"

#include <algorithm>
#include <cctype>

#include "media/format_registry.h"
#include "media/media_item.h"
#include "platform/format.h"

namespace lumetra::media {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
int Lower(char c) {
  return std::tolower(static_cast<unsigned char>(c));
}
bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

int32_t NaturalWidth(int32_t n) {
  int32_t w = 1;
  for (; n >= 10; n /= 10) ++w;
  return w;
}

// The next name continues the numbering of the previous one: the same width, or both
// written without leading zeros (a9 then a10).
bool WidthFits(const FrameNumber& prev, const FrameNumber& next) {
  if (next.digits == prev.digits) return true;
  return prev.digits == NaturalWidth(prev.number) && next.digits == NaturalWidth(next.number);
}

}  // namespace

bool ParseFrameNumber(std::string_view name, FrameNumber& out) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  std::size_t start = dot;
  while (start > 0 && IsDigit(name[start - 1])) --start;
  const std::size_t digits = dot - start;
  if (digits == 0 || digits > static_cast<std::size_t>(kMaxSequenceDigits)) return false;
  int64_t value = 0;
  for (std::size_t i = start; i < dot; ++i) {
    value = value * 10 + (name[i] - '0');
    if (value > INT32_MAX) return false;
  }
  out.base = name.substr(0, start);
  out.extension = name.substr(dot + 1);
  out.number = static_cast<int32_t>(value);
  out.digits = static_cast<int32_t>(digits);
  return true;
}

bool MediaNameLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      std::size_t ie = i, je = j;
      while (ie < a.size() && IsDigit(a[ie])) ++ie;
      while (je < b.size() && IsDigit(b[je])) ++je;
      // Compare by value: skip leading zeros, then the longer run is larger.
      std::size_t is = i, js = j;
      while (is + 1 < ie && a[is] == '0') ++is;
      while (js + 1 < je && b[js] == '0') ++js;
      if (ie - is != je - js) return ie - is < je - js;
      const int c = a.substr(is, ie - is).compare(b.substr(js, je - js));
      if (c != 0) return c < 0;
      if (ie - i != je - j) return ie - i < je - j;  // fewer leading zeros first
      i = ie;
      j = je;
      continue;
    }
    if (Lower(a[i]) != Lower(b[j])) return Lower(a[i]) < Lower(b[j]);
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // equal but for case: a fixed order
}

std::vector<MediaListEntry> DetectSequences(std::vector<std::string> names,
                                            const std::function<bool(std::string_view)>& numbered) {
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return MediaNameLess(a, b); });
  std::vector<MediaListEntry> out;
  for (std::size_t i = 0; i < names.size();) {
    MediaListEntry e;
    e.file = names[i];
    e.shown = names[i];
    const std::size_t dot = names[i].rfind('.');
    if (dot != std::string::npos) e.extension = names[i].substr(dot + 1);
    FrameNumber start;
    std::size_t end = i + 1;
    if (ParseFrameNumber(names[i], start) && numbered && numbered(start.extension)) {
      int32_t last = start.number;
      FrameNumber prev = start;
      FrameNumber next;
      while (end < names.size() && ParseFrameNumber(names[end], next) &&
             SameText(next.base, start.base) && SameText(next.extension, start.extension) &&
             last < INT32_MAX && next.number == last + 1 && WidthFits(prev, next)) {
        last = next.number;
        prev = next;
        ++end;
      }
      // Zero-filled to the first name's width: a fixed-width run prints every frame at that
      // width, an unpadded one (a9, a10) prints each frame at its own.
      const int32_t digits = start.digits;
      if (end - i > 1) {
        e.sequence = true;
        e.base = std::string(start.base);
        e.extension = std::string(start.extension);
        e.first = start.number;
        e.last = last;
        e.digits = digits;
        e.shown = platform::Format("%s[%0*d,%0*d].%s", e.base.c_str(), digits, e.first, digits,
                                   e.last, e.extension.c_str());
      } else {
        end = i + 1;
      }
    }
    out.push_back(std::move(e));
    i = end;
  }
  return out;
}

bool ExtensionIsNumbered(std::string_view extension) {
  const InputFormat* f = InputFormatFind(extension);
  return f != nullptr && (f->flags & kFormatFlagNumbered) != 0;
}

}  // namespace lumetra::media
