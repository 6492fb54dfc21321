// Input: an export in ncdu's JSON format, plain or compressed, or any bytes.

#include "TarnwickCore/Import/NcduExportReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  tarnwick::NcduExportReader::Outcome outcome = tarnwick::NcduExportReader::readBytes(bytes);
  if (const auto *error = std::get_if<tarnwick::ExportReadError>(&outcome)) {
    // Plain text: a fault lies within it or at its end. (Compressed text
    // counts offsets in what it decompresses to.)
    const bool compressed = size >= 2 && (data[0] == 0x1f || data[0] == 0x28);
    if (error->detail.empty() || (!compressed && error->byteOffset > size))
      std::abort();
    return 0;
  }
  const tarnwick::DiskTreeArena &arena = std::get<tarnwick::DiskTreeArena>(outcome);
  // A tree returned is whole: every node counted below the root, every
  // folder at least as large as each of its entries, names free of '/'.
  const auto root = arena.rootNode();
  if (!root || static_cast<std::size_t>(root->fileCount + root->directoryCount + 1) != arena.nodeCount())
    std::abort();
  for (tarnwick::NodeID id = 1; static_cast<std::size_t>(id) < arena.nodeCount(); ++id) {
    const auto &record = arena.record(id);
    if (arena.record(record.parentID).allocatedSize < record.allocatedSize || arena.name(id).empty() ||
        arena.name(id).find('/') != std::string_view::npos)
      std::abort();
  }
  return 0;
}
