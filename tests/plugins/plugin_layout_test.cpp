// The shared records of the plug-in header keep their x86-64 layout, and every service
// sits at its slot number.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "lumetra/plugin.h"

namespace {

struct FieldCase {
  const char* name;
  std::size_t offset;
  std::size_t expected;
};

void ExpectOffsets(const FieldCase* cases, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    EXPECT_EQ(cases[i].offset, cases[i].expected) << cases[i].name;
}

#define FIELD(type, field, at) {#type "." #field, offsetof(type, field), at}

TEST(PluginLayout, RecordsKeepTheirSizes) {
  static_assert(sizeof(void*) == 8, "the pinned layout is the 64-bit one");
  EXPECT_EQ(sizeof(HostCallContext), 128u);
  EXPECT_EQ(sizeof(KeyfloatKey), 64u);
  EXPECT_EQ(sizeof(PIC), 24u);
  EXPECT_EQ(sizeof(SoundBlock), 32u);
  EXPECT_EQ(sizeof(LumetraRect), 16u);
  EXPECT_EQ(sizeof(LumetraRectF), 16u);
  EXPECT_EQ(sizeof(HostServiceTable), std::size_t{HOST_SERVICE_COUNT} * 8u);
  EXPECT_EQ(alignof(KeyfloatKey), 8u);
  EXPECT_EQ(alignof(PIC), 8u);
  EXPECT_EQ(alignof(SoundBlock), 8u);
}

TEST(PluginLayout, RecordFieldsKeepTheirOffsets) {
  const FieldCase cases[] = {
      FIELD(HostCallContext, word, 0),
      FIELD(KeyfloatKey, time, 0),       FIELD(KeyfloatKey, x, 4),
      FIELD(KeyfloatKey, y, 8),          FIELD(KeyfloatKey, z, 12),
      FIELD(KeyfloatKey, tension, 16),   FIELD(KeyfloatKey, continuity, 20),
      FIELD(KeyfloatKey, bias, 24),      FIELD(KeyfloatKey, ease_from, 28),
      FIELD(KeyfloatKey, ease_to, 32),   FIELD(KeyfloatKey, next, 40),
      FIELD(KeyfloatKey, prev, 48),      FIELD(KeyfloatKey, components, 56),
      FIELD(KeyfloatKey, flags, 57),
      FIELD(PIC, x, 0),                  FIELD(PIC, y, 2),
      FIELD(PIC, width, 4),              FIELD(PIC, height, 6),
      FIELD(PIC, pixels, 8),             FIELD(PIC, tag, 16),
      FIELD(SoundBlock, start, 0),       FIELD(SoundBlock, end, 4),
      FIELD(SoundBlock, samples, 8),     FIELD(SoundBlock, rate, 12),
      FIELD(SoundBlock, channels, 16),   FIELD(SoundBlock, bytes, 18),
      FIELD(SoundBlock, data, 24),
      FIELD(LumetraRect, left, 0),       FIELD(LumetraRect, top, 4),
      FIELD(LumetraRect, right, 8),      FIELD(LumetraRect, bottom, 12),
      FIELD(LumetraRectF, left, 0),      FIELD(LumetraRectF, top, 4),
      FIELD(LumetraRectF, right, 8),     FIELD(LumetraRectF, bottom, 12),
  };
  ExpectOffsets(cases, sizeof cases / sizeof cases[0]);
}

struct SlotCase {
  const char* name;
  std::size_t offset;
  std::size_t slot;
};

TEST(PluginLayout, EveryServiceSitsAtItsSlotNumber) {
  const SlotCase slots[] = {
    {"ClipInputName", offsetof(HostServiceTable, ClipInputName), 0},
    {"unassigned_1", offsetof(HostServiceTable, unassigned_1), 1},
    {"ClipDataChanged", offsetof(HostServiceTable, ClipDataChanged), 2},
    {"ClipEditOk", offsetof(HostServiceTable, ClipEditOk), 3},
    {"ClipEditCancel", offsetof(HostServiceTable, ClipEditCancel), 4},
    {"unassigned_5", offsetof(HostServiceTable, unassigned_5), 5},
    {"unassigned_6", offsetof(HostServiceTable, unassigned_6), 6},
    {"unassigned_7", offsetof(HostServiceTable, unassigned_7), 7},
    {"unassigned_8", offsetof(HostServiceTable, unassigned_8), 8},
    {"unassigned_9", offsetof(HostServiceTable, unassigned_9), 9},
    {"unassigned_10", offsetof(HostServiceTable, unassigned_10), 10},
    {"unassigned_11", offsetof(HostServiceTable, unassigned_11), 11},
    {"unassigned_12", offsetof(HostServiceTable, unassigned_12), 12},
    {"PicDeinterlace", offsetof(HostServiceTable, PicDeinterlace), 13},
    {"ClipTrackName", offsetof(HostServiceTable, ClipTrackName), 14},
    {"ChooseInputDialog", offsetof(HostServiceTable, ChooseInputDialog), 15},
    {"GetInputFrame", offsetof(HostServiceTable, GetInputFrame), 16},
    {"PicCopy", offsetof(HostServiceTable, PicCopy), 17},
    {"CurveEditorCreate", offsetof(HostServiceTable, CurveEditorCreate), 18},
    {"CurveEditorSetCurve", offsetof(HostServiceTable, CurveEditorSetCurve), 19},
    {"ClipReportError", offsetof(HostServiceTable, ClipReportError), 20},
    {"PicErrorText", offsetof(HostServiceTable, PicErrorText), 21},
    {"unassigned_22", offsetof(HostServiceTable, unassigned_22), 22},
    {"PicCreate", offsetof(HostServiceTable, PicCreate), 23},
    {"GeometryFind", offsetof(HostServiceTable, GeometryFind), 24},
    {"unassigned_25", offsetof(HostServiceTable, unassigned_25), 25},
    {"FileDialog", offsetof(HostServiceTable, FileDialog), 26},
    {"PicFree", offsetof(HostServiceTable, PicFree), 27},
    {"GeoGetCurves", offsetof(HostServiceTable, GeoGetCurves), 28},
    {"ChooseGeometryDialog", offsetof(HostServiceTable, ChooseGeometryDialog), 29},
    {"CheckAbort", offsetof(HostServiceTable, CheckAbort), 30},
    {"MemoryAllocate", offsetof(HostServiceTable, MemoryAllocate), 31},
    {"MemoryRelease", offsetof(HostServiceTable, MemoryRelease), 32},
    {"KeyfloatEvaluate", offsetof(HostServiceTable, KeyfloatEvaluate), 33},
    {"KeyfloatKeySet", offsetof(HostServiceTable, KeyfloatKeySet), 34},
    {"ProjectFrameFormat", offsetof(HostServiceTable, ProjectFrameFormat), 35},
    {"PicScale", offsetof(HostServiceTable, PicScale), 36},
    {"GeoDistanceFrame", offsetof(HostServiceTable, GeoDistanceFrame), 37},
    {"CurveEditorMessage", offsetof(HostServiceTable, CurveEditorMessage), 38},
    {"reserved_39", offsetof(HostServiceTable, reserved_39), 39},
    {"V_GeoSubgeoGet", offsetof(HostServiceTable, V_GeoSubgeoGet), 40},
    {"CurveEditorRange", offsetof(HostServiceTable, CurveEditorRange), 41},
    {"ColorDialog", offsetof(HostServiceTable, ColorDialog), 42},
    {"ValueDialog", offsetof(HostServiceTable, ValueDialog), 43},
    {"unassigned_44", offsetof(HostServiceTable, unassigned_44), 44},
    {"PicDraw", offsetof(HostServiceTable, PicDraw), 45},
    {"ClipGeometryField", offsetof(HostServiceTable, ClipGeometryField), 46},
    {"ClipGeometryByFieldName", offsetof(HostServiceTable, ClipGeometryByFieldName), 47},
    {"EffectCreate", offsetof(HostServiceTable, EffectCreate), 48},
    {"EffectRegister", offsetof(HostServiceTable, EffectRegister), 49},
    {"EffectSetValue", offsetof(HostServiceTable, EffectSetValue), 50},
    {"EffectAddField", offsetof(HostServiceTable, EffectAddField), 51},
    {"IsInputAssigned", offsetof(HostServiceTable, IsInputAssigned), 52},
    {"RequestGetUserWord", offsetof(HostServiceTable, RequestGetUserWord), 53},
    {"RequestSetUserWord", offsetof(HostServiceTable, RequestSetUserWord), 54},
    {"ClipGetErrorText", offsetof(HostServiceTable, ClipGetErrorText), 55},
    {"FreeInputFrame", offsetof(HostServiceTable, FreeInputFrame), 56},
    {"GeometryName", offsetof(HostServiceTable, GeometryName), 57},
    {"unassigned_58", offsetof(HostServiceTable, unassigned_58), 58},
    {"unassigned_59", offsetof(HostServiceTable, unassigned_59), 59},
    {"unassigned_60", offsetof(HostServiceTable, unassigned_60), 60},
    {"InputFormatGetInfo", offsetof(HostServiceTable, InputFormatGetInfo), 61},
    {"unassigned_62", offsetof(HostServiceTable, unassigned_62), 62},
    {"MediaItemTakeBuffer", offsetof(HostServiceTable, MediaItemTakeBuffer), 63},
    {"LoadImage", offsetof(HostServiceTable, LoadImage), 64},
    {"LoadSound", offsetof(HostServiceTable, LoadSound), 65},
    {"InputFormatFind", offsetof(HostServiceTable, InputFormatFind), 66},
    {"MediaFileDialog", offsetof(HostServiceTable, MediaFileDialog), 67},
    {"PicToRgb555Scaled", offsetof(HostServiceTable, PicToRgb555Scaled), 68},
    {"PicDeinterlaceCopy", offsetof(HostServiceTable, PicDeinterlaceCopy), 69},
    {"ProjectFrameRate", offsetof(HostServiceTable, ProjectFrameRate), 70},
    {"MediaFileNameDialog", offsetof(HostServiceTable, MediaFileNameDialog), 71},
    {"TextHelpWindow", offsetof(HostServiceTable, TextHelpWindow), 72},
    {"SoundCreate", offsetof(HostServiceTable, SoundCreate), 73},
    {"SoundFree", offsetof(HostServiceTable, SoundFree), 74},
    {"SoundConvertBytes", offsetof(HostServiceTable, SoundConvertBytes), 75},
    {"SoundConvertChannels", offsetof(HostServiceTable, SoundConvertChannels), 76},
    {"SoundResample", offsetof(HostServiceTable, SoundResample), 77},
    {"SoundPlace", offsetof(HostServiceTable, SoundPlace), 78},
    {"ClipGetValue", offsetof(HostServiceTable, ClipGetValue), 79},
    {"KeyfloatNearestKey", offsetof(HostServiceTable, KeyfloatNearestKey), 80},
    {"KeyfloatKeyAccess", offsetof(HostServiceTable, KeyfloatKeyAccess), 81},
    {"DirectoryMenuDialog", offsetof(HostServiceTable, DirectoryMenuDialog), 82},
    {"unassigned_83", offsetof(HostServiceTable, unassigned_83), 83},
    {"unassigned_84", offsetof(HostServiceTable, unassigned_84), 84},
    {"unassigned_85", offsetof(HostServiceTable, unassigned_85), 85},
    {"unassigned_86", offsetof(HostServiceTable, unassigned_86), 86},
    {"PicToRgb555Fit", offsetof(HostServiceTable, PicToRgb555Fit), 87},
    {"PicToRgb24", offsetof(HostServiceTable, PicToRgb24), 88},
    {"PicToRgb24Scaled", offsetof(HostServiceTable, PicToRgb24Scaled), 89},
    {"ObjectCreate", offsetof(HostServiceTable, ObjectCreate), 90},
    {"ObjectAddField", offsetof(HostServiceTable, ObjectAddField), 91},
    {"ObjectOperation", offsetof(HostServiceTable, ObjectOperation), 92},
    {"ObjectSetValue", offsetof(HostServiceTable, ObjectSetValue), 93},
    {"TrackCheck", offsetof(HostServiceTable, TrackCheck), 94},
    {"ListItemHelper", offsetof(HostServiceTable, ListItemHelper), 95},
    {"unassigned_96", offsetof(HostServiceTable, unassigned_96), 96},
    {"PicPlaceInRect", offsetof(HostServiceTable, PicPlaceInRect), 97},
    {"ScriptRun", offsetof(HostServiceTable, ScriptRun), 98},
    {"GetInputSound", offsetof(HostServiceTable, GetInputSound), 99},
    {"V_ObjectSetValue", offsetof(HostServiceTable, V_ObjectSetValue), 100},
    {"ObjectComplete", offsetof(HostServiceTable, ObjectComplete), 101},
    {"MediaItemFromBlock", offsetof(HostServiceTable, MediaItemFromBlock), 102},
    {"GeoGetBBox", offsetof(HostServiceTable, GeoGetBBox), 103},
    {"GeoDistance", offsetof(HostServiceTable, GeoDistance), 104},
  };
  ASSERT_EQ(sizeof slots / sizeof slots[0], std::size_t{HOST_SERVICE_COUNT});
  for (const SlotCase& s : slots) EXPECT_EQ(s.offset, s.slot * sizeof(void*)) << s.name;
}

TEST(PluginLayout, SlotThirtyNineIsTheReservedOne) {
  EXPECT_EQ(offsetof(HostServiceTable, reserved_39), 39 * sizeof(void*));
  EXPECT_EQ(offsetof(HostServiceTable, V_GeoSubgeoGet), 40 * sizeof(void*));
  EXPECT_EQ(offsetof(HostServiceTable, ClipGetValue), 79 * sizeof(void*));
  EXPECT_EQ(offsetof(HostServiceTable, GeoDistance), 104 * sizeof(void*));
}

TEST(PluginLayout, VersionsAndEntryNames) {
  EXPECT_EQ(LUMETRA_HOST_VERSION, 1002);
  EXPECT_GE(LUMETRA_PLUGIN_HEADER_VERSION, 1);
  EXPECT_EQ(std::string(LUMETRA_ENTRY_NAME), "ZOLT_GetLibInfo");
  EXPECT_EQ(std::string(LUMETRA_ENTRY_NAME_ALT1), "ZOLT_GetLibInfo_");
  EXPECT_EQ(std::string(LUMETRA_ENTRY_NAME_ALT2), "_ZOLT_GetLibInfo");
}

}  // namespace
