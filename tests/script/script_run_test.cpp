// ScriptRun against a table of scripts: result, message, host calls and memory written.
#include <climits>

#include "script/script_interpreter.h"
#include "script/script_message.h"
#include "script_fixture.h"

namespace lumetra::script {
namespace {

struct Case {
  const char* script;
  int result;
  const char* message;  // the last status text without the prefix; "" when none
  const char* calls;    // stub calls, each followed by ";"
  int32_t i = 0;        // the effect's variables afterwards (they start at 0)
  float f = 0.0f;
  uint64_t u = 0;
};

const Case kCases[] = {
    // Values, variables and conversions.
    {"x = 5; y = x * 2.5; *(float *)$F = y; *(int *)$I = x;", 1, "", "", 5, 12.5f},
    {"*(float *)$F = 1;", 1, "", "", 0, 1.0f},
    {"*(int *)$I = 1;", 1, "", "", 1},
    {"*(unsigned *)$U = 0x1234ABCD5678;", 1, "", "", 0, 0, 0x1234ABCD5678u},
    {"*(unsigned *)$U = 1;", 1, "", "", 0, 0, 1},
    {"x = 0xAB + 1; *(unsigned *)$U = x - 2;", 1, "", "", 0, 0, 0xAA},
    {"x = 5; x = 2.7; *(int *)$I = x;", 1, "", "", 2},
    {"x = 1.5; x = \"2.25\"; *(float *)$F = x;", 1, "", "", 0, 2.25f},
    {"*(int *)$I = \"12\" + 1;", 1, "", "", 1},  // a string operand counts as 0
    {"*(int *)$I = -3 * 4 + 20 / 3;", 1, "", "", -6},
    {"*(int *)$I = GeoOne();", 1, "", "GeoOne;", 1},
    // Equality.
    {"if (1 == 1.0000001) *(int *)$I = 7;", 1, "", "", 7},
    {"s = \"ab\\\"c\"; if (s == \"ab\\\"c\") *(int *)$I = 8;", 1, "", "", 8},
    {"if (1 == 1.00001) *(int *)$I = 7; else *(int *)$I = 9;", 1, "", "", 9},
    {"x = CurrentClip.d == CurrentClip.d;", 0, "invalid operand type.", ""},
    // Division and overflow.
    {"*(int *)$I = 7 / 0; *(float *)$F = 7.0 / 2;", 1, "", "", 0, 3.5f},
    {"*(int *)$I = 7 / 2; *(float *)$F = 7.0 / 0;", 1, "", "", 3, 0.0f},
    {"*(int *)$I = 2147483647 + 1;", 1, "", "", INT_MIN},
    {"x = -2147483647 - 1; y = x / -1;", 0, "integer overflow in division.", ""},
    {"*(int *)$I = 1.0e30 * 1.0e30;", 1, "", "", INT_MAX},
    // Statements, branches and blocks.
    {"if (0) { Stub(1); GeoOne(); } else *(int *)$I = 2;", 1, "", "", 2},
    {"if (1) { Stub(1); } else { GeoOne(); }", 1, "", "Stub(1);"},
    {"if (0) { x = y + ; Unknown(); }", 1, "", ""},
    {"if (0) if (1) Stub(1); else Stub(2);", 1, "", ""},
    {"Stub(0x10, 1.5, \"s\", CurrentClip)", 1, "", "Stub(8,2,4,35);"},
    {"*(int *)$I = 9", 1, "", "", 9},
    {"// only a comment\n  \t\r\n", 1, "", ""},
    {"", 1, "", ""},
    {";;{};", 1, "", ""},
    {"a = 1; b = 2; a = b = 5;", 0, "illegal assignment.", ""},
    {"int x = 3;", 0, "variable declaration is not supported", ""},
    {"while (1) x = 1;", 0, "syntax error.", ""},
    {"0x10 = 1;", 0, "syntax error.", ""},
    {"[1];", 0, "syntax error.", ""},
    {"}", 0, "syntax error.", ""},
    {"if x", 0, "missing '(' after 'if'.", ""},
    {"\n\nif () x = 1;", 0, "invalid expression. (2)", ""},
    {"{ x = 1;", 0, "missing '}'.", ""},
    {"(1;", 0, "missing ')'.", ""},
    {"x = (1;", 0, "missing ')'", ""},
    {"if (1)", 0, "unexpected '}' or end of text.", ""},
    // Expressions.
    {"x = 1 2;", 0, "illegal expression.", ""},
    {"1 2;", 0, "invalid expression.", ""},
    {"x = 3 }", 0, "invalid expression.", ""},
    {"x = \"abc", 0, "invalid expression.", ""},
    {"a_b = 1;", 0, "invalid expression.", ""},
    {"x = ;", 0, "reduce failed! Stack elements left 2", ""},
    {"x++;", 0, "unknown postunar operation.", ""},
    {"x = ++1;", 0, "unknown unar operation.", ""},
    {"x = (int) 5;", 0, "unknown unar operation.", ""},
    {"x = (char *)$I;", 0, "illegal type conversion", ""},
    {"x = int;", 0, "syntax error", ""},
    {"x = (float *)1.5;", 0, "illegal type convertion (to geometry ptr).", ""},
    {"x = 1 *= 2;", 0, "unsupported operation.", ""},
    {"x = \"a\" + \"b\";", 0, "illegal type for this operation.", ""},
    {"x = CurrentClip + 1;", 0, "illegal operation with clip pointers.", ""},
    {"x = -\"s\";", 0, "illegal type for this operation.", ""},
    {"x = *5;", 0, "illegal type for this operation.", ""},
    {"x = y;", 0, "unknown variable 'y'", ""},
    {"x = y + 1;", 0, "unknown variable 'y'.", ""},
    {"t = LastTrack; t = 5;", 0, "illegal type convertion (from integer to track ptr).", ""},
    {"t = LastTrack; t = 0x5;", 0, "illegal type convertion (from unsigned to track ptr).", ""},
    {"t = LastTrack; t = 1.5;", 0, "illegal type convertion (to track ptr).", ""},
    {"c = CurrentClip; c = 1;", 0, "illegal type convertion (to clip ptr).", ""},
    {"x = CurrentClip.d;", 0, "unknown value type 38.", ""},
    {"x = 1; x = CurrentClip.d;", 0, "unknown value type 38.", ""},
    // 64-bit pointers are never cut to an int; only the (int *) store takes a geometry result.
    {"x = 1; x = CurrentClip.d.curve;", 0, "unknown value type 45.", ""},
    {"x = 1; x = CurrentClip.d.gf;", 0, "unknown value type 36.", ""},
    {"*(int *)$I = CurrentClip.d.curve;", 0, "unknown value type 45.", ""},
    {"x = 1; x = GeoOne();", 0, "unknown value type 36.", "GeoOne;"},
    {"if (GeoOne()) *(int *)$I = 5;", 0, "unknown value type 36.", "GeoOne;"},
    {"if (GeoOne() == 1) *(int *)$I = 5;", 0, "unknown value type 36.", "GeoOne;"},
    {"x = GeoOne(); *(int *)$I = x;", 1, "", "GeoOne;", 1},
    {"if (CurrentClip) *(int *)$I = 4;", 1, "", "", 4},
    {"if (HighClip()) *(int *)$I = 6;", 1, "", "", 6},
    // Calls.
    {"Unknown(1);", 0, "unknown function 'Unknown' call", ""},
    {"Stub(1,;", 0, "too few elements in stack after expression analize completed.", ""},
    {"Stub(1", 0, "invalid function parameters list", ""},
    {"Stub(1 ]", 0, "invalid function parameters list", ""},
    {"NeedsOne(1, 2);", 0, "NeedsOne() needs 1 parameter, exist 2 parameter(s)", ""},
    {"*(int *)$I = NeedsOne(\"7\");", 1, "", "", 7},
    {"*(int *)$I = NeedsOne(CurrentClip.d);", 1, "illegal parameter 1 for NeedsOne().", "", 0},
    // Structures, fields and indexes.
    {"*(float *)$F = CurrentClip.fr + CurrentClip.to;", 1, "", "", 0, 5.5f},
    {"CurrentClip.d.nothing = 1;", 0, "unknown 'clip' data field 'EffectData'.'nothing'", ""},
    {"CurrentClip.d.text = 1;", 0, "unsupported field 'EffectData'.'text' type 11", ""},
    {"CurrentClip.x;", 0, "unknown 'clip' field 'x'", ""},
    {"x = 1; x.y;", 0, "accessing field of non structure type", ""},
    {"CurrentClip.1;", 0, "yntax error...", ""},
    {"CurrentClip.d.gpair[3] = 1;", 0, "illegal index!", ""},
    {"CurrentClip.d.gpair[\"x\" + CurrentClip];", 0, "illegal operation with clip pointers.", ""},
    {"x = 1; x[0];", 0, "access by index of non array type", ""},
    {"CurrentClip.d.gpair[1;", 0, "missing ']'", ""},
    {"CurrentClip.d.curve = 1;", 0, "illegal type using", ""},
    {"CurrentTime = 1;", 0, "illegal assignment.", ""},
    // Memory outside the registered area.
    {"*(int *)0x10 = 5;", 0, "memory at 0x10 cannot be read.", ""},
    {"*(int *)$I = 3; *(int *)($G + 8) = 1;", 0, "", "", 3},
};

TEST_F(ScriptTest, TableOfScripts) {
  // A clip pointer whose low 32 bits are all zero (never dereferenced).
  ScriptFunctions().Add("HighClip", [](ScriptCall& call) {
    call.Return(Value::Pointer(kTypeClip, uint64_t{1} << 32));
    return true;
  });
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.script);
    mem_ = {};
    data_ = {};
    ui_->statuses.clear();
    reported_.clear();
    calls_.clear();
    EXPECT_EQ(Run(c.script), c.result);
    std::string message = c.message[0] ? std::string(kPrefix) + c.message : "";
    if (c.result == 0 && message.empty()) {
      // Only the refusal matters here; its text names the address.
      EXPECT_NE(LastStatus().find("cannot be read."), std::string::npos) << LastStatus();
    } else {
      EXPECT_EQ(LastStatus(), message);
    }
    EXPECT_EQ(reported_,
              c.result ? std::vector<std::string>{} : std::vector<std::string>{"Script error"});
    std::string calls;
    for (const std::string& s : calls_) calls += s + ";";
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(mem_.i, c.i);
    EXPECT_EQ(mem_.f, c.f);
    EXPECT_EQ(mem_.u, c.u);
    EXPECT_EQ(mem_.i2, 0);
    EXPECT_EQ(mem_.guard, 0);
  }
  ScriptFunctions().Remove("HighClip");
}

