// The typed-object calls: argument checks, built-in templates and descriptors, and
// dispatch to the registered kinds.
#include "host/typed_object.h"

#include <cstring>
#include <new>
#include <string>

#include "clipdata/atom.h"
#include "clipdata/clip_data_memory.h"
#include "host/object_error.h"
#include "host/object_geometry.h"
#include "host/object_kind.h"
#include "host/plugin_registry.h"

namespace lumetra::project {
namespace {

Template* LiveTemplate(void* object) {
  return TemplateIsLive(object) ? static_cast<Template*>(object) : nullptr;
}

intptr_t DeleteOperation(HostCallContext* ctx, void* object, int32_t kind, void*) {
  if (object == nullptr) {
    ObjectReportError(ctx, "No object specified");
    return 0;
  }
  // Only data descriptors may be deleted: templates stay alive for the records that point
  // at them, and every other kind has an owner of its own.
  if (kind == OBJECT_KIND_DATA_DESCRIPTOR) {
    auto* d = static_cast<DataDescriptor*>(object);
    if (d->pinned) {
      ObjectReportError(ctx, "Data descriptor is in use");
      return 0;
    }
    DescriptorDeleter{}(d);
    return 1;
  }
  return 0;
}

}  // namespace

void TypedObjectsInit() {
  AtomInternStandardNames();
  ObjectOperationRegister("delete", DeleteOperation);
  ObjectGeometryRegister();
  PluginObjectsRegister();
}

intptr_t TemplateFieldValue(const TemplateField& field, const void* data) {
  const auto* at = static_cast<const unsigned char*>(data) + field.offset;
  switch (field.type) {
    case FIELD_TYPE_BYTE:
      return *at;
    case FIELD_TYPE_WORD: {
      uint16_t v;
      std::memcpy(&v, at, sizeof v);
      return v;
    }
    case FIELD_TYPE_DWORD: {
      int32_t v;
      std::memcpy(&v, at, sizeof v);
      return v;
    }
    case FIELD_TYPE_FLOAT: {
      uint32_t v;
      std::memcpy(&v, at, sizeof v);
      return static_cast<intptr_t>(v);
    }
    default: {
      intptr_t v;
      std::memcpy(&v, at, sizeof v);
      return v;
    }
  }
}

bool TemplateFieldFloat(const Template& tmpl, std::string_view name, const void* data, float* out) {
  const Atom* atom = AtomFind(name);
  if (atom == nullptr || data == nullptr) return false;
  for (const TemplateField& f : tmpl.fields) {
    if (f.name != atom || (f.type != FIELD_TYPE_FLOAT && f.type != FIELD_TYPE_DWORD)) continue;
    std::memcpy(out, static_cast<const unsigned char*>(data) + f.offset, sizeof *out);
    return true;
  }
  return false;
}

namespace {

// Nothing may escape across the plug-in boundary: a failure inside becomes a reported text.
template <typename Result, typename Body>
Result Guarded(HostCallContext* ctx, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    ObjectReportError(ctx, "Memory allocation fails");
  } catch (...) {
    ObjectReportError(ctx, "Internal error");
  }
  return Result{};
}

void* CreateObject(HostCallContext* ctx, const char* kind, const char* name, void* tmpl,
                   const void* data) {
  if (kind == nullptr) return nullptr;
  if (AtomCompare(kind, "template") == 0) {
    Template* made = TemplateNew(reinterpret_cast<uintptr_t>(data), name ? name : "");
    if (made == nullptr) ObjectReportError(ctx, "No memory to create template");
    return made;
  }
  auto handler = ObjectKindFindByCreateName(kind);
  if (handler == nullptr || !handler->create) {
    ObjectReportError(ctx, "Unknown object type '" + std::string(kind) + "'");
    return nullptr;
  }
  const Template* initial = LiveTemplate(tmpl);
  void* object = handler->create(ctx, kind, name, initial, data);
  if (object == nullptr || initial == nullptr || data == nullptr || !handler->set_value ||
      !handler->complete)
    return object;
  try {
    for (const TemplateField& f : initial->fields)
      handler->set_value(ctx, object, f.spelling.c_str(), TemplateFieldValue(f, data), 0);
  } catch (...) {
    if (handler->discard) handler->discard(object);  // nothing half made is left behind
    throw;
  }
  if (handler->complete_object) return handler->complete_object(ctx, object);
  return handler->complete(ctx, object) != 0 ? object : nullptr;
}

}  // namespace

void* ObjectCreate(HostCallContext* ctx, const char* kind, const char* name, void* tmpl,
                   const void* data) {
  return Guarded<void*>(ctx, [&] { return CreateObject(ctx, kind, name, tmpl, data); });
}

int32_t ObjectAddField(HostCallContext* ctx, void* tmpl, const char* field_name,
                       const char* type_name, const void* field_address, int32_t count) {
  return Guarded<int32_t>(ctx, [&]() -> int32_t {
    Template* t = LiveTemplate(tmpl);
    if (t == nullptr) {
      ObjectReportError(ctx, "No template specified");
      return 0;
    }
    std::string error = TemplateAddField(*t, field_name, type_name,
                                         reinterpret_cast<uintptr_t>(field_address), count);
    if (!error.empty()) {
      ObjectReportError(ctx, error);
      return 0;
    }
    return 1;
  });
}

