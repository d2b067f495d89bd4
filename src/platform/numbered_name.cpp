// Three-digit suffixes below 1000, plain numbers from 1000 on.
#include "platform/numbered_name.h"

#include "platform/format.h"

namespace lumetra::platform {

std::string NumberedName(std::string_view base, int number) {
  std::string b(base);
  return number < 1000 ? Format("%s%.3d", b.c_str(), number) : Format("%s%d", b.c_str(), number);
}

}  // namespace lumetra::platform
