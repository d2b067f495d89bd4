// The effect and format registries and the version rules that decide between records.
#include "host/plugin_registry.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "host/effect_fields.h"
#include "host/object_error.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"

namespace lumetra::project {
namespace {

struct EffectEntry {
  std::unique_ptr<ProcessRecord> record;
  std::unique_ptr<Template> data;  // the host's copy of the "Data" template
};

struct Registry {
  std::recursive_mutex mutex;  // writers among themselves; readers walk the atomic heads
  std::atomic<ProcessRecord*> effects{nullptr};
  std::atomic<InputFormat*> inputs{nullptr};
  std::atomic<OutputFormat*> outputs{nullptr};
  std::unordered_map<const void*, EffectEntry> effect_records;  // pending and registered
  std::unordered_map<const void*, std::unique_ptr<InputFormat>> input_records;
  std::unordered_map<const void*, std::unique_ptr<OutputFormat>> output_records;
  std::vector<std::string> messages;
  RegistryObserver* observer = nullptr;
};

Registry& R() {
  static Registry* registry = new Registry;  // records outlive every static user
  return *registry;
}

void Note(const std::string& text) {
  R().messages.push_back(text);
  platform::DebugLog(text);
}

void NoteRegistered(const void* record, int32_t kind) {
  if (R().observer != nullptr) R().observer->Registered(record, kind);
}

void NoteFreed(const void* record) {
  if (R().observer != nullptr) R().observer->Freed(record);
}

template <typename T>
void PushHead(std::atomic<T*>& head, T* record) {
  record->next = head.load(std::memory_order_relaxed);
  head.store(record, std::memory_order_release);
}

template <typename T>
bool Unlink(std::atomic<T*>& head, T* record) {
  T* first = head.load(std::memory_order_relaxed);
  if (first == record) {
    head.store(record->next, std::memory_order_release);
    return true;
  }
  for (T* p = first; p != nullptr; p = p->next) {
    if (p->next == record) {
      p->next = record->next;
      return true;
    }
  }
  return false;
}

const char* Text(intptr_t value) {
  return reinterpret_cast<const char*>(value);
}

template <typename Fn>
void SetFn(Fn& slot, intptr_t value) {
  slot = reinterpret_cast<Fn>(value);
}

// Same fields in order (stored offset, type, count, name); when `memory` is set, also the
// same offsets in memory, so that blocks laid out by one are valid for the other.
bool SameLayout(const Template* a, const Template* b, bool memory) {
  if (a == nullptr || b == nullptr) return a == b;
  DescriptorPtr da = DescriptorCompile(*a);
  DescriptorPtr db = DescriptorCompile(*b);
  if (!da || !db || !DescriptorSameLayout(*da, *db)) return false;
  if (!memory) return true;
  if (da->data_size != db->data_size) return false;
  for (std::size_t i = 0; i < da->fields.size(); ++i)
    if (da->fields[i].offset != db->fields[i].offset) return false;
  return true;
}

}  // namespace

void CopyFixedText(char* dest, std::size_t size, const char* text) {
  if (size == 0) return;
  const std::size_t n = text != nullptr ? strnlen(text, size - 1) : 0;
  if (n > 0) std::memcpy(dest, text, n);
  dest[n] = '\0';
}

ProcessRecord* ProcessRegistryHead() {
  return R().effects.load(std::memory_order_acquire);
}
InputFormat* InputFormatHead() {
  return R().inputs.load(std::memory_order_acquire);
}
OutputFormat* OutputFormatHead() {
  return R().outputs.load(std::memory_order_acquire);
}

void ProcessRegistryPush(ProcessRecord* process) {
  std::lock_guard lock(R().mutex);
  PushHead(R().effects, process);
}

void ProcessRegistryRemove(ProcessRecord* process) {
  std::lock_guard lock(R().mutex);
  Unlink(R().effects, process);
}

// ---- Effects ---------------------------------------------------------------------------

ProcessRecord* EffectNew(const char* signature) {
  EffectEntry entry;
  entry.record = std::make_unique<ProcessRecord>();
  entry.record->signature = signature;
  entry.record->previous_track_input = -1;
  ProcessRecord* r = entry.record.get();
  std::lock_guard lock(R().mutex);
  R().effect_records.emplace(r, std::move(entry));
  return r;
}

bool EffectIsLive(const void* object) {
  std::lock_guard lock(R().mutex);
  return object != nullptr && R().effect_records.contains(object);
}

void EffectDiscard(ProcessRecord* record) {
  std::lock_guard lock(R().mutex);
  for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next)
    if (p == record) return;  // registered records stay: clips may point at them
  R().effect_records.erase(record);
}

