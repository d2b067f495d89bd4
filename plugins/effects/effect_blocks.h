// The clip data blocks of the effects: the library's own structs, laid out natively. Field
// order and types are what projects store; pointer fields are pointer-sized.
#pragma once

#include <cstdint>

#include "host_api.h"

namespace effects {

struct ChannelProcessorData {
  int16_t Operation[4];
  int16_t Operand1[4];
  int16_t Operand2[4];
  int16_t Mode[4];
};

struct BlurData {
  KeyfloatKey* Factor;
};

struct BumpData {
  KeyfloatKey* Ambient;
  KeyfloatKey* Diffuse;
  KeyfloatKey* Specular;
  KeyfloatKey* h;
  KeyfloatKey* a;
  KeyfloatKey* b;
  KeyfloatKey* l;
  int16_t Flags;
  KeyfloatKey* dp;
};

struct CloudsData {
  LumetraObject Geo;
  KeyfloatKey* Color1;
  KeyfloatKey* Color2;
  KeyfloatKey* Alpha1;
  KeyfloatKey* Alpha2;
  KeyfloatKey* Power;
  KeyfloatKey* Dimension;
  KeyfloatKey* Shift;
  int32_t From;
  int32_t To;
  int32_t Seed;
  int32_t MeshSize;
  int32_t Periods;
  int32_t Show;
};

struct MixData {
  KeyfloatKey* Factor;
  int32_t Clipping;
};

struct PasteData {
  KeyfloatKey* Operation;
  int16_t AlphaSource;
  uint8_t BlendingMode;
};

struct FillShapeData {
  LumetraObject Geo;
  KeyfloatKey* clr;
  KeyfloatKey* a;
  int32_t flags;
  KeyfloatKey* blur;
};

struct FillShapeDropShadowData {
  LumetraObject Geo;
  KeyfloatKey* clr;
  KeyfloatKey* a;
  int32_t flags;
  int32_t man;
  KeyfloatKey* blur;
  KeyfloatKey* sx;
  KeyfloatKey* sy;
  KeyfloatKey* sclr;
  KeyfloatKey* sa;
  KeyfloatKey* sblur;
};

struct ImageProcessorData {
  LumetraObject Geo;
  char* txtbuf;
  int32_t flags;
};

struct LinearColorKeyerData {
  KeyfloatKey* clr;
  KeyfloatKey* d1;
  KeyfloatKey* a1;
  KeyfloatKey* d2;
  KeyfloatKey* a2;
};

struct MapperData {
  LumetraObject Geo;
  KeyfloatKey* a;
  KeyfloatKey* blur;
  int16_t mod;
  int16_t meth;
  int16_t op;
};

struct MatteData {
  LumetraObject Geo;
  KeyfloatKey* clr;
  KeyfloatKey* a;
};

struct AureoleData {
  LumetraObject Geo;
  KeyfloatKey* color;
  KeyfloatKey* alpha;
  KeyfloatKey* onalpha;
  KeyfloatKey* radius;
  uint8_t mode;
  int32_t flags;
};

struct RecolorData {
  KeyfloatKey* R;
  KeyfloatKey* G;
  KeyfloatKey* B;
  KeyfloatKey* A;
  KeyfloatKey* Brightness;
  KeyfloatKey* Contrast;
  KeyfloatKey* Saturation;
  KeyfloatKey* Hue;
  KeyfloatKey* Power;
  int32_t Flags;
  int16_t sw;
  KeyfloatKey* Spectre;
};

struct StarGeneratorData {
  int16_t rays;
  int16_t flags;
  LumetraObject geo;
  KeyfloatKey* Halo;
  KeyfloatKey* Color;
  KeyfloatKey* Opacity;
  int16_t Loops;
  int16_t Loops2;
  KeyfloatKey* Position;
  KeyfloatKey* Size;
};

struct WipeData {
  LumetraObject ShapeA;
  LumetraObject ShapeB;
  KeyfloatKey* ColorA;
  KeyfloatKey* ColorB;
  KeyfloatKey* AlphaA;
  KeyfloatKey* AlphaB;
  uint8_t FillWith[4];
  LumetraObject Hull;
  KeyfloatKey* BackColor;
  KeyfloatKey* BackAlpha;
};

struct ChainedMixData {
  int32_t start;
  float inn;
  float sn;
  float mn;
  int32_t flags;
};

struct DrawShapeData {
  LumetraObject Geo;
  KeyfloatKey* clr;
  KeyfloatKey* a;
  KeyfloatKey* s;
  int32_t flags;
  KeyfloatKey* sm;
};

struct BrusherData {
  KeyfloatKey* Density;
  KeyfloatKey* Replace;
  KeyfloatKey* Bhr;
  KeyfloatKey* Bsr;
  KeyfloatKey* Bvr;
  KeyfloatKey* AngleFrom;
  KeyfloatKey* AngleTo;
  KeyfloatKey* AngleRand;
  KeyfloatKey* SizeFrom;
  KeyfloatKey* SizeTo;
  KeyfloatKey* SizeRand;
  KeyfloatKey* OpacityFrom;
  KeyfloatKey* OpacityTo;
  KeyfloatKey* OpacityRand;
  int32_t Strokes;
  int16_t AngleMode;
  int16_t SizeMode;
  int16_t OpacityMode;
  int16_t Mode;
  int32_t FRand;
  char* BrushFileName;
};

struct VideoSourceData {
  char* Path;
  char* Name;
  char* Ext;
  char* Layer;
  int32_t Fr;
  int32_t To;
  int32_t Digits;
  int32_t Flags;
  int32_t srcFlags;
  int32_t Alighn;
  int32_t Speed;
  LumetraObject Geo;
  int32_t srcfr;
  int32_t srcto;
  int32_t Fields;
  int32_t Reserved2;
  float Reserved3;
  float Reserved4;
  float Reserved5;
  float Reserved6;
};

struct CropData {
  LumetraObject Geo;
  int16_t Flags;
  int16_t Mode;
  KeyfloatKey* l;
  KeyfloatKey* r;
  KeyfloatKey* t;
  KeyfloatKey* b;
  KeyfloatKey* Blur;
};

struct SoundSourceData {
  char* Path;
  char* Name;
  char* Ext;
  char* Layer;
  float Fr;
  float To;
  int32_t Flags;
  int32_t Align;
  int32_t tb;
  int32_t srcFlags;
  float srcFr;
  float srcTo;
};

struct GradientData {
  int32_t Flags;
  LumetraObject gg;
  KeyfloatKey* angle;
  KeyfloatKey* clr1;
  KeyfloatKey* a1;
  KeyfloatKey* clr2;
  KeyfloatKey* a2;
  uint8_t type;
  uint8_t curv;
  float tile;
  KeyfloatKey* value;
  KeyfloatKey* offset;
};

struct SpreadData {
  int32_t Flags;
  KeyfloatKey* Length;
  KeyfloatKey* Direction;
  KeyfloatKey* Weight;
  uint8_t Method;
};

struct MultiswitcherData {
  int32_t Flags;
  uint8_t Op_r;
  uint8_t Op_g;
  uint8_t Op_b;
  uint8_t Op_a;
  uint8_t Ch1_r;
  uint8_t Ch1_g;
  uint8_t Ch1_b;
  uint8_t Ch1_a;
  uint8_t In1_r;
  uint8_t In1_g;
  uint8_t In1_b;
  uint8_t In1_a;
  uint8_t Ch2_r;
  uint8_t Ch2_g;
  uint8_t Ch2_b;
  uint8_t Ch2_a;
  uint8_t In2_r;
  uint8_t In2_g;
  uint8_t In2_b;
  uint8_t In2_a;
};

struct MotionBlurData {
  KeyfloatKey* f;
  KeyfloatKey* t;
  KeyfloatKey* opc;
  float steps;
  uint8_t alignment;
  int32_t flags;
};

struct DropShadowData {
  KeyfloatKey* ShadowOpacity;
  KeyfloatKey* ForeOpacity;
  KeyfloatKey* Offset;
  KeyfloatKey* Direction;
  KeyfloatKey* ShadowBlur;
  float Turns;
  float MaxOffset;
  uint8_t Switch1;
  uint8_t Switch2;
  int16_t Flags;
};

struct ScatterData {
  int32_t Flags;
  LumetraObject geo;
  float fr;
  float to;
  KeyfloatKey* v;
  KeyfloatKey* fff;
  int32_t freq;
  int32_t srand;
};

struct SoundMixData {
  int32_t Flags;
  KeyfloatKey* Volume1;
  KeyfloatKey* Volume2;
};

struct ShutterData {
  int32_t Flags;
  LumetraObject gg;
  KeyfloatKey* progress;
  KeyfloatKey* softness;
  KeyfloatKey* direction;
  KeyfloatKey* offset;
  uint8_t type;
};

struct DottedShapeData {
  LumetraObject Geo;
  KeyfloatKey* a;
  KeyfloatKey* size;
  KeyfloatKey* Offset;
  uint8_t place;
  uint8_t orient;
  uint8_t dtmode;
  int16_t loops;
  int16_t steps;
  int16_t dnum;
  int32_t flags;
  float fr;
  float to;
  float distance;
  float angle;
};

struct TimeWarpData {
  int32_t flags;
  KeyfloatKey* tt;
  KeyfloatKey* vv;
  KeyfloatKey* vn;
  float fr;
  float to;
  float tile;
  float segment;
  float offset;
  float maxvelocity;
  uint8_t curve;
  uint8_t tseg;
};

struct MorphData {
  int32_t flags;
  LumetraObject gpair[20];
  LumetraObject gf;
  LumetraObject gt;
  KeyfloatKey* morph;
  KeyfloatKey* mix;
  KeyfloatKey* blurp;
  KeyfloatKey* blurg;
  uint8_t alphamode;
  uint8_t ppaste;
  uint8_t power;
  uint8_t cpair;
  uint8_t quality;
};

struct LightningData {
  int32_t Flags;
  LumetraObject gg;
  KeyfloatKey* clr1;
  KeyfloatKey* a1;
  KeyfloatKey* frequency;
  KeyfloatKey* amplitude;
  KeyfloatKey* thickness;
  int32_t FirstRandom;
  uint8_t type;
};

struct ZorEdezeData {
  int32_t Flags;
  KeyfloatKey* Hue;
  KeyfloatKey* Light;
  KeyfloatKey* Difference;
  KeyfloatKey* Color;
  KeyfloatKey* Edges;
  uint8_t CombineMode;
};

struct Motion3DData {
  int32_t Flags;
  KeyfloatKey* position;
  KeyfloatKey* rotation;
  KeyfloatKey* scale;
  KeyfloatKey* fov;
  KeyfloatKey* pivot;
  uint8_t filtering;
  uint8_t composing;
  KeyfloatKey* opacity;
};

}  // namespace effects
