// The anti-aliased even-odd shape raster: Hermite records of bezier segments, their
// crossings with every pixel row line and column line, the edge samples those crossings
// leave, and the integer coverage rules that turn four edge samples into a pixel's alpha.
// Host-free: the shape filler feeds it segments and hands it a picture.
#pragma once

#include <cstdint>
#include <vector>

#include "image_view.h"
#include "row_bands.h"

namespace lumetra::effects {

// One coordinate of a segment as the cubic a t^3 + b t^2 + c t + d and in Hermite form
// (end values p0, p1, end tangents t0, t1).
struct HermiteAxis {
  float a = 0.f, b = 0.f, c = 0.f, d = 0.f;
  float p0 = 0.f, p1 = 0.f, t0 = 0.f, t1 = 0.f;

  float Hermite(float t) const;
};

// A segment seen from one kind of line: `cross` is the coordinate the lines are laid
// along (y for row lines), `other` the one a crossing yields. s1 <= s2 are the interior
// extrema of `cross`, -1 when absent (s2 is -1 whenever s1 is).
struct SegmentRecord {
  HermiteAxis cross, other;
  float s1 = -1.f, s2 = -1.f;
};

// The split parameters of a cubic's derivative roots in (0, 1): 6e-5 <= s < 1, ascending.
// a == 0 takes the quadratic's extremum -c / 2b.
void SplitParameters(float a, float b, float c, float* s1, float* s2);

// A segment as the host delivers it: start (x0, y0) with outgoing handle (vx, vy), end
// (x1, y1) with incoming handle (wx, wy), handles relative to their vertex.
struct BezierSegment {
  float x0, y0, vx, vy, x1, y1, wx, wy;
};

// The row and column records of an outline; offsets are added to every point.
struct ShapeOutline {
  std::vector<SegmentRecord> rows;
  std::vector<SegmentRecord> columns;

  // Throws std::bad_alloc when memory runs out.
  void Add(const BezierSegment& s, float x_offset = 0.f, float y_offset = 0.f);
};

// Crossings of the lines first .. first + count - 1, seen from just above a line (`above`,
// pieces with min <= L < max) and from just below it (`below`, min < L <= max): a vertex on
// a line counts once in each, flat pieces never, and a boundary lying on a line is inside
// for the pixels on its inner side. Values of line i in a list: [offset[i], offset[i + 1]),
// ascending.
struct CrossingList {
  std::vector<uint32_t> offset;  // count + 1 entries
  std::vector<float> value;

  const float* Begin(int32_t i) const { return value.data() + offset[static_cast<size_t>(i)]; }
  const float* End(int32_t i) const { return value.data() + offset[static_cast<size_t>(i) + 1]; }
};

struct LineCrossings {
  int32_t first = 0;
  int32_t count = 0;
  CrossingList above, below;
};

// Which vector lanes the crossings' bisections run on: kWidest takes the widest the
// processor has, kAvx2 and kSse2 no more than those. Every choice gives the same bits.
enum class CrossingLanes { kWidest, kAvx2, kSse2 };

// Throws std::bad_alloc when memory runs out.
LineCrossings CrossLines(const std::vector<SegmentRecord>& records, int32_t first, int32_t count,
                         const BandRunner& bands, CrossingLanes lanes = CrossingLanes::kWidest);

// The row lines y .. y + rows - 1 and the column lines x .. x + columns - 1 of an outline,
// crossed in one run of bands; the same lists as CrossLines gives. Throws std::bad_alloc
// when memory runs out.
void CrossOutline(const ShapeOutline& outline, int32_t x, int32_t columns, int32_t y, int32_t rows,
                  const BandRunner& bands, LineCrossings* row_lines, LineCrossings* column_lines);

// The coverage 0..255 of a pixel from its lower, upper, left and right edge samples.
uint8_t EdgeCoverage(uint32_t b, uint32_t t, uint32_t l, uint32_t r);

// Lays `colour` (blue low byte .. alpha high byte) over `pic`, whose first pixel sits at
// (x, y) in the outline's coordinates, with the outline's even-odd coverage: the alpha
// byte becomes the covered alpha, colours blend towards the colour by it. abort is asked
// once before each row line and each column line (progress 0).
KernelStatus FillOutline(const ShapeOutline& outline, const ImageView& pic, int32_t x, int32_t y,
                         uint32_t colour, const BandRunner& bands, const AbortCheck& abort = {});

// Even-odd test of (x, y) against the crossings seen just above the row line floor(y).
bool PointInOutline(const ShapeOutline& outline, float x, float y);

}  // namespace lumetra::effects
