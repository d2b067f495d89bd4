// The host service table handed to every plug-in library: one row per slot (number, name,
// service). A slot without a service holds a stub that reports the call and answers 0.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

inline constexpr std::string_view kUnassignedServiceText = "*** Nonexistant host function call ***";

struct HostServiceRow {
  int32_t slot;
  std::string_view name;
  LumetraUnassignedFn service;  // the typed service cast to the slot's pointer; null: the stub
};

// Every slot in order, 0 to HOST_SERVICE_COUNT - 1.
std::span<const HostServiceRow> HostServiceRows();
// The table, filled once on first use; valid for the life of the process.
const HostServiceTable* HostServices();

// Puts a service of a module above the host into its slot (the render engine installs its
// request services this way, so the host needs no upward include). Libraries copy the table
// when they load: install before loading them. Answers false for a slot out of range or 39.
bool HostServiceInstall(int32_t slot, LumetraUnassignedFn service);
// What the slot holds now (the stub when nothing was installed or wired).
LumetraUnassignedFn HostServiceSlot(int32_t slot);

// The services of the object protocol and the error text, as the table holds them.
int32_t ServiceClipReportError(HostCallContext* ctx, const char* text);
int32_t ServiceClipGetErrorText(HostCallContext* ctx, char* buffer, int32_t size);

}  // namespace lumetra::project
