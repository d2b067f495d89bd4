// "--info" and "--save-as": project files loaded headless, described as JSON or saved again.
#include "app/project_info_json.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/exit_status.h"
#include "app/file_commands.h"
#include "app/json_writer.h"
#include "app/options_store.h"
#include "app/project_store.h"
#include "app/settings.h"
#include "clipdata/template.h"
#include "geometry/geometry_list.h"
#include "model/project.h"
#include "model/pseudo_track.h"
#include "platform/error_text.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_io.h"

namespace lumetra::app {
namespace {

using project::Clip;
using project::Project;
using project::Track;

void Curve(Json& j, const KeyfloatKey* k) {
  j.Open('[');
  for (; k != nullptr; k = k->next) {
    j.Open('{');
    j.Key("time");
    j.Float(k->time);
    j.Key("value");
    j.Open('[');
    j.Float(k->x);
    if (k->components >= 2) j.Float(k->y);
    if (k->components >= 3) j.Float(k->z);
    j.Close(']');
    j.Key("tension");
    j.Float(k->tension);
    j.Key("continuity");
    j.Float(k->continuity);
    j.Key("bias");
    j.Float(k->bias);
    j.Close('}');
  }
  j.Close(']');
}

void Input(Json& j, const Track* t) {
  if (t == nullptr)
    j.Null();
  else if (project::IsPseudoTrack(t))
    j.String(t->name);
  else
    j.Int(t->number);
}

template <typename T>
T At(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Data(Json& j, const Clip& c) {
  const project::Template* tmpl = c.process->data_template;
  j.Open('{');
  if (tmpl != nullptr && c.data != nullptr) {
    const auto* base = static_cast<const uint8_t*>(c.data);
    for (const project::TemplateField& f : tmpl->fields) {
      j.Key(f.spelling);
      const uint32_t size = project::FieldElementSize(f.type);
      if (f.count > 1) j.Open('[');
      for (uint32_t i = 0; i < f.count; ++i) {
        const uint8_t* p = base + f.offset + size_t{i} * size;
        switch (f.type) {
          case FIELD_TYPE_BYTE:
            j.Int(*p);
            break;
          case FIELD_TYPE_WORD:
            j.Int(At<uint16_t>(p));
            break;
          case FIELD_TYPE_DWORD:
            j.Int(At<int32_t>(p));
            break;
          case FIELD_TYPE_FLOAT:
            j.Float(At<float>(p));
            break;
          case FIELD_TYPE_KEYFLOAT:
            Curve(j, At<const KeyfloatKey*>(p));
            break;
          case FIELD_TYPE_GEOMETRY: {
            auto* g = At<const geometry::Geometry*>(p);
            if (g != nullptr)
              j.String(g->name);
            else
              j.Null();
            break;
          }
          case FIELD_TYPE_STRING: {
            auto* s = At<const char*>(p);
            if (s != nullptr)
              j.String(s);
            else
              j.Null();
            break;
          }
          case FIELD_TYPE_ALLOCBUF: {
            auto* b = At<const uint8_t*>(p);
            j.Int(b != nullptr ? At<uint32_t>(b) : 0);
            break;
          }
          default:
            j.Null();
            break;
        }
      }
      if (f.count > 1) j.Close(']');
    }
  }
  j.Close('}');
}

void Tracks(Json& j, Track* list);

void ClipJson(Json& j, const Clip& c) {
  j.Open('{');
  j.Key("process");
  j.String(c.process->name);
  j.Key("signature");
  j.String(c.process->signature);
  j.Key("start");
  j.Float(c.start);
  j.Key("end");
  j.Float(c.end);
  j.Key("display_mode");
  j.Int(c.display_mode);
  j.Key("flags");
  j.Int(c.flags);
  j.Key("inputs");
  j.Open('[');
  for (const Track* t : c.inputs) Input(j, t);
  j.Close(']');
  j.Key("data");
  Data(j, c);
  if (c.sub_first_track != nullptr || project::IsSuperClipProcess(c.process)) {
    j.Key("sub_tracks");
    Tracks(j, c.sub_first_track);
  }
  if (c.backup_copy != nullptr) {
    j.Key("edit_copy");
    j.Open('{');
    j.Key("inputs");
    j.Open('[');
    for (const Track* t : c.backup_copy->inputs) Input(j, t);
    j.Close(']');
    j.Key("data");
    Data(j, *c.backup_copy);
    j.Close('}');
  }
  j.Close('}');
}

void Tracks(Json& j, Track* list) {
  j.Open('[');
  for (Track* t = list; t != nullptr; t = t->next) {
    j.Open('{');
    j.Key("number");
    j.Int(t->number);
    j.Key("name");
    j.String(t->name);
    j.Key("flags");
    j.Int(t->flags);
    j.Key("clips");
    j.Open('[');
    for (const Clip* c = t->first_clip; c != nullptr; c = c->next)
      if (c->process != nullptr) ClipJson(j, *c);
    j.Close(']');
    j.Close('}');
  }
  j.Close(']');
}

const char* KindName(int kind) {
  switch (kind) {
    case geometry::kGeoVertex:
      return "vertex";
    case geometry::kGeoVector:
      return "vector";
    case geometry::kGeoContour:
      return "contour";
    case geometry::kGeoMorphPair:
      return "morph_pair";
    case geometry::kGeoGroup:
      return "group";
    default:
      return "unknown";
  }
}

void Names(Json& j, const std::vector<geometry::Geometry*>& list) {
  j.Open('[');
  for (const geometry::Geometry* g : list) {
    if (g != nullptr)
      j.String(g->name);
    else
      j.Null();
  }
  j.Close(']');
}

void Geometries(Json& j, Project* p) {
  j.Open('[');
  {
    for (geometry::Geometry* g = p->geometry.First(); g != nullptr; g = g->next) {
      j.Open('{');
      j.Key("name");
      j.String(g->name);
      j.Key("kind");
      j.String(KindName(g->kind));
      j.Key("parent");
      if (g->parent != nullptr)
        j.String(g->parent->name);
      else
        j.Null();
      j.Key("position");
      Curve(j, g->position);
      j.Key("rotation");
      Curve(j, g->rotation);
      j.Key("scale");
      Curve(j, g->scale);
      if (auto* c = g->Contour()) {
        j.Key("closed");
        j.Bool(c->Closed());
        j.Key("vertices");
        Names(j, c->vertices);
      } else if (auto* gr = g->Group()) {
        j.Key("members");
        Names(j, gr->members);
      } else if (auto* m = g->MorphPair()) {
        j.Key("pair");
        Names(j, {m->a, m->b});
        j.Key("steps");
        j.Int(m->steps);
      }
      j.Close('}');
    }
  }
  j.Close(']');
}

}  // namespace

std::string ProjectInfoJson(Project* p) {
  Json j;
  j.Open('{');
  j.Key("description");
  j.String(p->description);
  const project::ProjectSettings& s = p->settings;
  j.Key("settings");
  j.Open('{');
  const std::pair<const char*, int32_t> ints[] = {
      {"width", s.width},
      {"height", s.height},
      {"detail", s.detail},
      {"time_base", s.time_base},
      {"time_snap", s.time_snap},
      {"initial_time_code", s.initial_time_code},
      {"sampling_rate", s.sampling_rate},
      {"channels", s.channels},
      {"bytes_per_sample", s.bytes_per_sample},
  };
  for (auto [k, v] : ints) {
    j.Key(k);
    j.Int(v);
  }
  j.Key("pixel_aspect");
  j.Float(s.pixel_aspect);
  j.Key("active_segment");
  j.Open('[');
  j.Float(p->active_start);
  j.Float(p->active_end);
  j.Close(']');
  j.Key("preview_segment");
  j.Open('[');
  j.Float(p->preview_start);
  j.Float(p->preview_end);
  j.Close(']');
  j.Close('}');
  project::FileProject doc = project::ProjectToFile(p);
  j.Key("processes");
  j.Open('[');
  for (const project::FileProcess& f : doc.processes) {
    j.Open('{');
    j.Key("name");
    j.String(f.name);
    j.Key("signature");
    j.String(f.signature);
    j.Key("virtual");
    j.Bool(f.flags & project::kProcessVirtual);
    j.Key("fields");
    j.Open('[');
    for (const auto& field : f.data_template.fields) {
      j.Open('{');
      j.Key("name");
      j.String(field.name);
      j.Key("type");
      j.Int(field.type);
      j.Key("count");
      j.Int(field.count);
      j.Close('}');
    }
    j.Close(']');
    j.Close('}');
  }
  j.Close(']');
  j.Key("tracks");
  Tracks(j, p->first_track);
  j.Key("geometries");
  Geometries(j, p);
  j.Close('}');
  return j.Out();
}

namespace {

// Loads through the store; prints the load failure's texts on stderr.
bool LoadHeadless(const std::string& path) {
  LoadResult r = Store().Load(path, project::kLoadMaskLoad);
  if (r.status == LoadStatus::kLoaded) return true;
  // A file that cannot be read carries the system's text; a damaged one carries none.
  if (!r.error.empty())
    std::fprintf(stderr, "Could not load project file:\n%s\n\n%s\n", path.c_str(), r.error.c_str());
  else
    std::fprintf(stderr, "Project file load error:\n%s\n\n", path.c_str());
  return false;
}

// The tools run headless and read the user's settings as the program does ("ZTP.BAK"
// decides whether OUT.BAK is kept), but never write them. "Paths" is left out: its check
// of the temporary directory is no business of a tool.
void StartTool() {
  platform::SetUi(std::make_unique<platform::HeadlessUiHost>(true));
  State().offline = true;
  SettingsSetReadOnly(true);
  Options().Load(kSettingsMaskStartup & ~kSettingsPaths);
}

bool RefuseEmpty(const std::string& argument, const char* option, const char* what) {
  if (!argument.empty()) return false;
  std::fprintf(stderr, "%s: the %s file name is empty\nUsage: %s\n", option, what, kToolUsage);
  return true;
}

}  // namespace

bool StdoutWritten() {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "Could not write the output: %s\n", platform::SystemErrorText(error).c_str());
  return false;
}

std::optional<int> RunProjectFileTool(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "--info") {
    if (RefuseEmpty(args[1], "--info", "project")) return kExitCommandLine;
    StartTool();
    if (!LoadHeadless(args[1])) return kExitOfflineLoadFailed;
    std::string json = ProjectInfoJson(project::CurrentProject());
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    return StdoutWritten() ? kExitOk : kExitSaveFailed;
  }
  if (args.size() == 3 && args[0] == "--save-as") {
    if (RefuseEmpty(args[1], "--save-as", "output") ||
        RefuseEmpty(args[2], "--save-as", "project")) return kExitCommandLine;
    StartTool();
    if (!LoadHeadless(args[2])) return kExitOfflineLoadFailed;
    State().current_file = args[1];
    return CommandSave() == SaveOutcome::kSaved ? kExitOk : kExitSaveFailed;
  }
  if (!args.empty() && (args[0] == "--info" || args[0] == "--save-as")) {
    std::fprintf(stderr, "Usage: %s\n", kToolUsage);
    return kExitCommandLine;
  }
  return std::nullopt;
}

}  // namespace lumetra::app
