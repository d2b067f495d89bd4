// The library's records as published: literal texts, keys and clip data fields (name, type
// as written, element count), in registration order. Written out independently of the
// library's own table so that a slip in either shows.
#pragma once

#include <cstdint>

namespace effects_test {

enum class Kind { kEffect, kFormat };
inline constexpr int32_t kAbsent = -1;

struct ExpectedRecord {
  Kind kind;
  const char* signature;  // effect signature or format name
  const char* name = nullptr;
  const char* comments = nullptr;
  int32_t icon = 0;
  int32_t inputs = 0;
  int32_t version = kAbsent;
  int32_t display_mode = kAbsent;
  bool previous_track_input = false;
  bool format_function = false;
  bool make_sound = false;
  bool make = true;
  const char* dialog = nullptr;
  const char* fields = nullptr;  // "name:type:count" separated by blanks
};

inline constexpr ExpectedRecord kExpectedRecords[] = {
    {Kind::kEffect, "Channel Processor 1.0 ZOLT Standard", "Compositing/Channel Switcher", "R,G,B,A channels switcher.", 105, 2, kAbsent, kAbsent, false, false, false, true, "EditBinopDlg",
     "Operation:int16:4 Operand1:int16:4 Operand2:int16:4 Mode:int16:4"},
    {Kind::kEffect, "Blur 1.0 ZOLT Standard", "Filtering/Blur", "Gaussian Blur", 117, 1, kAbsent, kAbsent, true, false, false, true, "EditBlurDlg",
     "Factor:keyfloat:1"},
    {Kind::kEffect, "Bump 1.0 ZOLT Standard", "Complex Filtering/Bump", "Bump", 132, 2, 2, kAbsent, false, false, false, true, "EditBumpDlg",
     "Ambient:keyfloat:1 Diffuse:keyfloat:1 Specular:keyfloat:1 h:keyfloat:1 a:keyfloat:1 b:keyfloat:1 l:keyfloat:1 Flags:int16:1 dp:keyfloat:1"},
    {Kind::kEffect, "Clouds Generator 1.0 ZOLT Standard", "Sources/Clouds", "Clouds Generator", 120, 0, kAbsent, kAbsent, false, false, false, true, "EditCloudsDlg",
     "Geo:geometry:1 Color1:keyfloat:1 Color2:keyfloat:1 Alpha1:keyfloat:1 Alpha2:keyfloat:1 Power:keyfloat:1 Dimension:keyfloat:1 Shift:keyfloat:1 From:long:1 To:long:1 Seed:long:1 MeshSize:long:1 Periods:long:1 Show:long:1"},
    {Kind::kEffect, "Mix 1.0 ZOLT Standard", "Compositing/Mix", "Mixes two inputs", 109, 2, kAbsent, kAbsent, false, false, false, true, "EditMixDlg",
     "Factor:keyfloat:1 Clipping:long:1"},
    {Kind::kEffect, "Paste 11.02.1997 ZOLT Standard", "Compositing/Paster tool", "Lays foreground image on the background by specified method.", 108, 3, 3, kAbsent, false, false, false, true, "EditPasteDlg",
     "Operation:keyfloat:1 AlphaSource:int16:1 BlendingMode:byte:1"},
    {Kind::kEffect, "Copy 1.0 ZOLT Standard", "Compositing/Copy", "Copies input to output whithout changes", 114, 1, kAbsent, kAbsent, false, false, false, true, "EditCopyDlg",
     ""},
    {Kind::kEffect, "Fill Shape 1.0 ZOLT Standard", "Geometry Shading/Fill Shape", "Fills any closed shape(s)", 112, 1, kAbsent, kAbsent, false, false, false, true, "EditFillDlg",
     "Geo:geometry:1 clr:KEYFLOAT:1 a:KEYFLOAT:1 flags:LONG:1 blur:KEYFLOAT:1"},
    {Kind::kEffect, "Fill Shape/Drop Shadow 1.0 ZOLT Standard", "Geometry Shading/Fill Shape with Drop Shadow", "Renders closed shape(s) and drops shadow", 134, 1, kAbsent, kAbsent, false, false, false, true, "EditFillsDlg",
     "Geo:geometry:1 clr:KEYFLOAT:1 a:KEYFLOAT:1 flags:LONG:1 man:LONG:1 blur:KEYFLOAT:1 sx:KEYFLOAT:1 sy:KEYFLOAT:1 sclr:KEYFLOAT:1 sa:KEYFLOAT:1 sblur:KEYFLOAT:1"},
    {Kind::kFormat, "Zolt Image Processor"},
    {Kind::kEffect, "Image Processor 1.0 ZOLT Standard", "Complex Filtering/Image Processor", "Processes/Generates image by \"c-like\" script", 111, 2, 1, kAbsent, false, true, false, true, "EditIprocDlg",
     "Geo:geometry:1 txtbuf:STRING:1 flags:LONG:1"},
    {Kind::kEffect, "Linear Color Keyer 1.0 ZOLT Standard", "Compositing/Color Keyer", "Replaces areas of keyed color in the foreground image with background", 116, 2, 1, kAbsent, false, false, false, true, "EditKeyerDlg",
     "clr:keyfloat:1 d1:KEYFLOAT:1 a1:KEYFLOAT:1 d2:KEYFLOAT:1 a2:KEYFLOAT:1"},
    {Kind::kEffect, "Mapper 1.0 ZOLT Standard", "Compositing/Mapper", "Fills quadrangular shape with image", 110, 3, 5, kAbsent, false, false, false, true, "EditMapperDlg",
     "Geo:geometry:1 a:KEYFLOAT:1 blur:KEYFLOAT:1 mod:SHORT:1 meth:SHORT:1 op:SHORT:1"},
    {Kind::kEffect, "Matte 1.0 ZOLT Standard", "Sources/Solid Color", "Fills frame with solid color", 136, 0, kAbsent, 1, false, false, false, true, "EditMatteDlg",
     "Geo:geometry:1 clr:KEYFLOAT:1 a:KEYFLOAT:1"},
    {Kind::kEffect, "Aureole 1.0 ZOLT Standard", "Complex Filtering/Aureole", "Make aureole around areas where alpha!=0", 118, 2, 1, kAbsent, true, false, false, true, "EditOreolDlg",
     "Geo:geometry:1 color:KEYFLOAT:1 alpha:KEYFLOAT:1 onalpha:KEYFLOAT:1 radius:KEYFLOAT:1 mode:BYTE:1 flags:LONG:1"},
    {Kind::kEffect, "Recolor 1.0 ZOLT Standard", "Filtering/Recolor", "Color correction tool", 113, 1, kAbsent, kAbsent, true, false, false, true, "EditRecolorDlg",
     "R:keyfloat:1 G:keyfloat:1 B:keyfloat:1 A:keyfloat:1 Brightness:keyfloat:1 Contrast:keyfloat:1 Saturation:keyfloat:1 Hue:keyfloat:1 Power:keyfloat:1 Flags:long:1 sw:short:1 Spectre:keyfloat:1"},
    {Kind::kEffect, "Star Generator 1.0 ZOLT Standard", "Geometry Shading/Star Generator", "Generates stars", 126, 1, kAbsent, kAbsent, false, false, false, true, "EditStarDlg",
     "rays:int16:1 flags:int16:1 geo:geometry:1 Halo:keyfloat:1 Color:keyfloat:1 Opacity:keyfloat:1 Loops:short:1 Loops2:short:1 Position:keyfloat:1 Size:keyfloat:1"},
    {Kind::kEffect, "Wipe 1.0 ZOLT Standard", "Geometry Shading/Wiper", "Generates gradient area using two geometries.", 106, 0, kAbsent, kAbsent, false, false, false, true, "EditWipeDlg",
     "ShapeA:geometry:1 ShapeB:geometry:1 ColorA:keyfloat:1 ColorB:keyfloat:1 AlphaA:keyfloat:1 AlphaB:keyfloat:1 FillWith:byte:4 Hull:geometry:1 BackColor:keyfloat:1 BackAlpha:keyfloat:1"},
    {Kind::kEffect, "ChainedMix 1.0 ZOLT Standard", "Compositing/Chain Mix", "Mixes frames with further frames from the same input by specified step. Drops frames in between.", 123, 1, kAbsent, kAbsent, true, false, false, true, "EditChamixDlg",
     "start:long:1 inn:float:1 sn:float:1 mn:float:1 flags:long:1"},
    {Kind::kEffect, "Draw Shape 1.0 ZOLT Standard", "Geometry Shading/Draw Shape", "Draws shape's outline", 124, 1, kAbsent, kAbsent, true, false, false, true, "EditFillDlg",
     "Geo:geometry:1 clr:KEYFLOAT:1 a:KEYFLOAT:1 s:KEYFLOAT:1 flags:LONG:1 sm:KEYFLOAT:1"},
    {Kind::kEffect, "Brusher v1.01 12-MAY-1997", "Complex Filtering/Brusher", "Lays strokes onto background", 125, 3, kAbsent, kAbsent, false, false, false, true, "EditBrusherDlg",
     "Density:keyfloat:1 Replace:keyfloat:1 Bhr:keyfloat:1 Bsr:keyfloat:1 Bvr:keyfloat:1 AngleFrom:keyfloat:1 AngleTo:keyfloat:1 AngleRand:keyfloat:1 SizeFrom:keyfloat:1 SizeTo:keyfloat:1 SizeRand:keyfloat:1 OpacityFrom:keyfloat:1 OpacityTo:keyfloat:1 OpacityRand:keyfloat:1 Strokes:int32:1 AngleMode:int16:1 SizeMode:int16:1 OpacityMode:int16:1 Mode:int16:1 FRand:int32:1 BrushFileName:string:1"},
    {Kind::kEffect, "Video Source v0.9 ZOLT Standard", "Sources/Video Source", "Source image file(s) on disk", 107, 0, 1, 1, false, true, false, true, "EDITNEWSRCDLG",
     "Path:string:1 Name:string:1 Ext:string:1 Layer:string:1 Fr:long:1 To:long:1 Digits:long:1 Flags:long:1 srcFlags:long:1 Alighn:long:1 Speed:long:1 Geo:geometry:1 srcfr:long:1 srcto:long:1 Fields:long:1 Reserved2:long:1 Reserved3:float:1 Reserved4:float:1 Reserved5:float:1 Reserved6:float:1"},
    {Kind::kEffect, "Crop ZOLT Standard", "Compositing/Crop", "Crops image", 137, 1, 1, kAbsent, true, false, false, true, "EditCropDlg",
     "Geo:geometry:1 Flags:short:1 Mode:short:1 l:keyfloat:1 r:keyfloat:1 t:keyfloat:1 b:keyfloat:1 Blur:keyfloat:1"},
    {Kind::kEffect, "Sound Source ZOLT Standard", "Sources/Sound Source", "Sound file(s) on disk", 138, 0, 1, 1, false, true, true, false, "EDITSOUNDSRCDLG",
     "Path:string:1 Name:string:1 Ext:string:1 Layer:string:1 Fr:float:1 To:float:1 Flags:long:1 Align:long:1 tb:long:1 srcFlags:long:1 srcFr:float:1 srcTo:float:1"},
    {Kind::kEffect, "Gradient, by Pentavo (D)", "Geometry Shading/Gradient", "Gradient generator", 140, 1, kAbsent, kAbsent, false, false, false, true, "EditGradDlg",
     "Flags:long:1 gg:GEOMETRY:1 angle:KEYFLOAT:1 clr1:KEYFLOAT:1 a1:KEYFLOAT:1 clr2:KEYFLOAT:1 a2:KEYFLOAT:1 type:BYTE:1 curv:BYTE:1 tile:FLOAT:1 value:KEYFLOAT:1 offset:KEYFLOAT:1"},
    {Kind::kEffect, "Spread (Quarn)", "Filtering/Spread", "Blurs input image along specified direction.", 148, 1, kAbsent, kAbsent, true, false, false, true, "EditDirBlurDlg",
     "Flags:long:1 Length:keyfloat:1 Direction:keyfloat:1 Weight:keyfloat:1 Method:byte:1"},
    {Kind::kEffect, "Multitrack switcher (Quadrel)", "Compositing/Multiswitcher", "Multiinput R,G,B,A switcher.", 147, 1, 2, kAbsent, false, false, false, true, "EditMultiDlg",
     "Flags:long:1 Op_r:byte:1 Op_g:byte:1 Op_b:byte:1 Op_a:byte:1 Ch1_r:byte:1 Ch1_g:byte:1 Ch1_b:byte:1 Ch1_a:byte:1 In1_r:byte:1 In1_g:byte:1 In1_b:byte:1 In1_a:byte:1 Ch2_r:byte:1 Ch2_g:byte:1 Ch2_b:byte:1 Ch2_a:byte:1 In2_r:byte:1 In2_g:byte:1 In2_b:byte:1 In2_a:byte:1"},
    {Kind::kEffect, "Motion Blur 2 by Brevik", "Filtering/Motion Blur", "...", 141, 1, kAbsent, kAbsent, true, false, false, true, "EditMBlurDlg",
     "f:keyfloat:1 t:KEYFLOAT:1 opc:KEYFLOAT:1 steps:FLOAT:1 alignment:BYTE:1 flags:LONG:1"},
    {Kind::kEffect, "DropShadow by Brevik", "Complex Filtering/Drop Shadow", "Drops shadow from input.", 139, 3, kAbsent, kAbsent, true, false, false, true, "EditDropShadowDlg",
     "ShadowOpacity:keyfloat:1 ForeOpacity:keyfloat:1 Offset:keyfloat:1 Direction:keyfloat:1 ShadowBlur:keyfloat:1 Turns:float:1 MaxOffset:float:1 Switch1:byte:1 Switch2:byte:1 Flags:short:1"},
    {Kind::kEffect, "Scatter 1 by Pentavo", "Particle System/Simple Scatter", "Scatters particles in area defined by geometry.", 128, 3, kAbsent, kAbsent, false, false, false, true, "EditScatter1Dlg",
     "Flags:long:1 geo:GEOMETRY:1 fr:FLOAT:1 to:FLOAT:1 v:KEYFLOAT:1 fff:KEYFLOAT:1 freq:LONG:1 srand:LONG:1"},
    {Kind::kEffect, "Sound Mix ZOLT Standard", "Sound Tools/Sound Mix", "Sums up two sound inputs.", 146, 2, kAbsent, kAbsent, false, false, true, false, "EDITSNDMIXDLG",
     "Flags:long:1 Volume1:keyfloat:1 Volume2:keyfloat:1"},
    {Kind::kFormat, "Zolt Autodesk 3DStudio mesh loader"},
    {Kind::kEffect, "Shutter, by Quarn (D)", "Compositing/Shutter", "Linear/radial shutter transition.", 149, 2, kAbsent, kAbsent, false, false, false, true, "EditShutterDlg",
     "Flags:LONG:1 gg:GEOMETRY:1 progress:KEYFLOAT:1 softness:KEYFLOAT:1 direction:KEYFLOAT:1 offset:KEYFLOAT:1 type:BYTE:1"},
    {Kind::kEffect, "Dotted Shape (Quarn)", "Geometry Shading/Dotted Shape", "Places input image along the contour(s)", 144, 3, 1, kAbsent, true, false, false, true, "EditDottDlg",
     "Geo:geometry:1 a:keyfloat:1 size:keyfloat:1 Offset:keyfloat:1 place:byte:1 orient:BYTE:1 dtmode:BYTE:1 loops:SHORT:1 steps:SHORT:1 dnum:SHORT:1 flags:LONG:1 fr:FLOAT:1 to:FLOAT:1 distance:FLOAT:1 angle:FLOAT:1"},
    {Kind::kEffect, "TimeWarp, by Marlen", "Time/Time Warp", "...", 153, 1, kAbsent, kAbsent, true, false, false, true, "EditTimeWarpDlg",
     "flags:long:1 tt:keyfloat:1 vv:keyfloat:1 vn:keyfloat:1 fr:float:1 to:float:1 tile:float:1 segment:float:1 offset:float:1 maxvelocity:float:1 curve:byte:1 tseg:byte:1"},
    {Kind::kEffect, "Morph, by Orvanta (Quarn)", "Geometry Shading/Morphing", "Transforms one image into another...", 152, 3, 2, kAbsent, false, false, false, true, "EditMorphDlg",
     "flags:long:1 gpair:GEOMETRY:20 gf:GEOMETRY:1 gt:GEOMETRY:1 morph:KEYFLOAT:1 mix:KEYFLOAT:1 blurp:KEYFLOAT:1 blurg:KEYFLOAT:1 alphamode:BYTE:1 ppaste:BYTE:1 power:BYTE:1 cpair:BYTE:1 quality:BYTE:1"},
    {Kind::kEffect, "Lightning, by Orvanta (D)", "Geometry Shading/Lightning", "Generates simple non-forked lightning.", 154, 1, kAbsent, kAbsent, false, false, false, true, "EditFlashDlg",
     "Flags:long:1 gg:GEOMETRY:1 clr1:KEYFLOAT:1 a1:KEYFLOAT:1 frequency:KEYFLOAT:1 amplitude:KEYFLOAT:1 thickness:KEYFLOAT:1 FirstRandom:long:1 type:BYTE:1"},
    {Kind::kEffect, "ZorEdeze, by Orvanta (D) ", "Compositing/Keyer", "...", 151, 2, kAbsent, kAbsent, false, false, false, true, "EditKeyer2Dlg",
     "Flags:long:1 Hue:KEYFLOAT:1 Light:KEYFLOAT:1 Difference:KEYFLOAT:1 Color:keyfloat:1 Edges:KEYFLOAT:1 CombineMode:byte:1"},
    {Kind::kEffect, "3DMotion, by Orvanta (D)", "Compositing/Perspective", "3D picture motion...", 155, 2, kAbsent, kAbsent, false, false, false, true, "Edit3DMDlg",
     "Flags:LONG:1 position:KEYFLOAT:1 rotation:KEYFLOAT:1 scale:KEYFLOAT:1 fov:KEYFLOAT:1 pivot:KEYFLOAT:1 filtering:BYTE:1 composing:BYTE:1 opacity:KEYFLOAT:1"},};

}  // namespace effects_test
