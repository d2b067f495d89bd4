// A host for the effects library's tests: the service slots the library uses, records of
// every object it builds, picture counters and an abort that trips at a chosen row.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host_api.h"

namespace lumetra::geometry {
class GeometryList;
}

namespace effects_test {

struct FakeField {
  std::string name;
  std::string type;
  uintptr_t offset;
  int32_t count;
};

struct FakeObject {
  std::string kind;
  std::string name;
  const void* base = nullptr;
  std::vector<std::pair<std::string, intptr_t>> values;
  std::vector<FakeField> fields;
  bool deleted = false;
  bool completed = false;

  // The last value set under key; found tells whether it was set.
  intptr_t Value(const std::string& key, bool* found = nullptr) const;
};

// A shape given straight in pixels: bezier segments (x0, y0, vx, vy, x1, y1, wx, wy), or
// the members of a group (emitted in member order).
struct FakeShape {
  std::vector<std::array<float, 8>> segments;
  std::vector<LumetraGeometry> members;
};

struct FakeHost {
  FakeHost();
  ~FakeHost();

  // Answers.
  intptr_t version = 1002;
  bool answer_version = true;
  int fail_complete_at = -1;       // index among completed effects that answers 0
  bool ignore_formats = false;     // formats' ObjectComplete answers 0
  int abort_after_checks = -1;     // CheckAbort answers 1 on this call (1-based)
  bool pic_create_fails = false;
  intptr_t script_answer = 1;
  int32_t image_width = 8, image_height = 6;
  PIC* input0 = nullptr;           // GetInputFrame's answer for input 0
  // When set, GetInputFrame's answer for input 0 at a time (input0 is then not used).
  std::function<PIC*(float time)> input_at;
  int input_assigned = -1;         // IsInputAssigned: -1 answers whether input 0 has a source
  int32_t frame_rate = 25;
  intptr_t user_word = 0;          // the request's user word
  // Geometries: shapes in pixels by handle; any other handle goes to the geometry list,
  // in a frame of image_width x image_height with square pixels.
  std::map<LumetraGeometry, FakeShape> shapes;
  const lumetra::geometry::GeometryList* geometries = nullptr;
  std::map<int32_t, PIC*> inputs;  // answers for the other inputs (and 0 without input0)
  std::set<int32_t> assigned_empty;  // connected inputs that deliver nothing
  intptr_t clip_inputs = -1;       // "clip_inputs"; negative: not answered
  float bbox[4] = {0.f, 0.f, 0.f, 0.f};  // GeoGetBBox's answer without a geometry list

  // Observations.
  std::deque<FakeObject> objects;
  std::vector<FakeObject*> completed;  // in order of ObjectComplete
  int pic_creates = 0, pic_frees = 0, check_aborts = 0, effects_completed = 0;
  int input_frees = 0;
  std::vector<float> input_times;  // times GetInputFrame was asked for
  std::vector<float> progress;
  std::string last_error;
  std::vector<std::string> scripts;
  std::vector<std::pair<int32_t, float>> fetches;  // (input, time) of every GetInputFrame

  effects::HostServiceTable table{};
  HostCallContext ctx{};
  // The same slots as the public table type the entry point takes.
  const ::HostServiceTable* PublicTable() const {
    return reinterpret_cast<const ::HostServiceTable*>(&table);
  }

  // A picture made like the host's PicCreate (counted).
  static PIC* MakePic(int32_t width, int32_t height);
  static void FreePic(PIC* pic);
};

}  // namespace effects_test
