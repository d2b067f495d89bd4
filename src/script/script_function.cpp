// The host function call record and the table of host functions.
#include "script/script_function.h"

#include "script/script_interpreter.h"
#include "script/script_message.h"

namespace lumetra::script {

void ScriptCall::Report(std::string_view message) {
  std::string text;
  if (message.starts_with("%s")) {
    text = kPrefix;
    message.remove_prefix(2);
  }
  text.append(message);
  interpreter_.Report(text);
}

void ScriptCall::ReportText(const std::string& text) {
  interpreter_.Report(text);
}

bool ScriptCall::ConvertArg(std::size_t i, int32_t type, Value& out, std::string_view message,
                            bool* ok) {
  bool converted = i < args_.size() && interpreter_.Convert(args_[i], type, out, false);
  if (!converted) {
    Report(message);
    out = Value::Pointer(type, 0);
    out.i = 0;
    out.f = 0.0f;
  }
  if (ok != nullptr) *ok = converted;
  return converted;
}

int32_t ScriptCall::Int(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeInt, v, message, ok);
  return v.i;
}

float ScriptCall::Float(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeFloat, v, message, ok);
  return v.f;
}

uint64_t ScriptCall::Unsigned(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeUnsigned, v, message, ok);
  return v.u;
}

std::string ScriptCall::String(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeString, v, message, ok);
  return v.s;
}

project::Clip* ScriptCall::Clip(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeClip, v, message, ok);
  return v.AsClip();
}

project::Track* ScriptCall::Track(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeTrack, v, message, ok);
  return v.AsTrack();
}

geometry::Geometry* ScriptCall::Geometry(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeGeometry, v, message, ok);
  return reinterpret_cast<geometry::Geometry*>(static_cast<uintptr_t>(v.u));
}

KeyfloatKey* ScriptCall::Keyfloat(std::size_t i, std::string_view message, bool* ok) {
  Value v;
  ConvertArg(i, kTypeKeyfloat, v, message, ok);
  return reinterpret_cast<KeyfloatKey*>(static_cast<uintptr_t>(v.u));
}

project::Clip* ScriptCall::RunClip() const {
  return interpreter_.Environment().clip;
}
project::Project* ScriptCall::RunProject() const {
  return interpreter_.Environment().project;
}

float ScriptCall::CurrentTime() const {
  return interpreter_.Environment().current_time;
}

bool ScriptCall::ReadMemory(uint64_t address, void* out, std::size_t size) {
  return interpreter_.ReadMemory(address, out, size);
}

bool ScriptCall::WriteMemory(uint64_t address, const void* in, std::size_t size) {
  return interpreter_.WriteMemory(address, in, size);
}

void ScriptCall::NoteGeometriesChanged() {
  interpreter_.NoteGeometriesChanged();
}
void ScriptCall::NoteTracksChanged() {
  interpreter_.NoteTracksChanged();
}

void FunctionTable::Add(std::string name, HostFunction function) {
  std::unique_lock lock(mutex_);
  table_[std::move(name)] = function;
}

void FunctionTable::Remove(std::string_view name) {
  std::unique_lock lock(mutex_);
  auto it = table_.find(name);
  if (it != table_.end()) table_.erase(it);
}

HostFunction FunctionTable::Find(std::string_view name) const {
  std::shared_lock lock(mutex_);
  auto it = table_.find(name);
  return it != table_.end() ? it->second : nullptr;
}

FunctionTable& ScriptFunctions() {
  static FunctionTable table;
  return table;
}

}  // namespace lumetra::script
