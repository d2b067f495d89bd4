// The bindable commands with their built-in keys, and binding texts.
#include "app/settings_keys.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace lumetra::app {
namespace {

constexpr KeyBinding Ctrl(uint32_t key) {
  return {false, true, false, key};
}
constexpr KeyBinding CtrlShift(uint32_t key) {
  return {true, true, false, key};
}
constexpr KeyBinding Alt(uint32_t key) {
  return {false, false, true, key};
}
constexpr KeyBinding Plain(uint32_t key) {
  return {false, false, false, key};
}
constexpr KeyBinding kNone{};

constexpr std::array<BindableCommand, 18> kCommands = {{
    {"New Project", 2015, Ctrl('N')},
    {"Load Project", 2003, Ctrl('O')},
    {"Save Project", 2004, Ctrl('S')},
    {"Save Project As", 40002, CtrlShift('S')},
    {"Merge Project", 2016, kNone},
    {"Undo", 2017, Ctrl('Z')},
    {"Redo", 2018, Ctrl('Y')},
    {"Exit", 2002, Alt('X')},
    {"Render", 2012, Ctrl('R')},
    {"Render Last", 2006, CtrlShift('R')},
    {"Geometry Animation Controller", 2011, Ctrl('G')},
    {"Project Settings", 40136, Ctrl('P')},
    {"System Preferences", 2008, kNone},
    {"View Last", 2020, Plain(0x74)},  // F5
    {"Set Active Segment", 2007, kNone},
    {"New Clipboard", 40145, kNone},
    {"Open Clipboard", 40113, kNone},
    {"Preview", 2009, Plain(0x20)},  // Space
}};

struct KeyName {
  const char* name;
  uint32_t key;
};

constexpr KeyName kKeyNames[] = {
    {"Backspace", 0x08}, {"Tab", 0x09},   {"Enter", 0x0D}, {"Pause", 0x13}, {"Esc", 0x1B},
    {"Space", 0x20},     {"PgUp", 0x21},  {"PgDn", 0x22},  {"End", 0x23},   {"Home", 0x24},
    {"Left", 0x25},      {"Up", 0x26},    {"Right", 0x27}, {"Down", 0x28},  {"Ins", 0x2D},
    {"Del", 0x2E},       {"Num *", 0x6A}, {"Num +", 0x6B}, {"Num -", 0x6D}, {"Num /", 0x6F},
    {"+", 0xBB},         {",", 0xBC},     {"-", 0xBD},     {".", 0xBE},
};

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string KeyName(uint32_t key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    return std::string(1, static_cast<char>(key));
  if (key >= 0x70 && key <= 0x87) return "F" + std::to_string(key - 0x6F);
  for (const auto& k : kKeyNames)
    if (k.key == key) return k.name;
  return {};
}

std::optional<uint32_t> KeyCode(std::string_view name) {
  if (name.size() == 1) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<uint32_t>(c);
  }
  for (const auto& k : kKeyNames)
    if (EqualNoCase(name, k.name)) return k.key;
  if (name.size() >= 2 && name.size() <= 3 && (name[0] == 'F' || name[0] == 'f')) {
    uint32_t n = 0;
    for (char c : name.substr(1)) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    if (n >= 1 && n <= 24) return 0x6F + n;
  }
  return std::nullopt;
}

}  // namespace

std::span<const BindableCommand> BindableCommands() {
  return kCommands;
}

std::vector<KeyBinding> BuiltinBindings() {
  std::vector<KeyBinding> out;
  for (const auto& c : kCommands) out.push_back(c.builtin);
  return out;
}

std::string KeyBindingFormat(const KeyBinding& b) {
  if (b.key == 0) return {};
  const std::string key = KeyName(b.key);
  if (key.empty()) return {};
  std::string out;
  if (b.shift) out += "Shift+";
  if (b.ctrl) out += "Ctrl+";
  if (b.alt) out += "Alt+";
  return out + key;
}

std::optional<KeyBinding> KeyBindingParse(std::string_view text) {
  KeyBinding b;
  if (text.empty()) return b;
  for (;;) {
    // "+" and "Num +" are keys, so only a modifier word ends at a "+".
    const std::size_t plus = text.find('+');
    if (plus == std::string_view::npos || plus == 0 || plus + 1 == text.size()) break;
    const std::string_view word = text.substr(0, plus);
    if (EqualNoCase(word, "Shift"))
      b.shift = true;
    else if (EqualNoCase(word, "Ctrl"))
      b.ctrl = true;
    else if (EqualNoCase(word, "Alt"))
      b.alt = true;
    else
      break;
    text.remove_prefix(plus + 1);
  }
  auto key = KeyCode(text);
  if (!key) return std::nullopt;
  b.key = *key;
  return b;
}

std::vector<Accelerator> AcceleratorsBuild(std::span<const KeyBinding> bindings) {
  std::vector<Accelerator> table;
  for (std::size_t i = 0; i < bindings.size() && i < kCommands.size(); ++i) {
    const KeyBinding& b = bindings[i];
    if (b.key == 0) continue;
    const uint8_t flags =
        static_cast<uint8_t>((b.shift ? Accelerator::kShift : 0) |
                             (b.ctrl ? Accelerator::kCtrl : 0) | (b.alt ? Accelerator::kAlt : 0));
    bool taken = false;
    for (const Accelerator& a : table) taken = taken || (a.flags == flags && a.key == b.key);
    if (!taken) table.push_back({flags, b.key, kCommands[i].command});
  }
  return table;
}

std::string KeyBindingCheck(std::span<const KeyBinding> bindings, std::size_t command,
                            const KeyBinding& binding) {
  if (binding.key == 0) return {};
  for (std::size_t i = 0; i < bindings.size() && i < kCommands.size(); ++i) {
    if (i == command || !(bindings[i] == binding)) continue;
    char text[256];
    std::snprintf(text, sizeof text,
                  "This hotkey is already used for '%s' action. Please choose another one.",
                  kCommands[i].name);
    return text;
  }
  return {};
}

}  // namespace lumetra::app
