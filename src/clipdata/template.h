// Templates (a library structure's named, typed fields) and the data descriptors compiled
// from them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "clipdata/atom.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

// The largest clip data block a template may describe; larger layouts are refused.
inline constexpr uint32_t kMaxDataSize = 16u << 20;

struct FieldTypeName {
  std::string_view name;
  int32_t code;
};
// Every type name and its code; names match without regard to case.
std::span<const FieldTypeName> FieldTypeNames();
// The code for a type name, FIELD_TYPE_UNKNOWN (0) when there is none.
int32_t FieldTypeFromName(std::string_view name);
// Keyfloat, geometry, string and ALLOCBUF elements are pointers.
bool FieldTypeIsPointer(int32_t type);
// Element size in a block in memory: pointers are pointer-sized; unknown codes take 4.
uint32_t FieldElementSize(int32_t type);
// Element size in the stored layout: 1 for bytes, 2 for words, 4 for every other type.
uint32_t FieldFileElementSize(int32_t type);

struct TemplateField {
  const Atom* name = nullptr;
  std::string spelling;  // the name as the library wrote it (the atom may be spelt otherwise)
  int32_t type = FIELD_TYPE_UNKNOWN;
  uint32_t offset = 0;  // field address minus the template's base address
  uint32_t count = 1;   // at least 1
};

// Kind 15: built by a library at registration; base is its prototype structure.
struct Template {
  int32_t kind = OBJECT_KIND_TEMPLATE;
  uintptr_t base = 0;
  const Atom* name = nullptr;
  std::vector<TemplateField> fields;  // in the order they were added
};

// A new template known to the object calls (ObjectKindOf answers 15 until deleted).
Template* TemplateNew(uintptr_t base, std::string_view name = {});
void TemplateDelete(Template* tmpl);
bool TemplateIsLive(const void* object);
struct TemplateDeleter {
  void operator()(Template* t) const { TemplateDelete(t); }
};
using TemplatePtr = std::unique_ptr<Template, TemplateDeleter>;

// Appends a field; "" on success, else the error text. count 0 is taken as 1.
std::string TemplateAddField(Template& tmpl, const char* field_name, const char* type_name,
                             uintptr_t field_address, int64_t count);
// The block size in memory for the template's fields (see DataDescriptor::data_size).
uint32_t TemplateDataSize(const Template& tmpl);
// The field with this name (any case) and type, or null.
const TemplateField* TemplateFindField(const Template& tmpl, std::string_view name, int32_t type);

struct DescriptorField {
  uint32_t offset = 0;       // in the block in memory (a real offset of the library's struct)
  uint32_t file_offset = 0;  // in the stored layout (4-byte pointers), written to files
  uint16_t type = FIELD_TYPE_UNKNOWN;
  std::string name;  // owned copy of the atom's text
  uint32_t count = 1;
};

// Kind 18: a template compiled into an array; kept by an effect or format record.
struct DataDescriptor {
  int32_t kind = OBJECT_KIND_DATA_DESCRIPTOR;
  uint32_t data_size = 0;               // block size in memory: 0 without fields
  uint32_t file_data_size = 0;          // the stored layout's size, as files record it
  uint32_t element_count = 0;           // sum of the counts
  bool pinned = false;                  // held by a record: the "delete" operation refuses it
  std::vector<DescriptorField> fields;  // in template order
};

// A field of a stored data template, as a file reader found it.
struct FileField {
  uint32_t offset = 0;
  uint16_t type = FIELD_TYPE_UNKNOWN;
  std::string name;
  uint32_t count = 1;
};

struct DescriptorDeleter {
  void operator()(DataDescriptor* d) const;
};
using DescriptorPtr = std::unique_ptr<DataDescriptor, DescriptorDeleter>;

// Compiles a library template: memory offsets are the template's real offsets, stored
// offsets are the same layout with 4-byte pointers.
DescriptorPtr DescriptorCompile(const Template& tmpl);
// A descriptor for a stored template: the block is laid out natively from the field order
// and types (the stored offsets are kept only to be written back). Null with the error text
// in *error when a count or the size is out of range.
DescriptorPtr DescriptorFromFile(std::span<const FileField> fields, std::string* error = nullptr);
// Same number of fields and each the same stored offset, type, count and name (any case),
// in order.
bool DescriptorSameLayout(const DataDescriptor& a, const DataDescriptor& b);
bool DescriptorIsLive(const void* object);

}  // namespace lumetra::project
