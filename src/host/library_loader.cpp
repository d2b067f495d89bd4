// The library loader: binding, the entry call and the plug-in folders.
#include "host/library_loader.h"

#include <algorithm>
#include <set>

#include "host/host_services.h"
#include "host/object_error.h"
#include "host/plugin_registry.h"
#include "platform/directory_walk.h"
#include "platform/dynamic_library.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"

namespace lumetra::project {
namespace {

constexpr const char* kEntryNames[] = {LUMETRA_ENTRY_NAME, LUMETRA_ENTRY_NAME_ALT1,
                                       LUMETRA_ENTRY_NAME_ALT2};

std::vector<LoadedLibrary>& Libraries() {
  static auto* libraries = new std::vector<LoadedLibrary>;
  return *libraries;
}

// Attributes what a library registers to it while its entry point runs, and forgets
// records that a later library's registration frees.
class Attribution final : public RegistryObserver {
 public:
  explicit Attribution(LoadedLibrary& library) : library_(library) {
    RegistrySetObserver(this);
  }
  ~Attribution() override { RegistrySetObserver(nullptr); }
  void Registered(const void* record, int32_t kind) override {
    Forget(record);  // an updated effect now belongs to the library that updated it
    switch (kind) {
      case OBJECT_KIND_EFFECT:
        library_.effects.push_back(static_cast<const ProcessRecord*>(record));
        break;
      case OBJECT_KIND_INPUT_FORMAT:
        library_.input_formats.push_back(static_cast<const InputFormat*>(record));
        break;
      case OBJECT_KIND_OUTPUT_FORMAT:
        library_.output_formats.push_back(static_cast<const OutputFormat*>(record));
        break;
      default:
        break;
    }
  }
  void Freed(const void* record) override { Forget(record); }

 private:
  void Forget(const void* record) {
    auto drop = [record](auto& list) { std::erase(list, record); };
    for (LoadedLibrary& l : Libraries()) {
      drop(l.effects);
      drop(l.input_formats);
      drop(l.output_formats);
    }
    drop(library_.effects);
    drop(library_.input_formats);
    drop(library_.output_formats);
  }
  LoadedLibrary& library_;
};

std::string CanonicalOrSelf(const std::string& path) {
  std::string canonical = platform::CanonicalPath(path);
  return canonical.empty() ? path : canonical;
}

}  // namespace

std::string LibraryLoadMessage(int32_t result, const std::string& path, const std::string& error) {
  switch (result) {
    case kLibraryNoResources:
      return "This plug-in library does not contain any valid resources:\n" + path;
    case kLibraryNoEntry:
      return "This file is not a valid Lumetra plug-in library:\n" + path;
    case kLibraryCannotLoad:
      return "Can't load plug-in library:\n" + path + "\n\n" + error;
    case 0:
      return "No processes loaded from this plug-in library";
    default:
      return "Library loading error";
  }
}

LibraryLoadResult LibraryLoad(const std::string& path) {
  platform::Status(platform::Format("Loading library '%s'", path.c_str()));
  platform::DynamicLibrary lib = platform::DynamicLibrary::Open(path);
  if (!lib.Loaded()) {
    // The loader's own text describes the failure; errno only when it set one.
    std::string error = lib.ErrorNumber() != 0
                            ? platform::Format("Error code: %d\n%s", lib.ErrorNumber(), lib.Error().c_str())
                            : lib.Error();
    std::string message = LibraryLoadMessage(kLibraryCannotLoad, path, error);
    platform::ShowError(message);
    platform::Status(message);
    return {kLibraryCannotLoad, message};
  }
  ZOLT_GetLibInfoFn entry = nullptr;
  for (const char* name : kEntryNames) {
    if (void* address = lib.Symbol(name)) {
      entry = reinterpret_cast<ZOLT_GetLibInfoFn>(address);
      break;
    }
  }
  if (entry == nullptr) {
    // Unloaded again: nothing of it was called.
    std::string message = LibraryLoadMessage(kLibraryNoEntry, path, {});
    platform::Status(message);
    return {kLibraryNoEntry, message};
  }
  lib.KeepLoaded();  // its texts and functions are used for the rest of the run
  Libraries().push_back(LoadedLibrary{path, 0, {}, {}, {}});
  const std::size_t index = Libraries().size() - 1;
  HostCallContext ctx{};
  ctx.word[HCC_WORD_TAG] = HCC_REGISTRATION_TAG;
  ctx.word[HCC_WORD_KIND] = HCC_KIND_REGISTRATION;
  int32_t result;
  {
    LoadedLibrary staged{path, 0, {}, {}, {}};
    Attribution attribution(staged);
    result = entry(&ctx, HostServices());
    LoadedLibrary& mine = Libraries()[index];
    mine.effects = std::move(staged.effects);
    mine.input_formats = std::move(staged.input_formats);
    mine.output_formats = std::move(staged.output_formats);
    mine.result = result;
  }
  ObjectClearError(&ctx);
  platform::DebugLog(result > 0 ? "ProcessLibraryLoad: initialization completed"
                                : "ProcessLibraryLoad: initialization failed");
  if (result >= 1) {
    platform::Status("Done");
    return {result, {}};
  }
  std::string message = LibraryLoadMessage(result, path, {});
  platform::Status(message);
  return {result, message};
}

std::vector<std::string> LibraryFolders(const std::string& program_directory) {
  std::vector<std::string> folders;
  if (!program_directory.empty()) folders.push_back(program_directory);
  std::string data = platform::EnvironmentValue("XDG_DATA_HOME");
  if (data.empty()) {
    std::string home = platform::EnvironmentValue("HOME");
    if (!home.empty()) data = home + "/.local/share";
  }
  if (!data.empty()) folders.push_back(data + "/lumetra/plugins");
  std::string list = platform::EnvironmentValue("LUMETRA_PLUGIN_PATH");
  std::size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    std::size_t colon = list.find(':', start);
    if (colon == std::string::npos) colon = list.size();
    if (colon > start) folders.push_back(list.substr(start, colon - start));
    start = colon + 1;
  }
  return folders;
}

void LibraryLoadFolders(const std::vector<std::string>& folders) {
  std::set<std::string> loaded;
  for (const LoadedLibrary& l : Libraries()) loaded.insert(CanonicalOrSelf(l.path));
  for (const std::string& folder : folders) {
    for (const std::string& path : platform::FindFilesWithExtension(folder, "ztl")) {
      if (!loaded.insert(CanonicalOrSelf(path)).second) continue;
      LibraryLoad(path);
    }
  }
}

const std::vector<LoadedLibrary>& LoadedLibraries() {
  return Libraries();
}

void LoadedLibrariesClear() {
  Libraries().clear();
}

}  // namespace lumetra::project