TEST_F(ScriptTest, ClipDataFieldsStoreWithTheirOwnWidths) {
  data_.curve = nullptr;
  EXPECT_EQ(Run("CurrentClip.d.b = 300; CurrentClip.d.w = -2; CurrentClip.d.dw = 42;"
                "CurrentClip.d.f = CurrentClip.from * 2; CurrentClip.d.gpair[2] = 0x20;"
                "CurrentClip.d.gf = CurrentClip.d.gpair[2];"
                "*(int *)$I = CurrentClip.d.w; *(int *)$I2 = CurrentClip.d.b;"),
            1)
      << LastStatus();
  EXPECT_EQ(data_.b, 44);  // 300 stored in one byte
  EXPECT_EQ(data_.w, -2);
  EXPECT_EQ(data_.dw, 42);
  EXPECT_EQ(data_.f, 3.0f);
  EXPECT_EQ(data_.gpair[2], reinterpret_cast<void*>(0x20));
  EXPECT_EQ(data_.gpair[0], nullptr);
  EXPECT_EQ(data_.gf, reinterpret_cast<void*>(0x20));
  EXPECT_EQ(mem_.i, -2);  // sign-extended
  EXPECT_EQ(mem_.i2, 44);
}

TEST_F(ScriptTest, EditedClipReadsItsEditingCopy) {
  EffectData copy_data;
  project::Clip copy;
  copy.process = &process_;
  copy.data = &copy_data;
  clip_.edit_copy = &copy;
  EXPECT_EQ(Run("CurrentClip.d.dw = 1;"), 1);
  EXPECT_EQ(data_.dw, 1);
  clip_.flags |= 0x02;  // being edited: .d is the copy's data
  EXPECT_EQ(Run("CurrentClip.d.dw = 2;"), 1);
  EXPECT_EQ(copy_data.dw, 2);
  EXPECT_EQ(data_.dw, 1);
  clip_.edit_copy = nullptr;
}

