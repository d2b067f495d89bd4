// The few file-system operations the file commands need, with errno-style results.
#pragma once

#include <string>

namespace lumetra::platform {

bool FileExists(const std::string& path);
// 0 on success, else the errno value.
int RemoveFile(const std::string& path);
int RenameFile(const std::string& from, const std::string& to);
// 0 when the file is a regular file that can be opened for reading, else the errno value
// (EISDIR for a directory; CheckRegularFile gives the text for other kinds).
int CheckReadable(const std::string& path);

}  // namespace lumetra::platform
