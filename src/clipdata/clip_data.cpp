// Clip data blocks: create, deep copy and free by template or data descriptor.
#include "clipdata/clip_data.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "anim/keyfloat.h"
#include "clipdata/clip_data_memory.h"
#include "platform/memory_log.h"

namespace lumetra::project {
namespace {

struct Slot {
  uint32_t offset;
  int32_t type;
  uint32_t count;
};

// A block layout without copying the field list (freeing must not need memory).
template <typename Field>
struct Layout {
  uint32_t size = 0;
  const std::vector<Field>* fields = nullptr;

  std::size_t Count() const { return fields ? fields->size() : 0; }
  Slot operator[](std::size_t i) const {
    const Field& f = (*fields)[i];
    return Slot{f.offset, static_cast<int32_t>(f.type), f.count};
  }
};

Layout<TemplateField> LayoutOf(const Template* tmpl) {
  if (tmpl == nullptr) return {};
  return {TemplateDataSize(*tmpl), &tmpl->fields};
}

Layout<DescriptorField> LayoutOf(const DataDescriptor* d) {
  if (d == nullptr) return {};
  return {d->data_size, &d->fields};
}

// Checked against its literal format at every call, as printf is.
[[gnu::format(printf, 1, 2)]] void Log(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  platform::DebugLog(line);
}

// Whether every element of the slot lies inside a block of the given size.
bool Inside(const Slot& s, uint64_t size) {
  return uint64_t{s.offset} + uint64_t{s.count} * FieldElementSize(s.type) <= size;
}

void* LoadPointer(const unsigned char* at) {
  void* p;
  std::memcpy(&p, at, sizeof p);
  return p;
}

void StorePointer(unsigned char* at, const void* p) {
  std::memcpy(at, &p, sizeof p);
}

// A copy of one owned element; false when it cannot be made (out stays null).
bool CopyElement(int32_t type, const void* from, void** out) {
  *out = nullptr;
  if (from == nullptr) return true;
  switch (type) {
    case FIELD_TYPE_KEYFLOAT:
      *out = anim::KeyfloatCopy(static_cast<const KeyfloatKey*>(from));
      return *out != nullptr;
    case FIELD_TYPE_STRING: {
      const char* text = static_cast<const char*>(from);
      const std::size_t room = ClipDataAllocSize(from);
      // A host string must end inside its allocation; other text (a library's constant)
      // is read as the library gave it.
      const std::size_t length = room > 0 ? strnlen(text, room) : std::strlen(text);
      if (room > 0 && length == room) return false;
      *out = ClipDataStringDup(std::string_view(text, length));
      return *out != nullptr;
    }
    case FIELD_TYPE_ALLOCBUF: {
      // The size word must be at least itself and within the real allocation.
      const std::size_t room = ClipDataAllocSize(from);
      if (room < sizeof(uint32_t)) return false;
      uint32_t size;
      std::memcpy(&size, from, sizeof size);
      if (size < sizeof(uint32_t) || size > room) return false;
      *out = ClipDataAlloc(size);
      if (*out == nullptr) return false;
      std::memcpy(*out, from, size);
      return true;
    }
    default:
      return false;
  }
}

template <typename Field>
void FreeBlock(const Layout<Field>& layout, void* block) {
  if (block == nullptr) return;
  const std::size_t room = ClipDataAllocSize(block);
  if (room == 0) {
    Log("DataFree: the block was not allocated by the host; left alone");
    return;
  }
  auto* bytes = static_cast<unsigned char*>(block);
  for (std::size_t i = 0; i < layout.Count(); ++i) {
    const Slot s = layout[i];
    if (!FieldTypeIsPointer(s.type) || !Inside(s, room)) continue;
    for (uint32_t e = 0; e < s.count; ++e) {
      unsigned char* at = bytes + s.offset + uint64_t{e} * sizeof(void*);
      void* p = LoadPointer(at);
      StorePointer(at, nullptr);
      if (p == nullptr || s.type == FIELD_TYPE_GEOMETRY) continue;
      if (s.type == FIELD_TYPE_KEYFLOAT) {
        anim::KeyfloatFree(static_cast<KeyfloatKey*>(p));
      } else if (!ClipDataRelease(p)) {
        Log("DataFree: field %d holds memory the host did not allocate; left alone",
            static_cast<int>(i));
      }
    }
  }
  ClipDataRelease(block);
}

template <typename Field>
void* CopyBlock(const Layout<Field>& layout, const void* block) {
  if (layout.size == 0 || block == nullptr) return nullptr;
  // A recorded block smaller than its layout is not what the caller says it is.
  const std::size_t room = ClipDataAllocSize(block);
  if (room != 0 && room < layout.size) {
    Log("copy_data: Copy error. Block of %d bytes is smaller than its data size %d.",
        static_cast<int>(room), static_cast<int>(layout.size));
    return nullptr;
  }
  auto* copy = static_cast<unsigned char*>(ClipDataAlloc(layout.size));
  if (copy == nullptr) {
    Log("copy_data: Copy error. No memory. (size %d)", static_cast<int>(layout.size));
    return nullptr;
  }
  const auto* from = static_cast<const unsigned char*>(block);
  for (std::size_t i = 0; i < layout.Count(); ++i) {
    const Slot s = layout[i];
    bool ok = Inside(s, layout.size);
    switch (s.type) {
      case FIELD_TYPE_BYTE:
      case FIELD_TYPE_WORD:
      case FIELD_TYPE_DWORD:
      case FIELD_TYPE_FLOAT:
      case FIELD_TYPE_GEOMETRY:
        if (ok)
          std::memcpy(copy + s.offset, from + s.offset,
                      uint64_t{s.count} * FieldElementSize(s.type));
        break;
      case FIELD_TYPE_KEYFLOAT:
      case FIELD_TYPE_STRING:
      case FIELD_TYPE_ALLOCBUF:
        for (uint32_t e = 0; ok && e < s.count; ++e) {
          const uint64_t at = s.offset + uint64_t{e} * sizeof(void*);
          void* element = nullptr;
          ok = CopyElement(s.type, LoadPointer(from + at), &element);
          StorePointer(copy + at, element);
        }
        break;
      case 13:
        ok = false;
        break;
      default:
        Log("copy_data: Unknown data field type %d (field %d)", static_cast<int>(s.type),
            static_cast<int>(i));
        break;
    }
    if (!ok) {
      Log("copy_data: Copy error. Field type %d. Field %d.", static_cast<int>(s.type),
          static_cast<int>(i));
      FreeBlock(layout, copy);
      return nullptr;
    }
  }
  return copy;
}

template <typename Field>
void* CreateBlock(const Layout<Field>& layout) {
  return layout.size == 0 ? nullptr : ClipDataAlloc(layout.size);
}

}  // namespace

void* ClipDataCreate(const Template* tmpl) {
  return CreateBlock(LayoutOf(tmpl));
}
void* ClipDataCopy(const Template* tmpl, const void* block) {
  return CopyBlock(LayoutOf(tmpl), block);
}
void ClipDataFree(const Template* tmpl, void* block) {
  FreeBlock(LayoutOf(tmpl), block);
}

void* DataCreate(const DataDescriptor* descriptor) {
  return CreateBlock(LayoutOf(descriptor));
}
void* DataCopy(const DataDescriptor* descriptor, const void* block) {
  return CopyBlock(LayoutOf(descriptor), block);
}
void DataFree(const DataDescriptor* descriptor, void* block) {
  FreeBlock(LayoutOf(descriptor), block);
}

}  // namespace lumetra::project
