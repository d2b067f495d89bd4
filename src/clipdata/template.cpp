// Templates and data descriptors: field types, field layout in memory and in files.
#include "clipdata/template.h"

#include <algorithm>
#include <mutex>
#include <numeric>
#include <unordered_set>

namespace lumetra::project {
namespace {

constexpr FieldTypeName kTypeNames[] = {
    {"byte", FIELD_TYPE_BYTE},         {"word", FIELD_TYPE_WORD},
    {"uint16", FIELD_TYPE_WORD},       {"short", FIELD_TYPE_WORD},
    {"int16", FIELD_TYPE_WORD},        {"dword", FIELD_TYPE_DWORD},
    {"uint32", FIELD_TYPE_DWORD},      {"long", FIELD_TYPE_DWORD},
    {"int32", FIELD_TYPE_DWORD},       {"keyfloat", FIELD_TYPE_KEYFLOAT},
    {"anifloat", FIELD_TYPE_KEYFLOAT}, {"float", FIELD_TYPE_FLOAT},
    {"geometry", FIELD_TYPE_GEOMETRY}, {"string", FIELD_TYPE_STRING},
    {"ALLOCBUF", FIELD_TYPE_ALLOCBUF},
};

// Objects made here, so that a pointer from a library is recognised without reading it.
struct LiveObjects {
  std::mutex mutex;
  std::unordered_set<const void*> templates;
  std::unordered_set<const void*> descriptors;
};

// Never destroyed: templates stay alive for the whole run (libraries never delete them), and
// they must stay reachable from here until the process ends.
LiveObjects& Live() {
  static auto* live = new LiveObjects;
  return *live;
}

uint64_t AlignUp(uint64_t value, uint64_t align) {
  return (value + align - 1) / align * align;
}

uint32_t NativeAlign(int32_t type) {
  return FieldElementSize(type);
}
uint32_t FileAlign(int32_t type) {
  return FieldFileElementSize(type);
}

// Size rule shared by both layouts: the largest field end, rounded up to 4 (and to the
// pointer size in memory when a pointer field makes the struct pointer-aligned).
template <typename Fields, typename OffsetOf, typename SizeOf>
uint64_t LayoutSize(const Fields& fields, OffsetOf offset_of, SizeOf size_of, uint64_t align) {
  uint64_t size = 0;
  for (const auto& f : fields) size = std::max(size, offset_of(f) + uint64_t{f.count} * size_of(f));
  return AlignUp(size, align);
}

bool HasPointer(const auto& fields) {
  return std::any_of(fields.begin(), fields.end(),
                     [](const auto& f) { return FieldTypeIsPointer(f.type); });
}

bool Owning(int32_t type) {
  return type == FIELD_TYPE_KEYFLOAT || type == FIELD_TYPE_STRING || type == FIELD_TYPE_ALLOCBUF;
}

}  // namespace

std::span<const FieldTypeName> FieldTypeNames() {
  return kTypeNames;
}

int32_t FieldTypeFromName(std::string_view name) {
  for (const FieldTypeName& t : kTypeNames)
    if (AtomCompare(t.name, name) == 0) return t.code;
  return FIELD_TYPE_UNKNOWN;
}

bool FieldTypeIsPointer(int32_t type) {
  return type == FIELD_TYPE_KEYFLOAT || type == FIELD_TYPE_GEOMETRY || type == FIELD_TYPE_STRING ||
         type == FIELD_TYPE_ALLOCBUF;
}

uint32_t FieldElementSize(int32_t type) {
  if (FieldTypeIsPointer(type)) return sizeof(void*);
  return FieldFileElementSize(type);
}

uint32_t FieldFileElementSize(int32_t type) {
  if (type == FIELD_TYPE_BYTE) return 1;
  if (type == FIELD_TYPE_WORD) return 2;
  return 4;
}

Template* TemplateNew(uintptr_t base, std::string_view name) {
  auto tmpl = std::make_unique<Template>();
  tmpl->base = base;
  if (!name.empty()) tmpl->name = AtomIntern(name);
  LiveObjects& live = Live();
  std::lock_guard lock(live.mutex);
  live.templates.insert(tmpl.get());
  return tmpl.release();
}

void TemplateDelete(Template* tmpl) {
  if (tmpl == nullptr) return;
  {
    LiveObjects& live = Live();
    std::lock_guard lock(live.mutex);
    if (live.templates.erase(tmpl) == 0) return;  // not ours, or already deleted
  }
  std::unique_ptr<Template> owned(tmpl);
}

bool TemplateIsLive(const void* object) {
  LiveObjects& live = Live();
  std::lock_guard lock(live.mutex);
  return object != nullptr && live.templates.contains(object);
}

std::string TemplateAddField(Template& tmpl, const char* field_name, const char* type_name,
                             uintptr_t field_address, int64_t count) {
  if (field_name == nullptr || *field_name == '\0') return "No field name specified";
  if (type_name == nullptr || *type_name == '\0') return "No field type specified";
  const int32_t type = FieldTypeFromName(type_name);
  if (type == FIELD_TYPE_UNKNOWN) return "Unknown field type specified";
  if (field_address < tmpl.base) return "Illegal field address specified";
  const uint64_t offset = field_address - tmpl.base;
  // A pointer field must be pointer-aligned: the library itself could not use it otherwise.
  if (offset > kMaxDataSize || (FieldTypeIsPointer(type) && offset % sizeof(void*) != 0))
    return "Illegal field address specified";
  if (count < 0) return "Illegal field count specified";
  if (count == 0) count = 1;
  const uint64_t end = offset + static_cast<uint64_t>(count) * FieldElementSize(type);
  if (count > kMaxDataSize || end > kMaxDataSize) return "Illegal field count specified";
  // Two fields sharing memory would make the block free or copy what it owns twice.
  for (const TemplateField& f : tmpl.fields) {
    const uint64_t f_end = f.offset + uint64_t{f.count} * FieldElementSize(f.type);
    const bool overlap = offset < f_end && f.offset < end;
    if (overlap && (Owning(type) || Owning(f.type))) return "Illegal field address specified";
  }
  tmpl.fields.push_back(TemplateField{AtomIntern(field_name), field_name, type,
                                      static_cast<uint32_t>(offset), static_cast<uint32_t>(count)});
  return {};
}

uint32_t TemplateDataSize(const Template& tmpl) {
  const uint64_t align = HasPointer(tmpl.fields) ? std::max<size_t>(4, sizeof(void*)) : 4;
  return static_cast<uint32_t>(LayoutSize(
      tmpl.fields, [](const TemplateField& f) { return uint64_t{f.offset}; },
      [](const TemplateField& f) { return uint64_t{FieldElementSize(f.type)}; }, align));
}

const TemplateField* TemplateFindField(const Template& tmpl, std::string_view name, int32_t type) {
  const Atom* atom = AtomFind(name);
  if (atom == nullptr) return nullptr;
  for (const TemplateField& f : tmpl.fields)
    if (f.name == atom && f.type == type) return &f;
  return nullptr;
}

void DescriptorDeleter::operator()(DataDescriptor* d) const {
  if (d == nullptr) return;
  {
    LiveObjects& live = Live();
    std::lock_guard lock(live.mutex);
    live.descriptors.erase(d);
  }
  std::unique_ptr<DataDescriptor> owned(d);
}

namespace {

DescriptorPtr NewDescriptor() {
  DescriptorPtr d(std::make_unique<DataDescriptor>().release());
  LiveObjects& live = Live();
  std::lock_guard lock(live.mutex);
  live.descriptors.insert(d.get());
  return d;
}

void FinishSizes(DataDescriptor& d) {
  const uint64_t align = HasPointer(d.fields) ? std::max<size_t>(4, sizeof(void*)) : 4;
  d.data_size = static_cast<uint32_t>(LayoutSize(
      d.fields, [](const DescriptorField& f) { return uint64_t{f.offset}; },
      [](const DescriptorField& f) { return uint64_t{FieldElementSize(f.type)}; }, align));
  d.file_data_size = static_cast<uint32_t>(LayoutSize(
      d.fields, [](const DescriptorField& f) { return uint64_t{f.file_offset}; },
      [](const DescriptorField& f) { return uint64_t{FieldFileElementSize(f.type)}; }, 4));
  d.element_count = 0;
  for (const DescriptorField& f : d.fields) d.element_count += f.count;
}

// Field indices in ascending order of the given offset (ties keep their order).
template <typename Offset>
std::vector<size_t> ByOffset(size_t n, Offset offset) {
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return offset(a) < offset(b); });
  return order;
}

}  // namespace

