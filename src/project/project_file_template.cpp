// Clip data against templates. Until typed templates exist every template is empty: no
// block is written or read.
#include "project/project_file_template.h"

namespace lumetra::project {

namespace {
class EmptyTemplate final : public NativeTemplate {
 public:
  const Template* Get() const override { return nullptr; }
};
}  // namespace

NativeTemplatePtr NativeTemplateFromFile(const FileTemplate&) {
  return std::make_unique<EmptyTemplate>();
}

FileTemplate TemplateToFile(const Template*) { return {}; }
uint32_t TemplateDataSize(const Template*) { return 0; }

void ClipDataEncode(const Template*, const void*, const GeometryNumbers&, std::vector<uint8_t>&) {}

bool ClipDataDecode(const Template*, ByteSpan, const GeometryByNumber&, void** out) {
  *out = nullptr;
  return true;
}

}  // namespace lumetra::project
