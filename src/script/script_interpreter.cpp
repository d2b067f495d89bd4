// The statement reader and the shift-reduce expression evaluator.
#include "script/script_interpreter.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "clipdata/atom.h"
#include "clipdata/template.h"
#include "model/model.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "script/script_function.h"
#include "script/script_message.h"

namespace lumetra::script {
namespace {

// The run's clip flag saying its edit window works on the editing copy.
constexpr uint32_t kClipBeingEdited = 0x02;

// Plus, minus, multiply or divide in T (unsigned types wrap); division by zero gives 0.
template <typename T>
T ApplyArithmetic(Operator op, T a, T b) {
  switch (op) {
    case kOpPlus:
      return a + b;
    case kOpMinus:
      return a - b;
    case kOpMultiply:
      return a * b;
    default:
      return b == T{0} ? T{0} : a / b;
  }
}

bool IsTypeName(const std::string& s) {
  return s == "int" || s == "integer" || s == "float" || s == "unsigned";
}

bool EndsExpression(TokenKind k) {
  return k == TokenKind::kSemicolon || k == TokenKind::kRightParen || k == TokenKind::kComma ||
         k == TokenKind::kRightBracket || k == TokenKind::kEnd;
}

bool IsUnaryOperator(Operator op) {
  return op == kOpPlus || op == kOpMinus || op == kOpMultiply || op == kOpIncrement ||
         op == kOpDecrement;
}

// Statement and expression levels on this thread's stack. Nested runs (a host function
// running a script) execute on the same thread and share it, so the budget bounds the
// whole recursion, not each run's own share of it.
thread_local int t_nesting = 0;

struct NestingLevel {
  NestingLevel() { ++t_nesting; }
  ~NestingLevel() { --t_nesting; }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;
};

bool IsIntegral(int32_t t) {
  return t == kTypeInt || t == kTypeUnsigned;
}
bool IsNumber(int32_t t) {
  return IsIntegral(t) || t == kTypeFloat;
}

uint64_t Bits(const Value& v) {
  return v.type == kTypeInt ? static_cast<uint64_t>(int64_t{v.i}) : v.u;
}

float AsFloat(const Value& v) {
  if (v.type == kTypeFloat) return v.f;
  if (v.type == kTypeInt) return static_cast<float>(v.i);
  return static_cast<float>(v.u);
}

template <typename T>
T Load(uint64_t address) {
  T v;
  std::memcpy(&v, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), sizeof v);
  return v;
}

}  // namespace

Interpreter::Interpreter(RunEnvironment env, std::string_view text)
    : env_(std::move(env)), lexer_(text) {
  if (!env_.memory) env_.memory = CurrentMemoryPolicy();
}

void Interpreter::Report(const std::string& text) {
  ShowMessage(text);
}

bool Interpreter::ReadMemory(uint64_t address, void* out, std::size_t size) {
  if (!env_.memory->Allows(address, size, false)) {
    Report(FormatMessage("%smemory at 0x%llX cannot be read.", kPrefix,
                         static_cast<unsigned long long>(address)));
    return false;
  }
  std::memcpy(out, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), size);
  return true;
}

bool Interpreter::WriteMemory(uint64_t address, const void* in, std::size_t size) {
  if (!env_.memory->Allows(address, size, true)) {
    Report(FormatMessage("%smemory at 0x%llX cannot be written.", kPrefix,
                         static_cast<unsigned long long>(address)));
    return false;
  }
  std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), in, size);
  return true;
}

// ---- Statements -------------------------------------------------------------------------

bool Interpreter::Run() {
  if (!Sequence(true)) return false;
  if (lexer_.Peek().kind != TokenKind::kEnd) {  // a stray "}" ended the sequence early
    Report(FormatMessage("%ssyntax error.", kPrefix));
    return false;
  }
  return true;
}

bool Interpreter::Sequence(bool exec) {
  for (;;) {
    TokenKind k = lexer_.Peek().kind;
    if (k == TokenKind::kEnd || k == TokenKind::kRightBrace) return true;
    if (!Statement(exec, false)) return false;
  }
}

