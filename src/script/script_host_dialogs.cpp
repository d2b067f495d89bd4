// Host functions for file names, dialogs and dialog controls: TranslateFileName,
// DialogChooseColor, DialogChooseGeometry, CheckboxCreate, PolydiaControl.
#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "geometry/geometry.h"
#include "geometry/geometry_list.h"
#include "model/model.h"
#include "platform/system_paths.h"
#include "platform/ui_host.h"
#include "script/script_host.h"
#include "script/script_host_common.h"

namespace lumetra::script::host {
namespace {

constexpr std::string_view kHomePrefix = "<homedir>";
constexpr std::string_view kProjectPrefix = "<projdir>";

std::string HomeDirectory() {
  if (auto hook = HostFunctionHooks().home_directory) return hook();
  return platform::SplitProgramPath(platform::ProgramPath()).home;
}

// The directory of the project's file; the home directory for a project never saved.
std::string ProjectDirectory(project::Project* project) {
  std::string path;
  if (auto hook = HostFunctionHooks().project_file_path) path = hook(project);
  std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return HomeDirectory();
  return path.substr(0, cut + 1);
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// A directory and the rest of a name joined by one "/", every separator written as "/".
std::string JoinName(std::string directory, std::string_view rest) {
  while (!directory.empty() && IsSeparator(directory.back())) directory.pop_back();
  std::size_t skip = 0;
  while (skip < rest.size() && IsSeparator(rest[skip])) ++skip;
  std::string out = directory + "/";
  out.append(rest.substr(skip));
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

bool TranslateFileNameFn(ScriptCall& call) {
  if (call.Count() < 2)
    return CountError(call, "%sTranslateFileName() needs 2 parameters, %d parameter(s) specified");
  uint64_t source_at = call.Unsigned(0, "%sillegal parameter 1 for TranslateFileName().");
  uint64_t dest_at = call.Unsigned(1, "%sillegal parameter 2 for TranslateFileName().");
  call.Return(Value::Int(0));
  std::string source;
  if (source_at == 0 || !ReadCString(call, source_at, kFileNameMax, source)) {
    call.Report("%sillegal parameter 1 for TranslateFileName().");
    return true;
  }
  std::string out = source;
  bool translated = false;
  std::string_view head = std::string_view(source).substr(0, kHomePrefix.size());
  if (SameText(head, kHomePrefix)) {
    out = JoinName(HomeDirectory(), std::string_view(source).substr(kHomePrefix.size()));
    translated = true;
  } else if (SameText(head, kProjectPrefix)) {
    out = JoinName(ProjectDirectory(call.RunProject()),
                   std::string_view(source).substr(kProjectPrefix.size()));
    translated = true;
  }
  // The destination holds kFileNameMax bytes: a longer name is not written at all.
  if (out.size() + 1 > kFileNameMax) {
    call.Report("%sTranslateFileName(): file name too long.");
    return true;
  }
  if (dest_at == 0 || !call.WriteMemory(dest_at, out.c_str(), out.size() + 1)) return true;
  call.Return(Value::Int(translated ? 1 : 0));
  return true;
}

bool DialogChooseColorFn(ScriptCall& call) {
  if (call.Count() < 3)
    return CountError(call, "%sDialogChooseColor() needs 3 parameters, %d parameter(s) specified");
  uintptr_t owner = call.Unsigned(0, "%sillegal parameter 1 for DialogChooseColor().");
  uint64_t colour_at = call.Unsigned(1, "%sillegal parameter 2 for DialogChooseColor().");
  auto changed_fn = reinterpret_cast<LumetraColourChangedFn>(
      static_cast<uintptr_t>(call.Unsigned(2, "%sillegal parameter 3 for DialogChooseColor().")));
  call.Return(Value::Pointer(kTypeGeometry, 0));
  uint8_t bgra[4];
  if (colour_at == 0 || !call.ReadMemory(colour_at, bgra, sizeof bgra)) return true;
  platform::ScriptUi::ColourChanged changed;
  if (changed_fn != nullptr) changed = [changed_fn](uintptr_t dialog, uint8_t* c) { changed_fn(dialog, c); };
  // No lock is held while the dialog runs: the callback may run scripts.
  uint8_t chosen[4];
  std::memcpy(chosen, bgra, sizeof chosen);
  if (!platform::ScriptControls().ChooseColour(owner, chosen, changed)) return true;
  chosen[3] = bgra[3];
  if (!call.WriteMemory(colour_at, chosen, sizeof chosen)) return true;
  call.Return(Value::Pointer(kTypeGeometry, 1));
  return true;
}

bool DialogChooseGeometryFn(ScriptCall& call) {
  if (call.Count() < 3)
    return CountError(call,
                      "%sDialogChooseGeometry() needs at least 3 parameters, %d parameter(s) specified");
  uintptr_t owner = call.Unsigned(0, "%sillegal parameter 1 for DialogChooseGeometry().");
  geometry::Geometry* current =
      call.Geometry(1, "%sillegal parameter 2 for DialogChooseGeometry().");
  std::string title = call.String(2, "%sillegal parameter 3 for DialogChooseGeometry().");
  std::vector<platform::GeometryChoice> choices;
  project::Project* p = call.RunProject();
  {
    std::lock_guard lock(geometry::GeoLock());
    if (!GeometryKnown(call, current)) current = nullptr;
    if (p != nullptr)
      for (geometry::Geometry* g = p->geometry.First(); g != nullptr; g = g->next)
        choices.push_back({reinterpret_cast<uintptr_t>(g), g->name});
  }
  uintptr_t chosen = platform::ScriptControls().ChooseGeometry(
      owner, choices, reinterpret_cast<uintptr_t>(current), title);
  {
    // The chooser ran without locks: the geometry may have gone meanwhile.
    std::lock_guard lock(geometry::GeoLock());
    if (!GeometryKnown(call, reinterpret_cast<geometry::Geometry*>(chosen)))
      chosen = GeometryKnown(call, current) ? reinterpret_cast<uintptr_t>(current) : 0;
  }
  call.Return(Value::Pointer(kTypeGeometry, chosen));
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool CheckboxCreateFn(ScriptCall& call) {
  if (call.Count() < 3)
    return CountError(call, "%sCheckboxCreate() needs at least 3 parameters, %d parameter(s) specified");
  static constexpr const char* kMessages[7] = {
      "%sillegal parameter 1 for CheckboxCreate().", "%sillegal parameter 2 for CheckboxCreate().",
      "%sillegal parameter 3 for CheckboxCreate().", "%sillegal parameter 4 for CheckboxCreate().",
      "%sillegal parameter 5 for CheckboxCreate().", "%sillegal parameter 6 for CheckboxCreate().",
      "%sillegal parameter 7 for CheckboxCreate()."};
  platform::CheckboxRequest request;
  request.parent = call.Unsigned(0, kMessages[0]);
  request.control_id = static_cast<uint32_t>(call.Unsigned(1, kMessages[1]));
  uint64_t descriptor_at = call.Unsigned(2, kMessages[2]);
  call.Return(Value::Unsigned(0));
  std::string descriptor;
  if (descriptor_at == 0 || !ReadCString(call, descriptor_at, kLabelMax, descriptor)) {
    call.Report(kMessages[2]);
    return true;
  }
  // Each keyword takes the next value; the values end with the last argument given.
  std::size_t next = 3;
  const std::size_t last = std::min<std::size_t>(call.Count(), 7);
  std::string_view rest = descriptor;
  while (!rest.empty() && next < last) {
    std::size_t comma = rest.find(',');
    std::string_view word = Trim(rest.substr(0, comma));
    rest = comma == rest.npos ? std::string_view() : rest.substr(comma + 1);
    static constexpr std::string_view kKeywords[] = {"BYHWND", "BYRECT", "COLRGB", "TEXT",
                                                     "SIZE",   "ALIGN",  "STYLE"};
    if (std::none_of(std::begin(kKeywords), std::end(kKeywords),
                     [word](std::string_view k) { return SameText(word, k); }))
      continue;  // an unknown keyword takes no value
    const std::size_t i = next++;
    uint64_t value = call.Unsigned(i, kMessages[i]);
    if (SameText(word, "BYHWND")) {
      request.rect_window = value;
    } else if (SameText(word, "BYRECT")) {
      int32_t r[4];
      if (value != 0 && call.ReadMemory(value, r, sizeof r)) request.rect = std::array{r[0], r[1], r[2], r[3]};
    } else if (SameText(word, "COLRGB")) {
      request.colour = static_cast<uint32_t>(value);
    } else if (SameText(word, "TEXT")) {
      if (value != 0) ReadCString(call, value, kLabelMax, request.text);
    } else if (SameText(word, "SIZE")) {
      request.size = static_cast<uint32_t>(value);
    } else if (SameText(word, "ALIGN")) {
      request.align = static_cast<uint32_t>(value);
    } else if (SameText(word, "STYLE")) {
      request.style = static_cast<uint32_t>(value);
    }
  }
  if (request.rect_window == 0 && !request.rect) return true;
  call.Return(Value::Unsigned(platform::ScriptControls().CreateCheckbox(request)));
  return true;
}

int32_t ArgumentKindCode(std::string_view kind) {
  if (SameText(kind, "percent")) return 1;
  if (SameText(kind, "cliptime")) return 6;
  if (SameText(kind, "angle")) return 4;
  if (SameText(kind, "hue")) return 3;
  if (SameText(kind, "lightness")) return 7;
  return 0;
}

int32_t ValueKindCode(std::string_view kind) {
  if (SameText(kind, "percent")) return 1;
  if (SameText(kind, "rgbcolor")) return 2;
  if (SameText(kind, "hue")) return 3;
  if (SameText(kind, "angle")) return 4;
  if (SameText(kind, "offset")) return 8;
  return 0;
}

bool PolydiaControlFn(ScriptCall& call) {
  if (call.Count() < 3)
    return CountError(call, "%sPolydiaControl() needs at least 3 parameters, %d parameter(s) specified");
  uintptr_t dialog = call.Unsigned(0, "%sillegal parameter 1 for PolydiaControl().");
  int32_t control = call.Int(1, "%sillegal parameter 2 for PolydiaControl().");
  std::string property = call.String(2, "%sillegal parameter 3 for PolydiaControl().");
  call.Return(Value::Int(0));
  platform::ScriptUi& ui = platform::ScriptControls();
  uintptr_t editor = ui.FindCurveEditor(dialog, control);
  if (editor == 0 || !SameText(property, "ItemType")) {
    call.Report("%sspecified dialog item not exists.");
    return true;
  }
  if (call.Count() < 6) return true;
  uint64_t item = call.Unsigned(3, "%sillegal parameter 4 for PolydiaControl().");
  std::string argument = call.String(4, "%sillegal parameter 5 for PolydiaControl().");
  std::string value = call.String(5, "%sillegal parameter 6 for PolydiaControl().");
  bool sent = ui.SetCurveEditorItemType(editor, item, ArgumentKindCode(argument), ValueKindCode(value));
  call.Return(Value::Int(sent ? 1 : 0));
  return true;
}

}  // namespace

void RegisterDialogFunctions(FunctionTable& table) {
  table.Add("TranslateFileName", TranslateFileNameFn);
  table.Add("DialogChooseColor", DialogChooseColorFn);
  table.Add("DialogChooseGeometry", DialogChooseGeometryFn);
  table.Add("CheckboxCreate", CheckboxCreateFn);
  table.Add("PolydiaControl", PolydiaControlFn);
}

}  // namespace lumetra::script::host
