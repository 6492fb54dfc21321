#include "TarnwickCore/Diff/ScanTreeFile.h"

#include "TarnwickCore/Import/NcduExportReader.h"
#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {
namespace {

ScanTreeFile::Outcome readSnapshot(const std::string &path) {
  ScanSnapshotReader::Outcome read = ScanSnapshotReader::readFile(path, ScanSnapshotReader::Links::follow);
  if (auto *failure = std::get_if<ScanSnapshotError>(&read))
    return ScanTreeFileError{ScanTreeFileError::Kind::snapshot, path, failure->message()};
  ScanTreeFile file{std::move(std::get<DiskTreeArena>(read)), ScanTreeFile::Format::snapshot, std::nullopt};
  // The body's checksum was just checked, so the header read again is the same one.
  const ScanSnapshotReader::HeaderOutcome header =
      ScanSnapshotReader::readHeaderFile(path, ScanSnapshotReader::Links::follow);
  if (const auto *known = std::get_if<ScanSnapshotHeader>(&header))
    file.scanTime = known->scanTime;
  return file;
}

ScanTreeFile::Outcome exportOutcome(NcduExportReader::Outcome read, const std::string &path,
                                    const std::stop_token &stop) {
  if (auto *failure = std::get_if<ExportReadError>(&read)) {
    const auto kind = stop.stop_requested() ? ScanTreeFileError::Kind::cancelled : ScanTreeFileError::Kind::exportFile;
    return ScanTreeFileError{kind, path, failure->message()};
  }
  DiskTreeArena &arena = std::get<DiskTreeArena>(read);
  const std::optional<std::int64_t> exportedAt = arena.scanReport().exportedAt;
  return ScanTreeFile{std::move(arena), ScanTreeFile::Format::exportFile, exportedAt};
}

} // namespace

ScanTreeFile::Outcome ScanTreeFile::read(const std::string &path, std::stop_token stop) {
  if (path == "-")
    return exportOutcome(NcduExportReader::readFile(path, stop), path, stop);
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd)
    return ScanTreeFileError{ScanTreeFileError::Kind::unreadable, path, std::strerror(errno)};
  std::array<char, snapshot::magic.size()> start{};
  const ssize_t got = ::pread(fd.get(), start.data(), start.size(), 0);
  // A pipe cannot be peeked at: only an export can be streamed from it.
  if (got < 0 && errno != ESPIPE)
    return ScanTreeFileError{ScanTreeFileError::Kind::unreadable, path, std::strerror(errno)};
  if (got == static_cast<ssize_t>(start.size()) && std::string_view(start.data(), start.size()) == snapshot::magic)
    return readSnapshot(path);
  return exportOutcome(NcduExportReader::read(std::move(fd), stop), path, stop);
}

} // namespace tarnwick