bool Interpreter::Statement(bool exec, bool single) {
  if (t_nesting >= kMaxNesting) {
    Report(FormatMessage("%sstatements or expressions nested too deeply.", kPrefix));
    return false;
  }
  NestingLevel level;
  (void)single;

  const Token& t = lexer_.Peek();
  switch (t.kind) {
    case TokenKind::kEnd:
    case TokenKind::kRightBrace:
      Report(FormatMessage("%sunexpected '}' or end of text.", kPrefix));
      return false;
    case TokenKind::kSemicolon:
      lexer_.Next();
      return true;
    case TokenKind::kLeftBrace:
      lexer_.Next();
      if (!Sequence(exec)) return false;
      if (lexer_.Peek().kind != TokenKind::kRightBrace) {
        Report(FormatMessage("%smissing '}'.", kPrefix));
        return false;
      }
      lexer_.Next();
      return true;
    case TokenKind::kKeyword:
      if (t.text == "if") return IfStatement(exec);
      break;
    case TokenKind::kLeftParen: {
      lexer_.Next();
      Value v;
      if (!Expression(exec, &v)) return false;
      if (lexer_.Peek().kind != TokenKind::kRightParen) {
        Report(FormatMessage("%smissing ')'.", kPrefix));
        return false;
      }
      lexer_.Next();
      return true;
    }
    case TokenKind::kOperator:
      if (!IsUnaryOperator(t.op)) break;
      [[fallthrough]];
    case TokenKind::kInt:
    case TokenKind::kFloat:
    case TokenKind::kString:
    case TokenKind::kIdentifier: {
      Value v;
      if (!Expression(exec, &v)) return false;
      TokenKind k = lexer_.Peek().kind;
      if (k == TokenKind::kSemicolon) {
        lexer_.Next();
        return true;
      }
      if (k == TokenKind::kEnd) return true;  // the last statement may omit its ";"
      break;
    }
    default:
      break;
  }
  Report(FormatMessage("%ssyntax error.", kPrefix));
  return false;
}

bool Interpreter::IfStatement(bool exec) {
  lexer_.Next();
  if (lexer_.Peek().kind != TokenKind::kLeftParen) {
    Report(FormatMessage("%smissing '(' after 'if'.", kPrefix));
    return false;
  }
  lexer_.Next();
  if (lexer_.Peek().kind == TokenKind::kRightParen) {
    Report(FormatMessage("%sinvalid expression. (%d)", kPrefix, lexer_.Line()));
    return false;
  }
  Value condition;
  if (!Expression(exec, &condition)) return false;
  if (lexer_.Peek().kind != TokenKind::kRightParen) {
    Report(FormatMessage("%smissing ')'.", kPrefix));
    return false;
  }
  lexer_.Next();
  bool taken = false;
  if (exec) {
    if (condition.type == kTypeClip || condition.type == kTypeTrack) {
      taken = condition.u != 0;  // all 64 bits: a live pointer may end in 32 zero bits
    } else {
      Value c;
      if (!Convert(condition, kTypeInt, c, true)) return false;
      taken = c.i != 0;
    }
  }
  if (!Statement(exec && taken, true)) return false;
  const Token& t = lexer_.Peek();
  if (t.kind == TokenKind::kKeyword && t.text == "else") {
    lexer_.Next();
    if (!Statement(exec && !taken, true)) return false;
  }
  return true;
}

// ---- Expressions ------------------------------------------------------------------------

bool Interpreter::Expression(bool exec, Value* out) {
  if (t_nesting >= kMaxNesting) {
    Report(FormatMessage("%sstatements or expressions nested too deeply.", kPrefix));
    return false;
  }
  NestingLevel level;
  std::size_t base = stack_.size();
  bool ok = ParseOperands(exec);
  if (ok && exec) ok = ReduceAll(base);
  if (ok && exec) *out = Pop();
  stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(base), stack_.end());
  return ok;
}

