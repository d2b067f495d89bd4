// The snapshot codec over the project file writer and reader.
#include "undo/snapshot_codec.h"

#include "projectfile/project_file_io.h"
#include "projectfile/project_reader.h"

namespace lumetra::undo {
namespace {

class ProjectFileCodec final : public SnapshotCodec {
 public:
  std::vector<uint8_t> Serialize(project::Project* project, const std::string& description,
                                 const std::optional<std::string>& path) override {
    project::SaveOptions options;
    options.mask = project::kSaveUndoLabel;
    options.undo_label = description;
    options.snapshot_path = path;
    return project::ProjectSaveBytes(project, options);
  }

  project::ProjectPtr Deserialize(std::span<const uint8_t> bytes) override {
    return project::ProjectPtr(project::ProjectLoadBytes(bytes, project::kLoadMaskLoad));
  }

  std::optional<SnapshotInfo> Inspect(std::span<const uint8_t> bytes) override {
    // A full read of the records: a snapshot cut short or damaged anywhere is refused here,
    // not when the user has already chosen it.
    project::ReadOptions options;
    options.mask = project::kLoadMaskLoad;
    project::FileProject doc = project::ReadProjectBytes(bytes, options);
    if (doc.status != project::kLoadOk) return std::nullopt;
    SnapshotInfo info;
    info.description = doc.undo_label && !doc.undo_label->empty() ? *doc.undo_label : "Unknown";
    if (doc.snapshot_path && !doc.snapshot_path->empty()) info.path = doc.snapshot_path;
    return info;
  }
};

}  // namespace

std::unique_ptr<SnapshotCodec> MakeProjectFileCodec() {
  return std::make_unique<ProjectFileCodec>();
}

}  // namespace lumetra::undo
