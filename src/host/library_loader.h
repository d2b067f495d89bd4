// Loading plug-in libraries: one named library, or every ".ztl" under the plug-in folders.
// Libraries stay loaded for the life of the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clipdata/process_record.h"

namespace lumetra::project {

struct InputFormat;
struct OutputFormat;

// The results of loading one library (the library's own result when it was called).
inline constexpr int32_t kLibraryCannotLoad = -1;
inline constexpr int32_t kLibraryNoEntry = -2;
inline constexpr int32_t kLibraryNoResources = -3;

struct LibraryLoadResult {
  int32_t result = 0;   // 1 or more: loaded
  std::string message;  // for the status line; empty when loaded
};

// A library that was called, and the records it registered that stand in the registries.
struct LoadedLibrary {
  std::string path;
  int32_t result = 0;
  std::vector<const ProcessRecord*> effects;
  std::vector<const InputFormat*> input_formats;
  std::vector<const OutputFormat*> output_formats;
};

// Loads one library and calls its entry point with a fresh registration context and the
// host service table. Status line "Loading library '%s'", then "Done" or the message.
LibraryLoadResult LibraryLoad(const std::string& path);

// The message for a load result that is not a success.
std::string LibraryLoadMessage(int32_t result, const std::string& path, const std::string& error);

// Where libraries are looked for, in order: the program's folder, the user's plug-in folder
// ($XDG_DATA_HOME/lumetra/plugins, default ~/.local/share/lumetra/plugins), then each entry
// of the colon-separated $LUMETRA_PLUGIN_PATH.
std::vector<std::string> LibraryFolders(const std::string& program_directory);
// Loads every ".ztl" file (any case) under each folder, names sorted, sub-directories
// whose names begin with "." skipped; a file already loaded (same real path) is not
// loaded again. A failing library is reported and the scan goes on.
void LibraryLoadFolders(const std::vector<std::string>& folders);

// Every library that was called, in load order.
const std::vector<LoadedLibrary>& LoadedLibraries();
// Forgets the list (tests; the libraries stay mapped).
void LoadedLibrariesClear();

}  // namespace lumetra::project