bool Interpreter::ParseOperands(bool exec) {
  std::size_t base = stack_.size();
  bool after_operator = false;
  for (;;) {
    // An operand, after any number of prefix operators.
    const Token& t = lexer_.Peek();
    if (t.kind == TokenKind::kOperator && IsUnaryOperator(t.op)) {
      Operator op = lexer_.Next().op;
      if (exec && !PushOperator(op, true)) return false;
      after_operator = true;
      continue;
    }
    if (EndsExpression(t.kind)) return true;  // a missing operand: the reduction reports it
    switch (t.kind) {
      case TokenKind::kLeftParen: {
        bool cast = false;
        if (!ParseParenthesis(exec, &cast)) return false;
        if (cast) {
          after_operator = true;
          continue;
        }
        break;
      }
      case TokenKind::kInt:
        if (exec && !Push(Value::Int(lexer_.Next().int_value))) return false;
        if (!exec) lexer_.Next();
        break;
      case TokenKind::kHex:
        if (exec && !Push(Value::Unsigned(lexer_.Next().hex_value))) return false;
        if (!exec) lexer_.Next();
        break;
      case TokenKind::kFloat:
        if (exec && !Push(Value::Float(lexer_.Next().float_value))) return false;
        if (!exec) lexer_.Next();
        break;
      case TokenKind::kString:
        if (exec && !Push(Value::String(lexer_.Next().text))) return false;
        if (!exec) lexer_.Next();
        break;
      case TokenKind::kIdentifier:
        if (!ParseIdentifier(exec, lexer_.Next())) return false;
        break;
      case TokenKind::kKeyword:
        Report(FormatMessage("%ssyntax error.", kPrefix));
        return false;
      default:
        Report(FormatMessage("%sinvalid expression.", kPrefix));
        return false;
    }
    if (!ParsePostfix(exec)) return false;

    // A binary operator or the end of the expression.
    const Token& n = lexer_.Peek();
    if (EndsExpression(n.kind)) return true;
    if (n.kind == TokenKind::kOperator) {
      Operator op = lexer_.Next().op;
      if (exec && !(ReduceWhile(OperatorPrecedence(op), base) && PushOperator(op, false)))
        return false;
      after_operator = true;
      continue;
    }
    bool value_next = n.kind == TokenKind::kInt || n.kind == TokenKind::kHex ||
                      n.kind == TokenKind::kFloat || n.kind == TokenKind::kString ||
                      n.kind == TokenKind::kIdentifier || n.kind == TokenKind::kLeftParen;
    if (value_next && after_operator)
      Report(FormatMessage("%sillegal expression.", kPrefix));
    else
      Report(FormatMessage("%sinvalid expression.", kPrefix));
    return false;
  }
}

bool Interpreter::ParseParenthesis(bool exec, bool* was_cast) {
  lexer_.Next();
  *was_cast = false;
  const Token& t = lexer_.Peek();
  if (t.kind == TokenKind::kIdentifier && IsTypeName(t.text)) {
    std::string type = lexer_.Next().text;
    const Token& a = lexer_.Peek();
    if (a.kind == TokenKind::kIdentifier) {
      Report(FormatMessage("%svariable declaration is not supported", kPrefix));
      return false;
    }
    Operator op = kOpValueCast;
    if (a.kind == TokenKind::kOperator && a.op == kOpMultiply) {
      lexer_.Next();
      op = type == "float" ? kOpCastFloat : type == "unsigned" ? kOpCastUnsigned : kOpCastInt;
    }
    if (lexer_.Peek().kind != TokenKind::kRightParen) {
      Report(FormatMessage("%ssyntax error", kPrefix));
      return false;
    }
    lexer_.Next();
    *was_cast = true;
    return !exec || PushOperator(op, true);
  }
  if (t.kind == TokenKind::kIdentifier) {
    // "(name *)" with a name that is no type: a pointer cast of an unsupported type.
    Lexer saved = lexer_;
    lexer_.Next();
    const Token& a = lexer_.Peek();
    if (a.kind == TokenKind::kOperator && a.op == kOpMultiply) {
      lexer_.Next();
      if (lexer_.Peek().kind == TokenKind::kRightParen) {
        Report(FormatMessage("%sillegal type conversion", kPrefix));
        return false;
      }
    }
    lexer_ = std::move(saved);
  }
  Value v;
  if (!Expression(exec, &v)) return false;
  if (lexer_.Peek().kind != TokenKind::kRightParen) {
    Report(FormatMessage("%smissing ')'", kPrefix));
    return false;
  }
  lexer_.Next();
  return !exec || Push(std::move(v));
}

