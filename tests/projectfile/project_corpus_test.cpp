// Replays the committed project file fuzz corpus: every input keeps the reader's contract.
// The writer's bytes of the hand-built test documents are seeds too; LUMETRA_WRITE_SEEDS=1
// rewrites them into fuzz/project_corpus.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "projectfile/project_writer.h"
#include "project_file_doc_fixture.h"
#include "project_harness.h"

namespace lumetra::project {
namespace {

std::filesystem::path CorpusDir() {
  const char* source = std::getenv("LUMETRA_SOURCE_DIR");
  return std::filesystem::path(source ? source : LUMETRA_TEST_SOURCE_DIR) / "fuzz/project_corpus";
}

// The one-track document of the golden file test.
FileProject OneTrackDoc() {
  FileProject doc;
  FileTrack t;
  t.number = 1;
  t.name = "Track 1";
  FileClip c;
  c.process_name = "Group/Fx";
  c.process_signature = "SIG";
  c.span = FileSpan{0.5f, 2.0f, {-9}, 1, 0};
  t.clips.push_back(c);
  doc.tracks.push_back(t);
  return doc;
}

std::string Replay(const std::vector<uint8_t>& bytes) {
  return fuzz::ProjectFuzzOne(bytes.data(), bytes.size());
}

TEST(ProjectCorpus, WrittenDocumentsKeepTheContract) {
  const std::pair<const char*, FileProject> seeds[] = {{"seed_rich_doc.ZTP", test::RichDoc()},
                                                       {"seed_one_track.ZTP", OneTrackDoc()}};
  for (const auto& [name, doc] : seeds) {
    std::vector<uint8_t> bytes = WriteProjectBytes(doc, 0);
    EXPECT_EQ(Replay(bytes), "") << name;
    const char* write = std::getenv("LUMETRA_WRITE_SEEDS");
    if (write != nullptr && std::string(write) == "1") {
      std::ofstream out(CorpusDir() / name, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      ASSERT_TRUE(out.good()) << name;
    }
  }
}

TEST(ProjectCorpus, EveryInputKeepsTheContract) {
  std::filesystem::path dir = CorpusDir();
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  bool example_seen = false;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.file_size() > (1u << 20)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    EXPECT_EQ(Replay(bytes), "") << entry.path();
    example_seen = example_seen || entry.path().filename() == "demo.ZTP";
  }
  EXPECT_TRUE(example_seen) << "the example project is the corpus's first seed";
}

}  // namespace
}  // namespace lumetra::project
