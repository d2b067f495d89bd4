#include "platform/ini_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

using namespace lumetra::platform;
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRoot = "Software\\Telvane\\Fluxtar";
constexpr std::string_view kOptions = "Software\\Telvane\\Fluxtar\\Options";

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "ini_store_test.XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& p, std::string_view text) {
  std::ofstream(p, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(IniStore, WriteReadWriteRoundTrip) {
  TempDir dir;
  const fs::path file = dir.path() / "sub" / "settings.ini";
  const std::array<uint8_t, 5> blob = {0, 1, 0x7f, 0x80, 0xff};
  IniStore a;
  ASSERT_TRUE(a.SetString(kRoot, "Plain", "/home/a b/Temp"));
  ASSERT_TRUE(a.SetString(kRoot, "Awkward \"name\" = [x]; #", "line\nbreak\ttab \\ \"q\" \x01 é"));
  ASSERT_TRUE(a.SetString(kRoot, "Empty", ""));
  ASSERT_TRUE(a.SetDword(kOptions, "UndoLevels", 0xFFFFFFFFu));
  ASSERT_TRUE(a.SetQword(kOptions, "Big", 0x123456789ABCDEF0ull));
  ASSERT_TRUE(a.SetBinary(kOptions, "Blob", blob));
  ASSERT_TRUE(a.SetBinary(kOptions, "NoBytes", {}));
  ASSERT_TRUE(a.Save(file));  // creates the directory

  IniStore b;
  ASSERT_TRUE(b.Load(file));
  EXPECT_EQ(b.GetString(kRoot, "Plain"), "/home/a b/Temp");
  EXPECT_EQ(b.GetString(kRoot, "Awkward \"name\" = [x]; #"), "line\nbreak\ttab \\ \"q\" \x01 é");
  EXPECT_EQ(b.GetString(kRoot, "Empty"), "");
  EXPECT_EQ(b.GetDword(kOptions, "UndoLevels"), 0xFFFFFFFFu);
  EXPECT_EQ(b.GetQword(kOptions, "Big"), 0x123456789ABCDEF0ull);
  std::array<uint8_t, 5> got{};
  ASSERT_TRUE(b.GetBinary(kOptions, "Blob", got));
  EXPECT_EQ(got, blob);
  EXPECT_TRUE(b.GetBinary(kOptions, "NoBytes", {}));
  EXPECT_EQ(b.Serialize(), a.Serialize());

  // Saving over an existing file replaces it and leaves no temporary file behind.
  ASSERT_TRUE(b.SetDword(kOptions, "UndoLevels", 3));
  ASSERT_TRUE(b.Save(file));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(file.parent_path())) ++entries;
  EXPECT_EQ(entries, 1);
  IniStore c;
  ASSERT_TRUE(c.Load(file));
  EXPECT_EQ(c.GetDword(kOptions, "UndoLevels"), 3u);
}

TEST(IniStore, TypedReadsNeedTheExactTypeAndSize) {
  IniStore s;
  s.SetDword(kOptions, "D", 7);
  s.SetString(kOptions, "S", "7");
  const std::array<uint8_t, 4> four = {1, 2, 3, 4};
  s.SetBinary(kOptions, "B", four);
  EXPECT_FALSE(s.GetString(kOptions, "D"));
  EXPECT_FALSE(s.GetQword(kOptions, "D"));
  EXPECT_FALSE(s.GetDword(kOptions, "S"));
  EXPECT_FALSE(s.GetDword(kOptions, "B"));
  std::array<uint8_t, 3> three = {9, 9, 9};
  std::array<uint8_t, 5> five = {9, 9, 9, 9, 9};
  EXPECT_FALSE(s.GetBinary(kOptions, "B", three));
  EXPECT_FALSE(s.GetBinary(kOptions, "B", five));
  EXPECT_EQ(three, (std::array<uint8_t, 3>{9, 9, 9}));  // untouched
  EXPECT_FALSE(s.GetBinary(kOptions, "D", three));
  EXPECT_FALSE(s.GetDword(kOptions, "Missing"));
  EXPECT_FALSE(s.GetDword("No\\Such", "D"));
}

