// Reading a project file's bytes into its plain records, with the statuses of a load.
#pragma once

#include <optional>
#include <string>

#include "projectfile/chunk_reader.h"
#include "projectfile/project_file_doc.h"

namespace lumetra::project {

struct ReadOptions {
  uint32_t mask = kLoadMaskLoad;
  bool fields_switch_given = false;  // "/F" on the command line keeps the render-to-fields value
  FileSettings base;                 // the current values that unchecked or absent chunks keep
};

// Never fails to return: the result's status says whether the content is usable.
FileProject ReadProjectBytes(ByteSpan file, const ReadOptions& options);

// Pieces shared with the preset and clipboard files.
bool ReadDataTemplate(const Chunk& chunk, FileTemplate& out);  // 0xCF30 or 0xCF29
bool ReadRenderPreset(const Chunk& chunk, FilePreset& out);    // 0xCF32 or 0xCF2B

// Peek calls: they look at the root's children only.
// The file version as the reader would compute it, or -1 when a header fails.
int32_t PeekVersion(ByteSpan file);
std::optional<std::string> PeekUndoLabel(ByteSpan file);
std::optional<std::string> PeekSnapshotPath(ByteSpan file);
// The Description's text when it is the root's first child; else the empty text.
std::string PeekDescription(ByteSpan file);

}  // namespace lumetra::project
