// ScanSnapshotReader's files: opened and checked, the header read and
// checked first, then the whole file read at once.
#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"

#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickCore/Support/DefaultInitAllocator.h"
#include "TarnwickCore/Support/PrefaultPages.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

using namespace snapshot;
using Kind = ScanSnapshotError::Kind;

ScanSnapshotError error(Kind kind, std::uint64_t offset, std::string detail) {
  return {kind, offset, std::move(detail)};
}

std::uint32_t fixed32At(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= std::uint32_t(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
  return value;
}

using FileBytes = std::vector<char, DefaultInitAllocator<char>>;

std::variant<FileBytes, ScanSnapshotError> readWhole(int fd, std::uint64_t length, const std::string &path) {
  FileBytes bytes;
  try {
    bytes.resize(length);
  } catch (const std::bad_alloc &) {
    return error(Kind::unreadable, 0, "no memory to read " + path);
  }
  prefaultForWriting(bytes.data(), bytes.size());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return error(Kind::unreadable, done, "cannot read " + path + ": " + std::strerror(errno));
    if (got == 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

// Opens `path` as a regular file and tells its length.
std::variant<std::pair<UniqueFd, std::uint64_t>, ScanSnapshotError> openSnapshot(const std::string &path,
                                                                                 ScanSnapshotReader::Links links) {
  const int noFollow = links == ScanSnapshotReader::Links::refuse ? O_NOFOLLOW : 0;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | noFollow));
  struct stat st{};
  if (!fd || ::fstat(fd.get(), &st) != 0)
    return error(Kind::unreadable, 0, "cannot open " + path + ": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode))
    return error(Kind::unreadable, 0, path + " is not a regular file");
  return std::pair{std::move(fd), static_cast<std::uint64_t>(st.st_size)};
}

// The length of the file open at `fd`, which must be a regular one.
std::variant<std::uint64_t, ScanSnapshotError> regularFileLength(int fd, const std::string &path) {
  struct stat st{};
  if (::fstat(fd, &st) != 0)
    return error(Kind::unreadable, 0, "cannot read " + path + ": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode))
    return error(Kind::unreadable, 0, path + " is not a regular file");
  return static_cast<std::uint64_t>(st.st_size);
}

// The prefix and the header of the open file of `length` bytes: the prefix
// first, for the header's length, then the header.
std::variant<FileBytes, ScanSnapshotError> readHead(int fd, std::uint64_t length, const std::string &path) {
  auto prefix = readWhole(fd, std::min<std::uint64_t>(length, prefixSize), path);
  if (std::holds_alternative<ScanSnapshotError>(prefix))
    return prefix;
  const std::string_view start(std::get<FileBytes>(prefix).data(), std::get<FileBytes>(prefix).size());
  std::uint64_t wanted = start.size();
  if (start.size() == prefixSize)
    wanted += std::min<std::uint64_t>(fixed32At(start, 12), maxHeaderLength);
  return readWhole(fd, std::min(length, wanted), path);
}

} // namespace

ScanSnapshotReader::Outcome ScanSnapshotReader::readFile(const std::string &path, Links links) {
  auto opened = openSnapshot(path, links);
  if (auto *fault = std::get_if<ScanSnapshotError>(&opened))
    return std::move(*fault);
  return readOpenFile(std::get<0>(opened).first.get(), path);
}

ScanSnapshotReader::Outcome ScanSnapshotReader::readOpenFile(int fd, const std::string &path) {
  const auto checked = regularFileLength(fd, path);
  if (const auto *fault = std::get_if<ScanSnapshotError>(&checked))
    return *fault;
  const std::uint64_t length = std::get<std::uint64_t>(checked);
  // The header first: a file it does not account for is refused before
  // its length is allocated and read.
  auto head = readHead(fd, length, path);
  if (auto *fault = std::get_if<ScanSnapshotError>(&head))
    return std::move(*fault);
  const FileBytes &start = std::get<FileBytes>(head);
  auto header = readHeaderBytes(std::string_view(start.data(), start.size()), length);
  if (auto *fault = std::get_if<ScanSnapshotError>(&header))
    return std::move(*fault);
  auto bytes = readWhole(fd, length, path);
  if (auto *fault = std::get_if<ScanSnapshotError>(&bytes))
    return std::move(*fault);
  const FileBytes &read = std::get<FileBytes>(bytes);
  return readBytes(std::string_view(read.data(), read.size()));
}

ScanSnapshotReader::HeaderOutcome ScanSnapshotReader::readHeaderFile(const std::string &path, Links links) {
  auto opened = openSnapshot(path, links);
  if (auto *fault = std::get_if<ScanSnapshotError>(&opened))
    return std::move(*fault);
  return readHeaderOpenFile(std::get<0>(opened).first.get(), path);
}

ScanSnapshotReader::HeaderOutcome ScanSnapshotReader::readHeaderOpenFile(int fd, const std::string &path) {
  const auto checked = regularFileLength(fd, path);
  if (const auto *fault = std::get_if<ScanSnapshotError>(&checked))
    return *fault;
  const std::uint64_t length = std::get<std::uint64_t>(checked);
  auto head = readHead(fd, length, path);
  if (auto *fault = std::get_if<ScanSnapshotError>(&head))
    return std::move(*fault);
  return readHeaderBytes(std::string_view(std::get<FileBytes>(head).data(), std::get<FileBytes>(head).size()), length);
}

} // namespace tarnwick
