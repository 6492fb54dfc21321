#pragma once

#include <stdexcept>

namespace tarnwick {

/// Thrown when a serialized category or item is malformed: a missing required
/// key, a value of the wrong type, or an unknown category title.
class CleanableDecodingError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace tarnwick
