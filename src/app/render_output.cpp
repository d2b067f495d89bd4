// The observers that show a session on stderr.
#include "app/render_output.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <span>

#include "output/sha256.h"
#include "platform/atomic_write.h"
#include "platform/format.h"
#include "platform/memory_log.h"

namespace lumetra::app {
namespace {

std::string Hms(double seconds) {
  const int64_t t = seconds > 0 ? static_cast<int64_t>(seconds + 0.5) : 0;
  return platform::Format("%02d:%02d:%02d", static_cast<int>(t / 3600),
                          static_cast<int>(t / 60 % 60), static_cast<int>(t % 60));
}

}  // namespace

void StderrSessionObserver::Message(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  platform::LogAppend(std::string(text));
}

std::string ProgressJsonLine(const output::SessionProgress& p) {
  return platform::Format("{\"frame\":%d,\"of\":%d,\"fps\":%.3f,\"eta_s\":%.3f}", p.done, p.of,
                          p.fps, p.eta_s);
}

std::string PixelDigest(const PIC* pic) {
  if (pic == nullptr || pic->pixels == nullptr || pic->width <= 0 || pic->height <= 0) return {};
  const std::size_t n = static_cast<std::size_t>(pic->width) * pic->height * 4;
  return output::Sha256Hex(std::span<const uint8_t>(pic->pixels, n));
}

std::string ManifestLine(const std::string& file, const PIC* pic) {
  return file + "  " + PixelDigest(pic);
}

void ProgressObserver::Progress(const output::SessionProgress& p) {
  if (style_ == ProgressStyle::kQuiet) return;
  if (style_ == ProgressStyle::kJsonLines) {
    std::fprintf(stderr, "%s\n", ProgressJsonLine(p).c_str());
    std::fflush(stderr);
    return;
  }
  constexpr int kWidth = 30;
  const int filled = p.of > 0 ? std::min(kWidth, p.done * kWidth / p.of) : kWidth;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  std::fprintf(stderr, "\r[%s] frame %d of %d  %.1f fps  %s left ", bar.c_str(), p.done, p.of,
               p.fps, Hms(p.eta_s).c_str());
  std::fflush(stderr);
  bar_shown_ = true;
}

void ProgressObserver::Message(std::string_view text) {
  Finish();
  StderrSessionObserver::Message(text);
}

std::string ProgressObserver::FrameNote(const PIC* pic) const {
  return manifest_file_.empty() ? std::string() : PixelDigest(pic);
}

void ProgressObserver::FrameSaved(int32_t, const std::string& file, const PIC*,
                                  const std::string& note) {
  if (manifest_file_.empty()) return;
  manifest_.push_back(file + "  " + note);
  manifest_text_ += manifest_.back() + "\n";
  // Rewriting the whole file per frame grows with the square of the frames: past a small
  // manifest, at most once a second (a killed render's file then lacks that second's lines).
  const auto now = std::chrono::steady_clock::now();
  if (manifest_text_.size() > kManifestRewriteBytes &&
      now - manifest_rewritten_at_ < std::chrono::seconds(1)) {
    manifest_written_ = false;
    return;
  }
  manifest_rewritten_at_ = now;
  // A failure shows when the render's end writes the manifest once more.
  manifest_written_ = platform::AtomicWriteFile(manifest_file_, manifest_text_).ok();
}

void ProgressObserver::Finish() {
  if (bar_shown_) std::fputc('\n', stderr);
  bar_shown_ = false;
}

}  // namespace lumetra::app
