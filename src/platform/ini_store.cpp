// The INI file store: parsing that skips (and keeps) what it cannot read, and atomic saving.
#include "platform/ini_store.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/atomic_write.h"
#include "platform/file_read.h"

namespace lumetra::platform {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Reads a quoted, escaped string from the front of s; advances s past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view& s, std::size_t limit) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string out;
  std::size_t i = 1;
  while (i < s.size() && s[i] != '"') {
    char c = s[i++];
    if (c == '\\') {
      if (i >= s.size()) return std::nullopt;
      const char e = s[i++];
      switch (e) {
        case '\\':
          c = '\\';
          break;
        case '"':
          c = '"';
          break;
        case 'n':
          c = '\n';
          break;
        case 'r':
          c = '\r';
          break;
        case 't':
          c = '\t';
          break;
        case 'x': {
          if (i + 2 > s.size()) return std::nullopt;
          const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
          if (hi < 0 || lo < 0) return std::nullopt;
          c = static_cast<char>(hi * 16 + lo);
          i += 2;
          break;
        }
        default:
          return std::nullopt;
      }
    }
    if (out.size() >= limit) return std::nullopt;
    out.push_back(c);
  }
  if (i >= s.size()) return std::nullopt;  // no closing quote
  s.remove_prefix(i + 1);
  return out;
}

void WriteQuoted(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          out += "\\x";
          out.push_back(kHex[u >> 4]);
          out.push_back(kHex[u & 15]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

// Exactly `digits` hexadecimal digits: a number cut short by a truncated file is refused.
std::optional<uint64_t> ReadHexNumber(std::string_view s, std::size_t digits) {
  if (s.size() != digits) return std::nullopt;
  uint64_t v = 0;
  for (const char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<uint64_t>(d);
  }
  return v;
}

// "hex:" payload: byte pairs separated by commas, at most kIniMaxValueBytes of them.
std::optional<std::string> ReadHexBytes(std::string_view s) {
  std::string out;
  if (s.empty()) return out;
  for (;;) {
    const std::size_t comma = s.find(',');
    const std::string_view pair = TrimBlanks(s.substr(0, comma));
    if (pair.size() != 2 || out.size() >= kIniMaxValueBytes) return std::nullopt;
    const int hi = HexDigit(pair[0]), lo = HexDigit(pair[1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<char>(hi * 16 + lo));
    if (comma == std::string_view::npos) return out;
    s.remove_prefix(comma + 1);
  }
}

std::optional<IniStore::Value> ReadValue(std::string_view s) {
  IniStore::Value v;
  if (!s.empty() && s.front() == '"') {
    auto text = ReadQuoted(s, kIniMaxValueBytes);
    if (!text || !TrimBlanks(s).empty()) return std::nullopt;
    v.type = IniType::kString;
    v.bytes = std::move(*text);
    return v;
  }
  if (s.starts_with("dword:")) {
    auto n = ReadHexNumber(s.substr(6), 8);
    if (!n) return std::nullopt;
    v.type = IniType::kDword;
    v.number = *n;
    return v;
  }
  if (s.starts_with("qword:")) {
    auto n = ReadHexNumber(s.substr(6), 16);
    if (!n) return std::nullopt;
    v.type = IniType::kQword;
    v.number = *n;
    return v;
  }
  if (s.starts_with("hex:")) {
    auto bytes = ReadHexBytes(s.substr(4));
    if (!bytes) return std::nullopt;
    v.type = IniType::kBinary;
    v.bytes = std::move(*bytes);
    return v;
  }
  return std::nullopt;
}

bool SectionNameOk(std::string_view section) {
  return !section.empty() && section.size() <= kIniMaxNameBytes &&
         section.find_first_of("]\n\r") == std::string_view::npos && TrimBlanks(section) == section;
}

}  // namespace

std::size_t IniStore::Parse(std::string_view text) {
  std::size_t skipped = 0;
  std::string current_name;
  Section* current = nullptr;  // none until a good header; a bad header's lines are kept aside
  std::vector<std::string> pending;  // kept lines waiting for the next good header
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view raw = text.substr(0, eol);
    std::string_view line = TrimBlanks(raw);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty()) continue;
    const auto keep = [&](bool counts) {
      if (counts) ++skipped;
      if (current != nullptr && counts)
        kept_[current_name].inside.emplace_back(line);
      else
        pending.emplace_back(line);
    };
    if (line.front() == ';' || line.front() == '#') {
      keep(false);
      continue;
    }
    if (line.front() == '[') {
      const std::string_view name = line.substr(1, line.size() - 1);
      if (line.back() == ']' && SectionNameOk(name.substr(0, name.size() - 1))) {
        current_name = std::string(name.substr(0, name.size() - 1));
        current = &sections_[current_name];
        if (!pending.empty()) {
          auto& before = kept_[current_name].before;
          before.insert(before.end(), pending.begin(), pending.end());
          pending.clear();
        }
      } else {
        current = nullptr;
        keep(true);
      }
      continue;
    }
    std::string_view rest = line;
    auto name = ReadQuoted(rest, kIniMaxNameBytes);
    rest = TrimBlanks(rest);
    if (current == nullptr || !name || name->empty() || rest.empty() || rest.front() != '=') {
      keep(true);
      continue;
    }
    auto value = ReadValue(TrimBlanks(rest.substr(1)));
    if (!value) {
      keep(true);
      continue;
    }
    (*current)[std::move(*name)] = std::move(*value);
  }
  kept_at_end_.insert(kept_at_end_.end(), pending.begin(), pending.end());
  return skipped;
}

