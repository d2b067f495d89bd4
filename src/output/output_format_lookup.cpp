// Output format lookups over the registry's list.
#include "output/output_format_lookup.h"

#include <cctype>

namespace lumetra::output {
namespace {

bool SameBlind(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

const project::OutputFormat* FindOutputFormat(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  if (extension.empty()) return nullptr;
  for (const project::OutputFormat* f = project::OutputFormatHead(); f != nullptr; f = f->next)
    if (SameBlind(f->ext, extension)) return f;
  return nullptr;
}

const project::OutputFormat* FindOutputFormatByName(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const project::OutputFormat* f = project::OutputFormatHead(); f != nullptr; f = f->next)
    if (SameBlind(f->name, name)) return f;
  return nullptr;
}

}  // namespace lumetra::output