TEST_F(ScriptTest, HostFunctionsReceiveTypedArgumentsAndLvalues) {
  static Value seen[3];
  ScriptFunctions().Add("Capture", [](ScriptCall& call) {
    for (std::size_t i = 0; i < call.Count() && i < 3; ++i) seen[i] = call.Arg(i);
    call.Return(Value::Float(call.Float(1, "%sbad")));
    return true;
  });
  EXPECT_EQ(Run("*(float *)$F = Capture(CurrentClip.d.curve, \"2.5\", CurrentClip.d.gpair);"), 1);
  ScriptFunctions().Remove("Capture");
  EXPECT_EQ(mem_.f, 2.5f);
  EXPECT_EQ(seen[0].type, kTypeKeyfloat);
  EXPECT_EQ(seen[0].category, Category::kLvalue);
  EXPECT_EQ(seen[0].address, reinterpret_cast<uintptr_t>(&data_.curve));
  EXPECT_EQ(seen[0].clip, &clip_);
  EXPECT_EQ(seen[2].type, kTypeGeometryArray);
  EXPECT_EQ(seen[2].count, 3u);
  EXPECT_EQ(seen[2].category, Category::kValue);
}

TEST_F(ScriptTest, NestingIsBounded) {
  std::string deep =
      "x = " + std::string(kMaxNesting + 5, '(') + "1" + std::string(kMaxNesting + 5, ')') + ";";
  EXPECT_EQ(Run(deep), 0);
  EXPECT_EQ(LastStatus(), std::string(kPrefix) + "statements or expressions nested too deeply.");
  std::string ok = "x = " + std::string(50, '(') + "1" + std::string(50, ')') + ";";
  EXPECT_EQ(Run(ok), 1);
  std::string blocks = std::string(kMaxNesting + 5, '{') + std::string(kMaxNesting + 5, '}');
  EXPECT_EQ(Run(blocks), 0);
}

