#pragma once

#include <cstddef>

namespace tarnwick {

/// Ranges from this size on are worth huge pages: the 2 MiB a huge page may
/// hold beyond what is used is small next to them.
inline constexpr std::size_t hugePageWorthyBytes = std::size_t(16) << 20;

/// Maps the whole pages inside [start, start + bytes) for writing in one
/// system call, in huge pages (preferHugePages) from hugePageWorthyBytes on.
/// Faulting fresh memory page by page costs far more, above all in a
/// virtual machine. Best effort: on kernels without support (before Linux
/// 5.14) it does nothing and the pages fault in as they are touched.
void prefaultForWriting(void *start, std::size_t bytes);

/// Asks the kernel to back the whole 2 MiB-aligned stretches inside
/// [start, start + bytes) with huge pages when they are first touched: one
/// fault and one page-table entry for 512 small pages, where each small one
/// costs some 10 µs in a virtual machine that shadows page tables. Meant for
/// large tables written once and kept. Nothing outside the range is
/// affected, so its rounded-off ends stay small pages and cost no memory.
/// Best effort: where transparent huge pages are off, or none is free, small
/// pages are used.
void preferHugePages(void *start, std::size_t bytes);

} // namespace tarnwick
