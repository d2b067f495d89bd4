// Key bindings of the bindable commands, their text form and the accelerator table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::app {

// A key with modifiers; key 0 means no binding. Key codes are the desktop's virtual key
// codes: 'A'..'Z', '0'..'9', F1 0x70.., arrows, Home, End and so on.
struct KeyBinding {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  uint32_t key = 0;
  bool operator==(const KeyBinding&) const = default;
};

struct BindableCommand {
  const char* name;    // the settings value name, e.g. "New Project"
  int32_t command;     // the menu command it posts
  KeyBinding builtin;  // the binding when none is stored
};

// Every bindable command, "New Project" first.
std::span<const BindableCommand> BindableCommands();
std::vector<KeyBinding> BuiltinBindings();

// "Shift+Ctrl+Alt+F5" style text; "" for no binding.
std::string KeyBindingFormat(const KeyBinding& binding);
// Modifier words in any order and any case, then one key name; "" is no binding.
// Nothing when the text names no known key.
std::optional<KeyBinding> KeyBindingParse(std::string_view text);

// One entry of the accelerator table.
struct Accelerator {
  enum Flags : uint8_t { kShift = 1, kCtrl = 2, kAlt = 4 };
  uint8_t flags;
  uint32_t key;
  int32_t command;
  bool operator==(const Accelerator&) const = default;
};
// The table from the bindings (indexed like BindableCommands()); a key already taken by
// an earlier command is left out, so a key never posts two commands.
std::vector<Accelerator> AcceleratorsBuild(std::span<const KeyBinding> bindings);

// The keyboard page's check: the message when another command already uses the binding,
// else "".
std::string KeyBindingCheck(std::span<const KeyBinding> bindings, std::size_t command,
                            const KeyBinding& binding);

}  // namespace lumetra::app
