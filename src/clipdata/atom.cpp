// The atom table: 256 buckets by upper-cased first character, each sorted case-blind.
#include "clipdata/atom.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

namespace lumetra::project {
namespace {

unsigned char Upper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}

struct AtomTable {
  std::mutex mutex;
  std::array<std::vector<std::unique_ptr<Atom>>, 256> buckets;
};

AtomTable& Table() {
  static AtomTable table;
  return table;
}

unsigned char BucketOf(std::string_view name) {
  return name.empty() ? 0 : Upper(static_cast<unsigned char>(name.front()));
}

// The first position whose atom does not compare below name.
std::vector<std::unique_ptr<Atom>>::iterator LowerBound(std::vector<std::unique_ptr<Atom>>& bucket,
                                                        std::string_view name) {
  return std::lower_bound(bucket.begin(), bucket.end(), name,
                          [](const std::unique_ptr<Atom>& atom, std::string_view key) {
                            return AtomCompare(atom->text, key) < 0;
                          });
}

}  // namespace

int AtomCompare(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char ca = Upper(static_cast<unsigned char>(a[i]));
    const unsigned char cb = Upper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

const Atom* AtomIntern(std::string_view name) {
  AtomTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto& bucket = table.buckets[BucketOf(name)];
  auto it = LowerBound(bucket, name);
  if (it != bucket.end() && AtomCompare((*it)->text, name) == 0) return it->get();
  auto atom = std::make_unique<Atom>(Atom{std::string(name)});
  return bucket.insert(it, std::move(atom))->get();
}

const Atom* AtomFind(std::string_view name) {
  AtomTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto& bucket = table.buckets[BucketOf(name)];
  auto it = LowerBound(bucket, name);
  if (it != bucket.end() && AtomCompare((*it)->text, name) == 0) return it->get();
  return nullptr;
}

void AtomInternStandardNames() {
  static constexpr std::string_view kNames[] = {"attach",
                                                "attachto",
                                                "contour",
                                                "delete",
                                                "flags",
                                                "float",
                                                "hostobject",
                                                "int32",
                                                "link",
                                                "linkto",
                                                "name",
                                                "NextSelectedContour",
                                                "NextSelectedGeometry",
                                                "Optimize",
                                                "shape",
                                                "string",
                                                "vertex",
                                                "vx",
                                                "vy",
                                                "wx",
                                                "wy",
                                                "x",
                                                "y",
                                                "z"};
  for (std::string_view name : kNames) AtomIntern(name);
}

std::vector<std::string> AtomBucketTexts(unsigned char first) {
  AtomTable& table = Table();
  std::lock_guard lock(table.mutex);
  std::vector<std::string> texts;
  for (const auto& atom : table.buckets[Upper(first)]) texts.push_back(atom->text);
  return texts;
}

}  // namespace lumetra::project