TEST(IniStore, DamagedLinesAreSkippedAndTheRestLoads) {
  struct Case {
    const char* line;
    const char* why;
  };
  const Case damaged[] = {
      {"\"A\"=dword:123456789", "dword with nine digits"},
      {"\"A\"=dword:", "dword without digits"},
      {"\"A\"=dword:0000001", "dword cut short"},
      {"\"A\"=qword:000000000000001", "qword cut short"},
      {"\"A\"=dword:000012g4", "not hex"},
      {"\"A\"=dword:-0000001", "negative"},
      {"\"A\"=qword:12345678901234567", "qword with seventeen digits"},
      {"\"A\"=hex:1,2", "single-digit bytes"},
      {"\"A\"=hex:01,,02", "empty byte"},
      {"\"A\"=hex:01,zz", "not hex"},
      {"\"A\"=\"unterminated", "unterminated text"},
      {"\"A\"=\"bad \\q escape\"", "unknown escape"},
      {"\"A\"=\"x\" trailing", "text after the value"},
      {"\"A\"=\"\\x4\"", "short hex escape"},
      {"\"A\"=word:1", "unknown type"},
      {"\"A\"", "no value"},
      {"A=dword:00000001", "unquoted name"},
      {"\"\"=dword:00000001", "empty name"},
      {"=dword:00000001", "no name"},
      {"\x01\x02\xff garbage", "garbage"},
  };
  for (const Case& c : damaged) {
    IniStore s;
    const std::string text = std::string("[") + std::string(kOptions) +
                             "]\n\"Before\"=dword:00000001\n" + c.line +
                             "\n\"After\"=dword:00000002\n";
    EXPECT_EQ(s.Parse(text), 1u) << c.why;
    EXPECT_EQ(s.GetDword(kOptions, "Before"), 1u) << c.why;
    EXPECT_EQ(s.GetDword(kOptions, "After"), 2u) << c.why;
    EXPECT_FALSE(s.Find(kOptions, "A")) << c.why;
  }
}

TEST(IniStore, DamagedHeadersDropTheirValuesOnly) {
  IniStore s;
  const std::string text =
      "\"Orphan\"=dword:00000001\n"       // before any section
      "[Good]\n\"X\"=dword:00000001\r\n"  // CRLF line ends are fine
      "[Broken\n\"Y\"=dword:00000002\n"   // unterminated header: Y has no section
      "[]\n\"Z\"=dword:00000003\n"        // empty section name
      "; comment\n# comment\n\n"
      "[Good]\n\"W\"=dword:00000004\n"   // a repeated section merges
      "[Good]\n\"X\"=dword:00000005\n";  // the last value wins
  EXPECT_EQ(s.Parse(text), 5u);
  EXPECT_EQ(s.Sections().size(), 1u);
  EXPECT_EQ(s.GetDword("Good", "X"), 5u);
  EXPECT_EQ(s.GetDword("Good", "W"), 4u);
}

TEST(IniStore, HugeValuesAreBounded) {
  IniStore s;
  std::string hex = "[S]\n\"Big\"=hex:00";
  for (std::size_t i = 1; i <= kIniMaxValueBytes; ++i) hex += ",00";  // one byte too many
  hex +=
      "\n\"Fine\"=dword:00000001\n\"Long\"=\"" + std::string(kIniMaxValueBytes + 1, 'a') + "\"\n";
  hex += "\"" + std::string(kIniMaxNameBytes + 1, 'n') + "\"=dword:00000001\n";
  EXPECT_EQ(s.Parse(hex), 3u);
  EXPECT_FALSE(s.Find("S", "Big"));
  EXPECT_FALSE(s.Find("S", "Long"));
  EXPECT_EQ(s.GetDword("S", "Fine"), 1u);
  // Writes are bounded the same way.
  EXPECT_FALSE(s.SetString("S", "Long", std::string(kIniMaxValueBytes + 1, 'a')));
  EXPECT_FALSE(s.SetDword("S", std::string(kIniMaxNameBytes + 1, 'n'), 1));
  EXPECT_FALSE(s.SetDword("S", "", 1));
  EXPECT_FALSE(s.SetDword("Bad]Section", "A", 1));
  EXPECT_FALSE(s.SetDword("Bad\nSection", "A", 1));
}

