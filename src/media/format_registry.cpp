// Registry lookups by extension and the keyed walks over the format lists.
#include "media/format_registry.h"

#include <cctype>
#include <cstring>
#include <string>

namespace lumetra::media {
namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

std::string_view Fixed(const char* text, std::size_t size) {
  return {text, strnlen(text, size)};
}

void CopyText(void* out, const char* text, std::size_t size) {
  project::CopyFixedText(static_cast<char*>(out), FORMAT_NAME_SIZE, std::string(Fixed(text, size)).c_str());
}
void CopyInt(void* out, int32_t value) {
  std::memcpy(out, &value, sizeof value);
}
template <typename Fn>
void CopyFn(void* out, Fn fn) {
  std::memcpy(out, &fn, sizeof fn);
}

bool IsLiveInput(const InputFormat* f) {
  for (const InputFormat* g = project::InputFormatHead(); g != nullptr; g = g->next)
    if (g == f) return true;
  return false;
}
bool IsLiveOutput(const OutputFormat* f) {
  for (const OutputFormat* g = project::OutputFormatHead(); g != nullptr; g = g->next)
    if (g == f) return true;
  return false;
}

// The extension slot a key names: "Ext0" to "Ext3" (or "Ext"), index 1 to 15 overriding.
int ExtensionSlot(std::string_view key, int32_t index) {
  if (key.substr(0, 3) != "Ext") return -1;
  if (index >= 1 && index < INPUT_FORMAT_EXT_SLOTS) return index;
  if (key.size() == 3) return 0;
  if (key.size() == 4 && key[3] >= '0' && key[3] <= '3') return key[3] - '0';
  return -1;
}

}  // namespace

std::string_view FileExtension(std::string_view file_name) {
  const std::size_t slash = file_name.find_last_of("/\\");
  const std::string_view leaf = slash == std::string_view::npos ? file_name : file_name.substr(slash + 1);
  const std::size_t dot = leaf.rfind('.');
  return dot == std::string_view::npos ? std::string_view{} : leaf.substr(dot + 1);
}

const InputFormat* InputFormatFind(std::string_view extension) {
  if (extension.empty()) return nullptr;
  for (const InputFormat* f = project::InputFormatHead(); f != nullptr; f = f->next)
    for (int i = 0; i < kSearchedExtensionSlots; ++i)
      if (SameText(Fixed(f->ext[i], FORMAT_EXT_SIZE), extension)) return f;
  return nullptr;
}

const OutputFormat* OutputFormatFind(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  if (extension.empty()) return nullptr;
  for (const OutputFormat* f = project::OutputFormatHead(); f != nullptr; f = f->next)
    if (SameText(Fixed(f->ext, FORMAT_EXT_SIZE), extension)) return f;
  return nullptr;
}

const OutputFormat* OutputFormatFindByName(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const OutputFormat* f = project::OutputFormatHead(); f != nullptr; f = f->next)
    if (SameText(Fixed(f->name, FORMAT_NAME_SIZE), name)) return f;
  return nullptr;
}

const InputFormat* InputFormatGetInfo(const InputFormat* f, const char* key, void* out,
                                      int32_t index) {
  if (f == nullptr) return project::InputFormatHead();
  if (!IsLiveInput(f)) return nullptr;
  if (key == nullptr || out == nullptr) return f->next;
  const std::string_view k = key;
  if (k == "Version") CopyInt(out, f->version);
  else if (k == "Name") CopyText(out, f->name, sizeof f->name);
  else if (k == "Description") CopyText(out, f->description, sizeof f->description);
  else if (k == "Flags") CopyInt(out, static_cast<int32_t>(f->flags));
  else if (k == "ImageLoaderFunction") CopyFn(out, f->image_loader);
  else if (k == "ImageBrowserFunction") CopyFn(out, f->image_browser);
  else if (k == "LayersEnumeratorFunction") CopyFn(out, f->layers_enumerator);
  else if (k == "ImageInformatorFunction") CopyFn(out, f->image_informator);
  else if (k == "SoundLoaderFunction") CopyFn(out, f->sound_loader);
  else if (k == "SoundBrowserFunction") CopyFn(out, f->sound_browser);
  else if (k == "SoundInformatorFunction") CopyFn(out, f->sound_informator);
  else if (k == "Controller") CopyFn(out, f->controller);
  else if (const int slot = ExtensionSlot(k, index); slot >= 0)
    CopyText(out, f->ext[slot], FORMAT_EXT_SIZE);
  return f->next;
}

const OutputFormat* OutputFormatGetInfo(const OutputFormat* f, const char* key, void* out,
                                        int32_t) {
  if (f == nullptr) return project::OutputFormatHead();
  if (!IsLiveOutput(f)) return nullptr;
  if (key == nullptr || out == nullptr) return f->next;
  const std::string_view k = key;
  if (k == "Version") CopyInt(out, f->version);
  else if (k == "Name") CopyText(out, f->name, sizeof f->name);
  else if (k == "Description") CopyText(out, f->description, sizeof f->description);
  else if (k == "Ext") CopyText(out, f->ext, sizeof f->ext);
  else if (k == "Flags") CopyInt(out, static_cast<int32_t>(f->flags));
  else if (k == "ImageSaverFunction") CopyFn(out, f->image_saver);
  else if (k == "SoundSaverFunction") CopyFn(out, f->sound_saver);
  else if (k == "GeometrySaverFunction") CopyFn(out, f->geometry_saver);
  else if (k == "ImageStartFunction") CopyFn(out, f->image_start);
  else if (k == "ImageFinishFunction") CopyFn(out, f->image_finish);
  // Libraries ask with the lower-case spelling; the record's own key is capitalised.
  else if (k == "soundStartFunction" || k == "SoundStartFunction") CopyFn(out, f->sound_start);
  else if (k == "SoundFinishFunction") CopyFn(out, f->sound_finish);
  else if (k == "ImageParametersFunction") CopyFn(out, f->image_parameters);
  else if (k == "SoundParametersFunction") CopyFn(out, f->sound_parameters);
  else if (k == "ImageCheckFunction") CopyFn(out, f->image_check);
  else if (k == "SoundCheckFunction") CopyFn(out, f->sound_check);
  return f->next;
}

}  // namespace lumetra::media
