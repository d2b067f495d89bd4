// Unique names made from a base and a number: "Track007", then "Track1000" from 1000 on.
#pragma once

#include <string>
#include <string_view>

namespace lumetra::platform {

std::string NumberedName(std::string_view base, int number);

}  // namespace lumetra::platform
