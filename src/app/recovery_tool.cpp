// "--recover" and "--discard-recovery": the lost series listed, one saved beside its project
// as a new file, or removed. They run under the start-up lock like a starting instance.
#include "app/recovery_tool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/app_state.h"
#include "app/exit_status.h"
#include "app/startup.h"
#include "app/undo_wiring.h"
#include "model/project.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "platform/system_paths.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_io.h"
#include "undo/undo_store.h"

namespace lumetra::app {
namespace {

namespace fs = std::filesystem;
using platform::Format;
using platform::Notice;

constexpr int kMaxTargetTries = 1000;

bool AnythingAt(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// "N" from 1 to `count`; nothing when the text is no such number.
std::optional<std::size_t> SeriesNumber(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  std::size_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

struct Request {
  bool recover = false;              // else discard
  std::optional<std::size_t> which;  // from 1; nothing: the only one (recover) or all (discard)
};

int Recover(undo::UndoStore& store, std::vector<undo::LostSeries>& series, const Request& r,
            const std::string& program) {
  std::size_t index = 0;
  if (r.which) {
    index = *r.which - 1;
  } else if (series.size() > 1) {
    Notice(Format("There are %d lost projects; choose one with '%s --recover N':\n%s",
                  static_cast<int>(series.size()), program.c_str(),
                  LostSeriesList(series).c_str()));
    return kExitCommandLine;
  }
  const undo::LostSeries& s = series[index];
  project::ProjectPtr project = store.ReadSeries(s);
  if (!project) {
    Notice(Format("Lost project %d cannot be recovered: %s", static_cast<int>(index + 1),
                  s.label.c_str()));
    return kExitOfflineLoadFailed;
  }
  std::error_code ec;
  std::string cwd = fs::current_path(ec).string();
  std::string target =
      RecoveryTarget(s.info.path.value_or(""), ec ? std::string(".") : cwd, AnythingAt, IsDirectory);
  if (target.empty()) {
    Notice("Could not find a free file name for the recovered project.");
    return kExitSaveFailed;
  }
  std::string error;
  if (project::ProjectSaveFile(project.get(), target, {}, &error) != project::kSaveOk) {
    Notice(Format("Could not save the recovered project:\n%s\n\n%s", target.c_str(),
                  error.c_str()));
    return kExitSaveFailed;
  }
  // Saved: the series has done its job and must not be offered again.
  store.DiscardSeries(s);
  platform::LogAppend("Recovered " + s.label + " to " + target);
  std::printf("%s\n", target.c_str());
  std::fprintf(stderr, "Recovered lost project %d (%s) to %s\n", static_cast<int>(index + 1),
               s.label.c_str(), target.c_str());
  return kExitOk;
}

int Discard(undo::UndoStore& store, std::vector<undo::LostSeries>& series, const Request& r) {
  for (std::size_t i = 0; i < series.size(); ++i) {
    if (r.which && *r.which != i + 1) continue;
    store.DiscardSeries(series[i]);
    Notice(Format("Removed lost project %d: %s", static_cast<int>(i + 1), series[i].label.c_str()));
  }
  return kExitOk;
}

}  // namespace

std::string RecoveryTarget(std::string_view project_path, const std::string& current_directory,
                           const std::function<bool(const std::string&)>& exists,
                           const std::function<bool(const std::string&)>& is_directory) {
  // Snapshots keep the path as the project had it, which may use backslashes.
  std::string path(project_path);
  for (char& c : path)
    if (c == '\\') c = '/';
  std::string folder = current_directory;
  std::string file = "Untitled.ZTP";
  if (!path.empty()) {
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (slash == 0) dir = "/";
    file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (file.empty()) file = "Untitled.ZTP";
    if (!dir.empty() && is_directory(dir)) folder = dir;
  }
  std::size_t dot = file.rfind('.');
  std::string stem = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
  std::string ext = dot == std::string::npos || dot == 0 ? std::string(".ZTP") : file.substr(dot);
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string base = (folder == "/" ? std::string() : folder) + "/" + stem + ".recovered";
  for (int n = 1; n <= kMaxTargetTries; ++n) {
    std::string candidate = base + (n == 1 ? std::string() : "-" + std::to_string(n)) + ext;
    if (!exists(candidate)) return candidate;
  }
  return {};
}

std::optional<int> RunRecoveryTool(const std::vector<std::string>& args,
                                   const std::string& program_path) {
  if (args.empty() || (args[0] != "--recover" && args[0] != "--discard-recovery"))
    return std::nullopt;
  // Offline: the tools ask nothing.
  platform::SetUi(std::make_unique<platform::HeadlessUiHost>(true));
  platform::LogStart();
  platform::ProgramLocation where =
      platform::SplitProgramPath(program_path.empty() ? platform::ProgramPath() : program_path);
  std::string program = where.name.empty() ? "lumetra" : where.name;
  Request request;
  request.recover = args[0] == "--recover";
  if (args.size() > 2 || (args.size() == 2 && !SeriesNumber(args[1]))) {
    Notice(Format("Usage: %s --recover [N] | --discard-recovery [N]", program.c_str()));
    return kExitCommandLine;
  }
  if (args.size() == 2) request.which = SeriesNumber(args[1]);

  std::vector<std::string> refusals;
  std::string temp = ChooseTempDirectory(where.home, &refusals);
  for (const std::string& refusal : refusals) Notice(refusal);
  if (temp.empty()) {
    platform::ShowError("Could not set temp directory. Exiting.");
    return kExitNoTempDirectory;
  }
  undo::UndoStore store;
  undo::UndoSettings settings;
  settings.temp_directory = temp;
  settings.recording = false;
  settings.start_lock_wait = StartLockWait();
  store.Configure(settings);

  int status = kExitOk;
  int error = store.WithLostSeries([&](std::vector<undo::LostSeries>& series) {
    if (series.empty()) {
      Notice(Format("No lost projects in '%s'.", temp.c_str()));
      status = request.recover ? kExitNothingToRecover : kExitOk;
      return;
    }
    if (request.which && (*request.which == 0 || *request.which > series.size())) {
      Notice(Format("There is no lost project %d; these are the lost projects:\n%s",
                    static_cast<int>(*request.which), LostSeriesList(series).c_str()));
      status = kExitCommandLine;
      return;
    }
    status = request.recover ? Recover(store, series, request, program)
                             : Discard(store, series, request);
  });
  if (error == ETIMEDOUT) {
    platform::ShowError(Format("Another %s instance kept the start-up lock for too long; giving up.",
                               platform::kProductName));
    return kExitUndoStoreFailed;
  }
  if (error != 0) {
    platform::ShowError(Format("Can't create mutex\nerror %d", error));
    return kExitUndoStoreFailed;
  }
  return status;
}

}  // namespace lumetra::app
