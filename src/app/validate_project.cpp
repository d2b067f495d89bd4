// "validate": loads the libraries and the project headless and collects every problem a farm
// run would meet, each with its class, then reports them as text or JSON.
#include "app/validate_project.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/json_writer.h"
#include "app/options_store.h"
#include "app/project_info_json.h"
#include "app/project_store.h"
#include "app/render_output.h"
#include "app/settings.h"
#include "clipdata/template.h"
#include "host/host_services.h"
#include "host/library_loader.h"
#include "host/typed_object.h"
#include "model/model.h"
#include "model/project.h"
#include "platform/atomic_write.h"
#include "platform/error_text.h"
#include "platform/file_ops.h"
#include "platform/system_paths.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_io.h"
#include "render/pic_error.h"

namespace lumetra::app {
namespace {

using project::Clip;
using project::Track;

// Numbered media sequences longer than this are checked at their first and last frames only.
constexpr int64_t kMaxSequenceFramesChecked = 100'000;
constexpr uint32_t kNumberedFramesFlag = 0x20;  // srcFlags bit 5 of the source effects

struct ProblemRow {
  ValidateProblem problem;
  const char* name;
  int status;
};
constexpr ProblemRow kProblems[] = {
    {ValidateProblem::kProjectLoad, "project_load", kExitOfflineLoadFailed},
    {ValidateProblem::kMissingEffect, "missing_effect", kExitValidateMissingEffect},
    {ValidateProblem::kLibrary, "library", kExitValidateLibrary},
    {ValidateProblem::kMissingFile, "missing_file", kExitValidateMissingFile},
    {ValidateProblem::kOutputFolder, "output_folder", kExitValidateOutputFolder},
    {ValidateProblem::kFrameRange, "frame_range", kExitValidateFrameRange},
};

const ProblemRow& Row(ValidateProblem problem) {
  for (const ProblemRow& row : kProblems)
    if (row.problem == problem) return row;
  return kProblems[0];
}

// Stored paths may use backslashes; they are folders here.
std::string Slashes(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool Contains(std::string_view text, std::string_view word) {
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    bool same = true;
    for (std::size_t k = 0; k < word.size() && same; ++k)
      same = std::tolower(static_cast<unsigned char>(text[i + k])) == word[k];
    if (same) return true;
  }
  return false;
}

// The clip data fields a clip's template names, read as the block lays them out.
class ClipFields {
 public:
  explicit ClipFields(const Clip& clip)
      : tmpl_(clip.process != nullptr ? clip.process->data_template : nullptr),
        base_(static_cast<const uint8_t*>(clip.data)) {}

  const project::TemplateField* Find(std::string_view name, int32_t type) const {
    if (tmpl_ == nullptr || base_ == nullptr) return nullptr;
    return project::TemplateFindField(*tmpl_, name, type);
  }
  std::string String(const project::TemplateField& f) const {
    const char* s = nullptr;
    std::memcpy(&s, base_ + f.offset, sizeof s);
    return s != nullptr ? std::string(s) : std::string();
  }
  std::optional<std::string> String(std::string_view name) const {
    const project::TemplateField* f = Find(name, FIELD_TYPE_STRING);
    if (f == nullptr) return std::nullopt;
    return String(*f);
  }
  int32_t Long(std::string_view name, int32_t fallback) const {
    const project::TemplateField* f = Find(name, FIELD_TYPE_DWORD);
    if (f == nullptr) return fallback;
    int32_t v = 0;
    std::memcpy(&v, base_ + f->offset, sizeof v);
    return v;
  }
  const project::Template* Template() const { return base_ != nullptr ? tmpl_ : nullptr; }

 private:
  const project::Template* tmpl_;
  const uint8_t* base_;
};

class Checker {
 public:
  Checker(ValidateReport& report, std::string project_folder)
      : report_(report), project_folder_(std::move(project_folder)) {}

  void Tracks(const Track* list) {
    for (const Track* t = list; t != nullptr; t = t->next)
      for (const Clip* c = t->first_clip; c != nullptr; c = c->next) ClipCheck(*c);
  }

 private:
  void ClipCheck(const Clip& c) {
    if (c.process == nullptr) return;
    if (signatures_.insert(c.process->signature).second) {
      report_.effects.push_back(c.process->signature);
      if (c.process->flags & project::kProcessVirtual) {
        report_.issues.push_back({ValidateProblem::kMissingEffect, c.process->signature,
                                  "Effect '" + c.process->name + "' (" + c.process->signature +
                                      ") is not provided by any loaded library"});
      }
    }
    Files(c);
    Tracks(c.sub_first_track);
  }

