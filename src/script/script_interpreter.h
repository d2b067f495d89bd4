// The interpreter of one run: statement reader, expression evaluator on a value stack,
// variables and conversions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/script_lexer.h"
#include "script/script_memory.h"
#include "script/script_value.h"

namespace lumetra::project {
struct Clip;
struct Project;
}  // namespace lumetra::project

namespace lumetra::script {

class FunctionTable;

// Statements, parentheses and argument lists nest no deeper than this, counted across the
// nested runs of one thread.
inline constexpr int kMaxNesting = 200;
// The value stack grows by this many entries at a time.
inline constexpr std::size_t kStackChunk = 256;

// What a run works on.
struct RunEnvironment {
  project::Clip* clip = nullptr;
  project::Project* project = nullptr;
  float current_time = 0.0f;
  std::shared_ptr<const MemoryPolicy> memory;
  const FunctionTable* functions = nullptr;
};

class Interpreter {
 public:
  Interpreter(RunEnvironment env, std::string_view text);

  // Parses and executes the whole text as one sequence; true when it reached the end.
  bool Run();

  bool GeometriesChanged() const { return geometries_changed_; }
  bool TracksChanged() const { return tracks_changed_; }
  const RunEnvironment& Environment() const { return env_; }

  // Converts a value (resolved, not an identifier) to a type; with report, a failure
  // shows its conversion message.
  bool Convert(const Value& from, int32_t to, Value& out, bool report);
  void Report(const std::string& text);
  bool ReadMemory(uint64_t address, void* out, std::size_t size);
  bool WriteMemory(uint64_t address, const void* in, std::size_t size);
  void NoteGeometriesChanged() { geometries_changed_ = true; }
  void NoteTracksChanged() { tracks_changed_ = true; }

 private:
  struct Variable {
    std::string name;
    Value value;
  };

  // Statements.
  bool Sequence(bool exec);
  bool Statement(bool exec, bool single);
  bool IfStatement(bool exec);

  // Expressions. On success with exec, *out holds the single resulting entry.
  bool Expression(bool exec, Value* out);
  bool ParseOperands(bool exec);
  bool ParseParenthesis(bool exec, bool* was_cast);
  bool ParseIdentifier(bool exec, Token token);
  bool ParseCall(bool exec, const std::string& name);
  bool ParsePostfix(bool exec);

  // The value stack.
  bool Push(Value v);
  Value Pop();
  bool PushOperator(Operator op, bool unary);
  bool ReduceWhile(int precedence, std::size_t base);
  bool ReduceAll(std::size_t base);

  // Operations.
  bool Resolve(Value& v, bool quiet_period);
  bool Predefined(const std::string& name, Value& out);
  bool ApplyUnary(Operator op, Value operand, Value& out);
  bool ApplyBinary(Operator op, Value left, Value right, Value& out);
  bool Assign(Value left, Value right, Value& out);
  bool Arithmetic(Operator op, const Value& left, const Value& right, Value& out);
  bool Equality(const Value& left, const Value& right, Value& out);
  bool Member(Value left, const std::string& name, Value& out);
  bool ClipDataMember(const Value& data, const std::string& name, Value& out);
  bool Index(Value left, Value index, Value& out);
  bool Dereference(const Value& pointer, Value& out);

  Variable* FindVariable(std::string_view name);
  bool ClipLive(const project::Clip* clip) const;
  project::Track* LastTrack() const;

  RunEnvironment env_;
  Lexer lexer_;
  std::vector<Value> stack_;
  std::vector<Variable> variables_;
  bool geometries_changed_ = false;
  bool tracks_changed_ = false;
};

}  // namespace lumetra::script
