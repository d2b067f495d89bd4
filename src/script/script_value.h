// Script values: the type codes, the stack entry and variable record, and the operators.
#pragma once

#include <cstdint>
#include <string>

namespace lumetra::project {
struct Clip;
struct Track;
}  // namespace lumetra::project

namespace lumetra::script {

// Type codes. They appear in messages, so they are fixed.
enum ValueType : int32_t {
  kTypeInt = 1,         // signed 32-bit, wraps around
  kTypeFloat = 2,       // 32-bit float
  kTypeString = 4,      // owned text
  kTypeOperator = 5,    // stack only: an operator
  kTypeIdentifier = 6,  // stack only: a name not yet resolved
  kTypeUnsigned = 8,    // 64-bit: hexadecimal literals, addresses, handles
  kTypeClip = 35,
  kTypeGeometry = 36,
  kTypeClipData = 38,      // a clip's data block plus the clip
  kTypeIntPointer = 39,    // address of an int32 ("(int *)", "(integer *)")
  kTypeFloatPointer = 40,  // address of a float ("(float *)")
  // Address of a pointer-sized unsigned word ("(unsigned *)"): libraries receive pointers
  // and handles through it, so it stores all 64 bits.
  kTypeUnsignedPointer = 41,
  kTypeGeometryArray = 43,
  kTypeTrack = 44,
  kTypeKeyfloat = 45,
  kTypeKeyfloatArray = 46,
};

enum class Category : uint8_t {
  kValue = 1,   // an rvalue
  kLvalue = 2,  // carries the address it was read from, so it can be assigned
};

enum Operator : int32_t {
  kOpNone = 0,
  kOpMember,          // .
  kOpIndex,           // [ ]
  kOpCastInt,         // (int *), (integer *)
  kOpCastUnsigned,    // (unsigned *)
  kOpCastFloat,       // (float *)
  kOpValueCast,       // (int) and friends: recognised, not supported
  kOpIncrement,       // ++
  kOpDecrement,       // --
  kOpMultiply,        // * (binary) and dereference (unary)
  kOpDivide,          // /
  kOpPlus,            // +
  kOpMinus,           // -
  kOpEqual,           // ==
  kOpAssign,          // =
  kOpMultiplyAssign,  // *=
  kOpDivideAssign,    // /=
  kOpPlusAssign,      // +=
  kOpMinusAssign,     // -=
};

// Binding strength; higher binds tighter. Equal strengths group from the left.
int OperatorPrecedence(Operator op);

// One stack entry or variable value. Which payload is used follows the type.
struct Value {
  int32_t type = kTypeInt;
  Category category = Category::kValue;
  int32_t i = 0;   // int
  float f = 0.0f;  // float
  // unsigned; the address of int, float and unsigned pointers, arrays and clip data; the
  // clip, track, geometry and keyfloat pointers.
  uint64_t u = 0;
  std::string s;  // string; identifier name
  // Lvalues: where the value lives and how many bytes are stored there (1, 2, 4 or 8).
  uint64_t address = 0;
  uint8_t width = 0;
  bool in_clip_data = false;      // the address lies in a clip data block the host owns
  uint32_t count = 0;             // arrays: element count
  project::Clip* clip = nullptr;  // clip data and what was reached through it: the clip
  Operator op = kOpNone;          // operators
  bool unary = false;

  static Value Int(int32_t v);
  static Value Float(float v);
  static Value Unsigned(uint64_t v);
  static Value String(std::string v);
  static Value Pointer(int32_t type, uint64_t bits);

  project::Clip* AsClip() const;
  project::Track* AsTrack() const;
  bool IsOperator() const { return type == kTypeOperator; }
  bool IsIdentifier() const { return type == kTypeIdentifier; }
  // The entry as an rvalue: the address dropped.
  Value Rvalue() const;
};

}  // namespace lumetra::script
