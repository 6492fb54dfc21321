#pragma once

#include <stdexcept>

namespace tarnwick {

/// A scan stopped because its stop token was triggered. Callers usually
/// treat it as silent.
class ScanCancelledError : public std::runtime_error {
public:
  ScanCancelledError() : std::runtime_error("The scan was cancelled.") {}
};

/// A scan met more entries than a tree can number with 32-bit identifiers.
class ScanTooLargeError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace tarnwick
