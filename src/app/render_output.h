// Rendering from the program: the observers that show a
// session on stderr, and the two offline ways in: Render Last with the project's stored
// render settings ("/R") and "--render OUT_PATTERN PROJECT".
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/app_render.h"
#include "output/render_session.h"

namespace lumetra::app {

// The Part of a session a shell sees offline: messages on stderr, nothing asked.
class StderrSessionObserver : public output::SessionObserver {
 public:
  void Message(std::string_view text) override;
};

// How progress is shown: a one-line bar (a terminal), one JSON object per line, or nothing.
enum class ProgressStyle { kBar, kJsonLines, kQuiet };

// "--render": progress, the manifest lines and the messages.
class ProgressObserver final : public StderrSessionObserver {
 public:
  explicit ProgressObserver(ProgressStyle style) : style_(style) {}
  void Progress(const output::SessionProgress& p) override;
  // A message ends the bar's line first.
  void Message(std::string_view text) override;
  // With a manifest file, every saved frame rewrites it (atomically; once the file is large,
  // at most once a second), so that a render killed mid-way leaves the lines of the frames
  // it finished. Without one no line is kept.
  void SetManifestFile(std::string path) { manifest_file_ = std::move(path); }
  // The frame's digest, on the writer thread, when there is a manifest.
  std::string FrameNote(const PIC* pic) const override;
  void FrameSaved(int32_t frame, const std::string& file, const PIC* pic,
                  const std::string& note) override;
  // Ends the bar's line.
  void Finish();
  const std::vector<std::string>& ManifestLines() const { return manifest_; }
  // True when the manifest file holds every line (the last rewrite succeeded).
  bool ManifestWritten() const { return manifest_written_; }

 private:
  ProgressStyle style_;
  bool bar_shown_ = false;
  static constexpr std::size_t kManifestRewriteBytes = 64 << 10;
  std::vector<std::string> manifest_;
  std::string manifest_text_;
  std::chrono::steady_clock::time_point manifest_rewritten_at_{};
  std::string manifest_file_;
  bool manifest_written_ = false;
};

// The JSON progress line of a session's progress.
std::string ProgressJsonLine(const output::SessionProgress& p);
// The manifest line of a frame: the file name, two blanks, the SHA-256 of its pixels.
std::string ManifestLine(const std::string& file, const PIC* pic);
// The lower-case hex SHA-256 of a picture's pixels (empty without pixels).
std::string PixelDigest(const PIC* pic);

// Render Last of the current project with its stored render settings (1 on success).
int RenderLastOffline(bool offline);

// What an OUT_PATTERN says: the folder, the base name, the digits (a run of '#' before the
// extension; 0 when none) and the extension.
struct OutputPattern {
  std::string directory;
  std::string base_name;
  int32_t digits = 0;
  std::string extension;
};
std::optional<OutputPattern> ParseOutputPattern(const std::string& pattern);
// Why a pattern is refused (no extension, a '#' outside the one run before the extension,
// too many digits); empty when ParseOutputPattern takes it.
std::string OutputPatternProblem(const std::string& pattern);

// "A-B" or "A-B:STEP", frames inclusive; A alone renders one frame.
struct FrameSpec {
  int32_t first = 0, last = 0, step = 1;
};
std::optional<FrameSpec> ParseFrameSpec(const std::string& text);

// "--render ...": the exit status, or nothing when the arguments are not this tool's.
std::optional<int> RunRenderCommand(const std::vector<std::string>& args,
                                    const std::string& program_path = {});

}  // namespace lumetra::app
