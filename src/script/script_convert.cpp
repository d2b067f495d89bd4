// Value conversions used by assignment, function parameters and if.
#include <cmath>
#include <cstdlib>

#include "model/model.h"
#include "script/script_interpreter.h"
#include "script/script_message.h"

namespace lumetra::script {
namespace {

// Truncation of value + 1e-6, saturated to the int range; NaN gives 0.
int32_t FloatToInt(float f) {
  double v = std::trunc(double{f} + 1e-6);
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(v);
}

// The same for 64-bit words: negative values wrap as their signed form does.
uint64_t FloatToUnsigned(float f) {
  double v = std::trunc(double{f} + 1e-6);
  if (std::isnan(v)) return 0;
  if (v < 0.0) {
    if (v <= -9223372036854775808.0) return uint64_t{1} << 63;
    return static_cast<uint64_t>(static_cast<int64_t>(v));
  }
  if (v >= 18446744073709551615.0) return UINT64_MAX;
  return static_cast<uint64_t>(v);
}

// Decimal text: optional blanks and sign, then digits; wraps around like the arithmetic.
uint64_t ParseDecimal(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  uint64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10u + uint64_t(s[i] - '0');
  return negative ? 0u - v : v;
}

// int -> 64 bits keeps the sign.
uint64_t Widen(int32_t i) {
  return static_cast<uint64_t>(int64_t{i});
}

bool IsPointerType(int32_t t) {
  return t == kTypeClip || t == kTypeTrack || t == kTypeGeometry || t == kTypeKeyfloat;
}

}  // namespace

bool Interpreter::Convert(const Value& from, int32_t to, Value& out, bool report) {
  auto fail = [&](const std::string& text) {
    if (report) Report(text);
    return false;
  };
  auto unknown = [&] {
    return fail(FormatMessage("%sunknown value type %d.", kPrefix, from.type));
  };
  switch (to) {
    case kTypeInt:
      // Geometry and keyfloat pointers are refused: cutting a 64-bit address to 32 bits
      // would lose it silently. (A geometry-typed host result stored through (int *) is
      // the one exception; the store converts it itself.)
      if (from.type == kTypeInt)
        out = Value::Int(from.i);
      else if (from.type == kTypeUnsigned || from.type == kTypeClip || from.type == kTypeTrack)
        out = Value::Int(static_cast<int32_t>(static_cast<uint32_t>(from.u)));
      else if (from.type == kTypeFloat)
        out = Value::Int(FloatToInt(from.f));
      else if (from.type == kTypeString)
        out = Value::Int(static_cast<int32_t>(static_cast<uint32_t>(ParseDecimal(from.s))));
      else
        return unknown();
      return true;
    case kTypeFloat:
      if (from.type == kTypeInt)
        out = Value::Float(static_cast<float>(from.i));
      else if (from.type == kTypeUnsigned)
        out = Value::Float(static_cast<float>(from.u));
      else if (from.type == kTypeFloat)
        out = Value::Float(from.f);
      else if (from.type == kTypeString)
        out = Value::Float(std::strtof(from.s.c_str(), nullptr));
      else if (from.type == kTypeClip)
        out = Value::Float(0.0f);
      else
        return unknown();
      return true;
    case kTypeString:
      if (from.type == kTypeInt)
        out = Value::String(FormatMessage("%d", from.i));
      else if (from.type == kTypeUnsigned)
        out = Value::String(FormatMessage("%llu", static_cast<unsigned long long>(from.u)));
      else if (from.type == kTypeFloat)
        out = Value::String(FormatMessage("%f", double{from.f}));
      else if (from.type == kTypeString)
        out = Value::String(from.s);
      else if (from.type == kTypeClip) {
        const project::Clip* clip = from.AsClip();
        if (!ClipLive(clip)) {
          if (report) Report(FormatMessage("%saccess non-existant clip.", kPrefix));
          out = Value::String("");
        } else {
          out = Value::String(clip->process != nullptr ? clip->process->name : std::string());
        }
      } else
        return unknown();
      return true;
    case kTypeUnsigned:
      if (from.type == kTypeInt)
        out = Value::Unsigned(Widen(from.i));
      else if (from.type == kTypeUnsigned || IsPointerType(from.type))
        out = Value::Unsigned(from.u);
      else if (from.type == kTypeFloat)
        out = Value::Unsigned(FloatToUnsigned(from.f));
      else if (from.type == kTypeString)
        out = Value::Unsigned(ParseDecimal(from.s));
      else
        return unknown();
      return true;
    case kTypeClip:
      if (from.type != kTypeClip)
        return fail(FormatMessage("%sillegal type convertion (to clip ptr).", kPrefix));
      out = Value::Pointer(kTypeClip, from.u);
      return true;
    case kTypeGeometry:
    case kTypeIntPointer:
    case kTypeFloatPointer:
    case kTypeUnsignedPointer:
      if (from.type == kTypeInt)
        out = Value::Pointer(to, Widen(from.i));
      else if (from.type == kTypeUnsigned || (to == kTypeGeometry && from.type == kTypeGeometry))
        out = Value::Pointer(to, from.u);
      else
        return fail(FormatMessage("%sillegal type convertion (to geometry ptr).", kPrefix));
      return true;
    case kTypeTrack:
      if (from.type == kTypeTrack)
        out = Value::Pointer(kTypeTrack, from.u);
      else if (from.type == kTypeInt && from.i == 0)
        out = Value::Pointer(kTypeTrack, 0);
      else if (from.type == kTypeUnsigned && from.u == 0)
        out = Value::Pointer(kTypeTrack, 0);
      else if (from.type == kTypeInt)
        return fail(
            FormatMessage("%sillegal type convertion (from integer to track ptr).", kPrefix));
      else if (from.type == kTypeUnsigned)
        return fail(
            FormatMessage("%sillegal type convertion (from unsigned to track ptr).", kPrefix));
      else
        return fail(FormatMessage("%sillegal type convertion (to track ptr).", kPrefix));
      return true;
    case kTypeKeyfloat:
      if (from.type == kTypeInt)
        out = Value::Pointer(kTypeKeyfloat, Widen(from.i));
      else if (from.type == kTypeUnsigned || from.type == kTypeKeyfloat)
        out = Value::Pointer(kTypeKeyfloat, from.u);
      else
        return fail(FormatMessage("%sillegal type convertion (to keyfloat).", kPrefix));
      return true;
    default:
      return fail(FormatMessage("%sunknown value type %d.", kPrefix, to));
  }
}

}  // namespace lumetra::script
