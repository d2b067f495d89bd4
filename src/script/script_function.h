// Host functions that scripts call: the call record they receive and the table by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>

#include "plugin/lumetra_plugin.h"
#include "script/script_value.h"

namespace lumetra::project {
struct Project;
}
namespace lumetra::geometry {
struct Geometry;
}

namespace lumetra::script {

class Interpreter;

// One call of a host function: its arguments (first argument first, lvalues kept) and
// the services a function needs. Parameter messages are texts beginning with "%s", which
// stands for the interpreter prefix (for example "%sillegal parameter 1 for ClipCreate().").
class ScriptCall {
 public:
  ScriptCall(Interpreter& interpreter, std::string_view name, std::span<const Value> args)
      : interpreter_(interpreter), name_(name), args_(args) {}

  std::string_view Name() const { return name_; }
  std::size_t Count() const { return args_.size(); }
  const Value& Arg(std::size_t i) const { return args_[i]; }

  // Argument i converted to a parameter type. When the conversion fails the parameter
  // message is reported and the call goes on with 0 (an empty string); *ok tells.
  int32_t Int(std::size_t i, std::string_view message, bool* ok = nullptr);
  float Float(std::size_t i, std::string_view message, bool* ok = nullptr);
  uint64_t Unsigned(std::size_t i, std::string_view message, bool* ok = nullptr);
  std::string String(std::size_t i, std::string_view message, bool* ok = nullptr);
  project::Clip* Clip(std::size_t i, std::string_view message, bool* ok = nullptr);
  project::Track* Track(std::size_t i, std::string_view message, bool* ok = nullptr);
  geometry::Geometry* Geometry(std::size_t i, std::string_view message, bool* ok = nullptr);
  KeyfloatKey* Keyfloat(std::size_t i, std::string_view message, bool* ok = nullptr);

  // Reports a message text whose leading "%s" stands for the prefix.
  void Report(std::string_view message);
  // Reports a finished text (already carrying the prefix).
  void ReportText(const std::string& text);

  // The result pushed after the call; int 0 unless set.
  void Return(Value v) { result_ = std::move(v); }
  const Value& Result() const { return result_; }

  project::Clip* RunClip() const;
  project::Project* RunProject() const;
  // The running clip's current time.
  float CurrentTime() const;
  // Reads or writes caller memory under the run's memory policy; false (reported) when
  // the policy refuses the range.
  bool ReadMemory(uint64_t address, void* out, std::size_t size);
  bool WriteMemory(uint64_t address, const void* in, std::size_t size);
  // Marks for the end of the run: geometries carrying the script-change mark changed;
  // tracks or clips were added.
  void NoteGeometriesChanged();
  void NoteTracksChanged();

 private:
  bool ConvertArg(std::size_t i, int32_t type, Value& out, std::string_view message, bool* ok);

  Interpreter& interpreter_;
  std::string_view name_;
  std::span<const Value> args_;
  Value result_ = Value::Int(0);
};

// A host function. Returns false to end the expression with an error (wrong argument
// counts); conversion failures are reported and the function goes on.
using HostFunction = bool (*)(ScriptCall& call);

// Host functions by exact (case-sensitive) name. Filled at start-up; scripts on any thread
// may look names up while another thread adds or removes one.
class FunctionTable {
 public:
  // Replaces an entry of the same name.
  void Add(std::string name, HostFunction function);
  void Remove(std::string_view name);
  HostFunction Find(std::string_view name) const;

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::string, HostFunction, std::less<>> table_;
};

FunctionTable& ScriptFunctions();

}  // namespace lumetra::script