std::string IniStore::Serialize() const {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  const auto keep_lines = [&out](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      out += line;
      out.push_back('\n');
    }
  };
  static const Section kNoValues;
  static const KeptLines kNoLines;
  auto s = sections_.begin();
  auto k = kept_.begin();
  while (s != sections_.end() || k != kept_.end()) {
    // Walk both maps in name order; a name may be in either or both.
    const bool take_s = s != sections_.end() && (k == kept_.end() || s->first <= k->first);
    const bool take_k = k != kept_.end() && (s == sections_.end() || k->first <= s->first);
    const std::string& section = take_s ? s->first : k->first;
    const Section& values = take_s ? s->second : kNoValues;
    const KeptLines& kept = take_k ? k->second : kNoLines;
    if (take_s) ++s;
    if (take_k) ++k;
    if (values.empty() && kept.inside.empty()) {
      keep_lines(kept.before);  // a section gone: its comments stay
      continue;
    }
    if (!out.empty() && kept.before.empty()) out.push_back('\n');
    keep_lines(kept.before);
    out += '[';
    out += section;
    out += "]\n";
    keep_lines(kept.inside);
    for (const auto& [name, v] : values) {
      WriteQuoted(out, name);
      out.push_back('=');
      char buf[24];
      switch (v.type) {
        case IniType::kString:
          WriteQuoted(out, v.bytes);
          break;
        case IniType::kDword:
          std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.number));
          out += buf;
          break;
        case IniType::kQword:
          std::snprintf(buf, sizeof buf, "qword:%016llx",
                        static_cast<unsigned long long>(v.number));
          out += buf;
          break;
        case IniType::kBinary:
          out += "hex:";
          for (std::size_t i = 0; i < v.bytes.size(); ++i) {
            const auto u = static_cast<unsigned char>(v.bytes[i]);
            if (i) out.push_back(',');
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 15]);
          }
          break;
      }
      out.push_back('\n');
    }
  }
  keep_lines(kept_at_end_);
  return out;
}

IniLoadResult IniStore::LoadFile(const std::filesystem::path& path) {
  Clear();
  std::string text;
  const FileResult read = ReadRegularFile(path.string(), kIniMaxFileBytes, text);
  if (read.error == ENOENT) return {IniLoadStatus::kMissing, {}};
  if (read.error == EFBIG)
    return {IniLoadStatus::kUnusable,
            "larger than " + std::to_string(kIniMaxFileBytes / (1024 * 1024)) + " MiB"};
  if (!read.ok()) return {IniLoadStatus::kUnreadable, read.message};
  if (text.find('\0') != std::string::npos) return {IniLoadStatus::kUnusable, "binary data"};
  const std::size_t skipped = Parse(text);
  if (sections_.empty() && skipped > 0) {
    Clear();
    return {IniLoadStatus::kUnusable, "nothing in it could be read"};
  }
  return {IniLoadStatus::kLoaded, {}};
}

