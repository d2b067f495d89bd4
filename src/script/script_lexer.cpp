// The script lexer.
#include "script/script_lexer.h"

#include <cstdlib>

namespace lumetra::script {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
// Upper-case digits only: a lower-case letter ends a hexadecimal literal.
int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::string_view kKeywords[] = {"if", "else", "while", "for", "do", "return", "break"};

}  // namespace

const Token& Lexer::Peek() {
  if (!peeked_) {
    token_ = Scan();
    peeked_ = true;
  }
  return token_;
}

Token Lexer::Next() {
  Peek();
  peeked_ = false;
  return std::move(token_);
}

void Lexer::SkipBlanksAndComments() {
  while (pos_ < text_.size()) {
    char c = text_[pos_];
    if (c == '\n') {
      ++line_;
      ++pos_;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      ++pos_;
    } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
      while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    } else {
      break;
    }
  }
}

Token Lexer::Error() {
  while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != ';') ++pos_;
  Token t;
  t.kind = TokenKind::kError;
  return t;
}

Token Lexer::Scan() {
  SkipBlanksAndComments();
  Token t;
  if (pos_ >= text_.size()) return t;
  char c = text_[pos_];
  if (IsDigit(c)) return ScanNumber();
  if (IsLetter(c)) {
    std::size_t begin = pos_;
    while (pos_ < text_.size() && (IsLetter(text_[pos_]) || IsDigit(text_[pos_]))) ++pos_;
    t.text.assign(text_.substr(begin, pos_ - begin));
    t.kind = TokenKind::kIdentifier;
    for (std::string_view k : kKeywords)
      if (t.text == k) t.kind = TokenKind::kKeyword;
    return t;
  }
  if (c == '"') return ScanString();
  ++pos_;
  switch (c) {
    case '(':
      t.kind = TokenKind::kLeftParen;
      return t;
    case ')':
      t.kind = TokenKind::kRightParen;
      return t;
    case ',':
      t.kind = TokenKind::kComma;
      return t;
    case ';':
      t.kind = TokenKind::kSemicolon;
      return t;
    case '{':
      t.kind = TokenKind::kLeftBrace;
      return t;
    case '}':
      t.kind = TokenKind::kRightBrace;
      return t;
    case '[':
      t.kind = TokenKind::kLeftBracket;
      return t;
    case ']':
      t.kind = TokenKind::kRightBracket;
      return t;
    default:
      break;
  }
  --pos_;
  return ScanOperator();
}

Token Lexer::ScanNumber() {
  Token t;
  if (text_[pos_] == '0' && pos_ + 1 < text_.size() && text_[pos_ + 1] == 'x') {
    pos_ += 2;
    uint64_t v = 0;
    for (int d; pos_ < text_.size() && (d = HexDigit(text_[pos_])) >= 0; ++pos_) {
      if (v > (UINT64_MAX >> 4)) return Error();  // more than 64 bits
      v = (v << 4) | static_cast<uint64_t>(d);
    }
    t.kind = TokenKind::kHex;
    t.hex_value = v;
    return t;
  }
  std::size_t begin = pos_;
  uint32_t v = 0;  // decimal literals wrap around like int arithmetic
  while (pos_ < text_.size() && IsDigit(text_[pos_])) v = v * 10u + uint32_t(text_[pos_++] - '0');
  if (pos_ + 1 < text_.size() && text_[pos_] == '.' && IsDigit(text_[pos_ + 1])) {
    ++pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    if (pos_ + 1 < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E') &&
        IsDigit(text_[pos_ + 1])) {
      ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
    std::string literal(text_.substr(begin, pos_ - begin));
    t.kind = TokenKind::kFloat;
    t.float_value = std::strtof(literal.c_str(), nullptr);
    return t;
  }
  t.kind = TokenKind::kInt;
  t.int_value = static_cast<int32_t>(v);
  return t;
}

Token Lexer::ScanString() {
  Token t;
  ++pos_;  // opening quote
  while (pos_ < text_.size() && text_[pos_] != '"') {
    char c = text_[pos_++];
    if (c == '\n') ++line_;
    if (c == '\\' && pos_ < text_.size()) {
      c = text_[pos_++];
      if (c == '\n') ++line_;
      c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    t.text.push_back(c);
  }
  if (pos_ >= text_.size()) {  // unterminated
    t.kind = TokenKind::kError;
    t.text.clear();
    return t;
  }
  ++pos_;  // closing quote
  t.kind = TokenKind::kString;
  return t;
}

Token Lexer::ScanOperator() {
  struct Spelling {
    std::string_view text;
    Operator op;
  };
  // Longest spellings first.
  static constexpr Spelling kOperators[] = {
      {"*=", kOpMultiplyAssign}, {"++", kOpIncrement},   {"+=", kOpPlusAssign},
      {"--", kOpDecrement},      {"-=", kOpMinusAssign}, {"/=", kOpDivideAssign},
      {"==", kOpEqual},          {"*", kOpMultiply},     {"+", kOpPlus},
      {"-", kOpMinus},           {".", kOpMember},       {"/", kOpDivide},
      {"=", kOpAssign},
  };
  std::string_view rest = text_.substr(pos_);
  for (const Spelling& s : kOperators) {
    if (rest.starts_with(s.text)) {
      pos_ += s.text.size();
      Token t;
      t.kind = TokenKind::kOperator;
      t.op = s.op;
      return t;
    }
  }
  return Error();
}

}  // namespace lumetra::script