int32_t EffectAddField(HostCallContext* ctx, ProcessRecord* r, const char* field_name,
                       const char* type_name, uint32_t offset, int32_t count) {
  std::lock_guard lock(R().mutex);
  auto it = R().effect_records.find(r);
  if (it == R().effect_records.end()) {
    ObjectReportError(ctx, "No template specified");
    return 0;
  }
  for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next)
    if (p == r) {
      ObjectReportError(ctx, "No template specified");  // clips are laid out by it already
      return 0;
    }
  // Offsets are taken as addresses over a template based at 0.
  auto data = it->second.data != nullptr ? std::make_unique<Template>(*it->second.data)
                                         : std::make_unique<Template>();
  const std::string error = TemplateAddField(*data, field_name, type_name, offset, count);
  if (!error.empty()) {
    ObjectReportError(ctx, error);
    return 0;
  }
  if (TemplateDataSize(*data) > kMaxDataSize) {
    ObjectReportError(ctx, "Memory allocation fails");
    return 0;
  }
  it->second.data = std::move(data);
  r->data_template = it->second.data.get();
  return 1;
}

intptr_t EffectSetValue(HostCallContext* ctx, ProcessRecord* r, const char* key_text,
                        intptr_t value) {
  std::lock_guard lock(R().mutex);
  auto it = R().effect_records.find(r);
  if (it == R().effect_records.end()) {
    ObjectReportError(ctx, "ObjectSetValue: No object specified.");
    return 0;
  }
  const std::string_view key = key_text;
  if (key == "Data") {
    for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next)
      if (p == r) return 0;  // clips are laid out by a registered record's data
    void* object = reinterpret_cast<void*>(value);
    if (!TemplateIsLive(object)) {
      ObjectReportError(ctx, "No template specified");
      return 0;
    }
    // The library may delete its template right after: keep a copy of our own.
    auto copy = std::make_unique<Template>(*static_cast<const Template*>(object));
    if (TemplateDataSize(*copy) > kMaxDataSize) {
      ObjectReportError(ctx, "Memory allocation fails");
      return 0;
    }
    it->second.data = std::move(copy);
    r->data_template = it->second.data.get();
    return 1;
  }
  struct Key {
    std::string_view name;
    void (*set)(ProcessRecord&, intptr_t);
  };
  static constexpr Key kKeys[] = {
      {"Name", [](ProcessRecord& r, intptr_t v) { r.name = Text(v) ? Text(v) : ""; }},
      {"Comments", [](ProcessRecord& r, intptr_t v) { r.comments = Text(v) ? Text(v) : ""; }},
      {"Icon", [](ProcessRecord& r, intptr_t v) { r.icon = static_cast<uintptr_t>(v); }},
      {"InitFunction", [](ProcessRecord& r, intptr_t v) { SetFn(r.init, v); }},
      {"EditFunction", [](ProcessRecord& r, intptr_t v) { SetFn(r.edit, v); }},
      {"MakeFunction", [](ProcessRecord& r, intptr_t v) { SetFn(r.make, v); }},
      {"MakeSoundFunction", [](ProcessRecord& r, intptr_t v) { SetFn(r.make_sound, v); }},
      {"FormatFunction", [](ProcessRecord& r, intptr_t v) { SetFn(r.format, v); }},
      {"OnDeleteFunction", [](ProcessRecord& r, intptr_t v) { SetFn(r.on_delete, v); }},
      {"InputsNumber", [](ProcessRecord& r, intptr_t v) { r.inputs_number = static_cast<int32_t>(v); }},
      {"DisplayMode", [](ProcessRecord& r, intptr_t v) { r.display_mode = static_cast<int32_t>(v); }},
      {"SpecialFlag",
       [](ProcessRecord& r, intptr_t v) {
         r.flags = static_cast<int32_t>(v) != 0 ? (r.flags | kProcessHidden)
                                                : (r.flags & ~uint32_t{kProcessHidden});
       }},
      {"SoundProcess", [](ProcessRecord& r, intptr_t) { r.flags |= kProcessSound; }},  // any value
      {"PreviousTrackInput",
       [](ProcessRecord& r, intptr_t v) { r.previous_track_input = static_cast<int32_t>(v); }},
      {"Version", [](ProcessRecord& r, intptr_t v) { r.version = static_cast<int32_t>(v); }},
  };
  for (const Key& k : kKeys) {
    if (k.name == key) {
      k.set(*r, value);
      break;
    }
  }
  return 1;  // unknown keys are ignored
}

