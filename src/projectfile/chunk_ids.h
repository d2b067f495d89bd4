// Identifiers of the chunks of project, snapshot and preset files.
#pragma once

#include <cstdint>

namespace lumetra::project {

enum ChunkId : uint16_t {
  kChunkProject = 0xBF00,
  kChunkDescription = 0xCF23,
  kChunkUndoLabel = 0xCF31,
  kChunkVersion = 0xBFDD,
  kChunkVersionOldScale = 0xBFDC,
  kChunkTimeSettings = 0xCF26,
  kChunkProcessList = 0xCF01,
  kChunkProcess = 0xCF02,
  kChunkProcessName = 0xCF04,
  kChunkProcessSignature = 0xCF05,
  kChunkProcessInfo = 0xCF2F,
  kChunkProcessInfoOld = 0xCF08,
  kChunkDataTemplate = 0xCF30,
  kChunkDataTemplateOld = 0xCF29,
  kChunkGeometryList = 0xBF11,
  kChunkGeometry = 0xBF13,
  kChunkCurve = 0xBF09,
  kChunkContourMembers = 0xBF82,
  kChunkGroupMembers = 0xBF84,
  kChunkMorphPair = 0xBF85,
  kChunkGeometryOwnerClip = 0x0000,
  kChunkTrackList = 0xBF01,
  kChunkTrack = 0xBF02,
  kChunkClip = 0xCF06,
  kChunkClipSpan = 0xCF24,
  kChunkClipSpanOld = 0xCF07,
  kChunkRawBlock = 0xEF03,
  kChunkClipData = 0xBFDA,
  kChunkText = 0xEF04,
  kChunkClipWindow = 0xCF2C,
  kChunkClipEditCopy = 0xCF37,
  kChunkTrackNumber = 0xCF17,
  kChunkTrackView = 0xCF16,
  kChunkTrackFlags = 0xCF27,
  kChunkFrameSize = 0xCF09,
  kChunkPixelAspect = 0xBF14,
  kChunkSegments = 0xCF25,
  kChunkRenderSwitches = 0xCF10,
  kChunkSoundFormat = 0xCF33,
  kChunkRenderThreads = 0xCF19,
  kChunkViewOptions = 0xCF28,
  kChunkRenderPresetList = 0xCF2A,
  kChunkRenderPreset = 0xCF32,
  kChunkRenderPresetOld = 0xCF2B,
  kChunkRenderChoice = 0xBF07,
  kChunkTrackWindow = 0xCF2D,
  kChunkKeyWindow = 0xCF2E,
  // Only undo and recovery snapshots write it: the path of the project file the snapshot
  // belongs to. Readers that do not know it skip it.
  kChunkSnapshotPath = 0xCF3A,
};

inline constexpr uint32_t kChunkHeaderSize = 6;

}  // namespace lumetra::project
