// Turning a project into snapshot bytes and back: the project file format with the snapshot
// chunks (the step description and the project's file path).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/project.h"

namespace lumetra::undo {

// What recovery reads of a snapshot without building a project.
struct SnapshotInfo {
  std::string description;          // "Unknown" when the snapshot has none
  std::optional<std::string> path;  // the project's file path; none for an untitled project
};

class SnapshotCodec {
 public:
  virtual ~SnapshotCodec() = default;
  // The whole snapshot; empty when the project cannot be written.
  virtual std::vector<uint8_t> Serialize(project::Project* project, const std::string& description,
                                         const std::optional<std::string>& path) = 0;
  // A new project record (not current). Its status is the load status; only status 1 is a
  // usable project. Null when no record could be made.
  virtual project::ProjectPtr Deserialize(std::span<const uint8_t> bytes) = 0;
  // Nothing unless the bytes read as a whole snapshot.
  virtual std::optional<SnapshotInfo> Inspect(std::span<const uint8_t> bytes) = 0;
};

// The codec over the project file writer and reader.
std::unique_ptr<SnapshotCodec> MakeProjectFileCodec();

}  // namespace lumetra::undo
