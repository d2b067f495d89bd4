// The typed-object calls through which libraries and scripts create and describe objects.
// Each matches a typedef of the plug-in header; errors go to the context as text.
#pragma once

#include <cstdint>

#include "clipdata/template.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

// Start-up: interns the standard names and registers the built-in "delete" operation.
void TypedObjectsInit();

void* ObjectCreate(HostCallContext* ctx, const char* kind, const char* name, void* tmpl,
                   const void* data);
int32_t ObjectAddField(HostCallContext* ctx, void* tmpl, const char* field_name,
                       const char* type_name, const void* field_address, int32_t count);
intptr_t ObjectSetValue(HostCallContext* ctx, void* object, const char* key, intptr_t value,
                        int32_t index);
int32_t V_ObjectSetValue(HostCallContext* ctx, void* object, void* tmpl, const void* data);
intptr_t ObjectComplete(HostCallContext* ctx, void* object);
intptr_t ObjectOperation(HostCallContext* ctx, void* object, const char* operation, void* argument);
int32_t TemplateGetProperty(void* tmpl, const char* name, int32_t type, void* out,
                            int32_t out_size);
int32_t TemplateSetProperty(void* tmpl, const char* name, int32_t type, intptr_t value);

// The first element of a field in a structure at data, as ObjectSetValue takes it: bytes and
// words zero-extended, dwords sign-extended, floats as their bit pattern, pointers as is.
intptr_t TemplateFieldValue(const TemplateField& field, const void* data);
// The first element of the float or dword field of that name, its 4 bytes read as f32
// (vertex handle values arrive either way); false when there is none.
bool TemplateFieldFloat(const Template& tmpl, std::string_view name, const void* data, float* out);

}  // namespace lumetra::project