bool Interpreter::ParseIdentifier(bool exec, Token token) {
  const std::string& name = token.text;
  if (IsTypeName(name)) {
    if (lexer_.Peek().kind == TokenKind::kIdentifier)
      Report(FormatMessage("%svariable declaration is not supported", kPrefix));
    else
      Report(FormatMessage("%ssyntax error", kPrefix));
    return false;
  }
  if (lexer_.Peek().kind == TokenKind::kLeftParen) return ParseCall(exec, name);
  if (!exec) return true;
  Value v;
  if (Predefined(name, v)) return Push(std::move(v));
  v.type = kTypeIdentifier;
  v.s = name;
  return Push(std::move(v));
}

bool Interpreter::ParseCall(bool exec, const std::string& name) {
  lexer_.Next();  // "("
  std::size_t args_base = stack_.size();
  if (lexer_.Peek().kind == TokenKind::kRightParen) {
    lexer_.Next();
  } else {
    for (;;) {
      Value arg;
      if (!Expression(exec, &arg)) return false;
      if (exec && !Push(std::move(arg))) return false;
      TokenKind k = lexer_.Peek().kind;
      lexer_.Next();
      if (k == TokenKind::kRightParen) break;
      if (k != TokenKind::kComma) {
        Report(FormatMessage("%sinvalid function parameters list", kPrefix));
        return false;
      }
    }
  }
  if (!exec) return true;
  HostFunction function = env_.functions != nullptr ? env_.functions->Find(name) : nullptr;
  if (function == nullptr) {
    Report(FormatMessage("%sunknown function '%s' call", kPrefix, name.c_str()));
    return false;
  }
  Value result;
  bool ok;
  {
    std::span<const Value> args(stack_.data() + args_base, stack_.size() - args_base);
    ScriptCall call(*this, name, args);
    ok = function(call);
    result = call.Result();
  }
  stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(args_base), stack_.end());
  return ok && Push(std::move(result));
}

bool Interpreter::ParsePostfix(bool exec) {
  for (;;) {
    const Token& t = lexer_.Peek();
    if (t.kind == TokenKind::kOperator && t.op == kOpMember) {
      lexer_.Next();
      if (lexer_.Peek().kind != TokenKind::kIdentifier) {
        Report(FormatMessage("%syntax error...", kPrefix));
        return false;
      }
      std::string name = lexer_.Next().text;
      if (exec) {
        Value out;
        if (!Member(Pop(), name, out) || !Push(std::move(out))) return false;
      }
    } else if (t.kind == TokenKind::kLeftBracket) {
      lexer_.Next();
      Value index;
      if (!Expression(exec, &index)) return false;
      if (lexer_.Peek().kind != TokenKind::kRightBracket) {
        Report(FormatMessage("%smissing ']'", kPrefix));
        return false;
      }
      lexer_.Next();
      if (exec) {
        Value out;
        if (!Index(Pop(), std::move(index), out) || !Push(std::move(out))) return false;
      }
    } else if (t.kind == TokenKind::kOperator && (t.op == kOpIncrement || t.op == kOpDecrement)) {
      lexer_.Next();
      if (exec) {
        Report(FormatMessage("%sunknown postunar operation.", kPrefix));
        return false;
      }
    } else {
      return true;
    }
  }
}

// ---- The value stack --------------------------------------------------------------------

bool Interpreter::Push(Value v) {
  if (stack_.size() == stack_.capacity()) {
    bool first = stack_.capacity() == 0;
    try {
      stack_.reserve(stack_.capacity() + kStackChunk);
    } catch (const std::bad_alloc&) {
      Report(first ? "stack_push: memory allocation error (1)"
                   : "stack_push: memory allocation error (2)");
      return false;
    }
  }
  stack_.push_back(std::move(v));
  return true;
}

Value Interpreter::Pop() {
  Value v = std::move(stack_.back());
  stack_.pop_back();
  return v;
}

bool Interpreter::PushOperator(Operator op, bool unary) {
  Value v;
  v.type = kTypeOperator;
  v.op = op;
  v.unary = unary;
  return Push(std::move(v));
}

