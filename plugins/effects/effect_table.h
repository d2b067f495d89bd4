// The library's records: one table of every effect and input format in registration order,
// each effect with its literal texts, keys, dialog and the template of its clip data block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "host_api.h"

namespace effects {

// The functions an effect provides to the host.
using InitFn = int32_t (*)(HostCallContext* ctx, void* data);
using EditFn = uintptr_t (*)(HostCallContext* ctx, void* data);
using MakeFn = PIC* (*)(HostCallContext* ctx, void* data, float from, float to, float t);
using MakeSoundFn = void* (*)(HostCallContext* ctx, void* data, float from, float to,
                              int32_t rate, int32_t bytes_per_sample, int32_t channels);
using FormatFn = int32_t (*)(HostCallContext* ctx, const char* file_name);
using MetaBrowserFn = void* (*)(HostCallContext* ctx, const char* file_name, void* info,
                                float position, int32_t width, int32_t height);
using GeometryBrowserFn = void* (*)(HostCallContext* ctx, const char* file_name, void* info,
                                    int32_t width, int32_t height);

// One field of a clip data block: name and type name as the host receives them, the
// field's offset in the library's struct and its element count.
struct FieldDef {
  const char* name;
  const char* type;
  uint32_t offset;
  int32_t count;
};

// "Version" and "DisplayMode" are set only when not kNotSet.
inline constexpr int32_t kNotSet = -1;

struct EffectDef {
  const char* signature;
  const char* name;
  const char* comments;
  int32_t icon_id;
  int32_t inputs;
  int32_t version;
  int32_t display_mode;
  bool previous_track_input;  // "PreviousTrackInput" 0
  const char* dialog;
  std::span<const FieldDef> fields;
  size_t block_size;
  InitFn init;
  EditFn edit;
  MakeFn make;              // null: sound-only effect
  MakeSoundFn make_sound;   // sound effects only
  FormatFn format;          // effects that read files
};

struct InputFormatDef {
  const char* name;
  const char* description;
  const char* ext0;
  const char* ext1;  // null when the format has one extension
  int32_t version;
  int32_t flags;
  MetaBrowserFn meta_browser;          // "MetaBrowserFunction", or null
  GeometryBrowserFn geometry_browser;  // "GeometryBrowserFunction", or null
};

// Exactly one of the two is set.
struct LibraryRecord {
  const EffectDef* effect;
  const InputFormatDef* format;
};

// Every record, in the order the library registers them.
std::span<const LibraryRecord> LibraryRecords();

// Compile-time check that a struct member's C type holds what its type name says.
namespace detail {

constexpr char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

template <typename T>
constexpr bool TypeFits(std::string_view type) {
  if constexpr (std::is_same_v<T, KeyfloatKey*>) {
    return SameName(type, "keyfloat") || SameName(type, "anifloat");
  } else if constexpr (std::is_same_v<T, LumetraObject>) {
    return SameName(type, "geometry");
  } else if constexpr (std::is_same_v<T, char*>) {
    return SameName(type, "string");
  } else if constexpr (std::is_same_v<T, float>) {
    return SameName(type, "float");
  } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, uint32_t>) {
    return SameName(type, "long") || SameName(type, "int32") || SameName(type, "uint32") ||
           SameName(type, "dword");
  } else if constexpr (std::is_same_v<T, int16_t> || std::is_same_v<T, uint16_t>) {
    return SameName(type, "short") || SameName(type, "int16") || SameName(type, "uint16") ||
           SameName(type, "word");
  } else if constexpr (std::is_same_v<T, uint8_t>) {
    return SameName(type, "byte");
  } else {
    return false;
  }
}

void FieldTypeDoesNotMatchItsCType();  // never defined: reached only by a wrong table

template <typename Member>
consteval FieldDef MakeField(const char* name, const char* type, size_t offset) {
  using Element = std::remove_all_extents_t<Member>;
  if (!TypeFits<Element>(type)) FieldTypeDoesNotMatchItsCType();
  constexpr size_t extent = std::extent_v<Member>;
  return FieldDef{name, type, static_cast<uint32_t>(offset),
                   static_cast<int32_t>(extent == 0 ? 1 : extent)};
}

}  // namespace detail

#define EFFECT_FIELD(Struct, member, type) \
  ::effects::detail::MakeField<decltype(Struct::member)>(#member, type, offsetof(Struct, member))

}  // namespace effects
