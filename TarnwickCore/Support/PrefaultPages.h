#pragma once

#include <cstddef>

namespace tarnwick {

/// Maps the whole pages inside [start, start + bytes) for writing in one
/// system call. Faulting fresh memory page by page costs far more, above all
/// in a virtual machine. Best effort: on kernels without support (before
/// Linux 5.14) it does nothing and the pages fault in as they are touched.
void prefaultForWriting(void *start, std::size_t bytes);

} // namespace tarnwick
