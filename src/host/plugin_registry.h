// The three registries that libraries fill: effects (by signature), input formats (by name)
// and output formats (by extension), each a list newest first. Records are host-owned and
// live until the process ends (an effect that clips may point at is never freed).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clipdata/process_record.h"
#include "clipdata/template.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

struct InputFormat {
  uint32_t kind = OBJECT_KIND_INPUT_FORMAT;
  uint32_t reserved = 0;
  int32_t version = 0;
  char ext[INPUT_FORMAT_EXT_SLOTS][FORMAT_EXT_SIZE] = {};
  char name[FORMAT_NAME_SIZE] = {};
  char description[FORMAT_NAME_SIZE] = {};
  uint32_t flags = 0;
  LumetraImageLoaderFn image_loader = nullptr;
  LumetraGeometryImportFn geometry_import = nullptr;
  LumetraSoundLoaderFn sound_loader = nullptr;
  LumetraImageBrowserFn image_browser = nullptr;
  LumetraBrowserFn story_browser = nullptr;
  LumetraBrowserFn geometry_browser = nullptr;
  LumetraBrowserFn sound_browser = nullptr;
  LumetraMetaBrowserFn meta_browser = nullptr;
  LumetraLayersEnumeratorFn layers_enumerator = nullptr;
  LumetraImageInformatorFn image_informator = nullptr;
  LumetraSoundInformatorFn sound_informator = nullptr;
  LumetraInformatorFn geometry_informator = nullptr;
  LumetraInformatorFn story_informator = nullptr;
  LumetraInformatorFn meta_informator = nullptr;
  LumetraControllerFn controller = nullptr;
  InputFormat* next = nullptr;
};

struct OutputFormat {
  uint32_t kind = OBJECT_KIND_OUTPUT_FORMAT;
  uint32_t reserved = 0;
  int32_t version = 0;
  char ext[FORMAT_EXT_SIZE] = {};
  char name[FORMAT_NAME_SIZE] = {};
  char description[FORMAT_NAME_SIZE] = {};
  uint32_t flags = 0;
  DescriptorPtr parameters;  // the "Parameters" template compiled; freed with the record
  LumetraImageSaverFn image_saver = nullptr;
  LumetraStartFn image_start = nullptr;
  LumetraFinishFn image_finish = nullptr;
  LumetraParametersFn image_parameters = nullptr;
  LumetraCheckFn image_check = nullptr;
  LumetraSoundSaverFn sound_saver = nullptr;
  LumetraStartFn sound_start = nullptr;
  LumetraFinishFn sound_finish = nullptr;
  LumetraParametersFn sound_parameters = nullptr;
  LumetraCheckFn sound_check = nullptr;
  LumetraGeometrySaverFn geometry_saver = nullptr;
  OutputFormat* next = nullptr;
};

// Copies text into fixed room: cut to size - 1 characters, always terminated.
void CopyFixedText(char* dest, std::size_t size, const char* text);

// Heads of the lists. Any thread may walk a list while the interface thread registers: a
// record is complete before the head publishes it.
ProcessRecord* ProcessRegistryHead();
InputFormat* InputFormatHead();
OutputFormat* OutputFormatHead();
// Links a record at the head (virtual processes of project files).
void ProcessRegistryPush(ProcessRecord* process);
// Unlinks a record (the caller owns it); only while no other thread walks the list.
void ProcessRegistryRemove(ProcessRecord* process);

// A new unregistered effect record (previous-track input -1); host-owned until registered
// or discarded.
ProcessRecord* EffectNew(const char* signature);
bool EffectIsLive(const void* object);
// Frees an effect record that was never registered.
void EffectDiscard(ProcessRecord* record);
// Sets an effect key; unknown keys are ignored and answer 1.
intptr_t EffectSetValue(HostCallContext* ctx, ProcessRecord* record, const char* key,
                        intptr_t value);
// The version rules: the record that now stands for the signature (the new one, or the
// older one it updated, whose freed record must not be used again); null for a record
// that is not an unregistered effect.
ProcessRecord* EffectRegister(HostCallContext* ctx, ProcessRecord* record);

InputFormat* InputFormatNew(const char* name);
OutputFormat* OutputFormatNew(const char* name);
bool InputFormatIsLive(const void* object);
bool OutputFormatIsLive(const void* object);
void InputFormatDiscard(InputFormat* format);
void OutputFormatDiscard(OutputFormat* format);
intptr_t InputFormatSetValue(HostCallContext* ctx, InputFormat* format, const char* key,
                             intptr_t value, int32_t index);
intptr_t OutputFormatSetValue(HostCallContext* ctx, OutputFormat* format, const char* key,
                              intptr_t value);
// Registered: the record; ignored (an equal or newer one exists): null, the record freed.
InputFormat* InputFormatRegister(HostCallContext* ctx, InputFormat* format);
OutputFormat* OutputFormatRegister(HostCallContext* ctx, OutputFormat* format);

// Every registration message ("Effect '%s [ver %d]' loaded", ...) since the last clear, in
// order; each also goes to the debug log.
std::vector<std::string> RegistryMessages();
void RegistryMessagesClear();

// Observes what registration keeps and frees (the loader attributes records to libraries).
struct RegistryObserver {
  virtual ~RegistryObserver() = default;
  virtual void Registered(const void* record, int32_t kind) = 0;
  virtual void Freed(const void* record) = 0;
};
void RegistrySetObserver(RegistryObserver* observer);

// Registers the effect and format kinds with the typed-object calls.
void PluginObjectsRegister();

// Frees every registered effect and format record and unlinks them (tests).
void PluginRegistryClear();

}  // namespace lumetra::project
