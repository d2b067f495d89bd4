// Numbered frame sequences in a directory listing: runs of files that differ only by a
// frame number one above the last, shown as one entry.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::media {

struct MediaListEntry {
  std::string file;       // the (first) file's name as listed
  std::string shown;      // "base[first,last].ext" for a sequence, else the file name
  std::string base;       // the name before the frame digits (sequences)
  std::string extension;  // after the last dot
  int32_t first = 0, last = 0;
  int32_t digits = 0;  // the widest frame number of the run; 0 for a single file
  bool sequence = false;
};

// The frame number right before the last dot of a name, when it has 1 to 31 digits and
// fits a signed 32-bit value.
struct FrameNumber {
  std::string_view base, extension;
  int32_t number = 0;
  int32_t digits = 0;
};
bool ParseFrameNumber(std::string_view name, FrameNumber& out);

// Case-blind order with digit runs compared by value ("a9" before "a10"), so that the runs
// of a listing are adjacent whatever order the directory gave.
bool MediaNameLess(std::string_view a, std::string_view b);

// Sorts the names and folds each run into one entry. numbered(extension) says whether the
// extension's format writes numbered files; only those start runs. A run extends while
// each next name has the same base and extension (case-blind) and a number exactly one
// above; a run of one number stays a plain file.
std::vector<MediaListEntry> DetectSequences(std::vector<std::string> names,
                                            const std::function<bool(std::string_view)>& numbered);

// The registry's answer for numbered: an input format of that extension with the numbered
// flag.
bool ExtensionIsNumbered(std::string_view extension);

}  // namespace lumetra::media
