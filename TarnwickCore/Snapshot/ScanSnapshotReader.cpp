#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"

#include "TarnwickCore/Snapshot/SnapshotDecoder.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickCore/Support/PrefaultPages.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

namespace tarnwick {
namespace {

using namespace snapshot;
using Kind = ScanSnapshotError::Kind;

// The prefix's checks, in the order that names the fault best: not a
// snapshot at all, then too new, then cut short.
std::variant<std::uint32_t, ScanSnapshotError> checkPrefix(std::string_view bytes, std::uint64_t fileSize) {
  const std::size_t compared = std::min(bytes.size(), magic.size());
  if (bytes.substr(0, compared) != magic.substr(0, compared))
    return ScanSnapshotError::at(Kind::wrongMagic, 0, "not a scan snapshot");
  if (bytes.size() < prefixSize)
    return ScanSnapshotError::at(Kind::truncated, fileSize, "the file ends inside its prefix");
  const std::uint32_t version = fixed32At(bytes, magic.size());
  if (version > formatVersion)
    return ScanSnapshotError::at(Kind::futureVersion, magic.size(),
                 "format version " + std::to_string(version) + " is newer than this reader's " +
                     std::to_string(formatVersion));
  if (version == 0)
    return ScanSnapshotError::at(Kind::corrupt, magic.size(), "format version 0");
  const std::uint32_t headerLength = fixed32At(bytes, 12);
  if (headerLength > maxHeaderLength)
    return ScanSnapshotError::at(Kind::corrupt, 12, "a header of " + std::to_string(headerLength) + " bytes");
  if (bytes.size() < prefixSize + headerLength)
    return ScanSnapshotError::at(Kind::truncated, fileSize, "the file ends inside its header");
  if (checksum(bytes.substr(prefixSize, headerLength)) != fixed32At(bytes, 16))
    return ScanSnapshotError::at(Kind::checksum, 16, "the header's checksum does not match");
  return headerLength;
}

std::uint64_t saturatedSum(std::initializer_list<std::uint64_t> terms) {
  std::uint64_t sum = 0;
  for (const std::uint64_t term : terms)
    if (__builtin_add_overflow(sum, term, &sum))
      return UINT64_MAX;
  return sum;
}

std::uint64_t saturatedProduct(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// The longest body the header's counts allow: every node at its longest
// coding, one hard-link name per node, and the report's lists at their caps,
// each path no longer than the root and every name together, each other
// text (a file system's type, an error's words) no longer than `shortText`.
// A larger file is refused before it is read.
std::uint64_t longestBody(const ScanSnapshotHeader &header) {
  constexpr std::uint64_t varintBytes = 10, shortText = 4096;
  const std::uint64_t nodeBytes = 1 + 4 * varintBytes, linkBytes = 6 * varintBytes;
  const std::uint64_t path = saturatedSum({varintBytes, header.rootPath.size(), header.namePoolSize,
                                           header.nodeCount, shortText});
  const std::uint64_t entry = saturatedSum({path, 2 * (varintBytes + shortText), 2 * varintBytes});
  const std::uint64_t entries = ScanReport::maxSkippedMounts + ScanReport::maxUnreadablePaths;
  return saturatedSum({3 * varintBytes, saturatedProduct(entries, entry), header.namePoolSize,
                       saturatedProduct(header.nodeCount, nodeBytes + linkBytes)});
}

// What no scan writes in a header: a negative count, a duration that is no
// number, a NUL in the root path.
bool plausible(const ScanSnapshotHeader &h) {
  return h.skippedSymlinkCount >= 0 && h.skippedDatalessCount >= 0 && h.unreadableFolderCount >= 0 &&
         h.excludedCount >= 0 && h.skippedMountCount >= 0 && std::isfinite(h.durationSeconds) &&
         h.rootPath.find('\0') == std::string::npos;
}

std::variant<ScanSnapshotHeader, ScanSnapshotError> parseHeader(std::string_view bytes, std::uint64_t fileSize) {
  auto prefix = checkPrefix(bytes, fileSize);
  if (auto *fault = std::get_if<ScanSnapshotError>(&prefix))
    return std::move(*fault);
  const std::uint32_t headerLength = std::get<std::uint32_t>(prefix);
  SnapshotDecoder in(bytes.substr(prefixSize, headerLength), prefixSize);
  ScanSnapshotHeader header;
  header.scanTime = in.signedVarint();
  header.nodeCount = in.varint();
  header.namePoolSize = in.varint();
  header.totalBytes = in.signedVarint();
  header.fileCount = in.varint();
  header.directoryCount = in.varint();
  header.durationSeconds = in.real();
  header.skippedSymlinkCount = in.signedVarint();
  header.skippedDatalessCount = in.signedVarint();
  header.unreadableFolderCount = in.signedVarint();
  header.excludedCount = in.signedVarint();
  header.skippedMountCount = in.signedVarint();
  const std::uint8_t rootReadable = in.byte();
  header.rootReadable = rootReadable == 1;
  const std::uint64_t bodyLengthAt = in.offset();
  header.bodyLength = in.fixed64();
  header.rootPath = in.text();
  if (in.failed() || !in.atEnd() || rootReadable > 1)
    return ScanSnapshotError::at(Kind::corrupt, in.offset(), "the header's fields do not fill it exactly");
  if (!plausible(header))
    return ScanSnapshotError::at(Kind::corrupt, prefixSize, "the header holds a negative count or an impossible value");
  if (header.bodyLength > longestBody(header))
    return ScanSnapshotError::at(Kind::corrupt, bodyLengthAt,
                 "a body of " + std::to_string(header.bodyLength) + " bytes is more than the header's counts need");
  const std::uint64_t bodyStart = prefixSize + headerLength;
  if (header.bodyLength > fileSize || fileSize - bodyStart < header.bodyLength + trailerSize)
    return ScanSnapshotError::at(Kind::truncated, fileSize,
                 "the file ends before its body of " + std::to_string(header.bodyLength) + " bytes does");
  if (fileSize != bodyStart + header.bodyLength + trailerSize)
    return ScanSnapshotError::at(Kind::corrupt, bodyStart + header.bodyLength + trailerSize, "bytes follow the checksum");
  return header;
}

// The body's parts, each checked as it is read; `in` stands after the last
// part read when a fault is reported.
class BodyDecoder {
public:
  BodyDecoder(std::string_view body, std::uint64_t base, const ScanSnapshotHeader &header)
      : in_(body, base), header_(header) {}

  std::optional<ScanSnapshotError> decode() {
    if (!decodeReportLists() || !decodeNodes() || !decodeSharedLinks())
      return fault_;
    if (!in_.atEnd())
      return ScanSnapshotError::at(Kind::corrupt, in_.offset(), "bytes follow the hard links");
    DiskTreeArena::countSubtrees(nodes_, folders_);
    const DiskTreeArena::FolderCounts *root =
        nodes_.empty() || nodes_[0].folderIndex == DiskTreeArena::noFolder ? nullptr : &folders_[0];
    if (nodes_.empty() ? header_.totalBytes != 0 || header_.fileCount != 0 || header_.directoryCount != 0
                       : nodes_[0].allocatedSize != header_.totalBytes ||
                             (root ? root->fileCount : 1) != header_.fileCount ||
                             (root ? root->directoryCount : 0) != header_.directoryCount)
      return ScanSnapshotError::at(Kind::corrupt, prefixSize, "the header's totals are not the tree's");
    return std::nullopt;
  }

  DiskTreeArena arena() {
    report_.durationSeconds = header_.durationSeconds;
    report_.skippedSymlinkCount = header_.skippedSymlinkCount;
    report_.skippedDatalessCount = header_.skippedDatalessCount;
    report_.unreadableFolderCount = header_.unreadableFolderCount;
    report_.rootReadable = header_.rootReadable;
    report_.excludedCount = header_.excludedCount;
    report_.skippedMountCount = header_.skippedMountCount;
    return DiskTreeArena(header_.rootPath, std::move(nodes_), std::move(folders_), std::move(names_),
                         std::move(report_), std::move(links_));
  }

private:
  bool fail(std::string detail) {
    fault_ = ScanSnapshotError::at(Kind::corrupt, in_.offset(), std::move(detail));
    return false;
  }
  // A count of items of at least `minBytes` each that the rest can hold.
  bool readCount(std::uint64_t &count, std::size_t minBytes, const char *what) {
    count = in_.varint();
    if (in_.failed() || count > in_.remaining() / minBytes)
      return fail(std::string("more ") + what + " than the file can hold");
    return true;
  }

  bool decodeReportLists() {
    std::uint64_t count = 0;
    if (!readCount(count, 3, "skipped mounts"))
      return false;
    for (std::uint64_t i = 0; i < count; ++i) {
      ScanReport::SkippedMount mount;
      mount.path = in_.text();
      mount.fileSystemType = in_.text();
      const std::uint8_t reason = in_.byte();
      if (in_.failed() || reason > static_cast<std::uint8_t>(ScanReport::SkippedMount::Reason::image))
        return fail("a skipped mount cannot be read");
      mount.reason = static_cast<ScanReport::SkippedMount::Reason>(reason);
      report_.skippedMounts.push_back(std::move(mount));
    }
    if (!readCount(count, 4, "unreadable folders"))
      return false;
    for (std::uint64_t i = 0; i < count; ++i) {
      Failure failure;
      failure.action = in_.text();
      failure.path = in_.text();
      const std::int64_t errorNumber = in_.signedVarint();
      failure.reason = in_.text();
      if (in_.failed() || errorNumber < INT_MIN || errorNumber > INT_MAX)
        return fail("an unreadable folder cannot be read");
      failure.errorNumber = static_cast<int>(errorNumber);
      report_.unreadablePaths.push_back(std::move(failure));
    }
    return true;
  }

  bool decodeNodes() {
    const std::uint64_t count = header_.nodeCount;
    if (count > DiskTreeArena::maxNodeCount || count > in_.remaining() / minNodeBytes)
      return fail("more nodes than the file can hold");
    if (header_.namePoolSize > in_.remaining())
      return fail("more name bytes than the file holds");
    nodes_.resize(count);
    names_.resize(header_.namePoolSize);
    prefaultForWriting(nodes_.data(), nodes_.size() * sizeof(nodes_[0]));
    prefaultForWriting(names_.data(), names_.size());
    std::uint64_t nameBytes = 0;
    // The next identifier a folder's children take.
    std::uint64_t nextChild = 1;
    for (std::uint64_t i = 0; i < count; ++i) {
      if (i >= nextChild)
        return fail("node " + std::to_string(i) + " is in no folder");
      if (i > 0 && nodes_[i].parentID != runParent_) {
        if (!hasUniqueNames(runParent_, runStart_, i))
          return false;
        runParent_ = nodes_[i].parentID;
        runStart_ = i;
        room_ = nodes_[static_cast<std::size_t>(runParent_)].allocatedSize;
      }
      auto &r = nodes_[i];
      if (i == 0)
        r.parentID = -1;
      const std::uint8_t flags = in_.byte();
      const bool isDirectory = flags & directoryFlag;
      const std::uint64_t childCount = isDirectory ? in_.varint() : 0;
      if (childCount > count - nextChild)
        return fail("node " + std::to_string(i) + " has more children than there are nodes");
      const std::int64_t size = in_.signedVarint();
      if (size < 0)
        return fail("node " + std::to_string(i) + " has a negative size");
      if (i > 0 && !fitsInFolder(i, size))
        return false;
      const auto timeKind = static_cast<std::uint8_t>((flags & timeKindMask) >> timeKindShift);
      double time = 0;
      if (timeKind == wholeSeconds)
        time = static_cast<double>(in_.signedVarint());
      else if (timeKind == rawDouble)
        time = in_.real();
      else if (timeKind != noTime)
        return fail("node " + std::to_string(i) + " has an unknown kind of time");
      if (!std::isfinite(time))
        return fail("node " + std::to_string(i) + " has a time that is not a number");
      const std::uint8_t category = flags >> categoryShift;
      if (category > allCleanableCategories.size())
        return fail("node " + std::to_string(i) + " has an unknown category");
      const std::uint64_t nameLength = in_.varint();
      if (nameLength > 0xffff || nameLength > names_.size() - nameBytes)
        return fail("node " + std::to_string(i) + " has a name longer than the names left");
      const std::string_view name = in_.bytes(nameLength);
      if (in_.failed())
        return fail("node " + std::to_string(i) + " cannot be read");
      if (!acceptableName(name, i == 0))
        return fail("node " + std::to_string(i) + " has a name no entry can have");
      if (!name.empty())
        std::memcpy(names_.data() + nameBytes, name.data(), name.size());
      r.allocatedSize = size;
      r.modificationTimestamp = time;
      r.nameOffset = nameBytes;
      r.nameLength = nameLength;
      r.isDirectory = isDirectory;
      r.isPackage = (flags & packageFlag) != 0;
      r.categoryHintCode = category;
      r.isRemoved = 0;
      r.folderIndex = DiskTreeArena::noFolder;
      if (isDirectory) {
        r.folderIndex = static_cast<std::uint32_t>(folders_.size());
        folders_.push_back({childCount > 0 ? static_cast<NodeID>(nextChild) : 0,
                            static_cast<std::uint32_t>(childCount), 0, 0});
      }
      for (std::uint64_t child = nextChild; child < nextChild + childCount; ++child)
        nodes_[child].parentID = static_cast<NodeID>(i);
      nextChild += childCount;
      nameBytes += nameLength;
    }
    if (!hasUniqueNames(runParent_, runStart_, count))
      return false;
    if (nameBytes != names_.size())
      return fail("the names are shorter than the header says");
    return true;
  }

  // As an export is refused: a name that is not one entry's (empty, "."
  // "..", holding a '/') or that holds a NUL; the root's may be anything
  // but the last.
  static bool acceptableName(std::string_view name, bool isRoot) {
    if (name.find('\0') != std::string_view::npos)
      return false;
    return isRoot || (!name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos);
  }

  // A folder's size holds its children's and its own blocks: the children
  // of one folder, which come one after another, may not add up to more.
  bool fitsInFolder(std::uint64_t id, std::int64_t size) {
    room_ -= size; // both are at least 0: no overflow
    if (room_ >= 0)
      return true;
    return fail("node " + std::to_string(id) + " takes its folder past the folder's size");
  }

  // Whether the children [begin, end) of `folder` all have different names.
  bool hasUniqueNames(NodeID folder, std::uint64_t begin, std::uint64_t end) {
    if (folder < 0 || end - begin < 2)
      return true;
    run_.resize(end - begin);
    for (std::uint64_t k = begin; k < end; ++k)
      run_[k - begin] = std::string_view(names_.data() + nodes_[k].nameOffset, nodes_[k].nameLength);
    std::sort(run_.begin(), run_.end());
    if (std::adjacent_find(run_.begin(), run_.end()) == run_.end())
      return true;
    return fail("node " + std::to_string(folder) + " holds two entries of one name");
  }

  bool decodeSharedLinks() {
    std::uint64_t count = 0;
    if (!readCount(count, 6, "hard-linked files"))
      return false;
    std::vector<NodeID> names;
    for (std::uint64_t i = 0; i < count; ++i) {
      SharedLinkTable::File file;
      file.device = in_.varint();
      file.inode = in_.varint();
      file.linkCount = in_.varint();
      file.allocatedSize = in_.signedVarint();
      if (file.allocatedSize < 0)
        return fail("a hard-linked file has a negative size");
      std::uint64_t nameCount = 0;
      if (!readCount(nameCount, 1, "names of a hard-linked file"))
        return false;
      names.clear();
      std::uint64_t name = 0;
      for (std::uint64_t k = 0; k < nameCount; ++k) {
        const std::uint64_t step = in_.varint();
        if (in_.failed() || (k > 0 && step == 0) || step >= header_.nodeCount - name)
          return fail("a hard-linked file names a node that is not there");
        name += step;
        names.push_back(static_cast<NodeID>(name));
      }
      if (in_.failed() || names.empty())
        return fail("a hard-linked file cannot be read");
      links_.add(file, names);
    }
    return true;
  }

  SnapshotDecoder in_;
  const ScanSnapshotHeader &header_;
  ScanSnapshotError fault_;
  DiskTreeArena::StoredNodeTable nodes_;
  DiskTreeArena::FolderTable folders_;
  DiskTreeArena::NamePool names_;
  ScanReport report_;
  SharedLinkTable links_;
  // The folder whose children are being read, from which node on, and
  // how many of its bytes they have not taken yet.
  NodeID runParent_ = -1;
  std::uint64_t runStart_ = 0;
  std::int64_t room_ = 0;
  std::vector<std::string_view> run_;
};

} // namespace

ScanSnapshotReader::HeaderOutcome ScanSnapshotReader::readHeaderBytes(std::string_view bytes, std::uint64_t fileSize) {
  return parseHeader(bytes.substr(0, std::min<std::uint64_t>(bytes.size(), fileSize)), fileSize);
}

ScanSnapshotReader::Outcome ScanSnapshotReader::readBytes(std::string_view bytes) {
  auto parsed = parseHeader(bytes, bytes.size());
  if (auto *fault = std::get_if<ScanSnapshotError>(&parsed))
    return std::move(*fault);
  const ScanSnapshotHeader &header = std::get<ScanSnapshotHeader>(parsed);
  const std::size_t trailerAt = bytes.size() - trailerSize;
  if (checksum(bytes.substr(0, trailerAt)) != fixed32At(bytes, trailerAt))
    return ScanSnapshotError::at(Kind::checksum, trailerAt, "the file's checksum does not match");
  const std::size_t bodyStart = trailerAt - header.bodyLength;
  try {
    BodyDecoder body(bytes.substr(bodyStart, header.bodyLength), bodyStart, header);
    if (auto fault = body.decode())
      return std::move(*fault);
    return body.arena();
  } catch (const std::bad_alloc &) {
    return ScanSnapshotError::at(Kind::corrupt, bodyStart, "the tree does not fit in memory");
  }
}

} // namespace tarnwick
