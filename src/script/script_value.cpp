// Value constructors and operator precedence.
#include "script/script_value.h"

namespace lumetra::script {

int OperatorPrecedence(Operator op) {
  switch (op) {
    case kOpMember:
    case kOpIndex:
      return 90;
    case kOpCastInt:
    case kOpCastUnsigned:
    case kOpCastFloat:
    case kOpValueCast:
      return 80;
    case kOpIncrement:
    case kOpDecrement:
      return 60;
    case kOpMultiply:
    case kOpDivide:
      return 40;
    case kOpPlus:
    case kOpMinus:
      return 20;
    case kOpEqual:
      return 10;
    case kOpAssign:
    case kOpMultiplyAssign:
    case kOpDivideAssign:
      return 5;
    case kOpPlusAssign:
    case kOpMinusAssign:
      return 0;
    case kOpNone:
      break;
  }
  return -1;
}

Value Value::Int(int32_t v) {
  Value r;
  r.type = kTypeInt;
  r.i = v;
  return r;
}

Value Value::Float(float v) {
  Value r;
  r.type = kTypeFloat;
  r.f = v;
  return r;
}

Value Value::Unsigned(uint64_t v) {
  Value r;
  r.type = kTypeUnsigned;
  r.u = v;
  return r;
}

Value Value::String(std::string v) {
  Value r;
  r.type = kTypeString;
  r.s = std::move(v);
  return r;
}

Value Value::Pointer(int32_t type, uint64_t bits) {
  Value r;
  r.type = type;
  r.u = bits;
  return r;
}

project::Clip* Value::AsClip() const {
  return reinterpret_cast<project::Clip*>(static_cast<uintptr_t>(u));
}

project::Track* Value::AsTrack() const {
  return reinterpret_cast<project::Track*>(static_cast<uintptr_t>(u));
}

Value Value::Rvalue() const {
  Value r = *this;
  r.category = Category::kValue;
  r.address = 0;
  r.width = 0;
  r.in_clip_data = false;
  return r;
}

}  // namespace lumetra::script
