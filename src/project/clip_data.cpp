// Clip data blocks. Until templates land every template is empty: blocks are null.
#include "project/clip_data.h"

namespace lumetra::project {

void* ClipDataCreate(const Template*) {
  return nullptr;
}
void* ClipDataCopy(const Template*, const void*) {
  return nullptr;
}
void ClipDataFree(const Template*, void*) {}

}  // namespace lumetra::project
