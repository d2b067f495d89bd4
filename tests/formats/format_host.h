// A host for the format library's tests: pictures and sound blocks made like the host's,
// the error text of the last report, the output session's answers, and a record of every
// format the library registers with its functions.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "lumetra/plugin.h"

namespace formats_test {

struct Registered {
  std::string kind;  // "InputFormat", "OutputFormat" or "template"
  std::string name;
  const void* base = nullptr;
  std::map<std::string, intptr_t> values;  // last value per key ("Ext0#3" for slot 3)
  std::vector<std::string> fields;         // template fields "name:type:offset"
  bool completed = false;
  template <typename Fn>
  Fn Function(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? nullptr : reinterpret_cast<Fn>(it->second);
  }
};

struct FormatHost {
  FormatHost();
  ~FormatHost();

  // Answers of the output session (ClipGetValue on any context).
  int32_t output_flags = 0;
  int32_t output_samples = 48000;
  int32_t output_channels = 2;
  float frame_rate = 25;

  std::deque<Registered> objects;
  HostServiceTable table{};
  HostCallContext ctx{};
  int32_t live_pictures = 0;

  // The context's last reported text ("" when none).
  static std::string Error(const HostCallContext& ctx);
  const Registered* Input(const std::string& name) const;
  const Registered* Output(const std::string& ext) const;
};

// A new picture as the host makes them; freed with the table's PicFree.
PIC* MakePicture(int32_t width, int32_t height);

}  // namespace formats_test