TEST_F(ScriptTest, NestedRunsShareOneNestingBudget) {
  ScriptFunctions().Add("Nested", [](ScriptCall& call) {
    std::string text = call.String(0, "%sbad");
    call.Return(Value::Int(ScriptRun(call.RunClip(), text.c_str())));
    return true;
  });
  auto parens = [](int n, const std::string& inner) {
    return std::string(n, '(') + inner + std::string(n, ')');
  };
  const std::string inner = "x = " + parens(120, "1") + ";";
  // Each part alone is well inside the budget ...
  EXPECT_EQ(Run(inner), 1);
  EXPECT_EQ(Run("*(int *)$I = " + parens(120, "1") + ";"), 1);
  EXPECT_EQ(mem_.i, 1);
  // ... but a run nested inside a deep expression has only what is left of it.
  ui_->statuses.clear();
  EXPECT_EQ(Run("*(int *)$I = " + parens(120, "Nested(\"" + inner + "\")") + ";"), 1);
  EXPECT_EQ(mem_.i, 0);  // the nested run failed
  EXPECT_EQ(ui_->statuses.front(),
            std::string(kPrefix) + "statements or expressions nested too deeply.");
  EXPECT_EQ(Run("*(int *)$I = " + parens(40, "Nested(\"" + inner + "\")") + ";"), 1);
  EXPECT_EQ(mem_.i, 1);
  // Runs nested to the depth limit, each deep in an expression, end without exhausting
  // the thread's stack.
  ScriptFunctions().Add("Deep", [](ScriptCall& call) {
    const std::string text =
        "x = " + std::string(150, '(') + "Deep()" + std::string(150, ')') + ";";
    call.Return(Value::Int(ScriptRun(call.RunClip(), text.c_str())));
    return true;
  });
  EXPECT_EQ(Run("Deep();"), 1);
  EXPECT_EQ(ScriptRunDepth(), 0);
  for (const char* name : {"Nested", "Deep"}) ScriptFunctions().Remove(name);
}

TEST_F(ScriptTest, NullTextFails) {
  EXPECT_EQ(ScriptRun(&clip_, nullptr), 0);
  EXPECT_EQ(reported_, std::vector<std::string>{"Script error"});
}

}  // namespace
}  // namespace lumetra::script
