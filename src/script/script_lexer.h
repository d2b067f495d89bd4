// The script lexer: turns the text into tokens one at a time, counting lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/script_value.h"

namespace lumetra::script {

enum class TokenKind {
  kEnd,
  kInt,  // decimal integer literal
  kHex,  // hexadecimal literal (64-bit)
  kFloat,
  kString,
  kIdentifier,
  kKeyword,  // if else while for do return break
  kOperator,
  kLeftParen,
  kRightParen,
  kComma,
  kSemicolon,
  kLeftBrace,
  kRightBrace,
  kLeftBracket,
  kRightBracket,
  kError,  // lexical error; the rest of the line (or up to ";") was skipped
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // identifier, keyword or string contents
  int32_t int_value = 0;
  uint64_t hex_value = 0;
  float float_value = 0.0f;
  Operator op = kOpNone;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  const Token& Peek();
  Token Next();
  // Line feeds passed so far, counted from 0.
  int Line() const { return line_; }

 private:
  Token Scan();
  void SkipBlanksAndComments();
  Token ScanNumber();
  Token ScanString();
  Token ScanOperator();
  Token Error();

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 0;
  bool peeked_ = false;
  Token token_;
};

}  // namespace lumetra::script
