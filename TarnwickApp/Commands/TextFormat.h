#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillane {

/// 1234567 → "1,234,567".
std::string groupDigits(std::int64_t value);

/// A file name made safe for a terminal: control characters become '?' and
/// bytes that are not valid UTF-8 become U+FFFD, so a hostile name cannot
/// move the cursor or garble the line.
std::string printableText(std::string_view bytes);

} // namespace quillane