TEST(IniStore, MissingTruncatedOrOversizedFiles) {
  TempDir dir;
  IniStore s;
  EXPECT_FALSE(s.Load(dir.path() / "missing.ini"));
  EXPECT_TRUE(s.Sections().empty());

  // A file cut anywhere keeps every complete line before the cut.
  IniStore full;
  full.SetDword(kOptions, "A", 1);
  full.SetString(kOptions, "B", "two");
  full.SetDword(kOptions, "C", 3);
  const std::string text = full.Serialize();
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    const fs::path p = dir.path() / "cut.ini";
    WriteFile(p, text.substr(0, cut));
    IniStore t;
    // Before the first header is complete nothing in the file can be read: it is unusable
    // (and would be set aside, never lost); from then on it loads.
    const IniLoadStatus status = t.LoadFile(p).status;
    if (cut > 0 && cut < text.find('\n')) {
      EXPECT_EQ(status, IniLoadStatus::kUnusable) << cut;
      continue;
    }
    ASSERT_EQ(status, IniLoadStatus::kLoaded) << cut;
    // A value is there once its line is complete, and never with a wrong number.
    const std::size_t a_end = text.find('\n', text.find("\"A\""));
    const std::size_t c_end = text.find('\n', text.find("\"C\""));
    EXPECT_EQ(t.GetDword(kOptions, "A"), cut >= a_end ? std::optional<uint32_t>(1) : std::nullopt)
        << cut;
    EXPECT_EQ(t.GetDword(kOptions, "C"), cut >= c_end ? std::optional<uint32_t>(3) : std::nullopt)
        << cut;
    if (auto b = t.GetString(kOptions, "B")) {
      EXPECT_EQ(*b, "two");
    }
  }

  const fs::path big = dir.path() / "big.ini";
  WriteFile(big, std::string(kIniMaxFileBytes + 1, '\n'));
  EXPECT_FALSE(s.Load(big));
}

TEST(IniStore, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  const fs::path file = dir.path() / "settings.ini";
  IniStore s;
  s.SetDword(kOptions, "A", 1);
  ASSERT_TRUE(s.Save(file));
  const std::string before = ReadFile(file);
  // A directory in the way of the target: rename fails, the temporary file is removed.
  const fs::path blocked = dir.path() / "blocked.ini";
  fs::create_directory(blocked);
  fs::create_directory(blocked / "child");
  EXPECT_FALSE(s.Save(blocked));
  EXPECT_FALSE(s.Save(dir.path() / "settings.ini" / "under_a_file.ini"));
  EXPECT_EQ(ReadFile(file), before);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2);
}

TEST(IniStore, DeleteAndDeleteTree) {
  IniStore s;
  s.SetDword("P", "A", 1);
  s.SetDword("P\\Default", "A", 1);
  s.SetDword("P\\Preset00", "A", 1);
  s.SetDword("PX", "A", 1);
  EXPECT_TRUE(s.Delete("P", "A"));
  EXPECT_FALSE(s.Delete("P", "A"));
  EXPECT_FALSE(s.HasSection("P"));
  s.DeleteTree("P");
  EXPECT_EQ(s.Sections().size(), 1u);
  EXPECT_TRUE(s.HasSection("PX"));
}

TEST(IniStore, DefaultPathFollowsXdgConfigHome) {
  const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old_xdg ? old_xdg : "";
  ::setenv("XDG_CONFIG_HOME", "/x/conf", 1);
  EXPECT_EQ(IniDefaultSettingsPath(), fs::path("/x/conf/lumetra/settings.ini"));
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the base directory rules say
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    EXPECT_EQ(IniDefaultSettingsPath(), fs::path(home) / ".config/lumetra/settings.ini");
  }
  if (old_xdg)
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
}

