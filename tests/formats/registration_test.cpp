// What the library registers: every input and output format with its extensions, flags,
// functions and parameter templates, seen by a recording host and by the real registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formats/format_host.h"
#include "host/library_loader.h"
#include "host/plugin_registry.h"
#include "host/typed_object.h"

namespace formats_test {
namespace {

std::string Text(const Registered& r, const std::string& key) {
  auto it = r.values.find(key);
  return it == r.values.end() ? "" : reinterpret_cast<const char*>(it->second);
}

TEST(FormatRegistration, InputFormatsCarryTheirExtensionsAndFunctions) {
  FormatHost host;
  struct Case {
    const char* name;
    const char* ext0;
    const char* ext1;
    bool image, sound;
    intptr_t flags;
  };
  const Case cases[] = {
      {"PNG image", "png", nullptr, true, false, 0x44},
      {"JPEG image", "jpg", "jpeg", true, false, 0x44},
      {"TGA image", "tga", "icb", true, false, 0x44},
      {"BMP image", "bmp", "dib", true, false, 0x44},
      {"TIFF image", "tif", "tiff", true, false, 0x44},
      {"OpenEXR image", "exr", nullptr, true, false, 0x44},
      {"Movie", "mp4", "mov", true, true, 0x0C},
      {"Sound", "wav", "aif", false, true, 0x08},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Registered* r = host.Input(c.name);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->completed);
    EXPECT_EQ(Text(*r, "Ext0#0"), c.ext0);
    if (c.ext1) {
      EXPECT_EQ(Text(*r, "Ext0#1"), c.ext1);
    }
    EXPECT_EQ(r->values.at("Flags"), c.flags);
    EXPECT_EQ(r->values.at("Version"), 1);
    EXPECT_EQ(r->values.count("ImageLoaderFunction") == 1, c.image);
    EXPECT_EQ(r->values.count("ImageInformatorFunction") == 1, c.image);
    EXPECT_EQ(r->values.count("SoundLoaderFunction") == 1, c.sound);
    EXPECT_EQ(r->values.count("SoundInformatorFunction") == 1, c.sound);
  }
  // Movies list more extensions than the four keyed slots: the index chooses the slot.
  EXPECT_EQ(Text(*host.Input("Movie"), "Ext0#5"), "webm");
}

TEST(FormatRegistration, OutputFormatsByExtension) {
  FormatHost host;
  struct Case {
    const char* ext;
    intptr_t flags;
    bool picture, sound;
    const char* first_field;  // of the "Parameters" template, or null for none
  };
  const Case cases[] = {
      {"png", 0x40, true, false, "CompressionLevel:int32:0"},
      {"jpg", 0x40, true, false, "Quality:int32:0"},
      {"tga", 0x40, true, false, nullptr},
      {"bmp", 0x40, true, false, nullptr},
      {"tif", 0x40, true, false, "Compression:int32:0"},
      {"exr", 0x40, true, false, nullptr},
      {"mp4", 0x600, true, true, "Codec:int32:0"},
      {"mkv", 0x600, true, true, "Codec:int32:0"},
      {"mov", 0x600, true, true, "Codec:int32:0"},
      {"wav", 0x200, false, true, nullptr},
      {"aiff", 0x200, false, true, nullptr},
      {"flac", 0x200, false, true, nullptr},
      {"ogg", 0x200, false, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    const Registered* r = host.Output(c.ext);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->completed);
    EXPECT_EQ(r->values.at("Flags"), c.flags);
    EXPECT_EQ(r->values.count("ImageSaverFunction") == 1, c.picture);
    EXPECT_EQ(r->values.count("SoundSaverFunction") == 1, c.sound);
    // Movies open at their first frame and close (or wait for the sound) at the finish.
    const bool movie = (c.flags & 0x400) != 0;
    EXPECT_EQ(r->values.count("ImageStartFunction") == 1, movie);
    EXPECT_EQ(r->values.count("ImageFinishFunction") == 1, movie);
    auto params = r->values.find("Parameters");
    ASSERT_EQ(params != r->values.end(), c.first_field != nullptr);
    if (c.first_field) {
      const auto* tmpl = reinterpret_cast<const Registered*>(params->second);
      ASSERT_FALSE(tmpl->fields.empty());
      EXPECT_EQ(tmpl->fields[0], c.first_field);
    }
  }
  const auto* movie = reinterpret_cast<const Registered*>(host.Output("mp4")->values.at("Parameters"));
  EXPECT_EQ(movie->fields, (std::vector<std::string>{"Codec:int32:0", "BitRate:int32:4",
                                                     "Quality:int32:8"}));
}

// The real loader and registries accept every record.
TEST(FormatRegistration, TheHostLoadsTheLibrary) {
  using namespace lumetra::project;
  TypedObjectsInit();
  const LibraryLoadResult loaded = LibraryLoad(FORMATS_MODULE_PATH);
  std::string log;
  for (const std::string& line : RegistryMessages()) log += line + "\n";
  ASSERT_GE(loaded.result, 1) << loaded.message << "\n" << log;
  bool png_in = false, png_out = false, mp4_out = false;
  for (const InputFormat* f = InputFormatHead(); f; f = f->next) {
    if (std::strcmp(f->name, "PNG image") == 0) {
      png_in = std::strcmp(f->ext[0], "png") == 0 && f->image_loader && f->image_informator;
    }
  }
  for (const OutputFormat* f = OutputFormatHead(); f; f = f->next) {
    if (std::strcmp(f->ext, "png") == 0) png_out = f->image_saver && f->parameters && f->flags == 0x40;
    if (std::strcmp(f->ext, "mp4") == 0) mp4_out = f->image_start && f->sound_start && (f->flags & 0x400);
  }
  EXPECT_TRUE(png_in);
  EXPECT_TRUE(png_out);
  EXPECT_TRUE(mp4_out);
  PluginRegistryClear();
  LoadedLibrariesClear();
}

}  // namespace
}  // namespace formats_test