  // A source effect names its media by folder, name and extension, and numbered frames by
  // their range and digits; any other string field called a file or a font is a path.
  void Files(const Clip& c) {
    ClipFields fields(c);
    const project::Template* tmpl = fields.Template();
    if (tmpl == nullptr) return;
    auto path = fields.String("Path"), name = fields.String("Name"), ext = fields.String("Ext");
    if (path && name && ext) {
      if (!ext->empty()) Media(fields, Slashes(*path), *name, *ext);
    }
    for (const project::TemplateField& f : tmpl->fields) {
      if (f.type != FIELD_TYPE_STRING || f.count != 1) continue;
      if (!Contains(f.spelling, "file") && !Contains(f.spelling, "font")) continue;
      const std::string value = fields.String(f);
      if (!value.empty()) File(Slashes(value));
    }
  }

  void Media(const ClipFields& fields, const std::string& folder, const std::string& name,
             const std::string& ext) {
    const int32_t digits = fields.Long("Digits", 0);
    const bool numbered =
        (static_cast<uint32_t>(fields.Long("srcFlags", 0)) & kNumberedFramesFlag) && digits > 0 &&
        digits < 32;
    if (!numbered) {
      File(Join(folder, name + "." + ext));
      return;
    }
    const int32_t first = fields.Long("Fr", 0), last = fields.Long("To", 0);
    auto frame_name = [&](int64_t n) {
      char number[48];
      std::snprintf(number, sizeof number, "%0*lld", digits, static_cast<long long>(n));
      return Join(folder, name + number + "." + ext);
    };
    if (last < first) {
      File(frame_name(first));
      return;
    }
    const int64_t count = int64_t{last} - first + 1;
    if (count > kMaxSequenceFramesChecked) {
      File(frame_name(first));
      File(frame_name(last));
      return;
    }
    for (int64_t n = first; n <= last; ++n) File(frame_name(n));
  }

  // Relative names are taken from the project's folder, where the farm's nodes find them too.
  void File(const std::string& stored) {
    const std::string path =
        stored.empty() || stored[0] == '/' ? stored : Join(project_folder_, stored);
    if (!checked_.insert(path).second) return;
    report_.files.push_back(path);
    if (int error = platform::CheckReadable(path); error != 0) {
      report_.issues.push_back(
          {ValidateProblem::kMissingFile, path,
           "Media file '" + path + "' cannot be read: " + platform::SystemErrorText(error)});
    }
  }