namespace {

TEST(IniStore, LinesNotUnderstoodAndCommentsSurviveASave) {
  const std::string text =
      "; written by hand\n"
      "[A]\n"
      "\"Known\"=dword:00000001\n"
      "Unknown line = 5\n"
      "\"Future\"=float:1.5\n"
      "# about B\n"
      "[B]\n"
      "\"X\"=\"y\"\n"
      "[Broken\n"
      "\"Lost\"=dword:00000002\n"
      "; trailing note\n";
  IniStore s;
  EXPECT_EQ(s.Parse(text), 4u);
  s.SetDword("A", "Known", 7);
  s.SetDword("C", "New", 3);
  const std::string out = s.Serialize();
  for (const char* kept : {"; written by hand\n[A]\n", "Unknown line = 5\n",
                           "\"Future\"=float:1.5\n", "# about B\n[B]\n", "[Broken\n",
                           "\"Lost\"=dword:00000002\n", "; trailing note\n"})
    EXPECT_NE(out.find(kept), std::string::npos) << kept << "\n" << out;
  EXPECT_NE(out.find("\"Known\"=dword:00000007"), std::string::npos);
  EXPECT_NE(out.find("[C]\n\"New\"=dword:00000003"), std::string::npos);
  // Write-read-write: the kept lines are stable and not doubled.
  IniStore again;
  again.Parse(out);
  EXPECT_EQ(again.Serialize(), out);
}

TEST(IniStore, LoadTellsMissingUnreadableAndUnusableFiles) {
  TempDir dir;
  const fs::path good = dir.path() / "good.ini";
  WriteFile(good, "[S]\n\"A\"=dword:00000001\n");
  const fs::path comments = dir.path() / "comments.ini";
  WriteFile(comments, "; nothing yet\n");
  const fs::path binary = dir.path() / "binary.ini";
  WriteFile(binary, std::string("[S]\n\"A\"=dword:00000001\n\0\x01", 25));
  const fs::path garbage = dir.path() / "garbage.ini";
  WriteFile(garbage, "this is not\na settings file\n");
  const fs::path big = dir.path() / "big.ini";
  WriteFile(big, std::string(kIniMaxFileBytes + 1, ';'));
  const fs::path folder = dir.path() / "folder.ini";
  fs::create_directory(folder);
  const fs::path pipe = dir.path() / "pipe.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  struct Case {
    fs::path path;
    IniLoadStatus status;
  } cases[] = {
      {good, IniLoadStatus::kLoaded},       {comments, IniLoadStatus::kLoaded},
      {dir.path() / "missing.ini", IniLoadStatus::kMissing},
      {binary, IniLoadStatus::kUnusable},   {garbage, IniLoadStatus::kUnusable},
      {big, IniLoadStatus::kUnusable},      {folder, IniLoadStatus::kUnreadable},
      {pipe, IniLoadStatus::kUnreadable},   {"/dev/zero", IniLoadStatus::kUnreadable},
  };
  for (const Case& c : cases) {
    IniStore s;
    s.SetDword("Old", "V", 1);
    const IniLoadResult r = s.LoadFile(c.path);
    EXPECT_EQ(r.status, c.status) << c.path;
    EXPECT_EQ(r.reason.empty(), c.status == IniLoadStatus::kLoaded ||
                                    c.status == IniLoadStatus::kMissing)
        << c.path;
    EXPECT_EQ(s.GetDword("S", "A").has_value(), c.path == good) << c.path;
    EXPECT_FALSE(s.Find("Old", "V")) << c.path;
  }
}

TEST(IniStore, SaveWritesThroughALinkAndKeepsTheMode) {
  TempDir dir;
  fs::create_directory(dir.path() / "dotfiles");
  const fs::path real = dir.path() / "dotfiles" / "settings.ini";
  WriteFile(real, "[S]\n\"A\"=dword:00000001\n");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  const fs::path link = dir.path() / "settings.ini";
  fs::create_symlink(real, link);
  IniStore s;
  ASSERT_TRUE(s.Load(link));
  s.SetDword("S", "B", 2);
  ASSERT_TRUE(s.Save(link));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_NE(ReadFile(real).find("\"B\"=dword:00000002"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
