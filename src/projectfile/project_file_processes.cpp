// Process registry lookups for project files, and virtual processes.
#include "projectfile/project_file_processes.h"

#include <memory>
#include <unordered_map>

#include "model/clip.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"
#include "projectfile/project_file.h"
#include "projectfile/project_file_template.h"

namespace lumetra::project {

namespace {

struct VirtualProcess {
  std::unique_ptr<ProcessRecord> record;
  FileTemplate file_template;
  NativeTemplatePtr native;  // the block laid out here from the file's fields
};

// Interface thread only (project loading and saving).
std::unordered_map<const ProcessRecord*, VirtualProcess>& Virtuals() {
  static std::unordered_map<const ProcessRecord*, VirtualProcess> virtuals;
  return virtuals;
}

int32_t VirtualInit(HostCallContext*, void*) {
  // The name and signature are not reachable from here without the clip; the host's init
  // call hook reports them. A virtual process never initialises a block.
  return 0;
}

PIC* VirtualMake(HostCallContext*, void*, float, float, float) {
  platform::DebugLog("No code loaded for this clip type");
  return nullptr;
}

}  // namespace

ProcessRecord* ProcessFindForFile(std::string_view name, std::string_view signature) {
  const bool standard = signature == kStandardSignature;
  for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next) {
    if (standard ? (p->signature == signature && p->name == name) : p->signature == signature)
      return p;
  }
  ProcessRecord* super = SuperClipProcess();
  if (!standard && signature == super->signature) return super;
  return nullptr;
}

bool ProcessLoadVirtual(const FileProcess& record) {
  if (ProcessFindForFile(record.name, record.signature) != nullptr) return true;
  VirtualProcess v;
  v.native = NativeTemplateFromFile(record.data_template);
  if (!v.native) return false;
  v.record = std::make_unique<ProcessRecord>();
  ProcessRecord* r = v.record.get();
  r->name = record.name;
  r->signature = record.signature;
  r->flags = record.flags | kProcessVirtual;
  r->init = VirtualInit;
  r->make = VirtualMake;
  r->data_template = v.native->Get();
  r->inputs_number = kMaxProcessInputs;
  v.file_template = record.data_template;
  ProcessRegistryPush(r);
  Virtuals().emplace(r, std::move(v));
  platform::DebugLog("Loaded virtual process " + record.name + "," + record.signature);
  return true;
}

const FileTemplate* VirtualProcessFileTemplate(const ProcessRecord* process) {
  auto it = Virtuals().find(process);
  return it == Virtuals().end() ? nullptr : &it->second.file_template;
}

void VirtualProcessesClear() {
  for (auto& [record, v] : Virtuals()) ProcessRegistryRemove(v.record.get());
  Virtuals().clear();
}

}  // namespace lumetra::project
