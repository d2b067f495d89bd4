// Clip data against templates for project files. Blocks are addressed only through native
// templates (a library's, or one laid out here from a file's fields); a file's own offsets
// are kept only to be written back.
#include "projectfile/project_file_template.h"

#include <cstdio>
#include <cstring>

#include "anim/keyfloat_chunk.h"
#include "clipdata/clip_data.h"
#include "clipdata/clip_data_memory.h"
#include "clipdata/template.h"
#include "platform/memory_log.h"
#include "projectfile/chunk_ids.h"
#include "projectfile/chunk_writer.h"
#include "projectfile/project_reader.h"
#include "projectfile/project_writer.h"

namespace lumetra::project {

namespace {

class OwnedTemplate final : public NativeTemplate {
 public:
  explicit OwnedTemplate(TemplatePtr t) : t_(std::move(t)) {}
  const Template* Get() const override { return t_.get(); }

 private:
  TemplatePtr t_;
};

template <typename T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
void Store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Reads one element at the cursor into the block slot; false when it cannot.
bool DecodeElement(int32_t type, ChunkCursor& cur, uint8_t* slot, const GeometryByNumber& geo) {
  switch (type) {
    case FIELD_TYPE_BYTE: {
      uint8_t v = 0;
      if (!cur.U8(v)) return false;
      *slot = v;
      return true;
    }
    case FIELD_TYPE_WORD: {
      uint16_t v = 0;
      if (!cur.U16(v)) return false;
      Store(slot, v);
      return true;
    }
    case FIELD_TYPE_DWORD:
    case FIELD_TYPE_FLOAT: {
      uint32_t v = 0;
      if (!cur.U32(v)) return false;
      Store(slot, v);
      return true;
    }
    case FIELD_TYPE_GEOMETRY: {
      int32_t n = 0;
      if (!cur.I32(n)) return false;
      geometry::Geometry* g = nullptr;
      if (n >= 0) {
        auto it = geo.find(n);
        if (it == geo.end()) {
          platform::DebugLog("No geometry found");
          return false;
        }
        g = it->second;
      }
      Store(slot, g);
      return true;
    }
    case FIELD_TYPE_KEYFLOAT:
    case FIELD_TYPE_STRING:
    case FIELD_TYPE_ALLOCBUF: {
      Chunk c;
      if (!cur.Ok() || ChunkAt(cur.Rest(), c) != ChunkFault::kNone || !cur.Skip(c.length))
        return false;
      if (type == FIELD_TYPE_KEYFLOAT) {
        KeyfloatKey* curve = nullptr;
        if (c.id != kChunkCurve || anim::KeyfloatPayloadRead(c.payload, &curve) != 1) return false;
        Store(slot, curve);
      } else if (type == FIELD_TYPE_STRING) {
        if (c.id != kChunkText) return false;
        char* text = c.payload.empty() ? nullptr : ClipDataStringDup(ChunkText(c));
        if (!c.payload.empty() && text == nullptr) return false;
        Store(slot, text);
      } else {
        if (c.id != kChunkRawBlock) return false;
        void* block = nullptr;
        if (!c.payload.empty()) {
          if (c.payload.size() < 4 || c.payload.size() > kMaxDataSize) return false;
          block = ClipDataAlloc(c.payload.size());
          if (block == nullptr) return false;
          std::memcpy(block, c.payload.data(), c.payload.size());
          // The size word is what later readers of the block trust: make it the real size.
          Store(static_cast<uint8_t*>(block), static_cast<uint32_t>(c.payload.size()));
        }
        Store(slot, block);
      }
      return true;
    }
    default:
      return true;  // other types take no bytes
  }
}

}  // namespace

NativeTemplatePtr NativeTemplateFromFile(const FileTemplate& tmpl) {
  std::vector<FileField> fields;
  fields.reserve(tmpl.fields.size());
  for (const FileTemplateField& f : tmpl.fields)
    fields.push_back(FileField{f.offset, f.type, f.name, f.count});
  std::string error;
  DescriptorPtr d = DescriptorFromFile(fields, &error);
  if (!d) {
    platform::DebugLog(error);
    return nullptr;
  }
  TemplatePtr t(TemplateNew(0));
  if (!t) return nullptr;
  for (const DescriptorField& f : d->fields) {
    TemplateField tf;
    tf.name = AtomIntern(f.name);
    tf.spelling = f.name;
    tf.type = f.type;
    tf.offset = f.offset;
    tf.count = f.count;
    t->fields.push_back(std::move(tf));
  }
  return std::make_unique<OwnedTemplate>(std::move(t));
}

FileTemplate TemplateToFile(const Template* tmpl) {
  FileTemplate out;
  if (tmpl == nullptr) return out;
  DescriptorPtr d = DescriptorCompile(*tmpl);
  if (!d) return out;
  out.data_size = d->file_data_size;
  // Names as the library spelt them: an atom keeps the first spelling it met, so its text
  // would make the same project's bytes depend on what was interned before.
  const bool same = d->fields.size() == tmpl->fields.size();
  for (size_t i = 0; i < d->fields.size(); ++i) {
    const DescriptorField& f = d->fields[i];
    const std::string& name =
        same && !tmpl->fields[i].spelling.empty() ? tmpl->fields[i].spelling : f.name;
    out.fields.push_back(FileTemplateField{f.file_offset, f.type, f.count, name});
  }
  return out;
}

uint32_t TemplateDataSize(const Template* tmpl) {
  return tmpl != nullptr ? TemplateDataSize(*tmpl) : 0;
}

void ClipDataEncode(const Template* tmpl, const void* block, const GeometryNumbers& numbers,
                    std::vector<uint8_t>& out) {
  if (tmpl == nullptr || block == nullptr) return;
  ChunkWriter w(out);
  const auto* base = static_cast<const uint8_t*>(block);
  for (const TemplateField& f : tmpl->fields) {
    const uint32_t size = FieldElementSize(f.type);
    for (uint32_t i = 0; i < f.count; ++i) {
      const uint8_t* p = base + f.offset + size_t{i} * size;
      switch (f.type) {
        case FIELD_TYPE_BYTE:
          w.U8(*p);
          break;
        case FIELD_TYPE_WORD:
          w.U16(Load<uint16_t>(p));
          break;
        case FIELD_TYPE_DWORD:
        case FIELD_TYPE_FLOAT:
          w.U32(Load<uint32_t>(p));
          break;
        case FIELD_TYPE_KEYFLOAT:
          anim::KeyfloatChunkWrite(w.Writer(), Load<const KeyfloatKey*>(p));
          break;
        case FIELD_TYPE_GEOMETRY: {
          auto it = numbers.find(Load<const geometry::Geometry*>(p));
          w.I32(it != numbers.end() ? it->second : -1);
          break;
        }
        case FIELD_TYPE_STRING: {
          const char* s = Load<const char*>(p);
          if (s == nullptr)
            w.EmptyChunk(kChunkText);
          else
            w.TextChunk(kChunkText, std::string_view(s, ClipDataAllocSize(s) != 0
                                                            ? strnlen(s, ClipDataAllocSize(s))
                                                            : std::strlen(s)));
          break;
        }
        case FIELD_TYPE_ALLOCBUF: {
          const auto* b = Load<const uint8_t*>(p);
          // Never beyond what was really allocated, whatever the size word says.
          size_t n = b != nullptr ? std::min<size_t>(Load<uint32_t>(b), ClipDataAllocSize(b)) : 0;
          w.BlockChunk(kChunkRawBlock, std::span<const uint8_t>(b, n));
          break;
        }
        default:
          break;
      }
    }
  }
}

bool ClipDataDecode(const Template* tmpl, ByteSpan payload, const GeometryByNumber& geometry,
                    void** out) {
  *out = nullptr;
  if (tmpl == nullptr || TemplateDataSize(*tmpl) == 0) return true;
  void* block = ClipDataCreate(tmpl);
  if (block == nullptr) return false;
  auto* base = static_cast<uint8_t*>(block);
  ChunkCursor cur(payload);
  int i = 0;
  for (const TemplateField& f : tmpl->fields) {
    const uint32_t size = FieldElementSize(f.type);
    for (uint32_t e = 0; e < f.count && cur.Remaining() > 0; ++e) {
      if (!DecodeElement(f.type, cur, base + f.offset + size_t{e} * size, geometry)) {
        char line[64];
        std::snprintf(line, sizeof line, "Data load fail, i=%d", i);
        platform::DebugLog(line);
        ClipDataFree(tmpl, block);
        return false;
      }
    }
    ++i;
  }
  char line[64];
  std::snprintf(line, sizeof line, "Data loaded succ, i=%d", i);
  platform::DebugLog(line);
  *out = block;
  return true;
}

}  // namespace lumetra::project