DescriptorPtr DescriptorCompile(const Template& tmpl) {
  DescriptorPtr d = NewDescriptor();
  d->fields.reserve(tmpl.fields.size());
  for (const TemplateField& f : tmpl.fields)
    d->fields.push_back(DescriptorField{f.offset, 0, static_cast<uint16_t>(f.type),
                                        f.name ? f.name->text : std::string(), f.count});
  // The stored layout is the same structure with 4-byte pointers: walk the fields by
  // address, keep each gap the natural alignment does not explain, align the rest anew.
  auto order = ByOffset(d->fields.size(), [&](size_t i) { return d->fields[i].offset; });
  uint64_t mem_end = 0;
  uint64_t file_end = 0;
  for (size_t i : order) {
    DescriptorField& f = d->fields[i];
    const int64_t gap =
        int64_t{f.offset} - static_cast<int64_t>(AlignUp(mem_end, NativeAlign(f.type)));
    const int64_t at = static_cast<int64_t>(AlignUp(file_end, FileAlign(f.type))) + gap;
    f.file_offset = static_cast<uint32_t>(std::max<int64_t>(0, at));
    mem_end = std::max<uint64_t>(mem_end, f.offset + uint64_t{f.count} * FieldElementSize(f.type));
    file_end = std::max<uint64_t>(file_end,
                                  f.file_offset + uint64_t{f.count} * FieldFileElementSize(f.type));
  }
  FinishSizes(*d);
  return d;
}

