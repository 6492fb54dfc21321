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

using FileBytes = std::vector<char, DefaultInitAllocator<char>>;

std::variant<FileBytes, ScanSnapshotError> readWhole(int fd, std::uint64_t length, const std::string &path) {
  FileBytes bytes;
  try {
    bytes.resize(length);
  } catch (const std::bad_alloc &) {
    return ScanSnapshotError::at(Kind::unreadable, 0, "no memory to read " + path);
  }
  prefaultForWriting(bytes.data(), bytes.size());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return ScanSnapshotError::at(Kind::unreadable, done, "cannot read " + path + ": " + std::strerror(errno));
    if (got == 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

// Opens `path`; what it is, is checked once it is open.
std::variant<UniqueFd, ScanSnapshotError> openSnapshot(const std::string &path, ScanSnapshotReader::Links links) {
  const int noFollow = links == ScanSnapshotReader::Links::refuse ? O_NOFOLLOW : 0;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | noFollow));
  if (!fd)
    return ScanSnapshotError::at(Kind::unreadable, 0, "cannot open " + path + ": " + std::strerror(errno));
  return fd;
}

// A regular file's length and its first bytes: the prefix, then as much
// of the header as the prefix says there is.
struct Head {
  std::uint64_t length = 0;
  FileBytes bytes;
  std::string_view view() const { return {bytes.data(), bytes.size()}; }
};

std::variant<Head, ScanSnapshotError> readHead(int fd, const std::string &path) {
  struct stat st{};
  if (::fstat(fd, &st) != 0)
    return ScanSnapshotError::at(Kind::unreadable, 0, "cannot read " + path + ": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode))
    return ScanSnapshotError::at(Kind::unreadable, 0, path + " is not a regular file");
  const auto length = static_cast<std::uint64_t>(st.st_size);
  auto prefix = readWhole(fd, std::min<std::uint64_t>(length, prefixSize), path);
  if (auto *fault = std::get_if<ScanSnapshotError>(&prefix))
    return std::move(*fault);
  const std::string_view start(std::get<FileBytes>(prefix).data(), std::get<FileBytes>(prefix).size());
  std::uint64_t wanted = start.size();
  if (start.size() == prefixSize)
    wanted += std::min<std::uint64_t>(fixed32At(start, 12), maxHeaderLength);
  auto bytes = readWhole(fd, std::min(length, wanted), path);
  if (auto *fault = std::get_if<ScanSnapshotError>(&bytes))
    return std::move(*fault);
  return Head{length, std::move(std::get<FileBytes>(bytes))};
}

} // namespace

ScanSnapshotReader::Outcome ScanSnapshotReader::readFile(const std::string &path, Links links) {
  auto opened = openSnapshot(path, links);
  if (auto *fault = std::get_if<ScanSnapshotError>(&opened))
    return std::move(*fault);
  return readOpenFile(std::get<UniqueFd>(opened).get(), path);
}

ScanSnapshotReader::Outcome ScanSnapshotReader::readOpenFile(int fd, const std::string &path) {
  // The header first: a file it does not account for is refused before
  // its length is allocated and read.
  auto head = readHead(fd, path);
  if (auto *fault = std::get_if<ScanSnapshotError>(&head))
    return std::move(*fault);
  const std::uint64_t length = std::get<Head>(head).length;
  auto header = readHeaderBytes(std::get<Head>(head).view(), length);
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
  return readHeaderOpenFile(std::get<UniqueFd>(opened).get(), path);
}

ScanSnapshotReader::HeaderOutcome ScanSnapshotReader::readHeaderOpenFile(int fd, const std::string &path) {
  auto head = readHead(fd, path);
  if (auto *fault = std::get_if<ScanSnapshotError>(&head))
    return std::move(*fault);
  return readHeaderBytes(std::get<Head>(head).view(), std::get<Head>(head).length);
}

} // namespace tarnwick
