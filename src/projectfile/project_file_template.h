// Clip data against templates for project files: the Data template chunk's image of a
// template, native templates laid out from a file's fields, and the Clip data payload of a
// block, field by field in template order.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "projectfile/chunk_reader.h"
#include "projectfile/project_file_doc.h"

namespace lumetra::geometry {
struct Geometry;
}

namespace lumetra::project {

struct Template;

// A template built here (virtual processes); it owns what it lays out.
class NativeTemplate {
 public:
  virtual ~NativeTemplate() = default;
  virtual const Template* Get() const = 0;
};
using NativeTemplatePtr = std::unique_ptr<NativeTemplate>;

// A native layout of the file's fields (types and counts; the file's offsets are not used to
// address memory). None when the fields are too large to lay out.
NativeTemplatePtr NativeTemplateFromFile(const FileTemplate& tmpl);

// The Data template chunk's image of a registered template: data size, fields in order.
FileTemplate TemplateToFile(const Template* tmpl);
uint32_t TemplateDataSize(const Template* tmpl);

using GeometryNumbers = std::unordered_map<const geometry::Geometry*, int32_t>;
using GeometryByNumber = std::unordered_map<int32_t, geometry::Geometry*>;

// The payload of a block's Clip data chunk.
void ClipDataEncode(const Template* tmpl, const void* block, const GeometryNumbers& numbers,
                    std::vector<uint8_t>& out);
// A new block from a payload; null when the template has no data. False (nothing allocated)
// when an element cannot be read or names a geometry number that is not in the project.
bool ClipDataDecode(const Template* tmpl, ByteSpan payload, const GeometryByNumber& geometry,
                    void** out);

}  // namespace lumetra::project
