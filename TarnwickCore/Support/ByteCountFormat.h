#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// A byte count the way desktop file managers show file sizes: decimal
/// multiples of 1000; "Zero KB" below 1 (negative counts included); "1 byte"
/// and "N bytes" below 1000; whole kilobytes ("12 KB"); megabytes with one
/// decimal ("4.7 MB"); gigabytes and above with two ("1.23 GB"). Always uses
/// '.' as the decimal separator.
std::string formatByteCount(std::int64_t bytes);

} // namespace tarnwick