ProcessRecord* EffectRegister(HostCallContext* ctx, ProcessRecord* r) {
  std::lock_guard lock(R().mutex);
  auto it = R().effect_records.find(r);
  if (it == R().effect_records.end()) {
    ObjectReportError(ctx, "ObjectComplete: No object specified.");
    return nullptr;
  }
  ProcessRecord* old = nullptr;
  for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next) {
    if (p == r) return r;  // registered already
    if (old == nullptr && p->signature == r->signature) old = p;
  }
  const bool old_virtual = old != nullptr && (old->flags & kProcessVirtual) != 0;
  // A virtual record's blocks are laid out from the file: it is taken over only when the
  // library's struct puts every field at the same place.
  if (old != nullptr && !SameLayout(old->data_template, r->data_template, old_virtual)) {
    old->flags |= kProcessHidden;
    old = nullptr;
  }
  if (old == nullptr) {
    PushHead(R().effects, r);
    Note(platform::Format("Effect '%s [ver %d]' loaded", r->name.c_str(), r->version));
    NoteRegistered(r, OBJECT_KIND_EFFECT);
    return r;
  }
  if (!old_virtual && old->version >= r->version) {
    Note(platform::Format("Effect '%s [ver %d]' ignored", r->name.c_str(), r->version));
    R().effect_records.erase(it);
    return old;
  }
  old->flags = r->flags;
  old->name = r->name;
  old->comments = r->comments;
  old->icon = r->icon;
  old->init = r->init;
  old->edit = r->edit;
  old->make = r->make;
  old->format = r->format;
  old->on_delete = r->on_delete;
  old->inputs_number = r->inputs_number;
  old->previous_track_input = r->previous_track_input;
  old->version = r->version;
  Note(platform::Format("Effect '%s [ver %d]' updated", old->name.c_str(), old->version));
  R().effect_records.erase(it);
  NoteRegistered(old, OBJECT_KIND_EFFECT);
  return old;
}

// ---- Formats ---------------------------------------------------------------------------

InputFormat* InputFormatNew(const char* name) {
  auto f = std::make_unique<InputFormat>();
  CopyFixedText(f->name, sizeof f->name, name);
  InputFormat* p = f.get();
  std::lock_guard lock(R().mutex);
  R().input_records.emplace(p, std::move(f));
  return p;
}

OutputFormat* OutputFormatNew(const char* name) {
  auto f = std::make_unique<OutputFormat>();
  CopyFixedText(f->name, sizeof f->name, name);
  OutputFormat* p = f.get();
  std::lock_guard lock(R().mutex);
  R().output_records.emplace(p, std::move(f));
  return p;
}

bool InputFormatIsLive(const void* object) {
  std::lock_guard lock(R().mutex);
  return object != nullptr && R().input_records.contains(object);
}

bool OutputFormatIsLive(const void* object) {
  std::lock_guard lock(R().mutex);
  return object != nullptr && R().output_records.contains(object);
}

void InputFormatDiscard(InputFormat* format) {
  std::lock_guard lock(R().mutex);
  for (InputFormat* p = InputFormatHead(); p != nullptr; p = p->next)
    if (p == format) return;
  R().input_records.erase(format);
}

void OutputFormatDiscard(OutputFormat* format) {
  std::lock_guard lock(R().mutex);
  for (OutputFormat* p = OutputFormatHead(); p != nullptr; p = p->next)
    if (p == format) return;
  R().output_records.erase(format);
}

