// Walking a directory tree for files of one extension: names sorted, hidden entries and
// symlink loops skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumetra::platform {

// Every regular file under dir (recursively, sub-directories whose names start with "."
// skipped) whose extension equals `extension` without regard to case. Each directory's
// entries are taken in byte order of their names, its files before its sub-directories. A
// directory reached twice (a symlink loop, or a link back up the tree) is walked once; an
// unreadable one is skipped.
std::vector<std::string> FindFilesWithExtension(const std::string& dir, std::string_view extension);

// The canonical path of an existing file (links resolved); empty when it does not exist.
std::string CanonicalPath(const std::string& path);

// An environment variable, empty when unset.
std::string EnvironmentValue(const char* name);

}  // namespace lumetra::platform
