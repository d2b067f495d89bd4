// Host functions for file names, dialogs and dialog controls.
#include <cstring>

#include "script/host_fixture.h"

namespace lumetra::script::test {
namespace {

TEST_F(HostTest, TranslateFileName) {
  struct Case {
    const char* project_path;  // "" never saved
    const char* source;
    const char* translated;
    int result;
  } cases[] = {
      {"/data/shows/Intro.ZTP", "<PROJDIR>\\\\clip.avi", "/data/shows/clip.avi", 1},
      {"/data/shows/Intro.ZTP", "<projdir>/\\sub\\a.png", "/data/shows/sub/a.png", 1},
      {"D:\\films\\Intro.ZTP", "<ProjDir>x.png", "D:/films/x.png", 1},
      {"", "<projdir>\\clip.avi", "/opt/lumetra/clip.avi", 1},  // never saved: home
      {"/data/Intro.ZTP", "<HomeDir>//lut\\a.cube", "/opt/lumetra/lut/a.cube", 1},
      {"/data/Intro.ZTP", "<homedir>", "/opt/lumetra/", 1},
      {"/data/Intro.ZTP", "C:\\media\\clip.avi", "C:\\media\\clip.avi", 0},
      {"/data/Intro.ZTP", "<homedi>x", "<homedi>x", 0},
      {"/data/Intro.ZTP", "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    project_path_ = c.project_path;
    std::strcpy(mem_.source, c.source);
    std::memset(mem_.dest, 'Z', sizeof mem_.dest);
    mem_.i = 7;
    EXPECT_EQ(Run("*(int *)$I = TranslateFileName($SRC, $DST);"), 1);
    EXPECT_EQ(mem_.i, c.result);
    EXPECT_STREQ(mem_.dest, c.translated);
  }
}

TEST_F(HostTest, TranslateFileNameBoundsTheDestination) {
  // A translation that does not fit the destination writes nothing.
  std::string source = "<homedir>" + std::string(kFileNameMax - 12, 'a');
  std::strcpy(mem_.source, source.c_str());
  std::memset(mem_.dest, 'Z', sizeof mem_.dest);
  mem_.i = 7;
  EXPECT_EQ(Run("*(int *)$I = TranslateFileName($SRC, $DST);"), 1);
  EXPECT_EQ(mem_.i, 0);
  EXPECT_EQ(mem_.dest[0], 'Z');
  // A source without its NUL within the bound is refused.
  std::memset(mem_.source, 'b', sizeof mem_.source);
  EXPECT_EQ(Run("*(int *)$I = TranslateFileName($SRC, $DST);"), 1);
  EXPECT_EQ(LastStatus(), Prefixed("illegal parameter 1 for TranslateFileName()."));
  EXPECT_EQ(mem_.dest[0], 'Z');
}

struct Seen {
  LumetraWindow dialog = 0;
  uint8_t blue = 0, fourth = 0;
};
Seen g_seen;

void ColourSeen(LumetraWindow dialog, uint8_t* bgra) {
  g_seen = {dialog, bgra[0], bgra[3]};
}

TEST_F(HostTest, DialogChooseColor) {
  struct Case {
    bool ok;
    int result;
    uint8_t after[4];
  } cases[] = {
      {true, 1, {1, 2, 3, 40}},  // the fourth byte is kept
      {false, 0, {10, 20, 30, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ok);
    const uint8_t before[4] = {10, 20, 30, 40};
    std::memcpy(mem_.colour, before, 4);
    controls_->colour_ok = c.ok;
    controls_->calls.clear();
    mem_.i = 7;
    g_seen = {};
    EXPECT_EQ(Run("*(int *)$I = DialogChooseColor(0x77, $COLOUR, " + Hex(reinterpret_cast<void*>(&ColourSeen)) + ");"), 1);
    EXPECT_EQ(mem_.i, c.result);
    EXPECT_EQ(std::memcmp(mem_.colour, c.after, 4), 0);
    EXPECT_EQ(controls_->calls, std::vector<std::string>{"ChooseColour 119"});
    EXPECT_EQ(g_seen.dialog, FakeScriptUi::kDialogWindow);
    EXPECT_EQ(g_seen.blue, 10);
    EXPECT_EQ(g_seen.fourth, 40);
  }
  // Without a callback.
  EXPECT_EQ(Run("*(int *)$I = DialogChooseColor(0, $COLOUR, 0);"), 1);
  EXPECT_EQ(mem_.i, 0);
}

TEST_F(HostTest, DialogChooseGeometry) {
  geometry::Geometry* a = AddSquare("Left", 0.1f, 0.1f, 0.2f);
  geometry::Geometry* b = AddSquare("Right", 0.5f, 0.1f, 0.2f);
  Data().gf = a;
  // Cancelled: the current geometry.
  EXPECT_EQ(Run("*(unsigned *)$U = DialogChooseGeometry(0, CurrentClip.d.gf, \"Choose source geometry\");"), 1);
  EXPECT_EQ(mem_.u, reinterpret_cast<uintptr_t>(a));
  EXPECT_EQ(controls_->calls.back(), "ChooseGeometry 0 Choose source geometry");
  ASSERT_EQ(controls_->choice_names.size(), 10u);  // two contours, eight vertices
  EXPECT_EQ(controls_->choice_names[0], "Left");
  // Chosen.
  controls_->geometry_answer = reinterpret_cast<uintptr_t>(b);
  EXPECT_EQ(Run("*(unsigned *)$U = DialogChooseGeometry(0, CurrentClip.d.gf, \"t\");"), 1);
  EXPECT_EQ(mem_.u, reinterpret_cast<uintptr_t>(b));
  // An answer that is no geometry of the project falls back to the current one.
  controls_->geometry_answer = 0x1234;
  EXPECT_EQ(Run("*(unsigned *)$U = DialogChooseGeometry(0, CurrentClip.d.gf, \"t\");"), 1);
  EXPECT_EQ(mem_.u, reinterpret_cast<uintptr_t>(a));
}

TEST_F(HostTest, CheckboxCreateConsumesValuesByKeyword) {
  const std::string call = "*(unsigned *)$U = CheckboxCreate(0x10, 0x20, $DESC";
  // All four values.
  EXPECT_EQ(Run(call + ", $RECT, 0xFF00, $TEXT, 0x3);"), 1);
  EXPECT_EQ(mem_.u, FakeScriptUi::kCheckboxWindow);
  const platform::CheckboxRequest& r = controls_->checkbox;
  EXPECT_EQ(r.parent, 0x10u);
  EXPECT_EQ(r.control_id, 0x20u);
  ASSERT_TRUE(r.rect.has_value());
  EXPECT_EQ(*r.rect, (std::array<int32_t, 4>{5, 6, 105, 26}));
  EXPECT_EQ(r.colour, 0xFF00u);
  EXPECT_EQ(r.text, "Invert");
  EXPECT_EQ(r.style, 3u);

  // Fewer values than keywords: the keywords stop at the last argument.
  controls_->checkbox = {};
  EXPECT_EQ(Run(call + ", $RECT);"), 1);
  EXPECT_TRUE(controls_->checkbox.rect.has_value());
  EXPECT_FALSE(controls_->checkbox.colour.has_value());
  EXPECT_TRUE(controls_->checkbox.text.empty());

  // No rectangle: no check box.
  std::strcpy(mem_.descriptor, "TEXT, STYLE");
  controls_->calls.clear();
  mem_.u = 9;
  EXPECT_EQ(Run(call + ", $TEXT, 1);"), 1);
  EXPECT_EQ(mem_.u, 0u);
  EXPECT_TRUE(controls_->calls.empty());

  // An unknown keyword takes no value; "BYHWND" gives the rectangle by a window.
  std::strcpy(mem_.descriptor, "FANCY,BYHWND,SIZE");
  EXPECT_EQ(Run(call + ", 0x99, 12);"), 1);
  EXPECT_EQ(mem_.u, FakeScriptUi::kCheckboxWindow);
  EXPECT_EQ(controls_->checkbox.rect_window, 0x99u);
  EXPECT_EQ(controls_->checkbox.size, 12u);
}

TEST_F(HostTest, PolydiaControl) {
  struct Case {
    const char* arguments;
    int result;
    const char* sent;  // "" none
  } cases[] = {
      {"\"ItemType\", 0x2, \"ClipTime\", \"Offset\"", 1, "ItemType 60695 2 6 8"},
      {"\"ItemType\", 0x2, \"Lightness\", \"AsIs\"", 1, "ItemType 60695 2 7 0"},
      {"\"ItemType\", 0x2, \"Hue\", \"AsIs\"", 1, "ItemType 60695 2 3 0"},
      {"\"ItemType\", 0x2, \"AsIs\", \"AsIs\"", 1, "ItemType 60695 2 0 0"},
      {"\"ItemType\", 0x2, \"AsIs\", \"percent\"", 1, "ItemType 60695 2 0 1"},
      {"\"itemtype\", 0x2, \"ClipTime\", \"RGBColor\"", 1, "ItemType 60695 2 6 2"},
      {"\"ItemType\", 0x2, \"Hue\", \"Hue\"", 1, "ItemType 60695 2 3 3"},
      {"\"ItemType\", 0x2, \"angle\", \"ANGLE\"", 1, "ItemType 60695 2 4 4"},
      {"\"ItemType\", 0x2, \"Percent\", \"Lightness\"", 1, "ItemType 60695 2 1 0"},
      {"\"ItemType\"", 0, ""},
      {"\"ItemType\", 0x2, \"Hue\"", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    controls_->calls.clear();
    mem_.i = 7;
    EXPECT_EQ(Run(std::string("*(int *)$I = PolydiaControl(0x44, 1001, ") + c.arguments + ");"), 1);
    EXPECT_EQ(mem_.i, c.result);
    std::vector<std::string> expected{"FindCurveEditor 68 1001"};
    if (*c.sent) expected.emplace_back(c.sent);
    EXPECT_EQ(controls_->calls, expected);
  }
  for (const char* script : {"*(int *)$I = PolydiaControl(0x44, 5, \"ItemType\", 1, \"Hue\", \"Hue\");",
                             "*(int *)$I = PolydiaControl(0x44, 1001, \"ItemName\", 1, \"Hue\", \"Hue\");"}) {
    SCOPED_TRACE(script);
    controls_->calls.clear();
    mem_.i = 7;
    EXPECT_EQ(Run(script), 1);
    EXPECT_EQ(mem_.i, 0);
    EXPECT_EQ(LastStatus(), Prefixed("specified dialog item not exists."));
    EXPECT_EQ(controls_->calls.size(), 1u);
  }
}

TEST_F(HostTest, HeadlessControlsCancelKeepAndAnswerZero) {
  platform::SetScriptControls(std::make_unique<platform::HeadlessScriptUi>());
  geometry::Geometry* a = AddSquare("Left", 0.1f, 0.1f, 0.2f);
  Data().gf = a;
  mem_.i = 7;
  EXPECT_EQ(Run("*(int *)$I = DialogChooseColor(0, $COLOUR, 0);"), 1);
  EXPECT_EQ(mem_.i, 0);
  const uint8_t kept[4] = {10, 20, 30, 40};
  EXPECT_EQ(std::memcmp(mem_.colour, kept, 4), 0);
  EXPECT_EQ(Run("*(unsigned *)$U = DialogChooseGeometry(0, CurrentClip.d.gf, \"t\");"), 1);
  EXPECT_EQ(mem_.u, reinterpret_cast<uintptr_t>(a));
  mem_.u = 7;
  EXPECT_EQ(Run("*(unsigned *)$U = CheckboxCreate(1, 2, $DESC, $RECT, 0, $TEXT, 0);"), 1);
  EXPECT_EQ(mem_.u, 0u);
  mem_.i = 7;
  EXPECT_EQ(Run("*(int *)$I = PolydiaControl(1, 2, \"ItemType\", 0, \"Hue\", \"Hue\");"), 1);
  EXPECT_EQ(mem_.i, 0);
}

}  // namespace
}  // namespace lumetra::script::test
