// The built-in SuperClip process, whose clips hold a sub-project of tracks.
#include "model/superclip.h"

namespace lumetra::project {
namespace {

int32_t SuperClipInit(HostCallContext*, void*) {
  return 1;
}

// Never the way a SuperClip's picture is made: the render engine renders its sub-project.
// The engine reports "Debug SuperClip make()" when it is called all the same.
PIC* SuperClipMake(HostCallContext*, void*, float, float, float) {
  return nullptr;
}

}  // namespace

ProcessRecord* SuperClipProcess() {
  static ProcessRecord record = [] {
    ProcessRecord r;
    r.flags = kProcessHidden;  // "SpecialFlag"
    r.name = kSuperClipName;
    r.comments = "SubProject";
    r.signature = kSuperClipSignature;
    r.init = SuperClipInit;
    r.make = SuperClipMake;
    r.inputs_number = kSuperClipInputs;
    r.version = 1;
    return r;
  }();
  return &record;
}

bool IsSuperClipProcess(const ProcessRecord* process) {
  return process != nullptr && process == SuperClipProcess();
}

}  // namespace lumetra::project
