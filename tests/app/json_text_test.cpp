// JSON strings from project text bytes: UTF-8 kept, anything else read as Windows-1252.
#include <gtest/gtest.h>

#include "app/json_text.h"

using namespace lumetra::app;

TEST(JsonText, Utf8IsKeptAndOtherBytesAreWindows1252) {
  struct Case {
    std::string bytes, json;
    bool utf8;
  } cases[] = {
      {"plain", "\"plain\"", true},
      {"", "\"\"", true},
      {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC", "\"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC\"", true},
      {"Caf\xE9", "\"Caf\xC3\xA9\"", false},                        // 1252 e acute
      {"\x80 \x99 \x9F", "\"\xE2\x82\xAC \xE2\x84\xA2 \xC5\xB8\"", false},  // euro, TM, Y diaeresis
      {"\x81\x8D", "\"\\u0081\\u008d\"", false},                  // unassigned: C1 controls
      {"a\"b\\c\n\x01\x7F", "\"a\\\"b\\\\c\\u000a\\u0001\\u007f\"", true},
      {"\xC3", "\"\xC3\x83\"", false},                            // cut sequence
      {"\xC0\xAF", "\"\xC3\x80\xC2\xAF\"", false},                // overlong "/"
      {"\xED\xA0\x80", "\"\xC3\xAD\xC2\xA0\xE2\x82\xAC\"", false},  // a surrogate
      {"\xF4\x90\x80\x80", "\"\xC3\xB4\\u0090\xE2\x82\xAC\xE2\x82\xAC\"", false},  // > U+10FFFF
      {"\xC2\x85", "\"\\u0085\"", true},                          // C1 control in UTF-8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    EXPECT_EQ(IsValidUtf8(c.bytes), c.utf8);
    std::string out;
    AppendJsonString(out, c.bytes);
    EXPECT_EQ(out, c.json);
  }
}
