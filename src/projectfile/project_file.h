// Project file constants: load statuses, load and save masks, versions, limits.
#pragma once

#include <cstdint>

#include "model/model.h"

namespace lumetra::project {

// Load statuses, as kept in a loaded project's status field.
inline constexpr int kLoadOk = 1;
inline constexpr int kLoadSettingsFailed = 0;  // a track or key window settings chunk failed last
inline constexpr int kLoadReadError = -2;      // read error or truncated file
inline constexpr int kLoadBadProcess = -4;     // a process record without name or signature
inline constexpr int kLoadNoMemory = -5;
inline constexpr int kLoadBadChunk = -6;

inline constexpr int kSaveOk = 1;
inline constexpr int kSaveWriteError = -1;

enum LoadMask : uint32_t {
  kLoadGeometryList = 0x1,
  kLoadProcessesAndTracks = 0x2,
  kLoadSettingsChunks = 0x4,
  kLoadMaskLoad = 0x0FFF,
  kLoadMaskMerge = 0x8003,  // bit 15 marks a merge; the reader does not test it
};

enum SaveMask : uint32_t {
  kSaveUndoLabel = 0x1000,  // undo and recovery snapshots
};

inline constexpr int32_t kFileVersion = 1002;
inline constexpr int32_t kFileVersionOldScale = 100;

inline constexpr uint32_t kClipIconSize = kClipIconBytes;

// Pseudo track references in clip inputs.
inline constexpr int32_t kTrackRefNone = -1;
inline constexpr int32_t kTrackRefPrevious = -9;

// Bounds on hostile files.
inline constexpr int kMaxSubProjectDepth = 32;
inline constexpr uint32_t kMaxProcessText = 255;
inline constexpr uint32_t kMaxTrackName = 61;

}  // namespace lumetra::project