bool Interpreter::ReduceWhile(int precedence, std::size_t base) {
  while (stack_.size() >= base + 2) {
    std::size_t n = stack_.size();
    if (stack_[n - 1].IsOperator()) return true;  // an operand is missing: ReduceAll reports
    const Value& op = stack_[n - 2];
    if (!op.IsOperator()) {
      Report(FormatMessage("%sreduce failed! Stack elements left %d", kPrefix,
                           static_cast<int>(n - base)));
      return false;
    }
    if (OperatorPrecedence(op.op) < precedence) return true;
    Value out;
    if (op.unary) {
      Value operand = Pop();
      Operator o = Pop().op;
      if (!ApplyUnary(o, std::move(operand), out)) return false;
    } else {
      if (n < base + 3 || stack_[n - 3].IsOperator()) {
        Report(FormatMessage("%sreduce failed! Stack elements left %d", kPrefix,
                             static_cast<int>(n - base)));
        return false;
      }
      Value right = Pop();
      Operator o = Pop().op;
      Value left = Pop();
      if (!ApplyBinary(o, std::move(left), std::move(right), out)) return false;
    }
    if (!Push(std::move(out))) return false;
  }
  return true;
}

bool Interpreter::ReduceAll(std::size_t base) {
  if (!ReduceWhile(INT_MIN, base)) return false;
  std::size_t n = stack_.size() - base;
  if (n == 0) {
    Report(
        FormatMessage("%stoo few elements in stack after expression analize completed.", kPrefix));
    return false;
  }
  if (stack_.back().IsOperator()) {
    Report(FormatMessage("%sreduce failed! Stack elements left %d", kPrefix, static_cast<int>(n)));
    return false;
  }
  if (n > 1) {
    Report(
        FormatMessage("%stoo many elements in stack after expression analize completed.", kPrefix));
    return false;
  }
  return Resolve(stack_.back(), false);
}

// ---- Names ------------------------------------------------------------------------------

Interpreter::Variable* Interpreter::FindVariable(std::string_view name) {
  for (Variable& v : variables_)
    if (v.name == name) return &v;
  return nullptr;
}

bool Interpreter::Resolve(Value& v, bool no_period) {
  if (!v.IsIdentifier()) return true;
  Variable* var = FindVariable(v.s);
  if (var == nullptr) {
    Report(FormatMessage(no_period ? "%sunknown variable '%s'" : "%sunknown variable '%s'.",
                         kPrefix, v.s.c_str()));
    return false;
  }
  v = var->value.Rvalue();
  return true;
}

bool Interpreter::ClipLive(const project::Clip* clip) const {
  if (clip == nullptr) return false;
  if (clip == env_.clip) return true;
  if (env_.project == nullptr) return false;
  project::RenderLockGuard lock(project::RenderLock());
  bool found = false;
  project::TrackWalk(env_.project->first_track, [&](project::Track* track) {
    for (const project::Clip* c = track->first_clip; c != nullptr && !found; c = c->next)
      found = c == clip;
  });
  return found;
}

project::Track* Interpreter::LastTrack() const {
  if (env_.project == nullptr) return nullptr;
  project::RenderLockGuard lock(project::RenderLock());
  project::Track* t = env_.project->first_track;
  while (t != nullptr && t->next != nullptr) t = t->next;
  return t;
}

bool Interpreter::Predefined(const std::string& name, Value& out) {
  if (name == "CurrentTime") {
    out = Value::Float(env_.current_time);
  } else if (name == "CurrentClip") {
    out = Value::Pointer(kTypeClip, reinterpret_cast<uintptr_t>(env_.clip));
  } else if (name == "LastTrack") {
    out = Value::Pointer(kTypeTrack, reinterpret_cast<uintptr_t>(LastTrack()));
  } else if (name == "TimeSegBegin" || name == "TimeSegEnd") {
    float t = 0.0f;
    if (env_.project != nullptr) {
      project::RenderLockGuard lock(project::RenderLock());
      t = name == "TimeSegBegin" ? env_.project->active_start : env_.project->active_end;
    }
    out = Value::Float(t);
  } else {
    return false;
  }
  return true;
}

// ---- Operators --------------------------------------------------------------------------

