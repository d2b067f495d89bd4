// Saving and loading projects: the live model to and from project file bytes and files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/model.h"
#include "projectfile/chunk_reader.h"
#include "projectfile/project_file.h"
#include "projectfile/project_file_doc.h"

namespace lumetra::project {

// Values a project file carries that live outside the project record (render switches,
// view options, the current render preset, window layouts). A successful load with the
// settings bit replaces them; saves write them.
struct ProjectFileSession {
  FileSettings settings;  // only the fields that the project record does not hold
  std::optional<FilePreset> render_preset;
  bool fields_switch_given = false;  // "/F" keeps the render-to-fields override
};
ProjectFileSession& FileSession();

struct SaveOptions {
  uint32_t mask = 0;                         // kSaveUndoLabel for snapshots
  std::string undo_label;                    // empty: "Unknown"
  std::optional<std::string> snapshot_path;  // snapshots: the project's file path
};

// The project as file records: process "used" marks recomputed, geometry and clips
// numbered, stale owner-clip links cleared.
FileProject ProjectToFile(Project* project, const SaveOptions& options = {});
std::vector<uint8_t> ProjectSaveBytes(Project* project, const SaveOptions& options = {});

// A new project record (not current) from file bytes; its status field holds the load
// status. Only a record with status 1 carries content. Never null.
Project* ProjectLoadBytes(ByteSpan bytes, uint32_t mask);

// Files: the whole file is read before parsing; only regular files are read. Saves go
// through platform::AtomicWriteFile (links written through, mode kept, non-regular targets
// refused), so a failed save leaves the old file as it was. kSaveOk or kSaveWriteError;
// error gets the reason.
int ProjectSaveFile(Project* project, const std::string& path, const SaveOptions& options,
                    std::string* error = nullptr);
// Null only when the file cannot be opened or read (error gets the reason: the system's
// text, or why it is no regular file).
Project* ProjectLoadFile(const std::string& path, uint32_t mask, std::string* error = nullptr);
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string* error);

}  // namespace lumetra::project
