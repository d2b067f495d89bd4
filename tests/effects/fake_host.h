// A host for the effects library's tests: the service slots the library uses, records of
// every object it builds, picture counters and an abort that trips at a chosen row.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host_api.h"

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
  std::map<int32_t, PIC*> inputs;  // answers for the other inputs (and 0 without input0)
  std::set<int32_t> assigned_empty;  // connected inputs that deliver nothing
  intptr_t clip_inputs = -1;       // "clip_inputs"; negative: not answered
  int32_t frame_rate = 25;         // ProjectFrameRate
  float bbox[4] = {0.f, 0.f, 0.f, 0.f};  // GeoGetBBox's answer
  bool make_keys = false;          // KeyfloatKeySet makes keys (the test frees them)

  // Observations.
  std::deque<FakeObject> objects;
  std::vector<FakeObject*> completed;  // in order of ObjectComplete
  int pic_creates = 0, pic_frees = 0, check_aborts = 0, effects_completed = 0;
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
