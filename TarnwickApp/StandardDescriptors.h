#pragma once

namespace quillane {

/// Keeps the descriptors this process opens off 0, 1 and 2 when its caller
/// left any of them closed (`quillane scan … >&-`): a signal or event
/// descriptor opened as 0 would be read as standard input, one opened as 1
/// would be written the summary. Each closed one is taken by /dev/null
/// opened the other way round, so that reading descriptor 0 or writing
/// 1 or 2 still fails with EBADF, as on a closed descriptor. Named again
/// (/dev/stdin, /proc/self/fd/1), such a descriptor opens /dev/null anew:
/// empty input, discarded output.
///
/// Called first thing by runCommandLine(), before any thread or descriptor
/// of the program's own exists.
void holdClosedStandardDescriptors();

/// `status`, a command's exit status, once standard output is flushed. A
/// report that could not be written all is said here for every command,
/// and turns a success or a partial success (0 or 3) into a failure (1): a
/// script must not take an unwritten report for a written one. Any other
/// status (1, 2 for usage, 130 for an interruption) is kept. A command that
/// says such a failure itself clears the stream's error (clearerr) so that
/// it is said once. Not for the window, whose output is incidental.
int withStandardOutputFlushed(int status);

} // namespace quillane
