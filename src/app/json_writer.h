// A small JSON writer for the command line's tools: values and keys in order, commas placed
// for the caller, strings escaped by AppendJsonString.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/json_text.h"

namespace lumetra::app {

class Json {
 public:
  std::string& Out() { return out_; }

  void Open(char c) {
    Sep();
    out_ += c;
    first_ = true;
  }
  void Close(char c) {
    out_ += c;
    first_ = false;
  }
  void Key(std::string_view k) {
    Sep();
    Str(k);
    out_ += ':';
    first_ = true;  // the value follows without a comma
  }
  void String(std::string_view s) {
    Sep();
    Str(s);
  }
  void Int(int64_t v) {
    Sep();
    out_ += std::to_string(v);
  }
  void Float(double v) {
    Sep();
    if (!std::isfinite(v)) {
      out_ += "null";
      return;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    out_ += buf;
  }
  void Bool(bool v) {
    Sep();
    out_ += v ? "true" : "false";
  }
  void Null() {
    Sep();
    out_ += "null";
  }

 private:
  void Sep() {
    if (!first_) out_ += ',';
    first_ = false;
  }
  void Str(std::string_view s) { AppendJsonString(out_, s); }
  std::string out_;
  bool first_ = true;
};

}  // namespace lumetra::app
