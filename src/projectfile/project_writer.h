// Writing a project file's plain records as chunks, in the order readers expect.
#pragma once

#include <cstdint>
#include <vector>

#include "projectfile/chunk_writer.h"
#include "projectfile/project_file_doc.h"

namespace lumetra::project {

// The whole file; save_mask kSaveUndoLabel adds the snapshot chunks.
std::vector<uint8_t> WriteProjectBytes(const FileProject& doc, uint32_t save_mask);

// Pieces shared with the preset and clipboard files.
void WriteDataTemplate(ChunkWriter& w, const FileTemplate& tmpl);
void WriteRenderPreset(ChunkWriter& w, const FilePreset& preset);

}  // namespace lumetra::project
