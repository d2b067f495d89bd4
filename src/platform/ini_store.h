// A per-user key-value store kept as an INI file: sections named by key paths holding
// typed values (text, 32- and 64-bit integers, binary records), saved atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::platform {

enum class IniType : uint8_t { kString, kDword, kQword, kBinary };

enum class IniLoadStatus : uint8_t {
  kLoaded,      // read and parsed (lines it did not understand are kept for the next save)
  kMissing,     // no file: the store is empty
  kUnreadable,  // there, but it may not be read or is no regular file: never replace it
  kUnusable,    // too large, binary, or nothing in it parses: set it aside before replacing
};
struct IniLoadResult {
  IniLoadStatus status = IniLoadStatus::kLoaded;
  std::string reason;  // for kUnreadable and kUnusable, what the user reads
};

// Bounds that hold whatever a file says: larger files are not read, larger values are
// dropped line by line.
inline constexpr std::size_t kIniMaxFileBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kIniMaxValueBytes = 64 * 1024;
inline constexpr std::size_t kIniMaxNameBytes = 1024;

// File layout, one value a line, in the style of registry exports:
//   [Software\Telvane\Fluxtar\Options]
//   "UndoLevels"=dword:0000000a
//   "TempDir"="/home/me/lumetra/Temp"
//   "WindowPos"=hex:2c,00,00,00
//   "MemoryProxy"=qword:0000000080000000
// Names and texts are quoted; \\, \", \n, \r, \t and \xHH escapes. Numbers have all
// their digits (8 or 16), so a file cut inside one does not yield a wrong value. Lines starting
// with ";" or "#" are comments. A line that does not parse is skipped; the rest still load.
// Comments and lines not understood are kept and written back: comments before a section
// header stay before it, others stay in their section.
class IniStore {
 public:
  struct Value {
    IniType type = IniType::kString;
    std::string bytes;  // text, or the raw bytes of a binary value
    uint64_t number = 0;
  };
  using Section = std::map<std::string, Value, std::less<>>;

  // Replaces the contents with the file's; the store is empty unless kLoaded. Only a
  // regular file is opened, without blocking; a damaged line is only skipped.
  IniLoadResult LoadFile(const std::filesystem::path& path);
  bool Load(const std::filesystem::path& path) { return LoadFile(path).status == IniLoadStatus::kLoaded; }
  // Writes through platform::AtomicWriteFile (links written through, mode kept, only a
  // regular file replaced), creating the directory when missing. False on any failure; the
  // old file stays. `error` gets the reason.
  bool Save(const std::filesystem::path& path, std::string* error = nullptr) const;

  // Parses file text (what Load does after reading); returns the number of skipped lines.
  std::size_t Parse(std::string_view text);
  std::string Serialize() const;

  // Typed reads: nothing unless the value exists with exactly this type.
  std::optional<std::string> GetString(std::string_view section, std::string_view name) const;
  std::optional<uint32_t> GetDword(std::string_view section, std::string_view name) const;
  std::optional<uint64_t> GetQword(std::string_view section, std::string_view name) const;
  // A binary value is copied only when its size equals the destination's; else false and
  // the destination is untouched.
  bool GetBinary(std::string_view section, std::string_view name,
                 std::span<uint8_t> destination) const;
  const Value* Find(std::string_view section, std::string_view name) const;

  // Writes refuse names that are empty or too long, section names with a line break or
  // "]", and values above kIniMaxValueBytes (false).
  bool SetString(std::string_view section, std::string_view name, std::string_view text);
  bool SetDword(std::string_view section, std::string_view name, uint32_t value);
  bool SetQword(std::string_view section, std::string_view name, uint64_t value);
  bool SetBinary(std::string_view section, std::string_view name, std::span<const uint8_t> data);

  bool Delete(std::string_view section, std::string_view name);
  // Removes a section and every section below it ("A" also removes "A\B").
  void DeleteTree(std::string_view section);
  bool HasSection(std::string_view section) const;
  const std::map<std::string, Section, std::less<>>& Sections() const { return sections_; }
  void Clear() {
    sections_.clear();
    kept_.clear();
    kept_at_end_.clear();
  }

 private:
  // Lines kept as they were: before a section's header, and inside the section.
  struct KeptLines {
    std::vector<std::string> before;
    std::vector<std::string> inside;
  };
  bool Set(std::string_view section, std::string_view name, Value value);
  std::map<std::string, Section, std::less<>> sections_;
  std::map<std::string, KeptLines, std::less<>> kept_;
  std::vector<std::string> kept_at_end_;
};

// The settings file: $XDG_CONFIG_HOME/lumetra/settings.ini, else ~/.config/lumetra/...
// ($HOME, then the password database). Empty when no home is known.
std::filesystem::path IniDefaultSettingsPath();

}  // namespace lumetra::platform
