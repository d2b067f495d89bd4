// Nearest-neighbour index tables.
#include "render/nearest_index.h"

namespace lumetra::render {

float NearestStep(int32_t source_size, int32_t dest_size) {
  return static_cast<float>(static_cast<double>(source_size) / static_cast<double>(dest_size));
}

std::vector<int32_t> NearestIndex(float step, int32_t source_size, int32_t count) {
  std::vector<int32_t> index;
  index.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
  long double sum = 0.0L;
  for (int32_t k = 0; k < count; ++k, sum += step) {
    if (sum >= source_size) break;
    index.push_back(static_cast<int32_t>(sum));
  }
  return index;
}

}  // namespace lumetra::render