intptr_t ObjectSetValue(HostCallContext* ctx, void* object, const char* key, intptr_t value,
                        int32_t index) {
  if (object == nullptr) {
    ObjectReportError(ctx, "ObjectSetValue: No object specified.");
    return 0;
  }
  if (key == nullptr) {
    ObjectReportError(ctx, "ObjectSetValue: No property specified.");
    return 0;
  }
  auto handler = ObjectKindFind(ObjectKindOf(object));
  if (handler == nullptr || !handler->set_value) return 0;
  return Guarded<intptr_t>(ctx, [&] { return handler->set_value(ctx, object, key, value, index); });
}

int32_t V_ObjectSetValue(HostCallContext* ctx, void* object, void* tmpl, const void* data) {
  if (object == nullptr) {
    ObjectReportError(ctx, "V_ObjectSetValue: No object specified");
    return 0;
  }
  const Template* t = LiveTemplate(tmpl);
  if (t == nullptr) {
    ObjectReportError(ctx, "V_ObjectSetValue: No template specified");
    return 0;
  }
  if (data == nullptr) {
    ObjectReportError(ctx, "V_ObjectSetValue: Base address is incorrect");
    return 0;
  }
  auto handler = ObjectKindFind(ObjectKindOf(object));
  if (handler == nullptr || !handler->set_from_template) return 1;
  return Guarded<int32_t>(ctx, [&] { return handler->set_from_template(ctx, object, *t, data); });
}

intptr_t ObjectComplete(HostCallContext* ctx, void* object) {
  if (object == nullptr) {
    ObjectReportError(ctx, "ObjectComplete: No object specified.");
    return 0;
  }
  auto handler = ObjectKindFind(ObjectKindOf(object));
  if (handler == nullptr || !handler->complete) {
    ObjectReportError(ctx, "ObjectComplete: Unsupported object type.");
    return 0;
  }
  return Guarded<intptr_t>(ctx, [&] { return handler->complete(ctx, object); });
}

intptr_t ObjectOperation(HostCallContext* ctx, void* object, const char* operation,
                         void* argument) {
  const Atom* op = operation ? AtomFind(operation) : nullptr;
  if (op == nullptr) {
    ObjectReportError(ctx, "Unknown operation");
    return 0;
  }
  auto handler = ObjectOperationFind(op);
  if (handler == nullptr) return 0;
  return Guarded<intptr_t>(ctx,
                           [&] { return (*handler)(ctx, object, ObjectKindOf(object), argument); });
}

int32_t TemplateGetProperty(void* tmpl, const char* name, int32_t type, void* out,
                            int32_t out_size) {
  const Template* t = LiveTemplate(tmpl);
  if (t == nullptr || name == nullptr || out == nullptr || t->base == 0) return 0;
  if (type != FIELD_TYPE_DWORD && type != FIELD_TYPE_STRING) return 0;
  const TemplateField* f = TemplateFindField(*t, name, type);
  if (f == nullptr) return 0;
  const auto* at = reinterpret_cast<const unsigned char*>(t->base) + f->offset;
  if (type == FIELD_TYPE_DWORD) {
    if (out_size < static_cast<int32_t>(sizeof(uint32_t))) return 0;
    std::memcpy(out, at, sizeof(uint32_t));
    return 1;
  }
  if (out_size < 1) return 0;
  const char* text;
  std::memcpy(&text, at, sizeof text);
  const std::size_t room = static_cast<std::size_t>(out_size) - 1;
  const std::size_t length = text ? strnlen(text, room) : 0;
  std::memcpy(out, text ? text : "", length);
  static_cast<char*>(out)[length] = '\0';
  return 1;
}

int32_t TemplateSetProperty(void* tmpl, const char* name, int32_t type, intptr_t value) {
  const Template* t = LiveTemplate(tmpl);
  if (t == nullptr || name == nullptr || t->base == 0) return 0;
  if (type != FIELD_TYPE_DWORD && type != FIELD_TYPE_STRING) return 0;
  const TemplateField* f = TemplateFindField(*t, name, type);
  if (f == nullptr) return 0;
  auto* at = reinterpret_cast<unsigned char*>(t->base) + f->offset;
  if (type == FIELD_TYPE_DWORD) {
    const auto v = static_cast<uint32_t>(value);
    std::memcpy(at, &v, sizeof v);
    return 1;
  }
  const char* text = reinterpret_cast<const char*>(value);
  char* copy = ClipDataStringDup(text ? text : "");
  if (copy == nullptr) return 0;
  char* old;
  std::memcpy(&old, at, sizeof old);
  std::memcpy(at, &copy, sizeof copy);
  ClipDataRelease(old);  // only text the host allocated; a library's constant stays
  return 1;
}

}  // namespace lumetra::project
