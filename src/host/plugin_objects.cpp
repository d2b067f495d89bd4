// The effect, input format and output format kinds of the typed-object calls.
#include <string>

#include "host/object_error.h"
#include "host/object_kind.h"
#include "host/plugin_registry.h"

namespace lumetra::project {
namespace {

void RegisterEffectKind() {
  ObjectKindHandler h;
  h.kind = OBJECT_KIND_EFFECT;
  h.create_names = {"effect"};
  h.create = [](HostCallContext* ctx, std::string_view, const char* name, const Template*,
                const void*) -> void* {
    if (name == nullptr || *name == '\0') {
      ObjectReportError(ctx, "Signature is not specified for effect. Effect ignored.");
      return nullptr;
    }
    return EffectNew(name);
  };
  h.owns = EffectIsLive;
  h.set_value = [](HostCallContext* ctx, void* o, const char* key, intptr_t v, int32_t) {
    return EffectSetValue(ctx, static_cast<ProcessRecord*>(o), key, v);
  };
  h.complete = [](HostCallContext* ctx, void* o) -> intptr_t {
    return EffectRegister(ctx, static_cast<ProcessRecord*>(o)) != nullptr ? 1 : 0;
  };
  h.complete_object = [](HostCallContext* ctx, void* o) -> void* {
    return EffectRegister(ctx, static_cast<ProcessRecord*>(o));
  };
  h.discard = [](void* o) { EffectDiscard(static_cast<ProcessRecord*>(o)); };
  ObjectKindRegister(std::move(h));
}

void RegisterInputFormatKind() {
  ObjectKindHandler h;
  h.kind = OBJECT_KIND_INPUT_FORMAT;
  h.create_names = {"InputFormat"};
  h.create = [](HostCallContext*, std::string_view, const char* name, const Template*,
                const void*) -> void* { return InputFormatNew(name); };
  h.owns = InputFormatIsLive;
  h.set_value = [](HostCallContext* ctx, void* o, const char* key, intptr_t v, int32_t index) {
    return InputFormatSetValue(ctx, static_cast<InputFormat*>(o), key, v, index);
  };
  h.complete = [](HostCallContext* ctx, void* o) -> intptr_t {
    return InputFormatRegister(ctx, static_cast<InputFormat*>(o)) != nullptr ? 1 : 0;
  };
  h.complete_object = [](HostCallContext* ctx, void* o) -> void* {
    return InputFormatRegister(ctx, static_cast<InputFormat*>(o));
  };
  h.discard = [](void* o) { InputFormatDiscard(static_cast<InputFormat*>(o)); };
  ObjectKindRegister(std::move(h));
}

void RegisterOutputFormatKind() {
  ObjectKindHandler h;
  h.kind = OBJECT_KIND_OUTPUT_FORMAT;
  h.create_names = {"OutputFormat"};
  h.create = [](HostCallContext*, std::string_view, const char* name, const Template*,
                const void*) -> void* { return OutputFormatNew(name); };
  h.owns = OutputFormatIsLive;
  h.set_value = [](HostCallContext* ctx, void* o, const char* key, intptr_t v, int32_t) {
    return OutputFormatSetValue(ctx, static_cast<OutputFormat*>(o), key, v);
  };
  h.complete = [](HostCallContext* ctx, void* o) -> intptr_t {
    return OutputFormatRegister(ctx, static_cast<OutputFormat*>(o)) != nullptr ? 1 : 0;
  };
  h.complete_object = [](HostCallContext* ctx, void* o) -> void* {
    return OutputFormatRegister(ctx, static_cast<OutputFormat*>(o));
  };
  h.discard = [](void* o) { OutputFormatDiscard(static_cast<OutputFormat*>(o)); };
  ObjectKindRegister(std::move(h));
}

}  // namespace

void PluginObjectsRegister() {
  RegisterEffectKind();
  RegisterInputFormatKind();
  RegisterOutputFormatKind();
}

}  // namespace lumetra::project
