// The library's one export: copies the host table and registers every input and output
// format of the table through the object protocol.
#include <cstddef>

#include "format_table.h"
#include "host.h"

namespace formats {
namespace {

template <typename Fn>
intptr_t Value(Fn fn) {
  return reinterpret_cast<intptr_t>(fn);
}

struct Registrar {
  HostCallContext* ctx;
  const HostServiceTable& host;

  LumetraObject Create(const char* kind, const char* name, const void* data = nullptr) const {
    return host.ObjectCreate ? host.ObjectCreate(ctx, kind, name, nullptr, data) : nullptr;
  }
  bool Set(LumetraObject object, const char* key, intptr_t value, int32_t index = 0) const {
    return host.ObjectSetValue && host.ObjectSetValue(ctx, object, key, value, index) != 0;
  }
  // Optional functions are set only when the format has them.
  template <typename Fn>
  bool SetFunction(LumetraObject object, const char* key, Fn fn) const {
    return fn == nullptr || Set(object, key, Value(fn));
  }
  bool Complete(LumetraObject object) const {
    return host.ObjectComplete && host.ObjectComplete(ctx, object) != 0;
  }

  bool Input(const InputDef& def) const {
    LumetraObject format = Create("InputFormat", def.name);
    if (format == nullptr) return false;
    bool ok = Set(format, "Version", kFormatVersion) && Set(format, "Flags", def.flags) &&
              Set(format, "Name", Value(def.name)) &&
              Set(format, "Description", Value(def.description));
    for (int32_t slot = 0; ok && slot < INPUT_FORMAT_EXT_SLOTS && def.extensions[slot]; ++slot) {
      // Slots past the first are chosen by the index argument.
      ok = Set(format, "Ext0", Value(def.extensions[slot]), slot);
    }
    ok = ok && SetFunction(format, "ImageLoaderFunction", def.image_loader) &&
         SetFunction(format, "ImageInformatorFunction", def.image_informator) &&
         SetFunction(format, "ImageBrowserFunction", def.image_browser) &&
         SetFunction(format, "LayersEnumeratorFunction", def.layers) &&
         SetFunction(format, "SoundLoaderFunction", def.sound_loader) &&
         SetFunction(format, "SoundInformatorFunction", def.sound_informator);
    if (!ok) return false;
    // A format the host knows in this or a newer version already is no failure.
    Complete(format);
    return true;
  }

  bool Parameters(LumetraObject format, std::span<const ParamFieldDef> fields) const {
    if (fields.empty()) return true;
    // Field addresses are base + offset over a prototype that outlives the template.
    alignas(std::max_align_t) static const unsigned char prototype[64] = {};
    LumetraObject tmpl = Create("template", nullptr, prototype);
    if (tmpl == nullptr) return false;
    bool ok = host.ObjectAddField != nullptr;
    for (const ParamFieldDef& field : fields) {
      ok = ok && field.offset + 4 <= sizeof prototype &&
           host.ObjectAddField(ctx, reinterpret_cast<LumetraTemplate>(tmpl), field.name,
                               field.type, prototype + field.offset, 1) != 0;
    }
    ok = ok && Set(format, "Parameters", Value(tmpl));
    if (host.ObjectOperation) host.ObjectOperation(ctx, tmpl, "Delete", nullptr);
    return ok;
  }

  bool Output(const OutputDef& def) const {
    LumetraObject format = Create("OutputFormat", def.name);
    if (format == nullptr) return false;
    const bool ok =
        Set(format, "Version", kFormatVersion) && Set(format, "Ext", Value(def.ext)) &&
        Set(format, "Name", Value(def.name)) &&
        Set(format, "Description", Value(def.description)) && Set(format, "Flags", def.flags) &&
        SetFunction(format, "ImageSaverFunction", def.image_saver) &&
        SetFunction(format, "ImageStartFunction", def.image_start) &&
        SetFunction(format, "ImageFinishFunction", def.image_finish) &&
        SetFunction(format, "ImageCheckFunction", def.image_check) &&
        SetFunction(format, "SoundSaverFunction", def.sound_saver) &&
        SetFunction(format, "SoundStartFunction", def.sound_start) &&
        SetFunction(format, "SoundFinishFunction", def.sound_finish) &&
        SetFunction(format, "SoundCheckFunction", def.sound_check) &&
        Parameters(format, def.params);
    if (!ok) return false;
    Complete(format);
    return true;
  }
};

int32_t GetLibInfo(HostCallContext* ctx, const HostServiceTable* table) {
  HostCopy(table);
  const Registrar registrar{ctx, Host()};
  // Every format is tried; one failure fails the call, the others stay registered.
  bool all = true;
  for (const InputDef& def : InputDefs()) all = registrar.Input(def) && all;
  for (const OutputDef& def : OutputDefs()) {
    if (OutputAvailable(def)) all = registrar.Output(def) && all;
  }
  return all ? 1 : 0;
}

}  // namespace
}  // namespace formats

extern "C" LUMETRA_EXPORT int32_t ZOLT_GetLibInfo(HostCallContext* ctx,
                                                  const HostServiceTable* table) {
  return formats::Guarded<int32_t>(ctx, 0, [&] { return formats::GetLibInfo(ctx, table); });
}
