// Part manifests read back, frames matched to their entries by file name, the joined text.
#include "app/farm_manifest.h"

#include <cctype>
#include <unordered_map>

#include "platform/atomic_write.h"
#include "platform/file_ops.h"
#include "platform/file_read.h"

namespace lumetra::app {
namespace {

// A manifest of one chunk holds a line per frame; anything far larger is not ours.
constexpr std::size_t kMaxManifestBytes = 64u << 20;
constexpr std::size_t kHashDigits = 64;
constexpr int kMaxAttempts = 1000;

bool IsHash(std::string_view word) {
  if (word.size() != kHashDigits) return false;
  for (char c : word)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool SameHash(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string_view BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void ReadManifest(const std::string& path, std::vector<ManifestEntry>& out) {
  if (!platform::FileExists(path)) return;
  std::string text;
  if (!platform::ReadRegularFile(path, kMaxManifestBytes, text).ok()) return;
  for (ManifestEntry& e : ParseManifest(text)) out.push_back(std::move(e));
}

}  // namespace

std::vector<ManifestEntry> ParseManifest(std::string_view text) {
  std::vector<ManifestEntry> entries;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::string_view line = Trim(raw);
    const std::size_t blank = line.find_last_of(" \t");
    if (blank == std::string_view::npos) continue;
    const std::string_view hash = line.substr(blank + 1);
    const std::string_view name = Trim(line.substr(0, blank));
    if (name.empty() || !IsHash(hash)) continue;
    entries.push_back({std::string(name), std::string(hash), std::string(line)});
  }
  return entries;
}

std::size_t FarmFrames::Count(FrameState state) const {
  std::size_t n = 0;
  for (const FrameCheck& f : frames) n += f.state == state;
  return n;
}

std::vector<std::size_t> FarmFrames::ChunksToRender() const {
  std::vector<std::size_t> chunks;
  for (const FrameCheck& f : frames)
    if (f.state != FrameState::kDone && (chunks.empty() || chunks.back() != f.chunk))
      chunks.push_back(f.chunk);
  return chunks;
}

FarmFrames CheckFarmFrames(const FarmPlan& plan) {
  FarmFrames result;
  for (std::size_t i = 0; i < plan.chunks.size(); ++i) {
    const std::string part = FarmPartManifest(plan, i);
    for (int n = 1; n <= kMaxAttempts; ++n) {
      const std::string earlier = part + "." + std::to_string(n);
      if (!platform::FileExists(earlier)) break;
      ReadManifest(earlier, result.entries);
    }
    ReadManifest(part, result.entries);
  }
  // The newest entry of a name wins: a frame rendered again replaces its hash.
  std::unordered_map<std::string_view, const ManifestEntry*> by_name;
  for (const ManifestEntry& e : result.entries) by_name[BaseName(e.name)] = &e;
  for (std::size_t i = 0; i < plan.chunks.size(); ++i) {
    for (int32_t frame : FrameNumbers(plan.chunks[i])) {
      FrameCheck f;
      f.frame = frame;
      f.chunk = i;
      f.file = FrameFileName(plan.pattern, frame);
      auto it = by_name.find(BaseName(f.file));
      f.entry = it == by_name.end() ? nullptr : it->second;
      if (platform::CheckReadable(f.file) != 0)
        f.state = FrameState::kMissing;
      else
        f.state = f.entry != nullptr ? FrameState::kDone : FrameState::kNoEntry;
      result.frames.push_back(std::move(f));
    }
  }
  return result;
}

std::size_t VerifyFrameHashes(FarmFrames& frames, const FrameHasher& hash, bool compare) {
  std::size_t bad = 0;
  for (FrameCheck& f : frames.frames) {
    if (f.state != FrameState::kDone) continue;
    std::string error;
    const std::string digest = hash(f.file, &error);
    if (digest.empty())
      f.problem = "does not read back: " + (error.empty() ? std::string("unknown error") : error);
    else if (compare && !SameHash(digest, f.entry->hash))
      f.problem = "has other pixels than its manifest entry (corrupted or overwritten)";
    else
      continue;
    f.state = FrameState::kBadFile;
    ++bad;
  }
  return bad;
}

std::string JoinedManifestText(const FarmFrames& frames) {
  std::string text;
  for (const FrameCheck& f : frames.frames) {
    if (f.entry == nullptr) continue;
    text += f.entry->line;
    text += '\n';
  }
  return text;
}

}  // namespace lumetra::app
