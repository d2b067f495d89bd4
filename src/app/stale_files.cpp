// Name patterns of the leftovers, and their removal by age.
#include "app/stale_files.h"

#include <cctype>
#include <string_view>
#include <system_error>

namespace lumetra::app {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProbePrefix = "lumetra_probe_";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kUniqueLength = 6;

bool IsTemporaryOf(std::string_view name, const std::string& target) {
  if (name.size() <= target.size() + 1 || !name.starts_with(target) || name[target.size()] != '.')
    return false;
  std::string_view rest = name.substr(target.size());
  if (rest == kTempSuffix) return true;
  rest.remove_prefix(1);
  if (rest.size() != kUniqueLength) return false;
  for (char c : rest)
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) return false;
  return true;
}

bool IsProbe(std::string_view name) {
  if (!name.starts_with(kProbePrefix) || !name.ends_with(kTempSuffix)) return false;
  std::string_view number =
      name.substr(kProbePrefix.size(), name.size() - kProbePrefix.size() - kTempSuffix.size());
  if (number.empty()) return false;
  for (char c : number)
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
  return true;
}

}  // namespace

std::vector<std::string> RemoveStaleTemporaries(const fs::path& dir,
                                                const std::vector<std::string>& targets,
                                                std::chrono::seconds grace,
                                                fs::file_time_type now) {
  std::vector<std::string> removed;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return removed;
  for (const fs::directory_entry& e : it) {
    std::error_code e2;
    // A link or anything else with such a name is not ours to remove.
    if (!e.is_regular_file(e2) || e.is_symlink(e2)) continue;
    std::string name = e.path().filename().string();
    bool ours = IsProbe(name);
    for (const std::string& target : targets) ours = ours || IsTemporaryOf(name, target);
    if (!ours) continue;
    fs::file_time_type written = e.last_write_time(e2);
    if (e2 || now - written <= grace) continue;
    if (fs::remove(e.path(), e2)) removed.push_back(name);
  }
  return removed;
}

}  // namespace lumetra::app