intptr_t InputFormatSetValue(HostCallContext*, InputFormat* f, const char* key_text,
                             intptr_t value, int32_t index) {
  const std::string_view key = key_text;
  if (key.size() == 4 && key.substr(0, 3) == "Ext") {
    int slot = key[3] - '0';
    if (index >= 1 && index < INPUT_FORMAT_EXT_SLOTS) {
      slot = index;
    } else if (slot < 0 || slot > 3) {
      return 0;
    }
    CopyFixedText(f->ext[slot], FORMAT_EXT_SIZE, Text(value));
    return 1;
  }
  struct Key {
    std::string_view name;
    void (*set)(InputFormat&, intptr_t);
  };
  static constexpr Key kKeys[] = {
      {"Version", [](InputFormat& f, intptr_t v) { f.version = static_cast<int32_t>(v); }},
      {"Name", [](InputFormat& f, intptr_t v) { CopyFixedText(f.name, sizeof f.name, Text(v)); }},
      {"Description",
       [](InputFormat& f, intptr_t v) { CopyFixedText(f.description, sizeof f.description, Text(v)); }},
      {"Flags", [](InputFormat& f, intptr_t v) { f.flags = static_cast<uint32_t>(v); }},
      {"ImageLoaderFunction", [](InputFormat& f, intptr_t v) { SetFn(f.image_loader, v); }},
      {"SoundLoaderFunction", [](InputFormat& f, intptr_t v) { SetFn(f.sound_loader, v); }},
      {"GeometryImportFunction", [](InputFormat& f, intptr_t v) { SetFn(f.geometry_import, v); }},
      {"ImageBrowserFunction", [](InputFormat& f, intptr_t v) { SetFn(f.image_browser, v); }},
      {"GeometryBrowserFunction", [](InputFormat& f, intptr_t v) { SetFn(f.geometry_browser, v); }},
      {"MetaBrowserFunction", [](InputFormat& f, intptr_t v) { SetFn(f.meta_browser, v); }},
      {"SoundBrowserFunction", [](InputFormat& f, intptr_t v) { SetFn(f.sound_browser, v); }},
      {"StoryBrowserFunction", [](InputFormat& f, intptr_t v) { SetFn(f.story_browser, v); }},
      {"LayersEnumeratorFunction", [](InputFormat& f, intptr_t v) { SetFn(f.layers_enumerator, v); }},
      {"ImageInformatorFunction", [](InputFormat& f, intptr_t v) { SetFn(f.image_informator, v); }},
      {"SoundInformatorFunction", [](InputFormat& f, intptr_t v) { SetFn(f.sound_informator, v); }},
      {"MetaInformatorFunction", [](InputFormat& f, intptr_t v) { SetFn(f.meta_informator, v); }},
      {"StoryInformatorFunction", [](InputFormat& f, intptr_t v) { SetFn(f.story_informator, v); }},
      {"GeometryInformatorFunction",
       [](InputFormat& f, intptr_t v) { SetFn(f.geometry_informator, v); }},
      {"Controller", [](InputFormat& f, intptr_t v) { SetFn(f.controller, v); }},
  };
  for (const Key& k : kKeys) {
    if (k.name == key) {
      k.set(*f, value);
      return 1;
    }
  }
  return 0;
}

