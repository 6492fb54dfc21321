#pragma once

#include <cerrno>
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

/// A scan ran out of a system resource (memory, or file descriptors to open
/// a folder with) and stopped: the tree it could still build would be short,
/// so there is none. The message says what ran out and where.
class ScanResourceError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// Whether `error` (an errno value) means the process or the system has no
/// descriptor left: a passing shortage, which says nothing about the file.
inline bool isDescriptorShortage(int error) { return error == EMFILE || error == ENFILE; }

} // namespace tarnwick