bool Interpreter::ApplyUnary(Operator op, Value operand, Value& out) {
  if (!Resolve(operand, false)) return false;
  switch (op) {
    case kOpPlus:
      out = operand.Rvalue();
      return true;
    case kOpMinus:
      if (operand.type == kTypeInt) {
        out = Value::Int(static_cast<int32_t>(0u - static_cast<uint32_t>(operand.i)));
        return true;
      }
      if (operand.type == kTypeFloat) {
        out = Value::Float(-operand.f);
        return true;
      }
      Report(FormatMessage("%sillegal type for this operation.", kPrefix));
      return false;
    case kOpMultiply:
      return Dereference(operand, out);
    case kOpCastInt:
    case kOpCastUnsigned:
    case kOpCastFloat: {
      int32_t to = op == kOpCastFloat      ? kTypeFloatPointer
                   : op == kOpCastUnsigned ? kTypeUnsignedPointer
                                           : kTypeIntPointer;
      return Convert(operand, to, out, true);
    }
    default:
      Report(FormatMessage("%sunknown unar operation.", kPrefix));
      return false;
  }
}

bool Interpreter::Dereference(const Value& pointer, Value& out) {
  if (pointer.type == kTypeIntPointer) {
    int32_t v;
    if (!ReadMemory(pointer.u, &v, sizeof v)) return false;
    out = Value::Int(v);
    out.width = sizeof v;
  } else if (pointer.type == kTypeFloatPointer) {
    float v;
    if (!ReadMemory(pointer.u, &v, sizeof v)) return false;
    out = Value::Float(v);
    out.width = sizeof v;
  } else if (pointer.type == kTypeUnsignedPointer) {
    uint64_t v;
    if (!ReadMemory(pointer.u, &v, sizeof v)) return false;
    out = Value::Unsigned(v);
    out.width = sizeof v;
  } else {
    Report(FormatMessage("%sillegal type for this operation.", kPrefix));
    return false;
  }
  out.category = Category::kLvalue;
  out.address = pointer.u;
  return true;
}

bool Interpreter::ApplyBinary(Operator op, Value left, Value right, Value& out) {
  switch (op) {
    case kOpAssign:
      return Assign(std::move(left), std::move(right), out);
    case kOpMultiply:
    case kOpDivide:
    case kOpPlus:
    case kOpMinus:
      return Resolve(left, false) && Resolve(right, false) && Arithmetic(op, left, right, out);
    case kOpEqual:
      return Resolve(left, false) && Resolve(right, false) && Equality(left, right, out);
    default:
      Report(FormatMessage("%sunsupported operation.", kPrefix));
      return false;
  }
}

bool Interpreter::Assign(Value left, Value right, Value& out) {
  if (!Resolve(right, true)) return false;
  if (left.IsIdentifier()) {
    Variable* var = FindVariable(left.s);
    if (var == nullptr) {
      switch (right.type) {
        case kTypeInt:
        case kTypeFloat:
        case kTypeString:
        case kTypeUnsigned:
        case kTypeClip:
        case kTypeGeometry:
        case kTypeTrack:
        case kTypeKeyfloat:
          break;
        default:
          Report(FormatMessage("%sunknown value type %d.", kPrefix, right.type));
          return false;
      }
      variables_.push_back({left.s, right.Rvalue()});
      out = right.Rvalue();
      return true;
    }
    Value converted;
    if (!Convert(right, var->value.type, converted, true)) return false;
    var->value = converted;
    out = std::move(converted);
    return true;
  }
  if (left.category != Category::kLvalue) {
    Report(FormatMessage("%sillegal assignment.", kPrefix));
    return false;
  }
  Value converted;
  unsigned char bytes[8] = {};
  std::size_t size = left.width;
  switch (left.type) {
    case kTypeInt: {
      // Host results such as DialogChooseColor's 1 or 0 are geometry-typed and are stored
      // through (int *): their low 32 bits, for this store only.
      if (right.type == kTypeGeometry)
        converted = Value::Int(static_cast<int32_t>(static_cast<uint32_t>(right.u)));
      else if (!Convert(right, kTypeInt, converted, true))
        return false;
      uint32_t v = static_cast<uint32_t>(converted.i);  // little-endian: the low bytes
      std::memcpy(bytes, &v, sizeof v);
      break;
    }
    case kTypeFloat:
      if (!Convert(right, kTypeFloat, converted, true)) return false;
      std::memcpy(bytes, &converted.f, sizeof converted.f);
      size = sizeof converted.f;
      break;
    case kTypeUnsigned:
    case kTypeClip:
    case kTypeGeometry: {
      if (!Convert(right, left.type, converted, true)) return false;
      uintptr_t v = static_cast<uintptr_t>(converted.u);
      std::memcpy(bytes, &v, sizeof v);
      size = sizeof v;
      break;
    }
    default:
      Report(FormatMessage("%sillegal type using", kPrefix));
      return false;
  }
  if (size == 0 || size > sizeof bytes) {
    Report(FormatMessage("%sillegal type using", kPrefix));
    return false;
  }
  if (left.in_clip_data) {
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(left.address)), bytes, size);
  } else if (!WriteMemory(left.address, bytes, size)) {
    return false;
  }
  out = converted.Rvalue();
  return true;
}

