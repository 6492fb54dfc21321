// Input: a scan snapshot, or any bytes. Each input is read twice: as it is,
// and with its checksums made right, so that the checks behind them are
// reached too.

#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace tarnwick;

void put32(std::string &bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::string resealed(std::string bytes) {
  if (bytes.size() < snapshot::prefixSize + snapshot::trailerSize)
    return bytes;
  std::uint32_t headerLength = 0;
  for (int i = 0; i < 4; ++i)
    headerLength |= std::uint32_t(static_cast<std::uint8_t>(bytes[12 + i])) << (8 * i);
  if (headerLength <= bytes.size() - snapshot::prefixSize)
    put32(bytes, 16, snapshot::checksum(std::string_view(bytes).substr(snapshot::prefixSize, headerLength)));
  put32(bytes, bytes.size() - 4, snapshot::checksum(std::string_view(bytes).substr(0, bytes.size() - 4)));
  return bytes;
}

void check(const std::string &bytes) {
  auto outcome = ScanSnapshotReader::readBytes(bytes);
  if (const auto *error = std::get_if<ScanSnapshotError>(&outcome)) {
    if (error->detail.empty() || error->byteOffset > bytes.size())
      std::abort();
    return;
  }
  const DiskTreeArena &arena = std::get<DiskTreeArena>(outcome);
  // A tree returned is whole, and writing it again loses nothing.
  if (arena.nodeCount() > 0) {
    const auto &root = arena.record(DiskTreeArena::rootID);
    if (std::size_t(root.fileCount) + root.directoryCount + 1 != arena.nodeCount())
      std::abort();
  }
  for (NodeID id = 1; static_cast<std::size_t>(id) < arena.nodeCount(); ++id)
    if (arena.record(id).parentID >= id || arena.name(id).size() != arena.record(id).nameLength)
      std::abort();
  const auto header = ScanSnapshotReader::readHeaderBytes(bytes, bytes.size());
  const std::int64_t scanTime = std::get<ScanSnapshotHeader>(header).scanTime;
  const std::string again = ScanSnapshotWriter::encode(arena, scanTime);
  auto second = ScanSnapshotReader::readBytes(again);
  if (!std::holds_alternative<DiskTreeArena>(second) ||
      ScanSnapshotWriter::encode(std::get<DiskTreeArena>(second), scanTime) != again)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  check(bytes);
  check(resealed(bytes));
  return 0;
}
