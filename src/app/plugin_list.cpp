// "--list-plugins": the loaded libraries, their effects and formats, as JSON on stdout.
#include "app/plugin_list.h"

#include <cstdio>
#include <memory>

#include "app/app_hooks.h"
#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/json_writer.h"
#include "host/host_services.h"
#include "host/library_loader.h"
#include "host/plugin_registry.h"
#include "host/typed_object.h"
#include "platform/system_paths.h"
#include "platform/ui_host.h"
#include "render/pic_error.h"

namespace lumetra::app {
namespace {

void Fields(Json& j, const project::Template* tmpl) {
  j.Key("fields");
  j.Open('[');
  if (tmpl != nullptr) {
    for (const project::TemplateField& f : tmpl->fields) {
      j.Open('{');
      j.Key("name");
      j.String(f.spelling);
      j.Key("type");
      j.Int(f.type);
      j.Key("count");
      j.Int(f.count);
      j.Close('}');
    }
  }
  j.Close(']');
}

void Effect(Json& j, const project::ProcessRecord& r) {
  j.Open('{');
  j.Key("signature");
  j.String(r.signature);
  j.Key("name");
  j.String(r.name);
  j.Key("version");
  j.Int(r.version);
  j.Key("flags");
  j.Int(r.flags);
  j.Key("inputs");
  j.Int(r.inputs_number);
  j.Key("previous_track_input");
  j.Int(r.previous_track_input);
  Fields(j, r.data_template);
  j.Close('}');
}

void InputFormat(Json& j, const project::InputFormat& f) {
  j.Open('{');
  j.Key("name");
  j.String(f.name);
  j.Key("version");
  j.Int(f.version);
  j.Key("extensions");
  j.Open('[');
  for (const auto& ext : f.ext)
    if (ext[0] != '\0') j.String(ext);
  j.Close(']');
  j.Key("flags");
  j.Int(f.flags);
  j.Close('}');
}

void OutputFormat(Json& j, const project::OutputFormat& f) {
  j.Open('{');
  j.Key("name");
  j.String(f.name);
  j.Key("version");
  j.Int(f.version);
  j.Key("extension");
  j.String(f.ext);
  j.Key("flags");
  j.Int(f.flags);
  j.Key("parameters");
  j.Open('[');
  if (f.parameters != nullptr) {
    for (const project::DescriptorField& p : f.parameters->fields) {
      j.Open('{');
      j.Key("name");
      j.String(p.name);
      j.Key("type");
      j.Int(p.type);
      j.Key("count");
      j.Int(p.count);
      j.Close('}');
    }
  }
  j.Close(']');
  j.Close('}');
}

}  // namespace

std::string PluginListJson() {
  Json j;
  j.Open('{');
  j.Key("libraries");
  j.Open('[');
  for (const project::LoadedLibrary& l : project::LoadedLibraries()) {
    j.Open('{');
    j.Key("path");
    j.String(l.path);
    j.Key("result");
    j.Int(l.result);
    j.Key("effects");
    j.Open('[');
    for (const project::ProcessRecord* r : l.effects) Effect(j, *r);
    j.Close(']');
    j.Key("input_formats");
    j.Open('[');
    for (const project::InputFormat* f : l.input_formats) InputFormat(j, *f);
    j.Close(']');
    j.Key("output_formats");
    j.Open('[');
    for (const project::OutputFormat* f : l.output_formats) OutputFormat(j, *f);
    j.Close(']');
    j.Close('}');
  }
  j.Close(']');
  j.Close('}');
  return j.Out();
}

std::optional<int> RunPluginList(const std::vector<std::string>& args,
                                 const std::string& program_path) {
  if (args.empty() || args[0] != "--list-plugins") return std::nullopt;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const std::string& arg : rest) {
    if (ClassifyArgument(arg) != ArgumentKind::kSwitch || arg.size() < 3 || arg[2] != ':' ||
        (arg[1] != 'L' && arg[1] != 'l')) {
      std::fprintf(stderr, "Usage: --list-plugins [/L:<path>...]\n");
      return kExitCommandLine;
    }
  }
  platform::SetUi(std::make_unique<platform::HeadlessUiHost>(true));
  InstallHostServices();
  project::TypedObjectsInit();
  render::PicInit();
  const SecondPass pass = ReadSecondPass(rest);
  if (pass.library_switch) {
    for (const std::string& path : pass.libraries) project::LibraryLoad(path);
  } else {
    const platform::ProgramLocation where =
        platform::SplitProgramPath(program_path.empty() ? platform::ProgramPath() : program_path);
    project::LibraryLoadFolders(project::LibraryFolders(where.home));
  }
  std::printf("%s\n", PluginListJson().c_str());
  return kExitOk;
}

}  // namespace lumetra::app