bool Interpreter::Arithmetic(Operator op, const Value& left, const Value& right, Value& out) {
  if (left.type == kTypeClip || right.type == kTypeClip) {
    Report(FormatMessage("%sillegal operation with clip pointers.", kPrefix));
    return false;
  }
  if (left.type == kTypeFloat || right.type == kTypeFloat) {
    float a = IsNumber(left.type) ? AsFloat(left) : 0.0f;
    float r = IsNumber(right.type) ? ApplyArithmetic(op, a, AsFloat(right)) : a;
    out = Value::Float(r);
    return true;
  }
  if (!IsIntegral(left.type) && !IsIntegral(right.type)) {
    Report(FormatMessage("%sillegal type for this operation.", kPrefix));
    return false;
  }
  if (left.type == kTypeUnsigned || right.type == kTypeUnsigned) {
    // 64-bit words (addresses): wrap around; an int operand keeps its sign.
    uint64_t a = IsIntegral(left.type) ? Bits(left) : 0;
    uint64_t r = IsIntegral(right.type) ? ApplyArithmetic(op, a, Bits(right)) : a;
    out = Value::Unsigned(r);
    return true;
  }
  // 32-bit int: wrap around; division truncates, by 0 gives 0.
  int32_t a = left.type == kTypeInt ? left.i : 0;
  int32_t r = a;
  if (right.type == kTypeInt) {
    int32_t b = right.i;
    bool divide = op != kOpPlus && op != kOpMinus && op != kOpMultiply;
    if (divide && a == INT32_MIN && b == -1) {
      Report(FormatMessage("%sinteger overflow in division.", kPrefix));
      return false;
    }
    r = divide ? ApplyArithmetic(op, a, b)
               : static_cast<int32_t>(
                     ApplyArithmetic(op, static_cast<uint32_t>(a), static_cast<uint32_t>(b)));
  }
  out = Value::Int(r);
  return true;
}

bool Interpreter::Equality(const Value& left, const Value& right, Value& out) {
  bool equal;
  if (left.type == kTypeClip || right.type == kTypeClip) {
    equal = Bits(left) == Bits(right);
  } else if (left.type == kTypeFloat || right.type == kTypeFloat) {
    Value a, b;
    if (!Convert(left, kTypeFloat, a, true) || !Convert(right, kTypeFloat, b, true)) return false;
    equal = std::fabs(double{a.f} - double{b.f}) < 1e-6;
  } else if (left.type == kTypeUnsigned || right.type == kTypeUnsigned) {
    Value a, b;
    if (!Convert(left, kTypeUnsigned, a, true) || !Convert(right, kTypeUnsigned, b, true))
      return false;
    equal = a.u == b.u;
  } else if (left.type == kTypeInt || right.type == kTypeInt) {
    Value a, b;
    if (!Convert(left, kTypeInt, a, true) || !Convert(right, kTypeInt, b, true)) return false;
    equal = a.i == b.i;
  } else if (left.type == kTypeString && right.type == kTypeString) {
    equal = left.s == right.s;
  } else {
    Report(FormatMessage("%sinvalid operand type.", kPrefix));
    return false;
  }
  out = Value::Int(equal ? 1 : 0);
  return true;
}

