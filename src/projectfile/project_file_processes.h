// The process registry as project files see it: lookup of a file's process by signature
// (or by name for "ZOLT Standard"), and the virtual processes made for signatures that no
// loaded library provides.
#pragma once

#include <string_view>

#include "clipdata/process_record.h"
#include "host/plugin_registry.h"
#include "projectfile/project_file_doc.h"

namespace lumetra::project {

inline constexpr std::string_view kStandardSignature = "ZOLT Standard";

// The registry list is the plug-in host's (ProcessRegistryHead); the SuperClip record is
// found even when it is not in the list.

// A signature other than "ZOLT Standard" by signature; "ZOLT Standard" by name.
ProcessRecord* ProcessFindForFile(std::string_view name, std::string_view signature);

// A process record of a file: dropped when a registered process serves, else made into a
// virtual process at the registry's head. False when the record could not be made.
bool ProcessLoadVirtual(const FileProcess& record);

// The template a virtual process keeps from its file, written back unchanged; none for
// other processes.
const FileTemplate* VirtualProcessFileTemplate(const ProcessRecord* process);
// Frees every virtual process (tests).
void VirtualProcessesClear();

}  // namespace lumetra::project