  ValidateReport& report_;
  std::string project_folder_;
  std::set<std::string> signatures_;
  std::set<std::string> checked_;
};

void OutputFolder(ValidateReport& report, const std::string& folder) {
  report.output_folders.push_back(folder);
  if (!platform::IsReadWriteDirectory(folder) || !platform::ProbeWritableDirectory(folder)) {
    report.issues.push_back({ValidateProblem::kOutputFolder, folder,
                             "Output folder '" + folder + "' does not exist or cannot be written"});
  }
}

void OutputFolders(ValidateReport& report, const ValidateRequest& request) {
  if (!request.output_pattern.empty()) {
    OutputFolder(report, FolderOf(request.output_pattern));
    return;
  }
  const auto& preset = project::FileSession().render_preset;
  if (!preset) return;
  for (const project::FilePresetComponent& component : preset->components) {
    const std::string& path = component.texts[0];
    if (!path.empty()) OutputFolder(report, Slashes(path));
  }
}

void LoadLibraries(ValidateReport& report, const std::vector<std::string>& libraries) {
  // Loaded once per process; a named library that the loader refused (not ELF, truncated,
  // no entry point) never joins the loaded list, so its refusal is kept here.
  static bool loaded = false;
  static std::vector<std::pair<std::string, std::string>> refused;
  if (!loaded) {
    loaded = true;
    if (!libraries.empty()) {
      for (const std::string& path : libraries) {
        const project::LibraryLoadResult r = project::LibraryLoad(path);
        if (r.result < 1) refused.emplace_back(path, r.message);
      }
    } else {
      const platform::ProgramLocation where = platform::SplitProgramPath(platform::ProgramPath());
      project::LibraryLoadFolders(project::LibraryFolders(where.home));
    }
  }
  auto named = [&report](const std::string& path) {
    for (const ValidateIssue& i : report.issues)
      if (i.problem == ValidateProblem::kLibrary && i.subject == path) return true;
    return false;
  };
  for (const std::string& path : libraries) {
    if (int error = platform::CheckReadable(path); error != 0)
      report.issues.push_back(
          {ValidateProblem::kLibrary, path,
           "Library '" + path + "' cannot be read: " + platform::SystemErrorText(error)});
  }
  for (const auto& [path, message] : refused) {
    if (named(path)) continue;
    std::string text = message;
    for (char& c : text)
      if (c == '\n') c = ' ';
    report.issues.push_back(
        {ValidateProblem::kLibrary, path, "Library '" + path + "' did not load: " + text});
  }
  for (const project::LoadedLibrary& l : project::LoadedLibraries()) {
    if (l.result >= 1 || named(l.path)) continue;
    report.issues.push_back(
        {ValidateProblem::kLibrary, l.path,
         "Library '" + l.path + "' did not load (result " + std::to_string(l.result) + ")"});
  }
}

}  // namespace

const char* ValidateProblemName(ValidateProblem problem) {
  return Row(problem).name;
}

int ValidateExitStatus(const ValidateReport& report) {
  for (const ProblemRow& row : kProblems)
    for (const ValidateIssue& i : report.issues)
      if (i.problem == row.problem) return row.status;
  return kExitOk;
}

ValidateReport ValidateProject(const ValidateRequest& request) {
  ValidateReport report;
  report.project = request.project;
  StartHeadlessTool();
  LoadLibraries(report, request.libraries);
  LoadResult loaded = Store().Load(request.project, project::kLoadMaskLoad);
  if (loaded.status != LoadStatus::kLoaded) {
    report.issues.push_back({ValidateProblem::kProjectLoad, request.project,
                             "Project '" + request.project + "' did not load: " + loaded.error});
    return report;
  }
  report.loaded = true;
  project::Project* p = project::CurrentProject();
  Checker(report, FolderOf(request.project)).Tracks(p->first_track);
  OutputFolders(report, request);
  report.frames = request.frames ? *request.frames : ProjectFrameRange(*p);
  if (report.frames.Empty()) {
    report.issues.push_back({ValidateProblem::kFrameRange, FrameRangeText(report.frames),
                             "Frame range " + FrameRangeText(report.frames) + " holds no frame"});
  }
  return report;
}

std::string ValidateReportJson(const ValidateReport& report) {
  Json j;
  j.Open('{');
  j.Key("project");
  j.String(report.project);
  j.Key("ok");
  j.Bool(report.ok());
  j.Key("exit_status");
  j.Int(ValidateExitStatus(report));
  j.Key("loaded");
  j.Bool(report.loaded);
  if (report.loaded) {
    j.Key("frames");
    j.Open('{');
    j.Key("first");
    j.Int(report.frames.first);
    j.Key("last");
    j.Int(report.frames.last);
    j.Key("step");
    j.Int(report.frames.step);
    j.Key("count");
    j.Int(report.frames.Count());
    j.Close('}');
  }
  auto list = [&j](const char* key, const std::vector<std::string>& values) {
    j.Key(key);
    j.Open('[');
    for (const std::string& v : values) j.String(v);
    j.Close(']');
  };
  list("effects", report.effects);
  list("files", report.files);
  list("output_folders", report.output_folders);
  j.Key("problems");
  j.Open('[');
  for (const ValidateIssue& i : report.issues) {
    j.Open('{');
    j.Key("class");
    j.String(ValidateProblemName(i.problem));
    j.Key("exit_status");
    j.Int(Row(i.problem).status);
    j.Key("subject");
    j.String(i.subject);
    j.Key("message");
    j.String(i.message);
    j.Close('}');
  }
  j.Close(']');
  j.Close('}');
  return j.Out();
}

std::string ValidateReportText(const ValidateReport& report) {
  std::string text = "Project: " + report.project + "\n";
  if (report.loaded) {
    text += "Frames: " + FrameRangeText(report.frames) + " (" +
            std::to_string(report.frames.Count()) + ")\n";
    text += "Effects: " + std::to_string(report.effects.size()) +
            ", files: " + std::to_string(report.files.size()) + "\n";
  }
  if (report.ok()) return text + "OK: ready to render\n";
  for (const ValidateIssue& i : report.issues)
    text += std::string("Problem [") + ValidateProblemName(i.problem) + "]: " + i.message + "\n";
  return text + std::to_string(report.issues.size()) + " problem(s) found\n";
}

std::optional<int> RunValidate(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != "validate") return std::nullopt;
  ValidateRequest request;
  bool json = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--frames" && i + 1 < args.size()) {
      request.frames = ParseFrameRange(args[++i]);
      if (!request.frames) {
        std::fprintf(stderr, "validate: '%s' is no frame range (A-B or A-B:STEP)\n",
                     args[i].c_str());
        return kExitCommandLine;
      }
    } else if (a == "--output" && i + 1 < args.size()) {
      request.output_pattern = args[++i];
    } else if (ClassifyArgument(a) == ArgumentKind::kSwitch && a.size() > 3 && a[2] == ':' &&
               (a[1] == 'L' || a[1] == 'l')) {
      request.libraries.push_back(a.substr(3));
    } else if (ClassifyArgument(a) == ArgumentKind::kFile && request.project.empty() &&
               !a.empty()) {
      request.project = a;
    } else {
      request.project.clear();
      break;
    }
  }
  if (request.project.empty()) {
    std::fprintf(stderr, "Usage: %s\n", kValidateUsage);
    return kExitCommandLine;
  }
  if (!request.output_pattern.empty()) {
    if (std::string why = OutputPatternProblem(request.output_pattern); !why.empty()) {
      std::fprintf(stderr, "validate: %s\n", why.c_str());
      return kExitCommandLine;
    }
  }
  const ValidateReport report = ValidateProject(request);
  const std::string out = json ? ValidateReportJson(report) + "\n" : ValidateReportText(report);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (!StdoutWritten()) return kExitSaveFailed;
  return ValidateExitStatus(report);
}

}  // namespace lumetra::app