bool IniStore::Save(const std::filesystem::path& path, std::string* error) const {
  if (path.empty()) return false;
  std::error_code ec;
  const std::filesystem::path dir = path.parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
  const FileResult r = AtomicWriteFile(path.string(), Serialize());
  if (!r.ok() && error != nullptr) *error = r.message;
  return r.ok();
}

const IniStore::Value* IniStore::Find(std::string_view section, std::string_view name) const {
  auto s = sections_.find(section);
  if (s == sections_.end()) return nullptr;
  auto v = s->second.find(name);
  return v == s->second.end() ? nullptr : &v->second;
}

std::optional<std::string> IniStore::GetString(std::string_view section,
                                               std::string_view name) const {
  const Value* v = Find(section, name);
  if (v == nullptr || v->type != IniType::kString) return std::nullopt;
  return v->bytes;
}

std::optional<uint32_t> IniStore::GetDword(std::string_view section, std::string_view name) const {
  const Value* v = Find(section, name);
  if (v == nullptr || v->type != IniType::kDword) return std::nullopt;
  return static_cast<uint32_t>(v->number);
}

std::optional<uint64_t> IniStore::GetQword(std::string_view section, std::string_view name) const {
  const Value* v = Find(section, name);
  if (v == nullptr || v->type != IniType::kQword) return std::nullopt;
  return v->number;
}

bool IniStore::GetBinary(std::string_view section, std::string_view name,
                         std::span<uint8_t> destination) const {
  const Value* v = Find(section, name);
  if (v == nullptr || v->type != IniType::kBinary || v->bytes.size() != destination.size())
    return false;
  for (std::size_t i = 0; i < destination.size(); ++i)
    destination[i] = static_cast<uint8_t>(v->bytes[i]);
  return true;
}

bool IniStore::Set(std::string_view section, std::string_view name, Value value) {
  if (!SectionNameOk(section) || name.empty() || name.size() > kIniMaxNameBytes ||
      value.bytes.size() > kIniMaxValueBytes)
    return false;
  auto s = sections_.find(section);
  if (s == sections_.end()) s = sections_.emplace(std::string(section), Section{}).first;
  s->second.insert_or_assign(std::string(name), std::move(value));
  return true;
}

bool IniStore::SetString(std::string_view section, std::string_view name, std::string_view text) {
  return Set(section, name, Value{IniType::kString, std::string(text), 0});
}

bool IniStore::SetDword(std::string_view section, std::string_view name, uint32_t value) {
  return Set(section, name, Value{IniType::kDword, {}, value});
}

bool IniStore::SetQword(std::string_view section, std::string_view name, uint64_t value) {
  return Set(section, name, Value{IniType::kQword, {}, value});
}

bool IniStore::SetBinary(std::string_view section, std::string_view name,
                         std::span<const uint8_t> data) {
  return Set(section, name, Value{IniType::kBinary, std::string(data.begin(), data.end()), 0});
}

bool IniStore::Delete(std::string_view section, std::string_view name) {
  auto s = sections_.find(section);
  if (s == sections_.end()) return false;
  auto v = s->second.find(name);
  if (v == s->second.end()) return false;
  s->second.erase(v);
  return true;
}

void IniStore::DeleteTree(std::string_view section) {
  for (auto it = sections_.begin(); it != sections_.end();) {
    const std::string& name = it->first;
    const bool below =
        name.size() > section.size() && name.starts_with(section) && name[section.size()] == '\\';
    if (name == section || below)
      it = sections_.erase(it);
    else
      ++it;
  }
}

bool IniStore::HasSection(std::string_view section) const {
  auto s = sections_.find(section);
  return s != sections_.end() && !s->second.empty();
}

std::filesystem::path IniDefaultSettingsPath() {
  std::filesystem::path config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    std::string home_dir = home != nullptr && home[0] == '/' ? home : "";
    if (home_dir.empty()) {
      struct passwd pw;
      struct passwd* found = nullptr;
      char buf[4096];
      if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found != nullptr &&
          found->pw_dir != nullptr && found->pw_dir[0] == '/')
        home_dir = found->pw_dir;
    }
    if (home_dir.empty()) return {};
    config = std::filesystem::path(home_dir) / ".config";
  }
  return config / "lumetra" / "settings.ini";
}

}  // namespace lumetra::platform