DescriptorPtr DescriptorFromFile(std::span<const FileField> fields, std::string* error) {
  auto fail = [&](std::string text) {
    if (error) *error = std::move(text);
    return DescriptorPtr();
  };
  DescriptorPtr d = NewDescriptor();
  d->fields.reserve(fields.size());
  for (const FileField& f : fields) {
    if (f.count > kMaxDataSize || f.offset > kMaxDataSize)
      return fail("Data template field '" + f.name + "' is out of range");
    d->fields.push_back(DescriptorField{0, f.offset, f.type, f.name, f.count});
  }
  // The inverse of the compile walk: the same gaps, pointers widened, and never two fields
  // on the same memory, whatever the file claims.
  auto order = ByOffset(d->fields.size(), [&](size_t i) { return d->fields[i].file_offset; });
  uint64_t mem_end = 0;
  uint64_t file_end = 0;
  for (size_t i : order) {
    DescriptorField& f = d->fields[i];
    const int64_t gap =
        int64_t{f.file_offset} - static_cast<int64_t>(AlignUp(file_end, FileAlign(f.type)));
    uint64_t at = AlignUp(mem_end, NativeAlign(f.type));
    if (gap > 0) at = AlignUp(at + static_cast<uint64_t>(gap), NativeAlign(f.type));
    const uint64_t end = at + uint64_t{f.count} * FieldElementSize(f.type);
    if (end > kMaxDataSize) return fail("Data template is too large");
    f.offset = static_cast<uint32_t>(at);
    mem_end = end;
    file_end = std::max<uint64_t>(file_end,
                                  f.file_offset + uint64_t{f.count} * FieldFileElementSize(f.type));
  }
  FinishSizes(*d);
  return d;
}

bool DescriptorSameLayout(const DataDescriptor& a, const DataDescriptor& b) {
  if (a.fields.size() != b.fields.size()) return false;
  for (size_t i = 0; i < a.fields.size(); ++i) {
    const DescriptorField& x = a.fields[i];
    const DescriptorField& y = b.fields[i];
    if (x.file_offset != y.file_offset || x.type != y.type || x.count != y.count ||
        AtomCompare(x.name, y.name) != 0)
      return false;
  }
  return true;
}

bool DescriptorIsLive(const void* object) {
  LiveObjects& live = Live();
  std::lock_guard lock(live.mutex);
  return object != nullptr && live.descriptors.contains(object);
}

}  // namespace lumetra::project
