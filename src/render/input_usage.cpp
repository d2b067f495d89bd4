// Slices of a clip's span for the records of which input times it used.
#include "render/render_engine.h"

namespace lumetra::render {

std::vector<float> InputUsageSlices(float length) {
  std::vector<float> slices;
  if (!(length >= 1e-5f)) return slices;
  float left = length;
  while (left > 2.0f) {
    slices.push_back(1.0f);
    left -= 1.0f;
  }
  if (left > 1.0f) {
    slices.push_back(left / 2);
    slices.push_back(left / 2);
  } else {
    slices.push_back(left);
  }
  return slices;
}

}  // namespace lumetra::render
