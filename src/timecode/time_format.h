// Time texts: time code, frames and seconds display, their parsing, and durations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumetra::project {

// The longest text a time field holds.
inline constexpr std::size_t kTimeFieldMaxChars = 125;

// The time shown in a display mode (kTimeDisplay*; an unknown mode shows seconds):
// time code " 00:00:01:12" / "-00:00:01:12", frames "37", seconds "1.500".
// Non-finite times show as 0.
std::string TimeFormat(float time, int32_t base, int32_t mode);

// The time a field's text stands for, or nothing when the text is refused: empty, a lone
// sign, garbage, a field out of range, a negative field or a value that overflows.
std::optional<float> TimeParse(std::string_view text, int32_t base, int32_t mode);

// A duration for lists and status texts: "59:24", "1:01:00", "1:02:05:00".
std::string DurationFormat(float time, int32_t base);

}  // namespace lumetra::project
