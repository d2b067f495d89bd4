// The table of object kinds behind the typed-object calls. Templates (15) and data
// descriptors (18) are built in; effects, formats, geometry and dialog controls register
// their handlers from their own modules at start-up.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "clipdata/template.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

struct ObjectKindHandler {
  int32_t kind = 0;  // the tag its objects start with; 0 for a kind that makes no object
  // ObjectCreate names (any case) that make this kind, e.g. "vertex", "contour", "shape".
  std::vector<std::string> create_names;
  // Makes an object, or reports the error on ctx and gives null. tmpl is a live template
  // or null; data the caller's structure or null.
  std::function<void*(HostCallContext* ctx, std::string_view create_name, const char* name,
                      const Template* tmpl, const void* data)>
      create;
  // Whether a pointer is a live object of this kind; must not read through unknown pointers.
  std::function<bool(const void* object)> owns;
  // ObjectSetValue for this kind (null: answers 0). With create, a template and data make
  // ObjectCreate apply each field as a key and complete the object at once.
  std::function<intptr_t(HostCallContext* ctx, void* object, const char* key, intptr_t value,
                         int32_t index)>
      set_value;
  // ObjectComplete (null: "ObjectComplete: Unsupported object type."). When it answers 0
  // it has disposed of the object.
  std::function<intptr_t(HostCallContext* ctx, void* object)> complete;
  // ObjectCreate with a template and data completes through this when set: the record
  // that stands registered afterwards (an older one may survive and the new one be freed),
  // or null.
  std::function<void*(HostCallContext* ctx, void* object)> complete_object;
  // Frees an object that ObjectCreate made but could not finish (a failure while applying
  // the template's values). Null: the object is left to its kind.
  std::function<void(void* object)> discard;
  // V_ObjectSetValue (null: answers 1, nothing changes).
  std::function<int32_t(HostCallContext* ctx, void* object, const Template& tmpl, const void* data)>
      set_from_template;
};

// Adds a handler, replacing an earlier one of the same kind (kind 0 handlers replace by
// their first create name).
void ObjectKindRegister(ObjectKindHandler handler);
// Removes the handler of a kind (tests, shutdown).
void ObjectKindUnregister(int32_t kind);
// The kind of a pointer: 15 or 18 for live templates and descriptors, a registered kind
// whose handler owns it, else 0. Never reads through the pointer itself.
int32_t ObjectKindOf(const void* object);

// An operation applied by ObjectOperation: object (may be null) of the kind found, and the
// argument object (may be null). Result: an object for the Next* queries, else 1 or 0.
using ObjectOperationHandler =
    std::function<intptr_t(HostCallContext* ctx, void* object, int32_t kind, void* argument)>;
// Registers an operation name (interned); replaces an earlier handler of that name.
void ObjectOperationRegister(std::string_view name, ObjectOperationHandler handler);
void ObjectOperationUnregister(std::string_view name);

// Looked up by the typed-object calls; null when none is registered. A handler stays valid
// for its holder even when it is replaced meanwhile.
std::shared_ptr<const ObjectKindHandler> ObjectKindFindByCreateName(std::string_view name);
std::shared_ptr<const ObjectKindHandler> ObjectKindFind(int32_t kind);
std::shared_ptr<const ObjectOperationHandler> ObjectOperationFind(const Atom* name);

}  // namespace lumetra::project