bool Interpreter::Member(Value left, const std::string& name, Value& out) {
  if (!Resolve(left, true)) return false;
  if (left.type == kTypeClip) {
    project::Clip* clip = left.AsClip();
    if (!ClipLive(clip)) {
      Report(FormatMessage("%saccess non-existant clip.", kPrefix));
      return false;
    }
    if (name == "from" || name == "fr") {
      out = Value::Float(clip->start);
    } else if (name == "to") {
      out = Value::Float(clip->end);
    } else if (name == "d") {
      const project::Clip* holder = clip;
      if (env_.clip != nullptr && (env_.clip->flags & kClipBeingEdited) != 0 &&
          clip->edit_copy != nullptr)
        holder = clip->edit_copy;
      out = Value::Pointer(kTypeClipData, reinterpret_cast<uintptr_t>(holder->data));
      out.clip = clip;
    } else {
      Report(FormatMessage("%sunknown 'clip' field '%s'", kPrefix, name.c_str()));
      return false;
    }
    return true;
  }
  if (left.type == kTypeClipData) return ClipDataMember(left, name, out);
  Report(FormatMessage("%saccessing field of non structure type", kPrefix));
  return false;
}

bool Interpreter::ClipDataMember(const Value& data, const std::string& name, Value& out) {
  const project::Clip* clip = data.clip;
  const project::Template* tmpl =
      clip != nullptr && clip->process != nullptr ? clip->process->data_template : nullptr;
  const project::TemplateField* field = nullptr;
  if (tmpl != nullptr && data.u != 0) {
    for (const project::TemplateField& f : tmpl->fields) {
      const std::string& spelling = f.name != nullptr ? f.name->text : f.spelling;
      if (project::AtomCompare(spelling, name) == 0) {
        field = &f;
        break;
      }
    }
  }
  const char* tname = tmpl != nullptr && tmpl->name != nullptr ? tmpl->name->text.c_str() : "";
  if (field == nullptr) {
    Report(FormatMessage("%sunknown 'clip' data field '%s'.'%s'", kPrefix, tname, name.c_str()));
    return false;
  }
  uint64_t at = data.u + field->offset;
  bool single = field->count <= 1;
  switch (field->type) {
    case FIELD_TYPE_BYTE:
      out = Value::Int(Load<int8_t>(at));
      out.width = 1;
      break;
    case FIELD_TYPE_WORD:
      out = Value::Int(Load<int16_t>(at));
      out.width = 2;
      break;
    case FIELD_TYPE_DWORD:
      out = Value::Int(Load<int32_t>(at));
      out.width = 4;
      break;
    case FIELD_TYPE_FLOAT:
      out = Value::Float(Load<float>(at));
      out.width = 4;
      break;
    case FIELD_TYPE_KEYFLOAT:
    case FIELD_TYPE_GEOMETRY: {
      bool curve = field->type == FIELD_TYPE_KEYFLOAT;
      if (single) {
        out = Value::Pointer(curve ? kTypeKeyfloat : kTypeGeometry, Load<uintptr_t>(at));
        out.width = sizeof(void*);
      } else {
        out = Value::Pointer(curve ? kTypeKeyfloatArray : kTypeGeometryArray, at);
        out.count = field->count;
      }
      break;
    }
    default:
      Report(FormatMessage("%sunsupported field '%s'.'%s' type %d", kPrefix, tname, name.c_str(),
                           static_cast<int>(field->type)));
      return false;
  }
  out.clip = data.clip;
  if (out.width != 0 && single) {
    out.category = Category::kLvalue;
    out.address = at;
    out.in_clip_data = true;
  } else {
    out.width = 0;  // arrays are rvalues
  }
  return true;
}

bool Interpreter::Index(Value left, Value index, Value& out) {
  if (!Resolve(left, false)) return false;
  if (left.type != kTypeGeometryArray) {
    Report(FormatMessage("%saccess by index of non array type", kPrefix));
    return false;
  }
  Value i;
  if (!Convert(index, kTypeUnsigned, i, false) || i.u >= left.count) {
    Report(FormatMessage("%sillegal index!", kPrefix));
    return false;
  }
  uint64_t at = left.u + i.u * sizeof(void*);
  out = Value::Pointer(kTypeGeometry, Load<uintptr_t>(at));
  out.category = Category::kLvalue;
  out.address = at;
  out.width = sizeof(void*);
  out.in_clip_data = true;
  out.clip = left.clip;
  return true;
}

}  // namespace lumetra::script
