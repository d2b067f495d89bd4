// The library's one export: copies the host entries, checks the host version and registers
// every record of the table in order.
#include "effect_table.h"
#include "runtime.h"

namespace effects {
namespace {

// Hosts older than this lack services the effects rely on.
constexpr intptr_t kMinimumHostVersion = 1000;

// Bitmaps are not shipped in this build: the record keeps no icon.
intptr_t EffectIcon(int32_t /*icon_id*/) { return 0; }

template <typename Fn>
intptr_t FunctionValue(Fn fn) {
  return reinterpret_cast<intptr_t>(fn);
}

// Describes the clip data block as a template over a prototype of the block's size, stores
// it under "Data" and lets go of the library's reference.
bool RegisterTemplate(HostCallContext* ctx, LumetraObject effect, const EffectDef& def) {
  // Base address of the prototype: field addresses are base + offsetof(field).
  alignas(std::max_align_t) static const unsigned char prototype[1024] = {};
  static_assert(sizeof prototype >= 512);
  if (def.block_size > sizeof prototype) return false;
  LumetraObject tmpl = HostObjectCreate(ctx, "template", nullptr, prototype);
  if (tmpl == nullptr) return false;
  bool ok = true;
  for (const FieldDef& field : def.fields) {
    ok = ok && HostObjectAddField(ctx, tmpl, field.name, field.type, prototype + field.offset,
                                  field.count);
  }
  ok = ok && HostObjectSetValue(ctx, effect, "Data", reinterpret_cast<intptr_t>(tmpl), 0);
  HostObjectOperation(ctx, tmpl, "Delete");
  return ok;
}

bool RegisterEffect(HostCallContext* ctx, const EffectDef& def) {
  LumetraObject effect = HostObjectCreate(ctx, "effect", def.signature, nullptr);
  if (effect == nullptr) return false;
  auto set = [&](const char* key, intptr_t value) {
    return HostObjectSetValue(ctx, effect, key, value, 0);
  };
  bool ok = set("Name", reinterpret_cast<intptr_t>(def.name)) &&
            set("Comments", reinterpret_cast<intptr_t>(def.comments));
  if (const intptr_t icon = EffectIcon(def.icon_id); icon != 0) ok = ok && set("Icon", icon);
  ok = ok && set("InitFunction", FunctionValue(def.init)) &&
       set("EditFunction", FunctionValue(def.edit)) &&
       set("MakeFunction", def.make ? FunctionValue(def.make) : 0);
  if (def.make_sound) ok = ok && set("MakeSoundFunction", FunctionValue(def.make_sound));
  if (def.format) ok = ok && set("FormatFunction", FunctionValue(def.format));
  ok = ok && set("InputsNumber", def.inputs);
  if (def.previous_track_input) ok = ok && set("PreviousTrackInput", 0);
  if (def.display_mode != kNotSet) ok = ok && set("DisplayMode", def.display_mode);
  if (def.version != kNotSet) ok = ok && set("Version", def.version);
  if (!def.fields.empty()) ok = ok && RegisterTemplate(ctx, effect, def);
  return ok && HostObjectComplete(ctx, effect) != 0;
}

// A format the host already knows in the same or a newer version is ignored by the host
// (answer 0); that is no failure of this library.
bool RegisterInputFormat(HostCallContext* ctx, const InputFormatDef& def) {
  LumetraObject format = HostObjectCreate(ctx, "InputFormat", def.name, nullptr);
  if (format == nullptr) return false;
  auto set = [&](const char* key, intptr_t value) {
    return HostObjectSetValue(ctx, format, key, value, 0);
  };
  bool ok = set("Version", def.version) && set("Flags", def.flags) &&
            set("Description", reinterpret_cast<intptr_t>(def.description)) &&
            set("Ext0", reinterpret_cast<intptr_t>(def.ext0));
  if (def.ext1) ok = ok && set("Ext1", reinterpret_cast<intptr_t>(def.ext1));
  if (def.meta_browser) ok = ok && set("MetaBrowserFunction", FunctionValue(def.meta_browser));
  if (def.geometry_browser) {
    ok = ok && set("GeometryBrowserFunction", FunctionValue(def.geometry_browser));
  }
  if (!ok) return false;
  HostObjectComplete(ctx, format);
  return true;
}

int32_t GetLibInfo(HostCallContext* ctx, const HostServiceTable* table) {
  HostApiCopy(table);
  intptr_t version = 0;
  if (!HostClipGetInt(ctx, "version", &version) || version < kMinimumHostVersion) return 0;
  // Every record is tried; one failure fails the call, the records before and after it
  // stay registered.
  bool all = true;
  for (const LibraryRecord& record : LibraryRecords()) {
    const bool ok = record.effect ? RegisterEffect(ctx, *record.effect)
                                  : RegisterInputFormat(ctx, *record.format);
    all = all && ok;
  }
  return all ? 1 : 0;
}

}  // namespace
}  // namespace effects

// The public table and the library's slot view share one layout: slot n is the n-th pointer.
extern "C" LUMETRA_EXPORT int32_t ZOLT_GetLibInfo(HostCallContext* ctx,
                                                  const ::HostServiceTable* table) {
  const auto* slots = reinterpret_cast<const effects::HostServiceTable*>(table);
  return effects::Guarded<int32_t>(ctx, 0, [&] { return effects::GetLibInfo(ctx, slots); });
}
