// opendir/readdir/stat walk with a set of visited directories (device and inode).
#include "platform/directory_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <utility>

namespace lumetra::platform {
namespace {

using DirId = std::pair<dev_t, ino_t>;

bool ExtensionIs(std::string_view name, std::string_view extension) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  std::string_view ext = name.substr(dot + 1);
  if (ext.size() != extension.size()) return false;
  for (std::size_t i = 0; i < ext.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(ext[i]) != lower(extension[i])) return false;
  }
  return true;
}

void Walk(const std::string& dir, std::string_view extension, std::set<DirId>& seen,
          std::vector<std::string>& out) {
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  if (!seen.insert({st.st_dev, st.st_ino}).second) return;
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (!d) return;
  std::vector<std::string> names;
  while (const dirent* e = readdir(d.get())) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  d.reset();
  // readdir order depends on the file system: sort so that loading order is reproducible.
  std::sort(names.begin(), names.end());
  const std::string prefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  std::vector<std::string> subdirs;
  for (const std::string& name : names) {
    const std::string path = prefix + name;
    struct stat entry {};
    if (stat(path.c_str(), &entry) != 0) continue;  // dangling link or ELOOP
    if (S_ISDIR(entry.st_mode)) {
      if (name.front() != '.') subdirs.push_back(path);
    } else if (S_ISREG(entry.st_mode) && ExtensionIs(name, extension)) {
      out.push_back(path);
    }
  }
  for (const std::string& sub : subdirs) Walk(sub, extension, seen, out);
}

}  // namespace

std::vector<std::string> FindFilesWithExtension(const std::string& dir, std::string_view extension) {
  std::vector<std::string> out;
  std::set<DirId> seen;
  if (!dir.empty()) Walk(dir, extension, seen, out);
  return out;
}

std::string CanonicalPath(const std::string& path) {
  std::unique_ptr<char, void (*)(void*)> resolved(realpath(path.c_str(), nullptr), std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

std::string EnvironmentValue(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

}  // namespace lumetra::platform