intptr_t OutputFormatSetValue(HostCallContext* ctx, OutputFormat* f, const char* key_text,
                              intptr_t value) {
  const std::string_view key = key_text;
  if (key == "Parameters") {
    void* object = reinterpret_cast<void*>(value);
    if (!TemplateIsLive(object)) {
      ObjectReportError(ctx, "No template specified");
      return 0;
    }
    DescriptorPtr d = DescriptorCompile(*static_cast<const Template*>(object));
    if (!d) {
      ObjectReportError(ctx, "Memory allocation fails");
      return 0;
    }
    d->pinned = true;
    f->parameters = std::move(d);
    return 1;
  }
  struct Key {
    std::string_view name;
    void (*set)(OutputFormat&, intptr_t);
  };
  static constexpr Key kKeys[] = {
      {"Version", [](OutputFormat& f, intptr_t v) { f.version = static_cast<int32_t>(v); }},
      {"Name", [](OutputFormat& f, intptr_t v) { CopyFixedText(f.name, sizeof f.name, Text(v)); }},
      {"Description",
       [](OutputFormat& f, intptr_t v) { CopyFixedText(f.description, sizeof f.description, Text(v)); }},
      {"Ext", [](OutputFormat& f, intptr_t v) { CopyFixedText(f.ext, sizeof f.ext, Text(v)); }},
      {"Flags", [](OutputFormat& f, intptr_t v) { f.flags = static_cast<uint32_t>(v); }},
      {"ImageSaverFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.image_saver, v); }},
      {"ImageStartFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.image_start, v); }},
      {"ImageFinishFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.image_finish, v); }},
      {"ImageParametersFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.image_parameters, v); }},
      {"ImageCheckFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.image_check, v); }},
      {"SoundSaverFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.sound_saver, v); }},
      {"SoundStartFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.sound_start, v); }},
      {"SoundFinishFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.sound_finish, v); }},
      {"SoundParametersFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.sound_parameters, v); }},
      {"SoundCheckFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.sound_check, v); }},
      {"GeometrySaverFunction", [](OutputFormat& f, intptr_t v) { SetFn(f.geometry_saver, v); }},
  };
  for (const Key& k : kKeys) {
    if (k.name == key) {
      k.set(*f, value);
      return 1;
    }
  }
  return 0;
}

namespace {

// The rules both format lists share; `key` picks what identifies a format in its list.
template <typename T, typename Map>
T* RegisterFormat(HostCallContext*, T* f, std::atomic<T*>& head, Map& records,
                  const char* (*key)(const T&), const char* what) {
  T* old = nullptr;
  for (T* p = head.load(std::memory_order_relaxed); p != nullptr; p = p->next) {
    if (p == f) return f;
    if (old == nullptr && std::strcmp(key(*p), key(*f)) == 0) old = p;
  }
  if (old != nullptr && old->version >= f->version) {
    Note(platform::Format("%s '%s [ver %d]' ignored", what, f->name, f->version));
    records.erase(f);
    return nullptr;
  }
  if (old != nullptr) {
    Note(platform::Format("Replacing old version of '%s [ver %d]'", old->name, old->version));
    if (!Unlink(head, old)) {
      platform::ShowError("OFormatAddEnd Internal Error: format list corrupted.");
      records.erase(f);
      return nullptr;
    }
    NoteFreed(old);
    records.erase(old);
  }
  PushHead(head, f);
  Note(platform::Format("%s '%s [ver %d]' loaded", what, f->name, f->version));
  NoteRegistered(f, f->kind);
  return f;
}

}  // namespace

InputFormat* InputFormatRegister(HostCallContext* ctx, InputFormat* f) {
  std::lock_guard lock(R().mutex);
  if (!R().input_records.contains(f)) {
    ObjectReportError(ctx, "ObjectComplete: No object specified.");
    return nullptr;
  }
  return RegisterFormat<InputFormat>(
      ctx, f, R().inputs, R().input_records, [](const InputFormat& x) -> const char* { return x.name; },
      "Input format");
}

OutputFormat* OutputFormatRegister(HostCallContext* ctx, OutputFormat* f) {
  std::lock_guard lock(R().mutex);
  if (!R().output_records.contains(f)) {
    ObjectReportError(ctx, "ObjectComplete: No object specified.");
    return nullptr;
  }
  return RegisterFormat<OutputFormat>(
      ctx, f, R().outputs, R().output_records, [](const OutputFormat& x) -> const char* { return x.ext; },
      "Output format");
}

std::vector<std::string> RegistryMessages() {
  std::lock_guard lock(R().mutex);
  return R().messages;
}

void RegistryMessagesClear() {
  std::lock_guard lock(R().mutex);
  R().messages.clear();
}

void RegistrySetObserver(RegistryObserver* observer) {
  std::lock_guard lock(R().mutex);
  R().observer = observer;
}

void PluginRegistryClear() {
  std::lock_guard lock(R().mutex);
  for (auto& [p, e] : R().effect_records) Unlink(R().effects, e.record.get());
  R().effect_records.clear();
  R().inputs.store(nullptr);
  R().input_records.clear();
  R().outputs.store(nullptr);
  R().output_records.clear();
  R().messages.clear();
}

}  // namespace lumetra::project
