// The host service table handed to every plug-in library: one row per slot (number, name,
// service). A slot without a service holds a stub that reports the call and answers 0.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

inline constexpr std::string_view kUnassignedServiceText = "*** Nonexistant host function call ***";
// What MemoryRelease reports for a block the host did not hand out (or released already).
inline constexpr std::string_view kForeignBlockText =
    "MemoryRelease: block not allocated by the host";
// What a clip service reports when its context names no clip the host knows.
inline constexpr std::string_view kNoClipText = "No clip in this call context";
// The slot that holds no pointer at all.
inline constexpr int32_t kReservedSlot = 39;

struct HostServiceRow {
  int32_t slot;
  std::string_view name;
  LumetraUnassignedFn service;  // the typed service cast to the slot's pointer; null: the stub
};

// Every slot in order, 0 to HOST_SERVICE_COUNT - 1.
std::span<const HostServiceRow> HostServiceRows();
// The table, filled once on first use; valid for the life of the process.
const HostServiceTable* HostServices();

// A typed service as the slot's generic pointer: through the generic function type, which
// converts to and from every other.
template <typename Fn>
LumetraUnassignedFn HostServiceCast(Fn fn) {
  using Generic = void (*)();
  return reinterpret_cast<LumetraUnassignedFn>(reinterpret_cast<Generic>(fn));
}

// The hook through which modules above the host (pictures, media, sound) put their
// services into the table, at start-up before any library is loaded. False for slot 39,
// a slot out of range or no service.
bool HostServiceInstall(int32_t slot, LumetraUnassignedFn service);
template <typename Fn>
bool HostServiceInstall(int32_t slot, Fn fn) {
  return HostServiceInstall(slot, HostServiceCast(fn));
}
// True when the slot holds its service rather than the stub.
bool HostServiceAssigned(int32_t slot);

// The services of the object protocol and the error text, as the table holds them.
int32_t ServiceClipReportError(HostCallContext* ctx, const char* text);
int32_t ServiceClipGetErrorText(HostCallContext* ctx, char* buffer, int32_t size);

}  // namespace lumetra::project
