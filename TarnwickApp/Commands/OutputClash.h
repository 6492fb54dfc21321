#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace quillane {

/// One output option as given: its name without dashes, and the file it
/// names when it was given.
struct OutputOption {
  std::string_view name;
  const std::optional<std::string> *destination;
};

/// Why `outputs` cannot all be written: two of them name the same file, so
/// the one committed last would silently replace the other. The same file
/// is the same path once made absolute and cleaned ("out.json",
/// "./out.json"), the same name in the same folder reached another way,
/// or, when both exist, the same device and inode (a link to the file).
/// Standard output ("-"), descriptor names under /dev and /proc, and what
/// exists but is no regular file (a FIFO, a device) are written in place,
/// in turn, and never clash. Nothing when every output has a file of its
/// own.
///
/// Threads: any; reads only the metadata of the destinations' folders.
std::optional<std::string> outputClash(std::initializer_list<OutputOption> outputs);

} // namespace quillane
