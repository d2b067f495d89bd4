// A project built through the model API that uses every chunk kind: three tracks, clips
// with inputs, icon, every clip data field type, an edit copy, a SuperClip whose
// sub-project uses a process of its own, and geometry of every kind with links.
#pragma once

#include <cstring>

#include "clipdata/clip_data_memory.h"
#include "clipdata/template.h"
#include "geometry/geo_ops.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/pseudo_track.h"
#include "model/track.h"
#include "projectfile/project_file_geometry.h"
#include "projectfile/project_file_processes.h"

namespace lumetra::project::test {

struct TestParams {
  uint8_t b;
  uint16_t w;
  uint32_t d;
  float f;
  KeyfloatKey* curve;
  geometry::Geometry* shape;
  char* label;
  void* buf;
};

inline int32_t TestInit(HostCallContext*, void* data) {
  static_cast<TestParams*>(data)->d = 7;
  return 1;
}

inline KeyfloatKey* TestCurve(float a, float b) {
  auto* k1 = new KeyfloatKey{};
  auto* k2 = new KeyfloatKey{};
  k1->time = 0;
  k1->x = a;
  k1->components = 1;
  k2->time = 2;
  k2->x = b;
  k2->components = 1;
  k2->tension = 0.25f;
  k1->next = k2;
  k2->prev = k1;
  return k1;
}

// Registers the test processes for the life of the fixture.
struct TestProcesses {
  TestParams proto{};
  TemplatePtr tmpl;
  ProcessRecord blur, inner;

  TestProcesses() {
    tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
    auto add = [&](const char* name, const char* type, const void* at) {
      TemplateAddField(*tmpl, name, type, reinterpret_cast<uintptr_t>(at), 1);
    };
    add("b", "byte", &proto.b);
    add("w", "word", &proto.w);
    add("d", "dword", &proto.d);
    add("f", "float", &proto.f);
    add("curve", "keyfloat", &proto.curve);
    add("shape", "geometry", &proto.shape);
    add("label", "string", &proto.label);
    add("buf", "ALLOCBUF", &proto.buf);
    blur.name = "Test/Blur";
    blur.signature = "TEST blur";
    blur.inputs_number = 2;
    blur.previous_track_input = 0;
    blur.display_mode = 1;
    blur.data_template = tmpl.get();
    blur.init = TestInit;
    inner.name = "Test/Inner";
    inner.signature = "TEST inner";
    inner.inputs_number = 1;
    ProcessRegistryPush(&inner);
    ProcessRegistryPush(&blur);
  }
  ~TestProcesses() {
    ProcessRegistryRemove(&blur);
    ProcessRegistryRemove(&inner);
    VirtualProcessesClear();
  }
};

inline Track* AddTrack(Project* p) {
  Track* t = TrackCreate(p);
  TrackAppend(p, t);
  return t;
}

inline Project* BuildRichProject(TestProcesses& procs) {
  using namespace geometry;
  Project* p = ProjectCreate();
  ProjectSetDefaults(p);
  p->description = "demo";
  p->settings.time_base = 30;
  p->settings.time_snap = 60;
  p->active_end = 9;
  Track* t1 = AddTrack(p);
  Track* t2 = AddTrack(p);
  Track* t3 = AddTrack(p);
  TrackSetName(t3, "Background");

  GeometryList& list = p->geometry;
  Geometry* v1 = list.Append(GeoCreate(kGeoVertex, "v1", 0, 0, 1, 2, 0));
  Geometry* v2 = list.Append(GeoCreate(kGeoVertex, "v2", 10, 0, 1, 2, 0));
  Geometry* contour = list.Append(GeoCreate(kGeoContour, "shape", 0, 0, 3, 4, 0));
  Geometry* group = list.Append(GeoCreate(kGeoGroup, "group", 0, 0, 0, 0, 0));
  Geometry* pair = list.Append(GeoCreate(kGeoMorphPair, "pair", 0, 0, 0, 0, 0));
  Geometry* temp = list.Append(GeoCreate(kGeoVector, "temp", 0, 0, 0, 0, 0));
  GeoAttach(contour, v1);
  GeoAttach(contour, v2);
  GeoAttach(group, contour);
  GeoMpairAssign(pair, 0, contour);
  GeoVertexSetRef(v1, 0, v2);

  Clip* a = ClipCreate(nullptr, &procs.blur, 1, 3, t1);
  auto* d = static_cast<TestParams*>(a->data);
  d->b = 9;
  d->w = 0xBEEF;
  d->f = 0.5f;
  d->curve = TestCurve(1, 5);
  d->shape = contour;
  d->label = ClipDataStringDup("hello");
  d->buf = ClipDataAlloc(12);
  uint32_t size = 12;
  std::memcpy(d->buf, &size, 4);
  std::memset(static_cast<uint8_t*>(d->buf) + 4, 0xAB, 8);
  a->icon = std::make_unique<uint8_t[]>(kClipIconBytes);
  std::memset(a->icon.get(), 0x5A, kClipIconBytes);
  a->flags = kClipTransparent;
  ClipSetInput(a, 1, t3);
  temp->owner_clip = a;

  Clip* super = ClipCreate(nullptr, SuperClipProcess(), 4, 8, t1);
  Track* sub = TrackCreate(p);
  SubProjectAppend(super, sub);
  Clip* in = ClipCreate(nullptr, &procs.inner, 5, 6, sub);
  ClipSetInput(in, 0, PseudoTrackGet(PseudoTrack::kInput0));
  ClipSetInput(super, 1, t2);

  Clip* b = ClipCreate(nullptr, &procs.blur, 0, 2, t2);
  static_cast<TestParams*>(b->data)->f = 2.5f;
  Clip* copy = ClipCopy(b, ClipCopyMode::kRecordOnly);
  static_cast<TestParams*>(copy->data)->f = 1.0f;
  ClipSetInput(copy, 1, t3);
  copy->edited_clip = b;
  b->backup_copy = copy;
  b->edit_window_position[2] = 640;
  return p;
}

}  // namespace lumetra::project::test
