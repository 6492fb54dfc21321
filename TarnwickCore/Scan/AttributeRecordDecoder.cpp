#include "TarnwickCore/Scan/AttributeRecordDecoder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

namespace tarnwick {

namespace {

using namespace bulkattr;

/// Sequential reads within one entry; values are packed without padding, so
/// every load goes through memcpy.
class EntryCursor {
public:
  EntryCursor(std::span<const std::byte> entry, std::size_t position)
      : entry_(entry), position_(position) {}

  std::size_t position() const { return position_; }

  /// False, leaving `value` untouched, when it would run past the entry.
  template <typename T> bool read(T &value) {
    if (entry_.size() - position_ < sizeof(T))
      return false;
    std::memcpy(&value, entry_.data() + position_, sizeof(T));
    position_ += sizeof(T);
    return true;
  }

private:
  std::span<const std::byte> entry_;
  std::size_t position_; // never past entry_.size()
};

template <typename T> T loadAt(std::span<const std::byte> bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

/// The name an attribute reference at `referencePosition` designates. The
/// kernel stores variable-length data after all fixed-size values, so a
/// target inside the reference itself or before it is as invalid as one
/// outside the entry.
std::optional<std::string_view> resolveName(std::span<const std::byte> entry,
                                            std::size_t referencePosition, std::int32_t offset,
                                            std::uint32_t length) {
  constexpr std::int32_t referenceSize = 2 * sizeof(std::uint32_t);
  if (offset < referenceSize)
    return std::nullopt;
  const std::size_t available = entry.size() - referencePosition;
  if (static_cast<std::size_t>(offset) >= available ||
      length > available - static_cast<std::size_t>(offset))
    return std::nullopt;
  const char *start =
      reinterpret_cast<const char *>(entry.data() + referencePosition + static_cast<std::size_t>(offset));
  // The length counts the NUL but may include padding after it; the name
  // ends at the first NUL.
  const std::string_view referenced(start, length);
  const std::size_t nul = referenced.find('\0');
  if (nul == std::string_view::npos)
    return std::nullopt;
  return referenced.substr(0, nul);
}

EntryType entryTypeForVnode(std::uint32_t vnodeType) {
  switch (vnodeType) {
  case 0:
    return EntryType::unknown;
  case vnodeRegular:
    return EntryType::regular;
  case vnodeDirectory:
    return EntryType::directory;
  case vnodeSymlink:
    return EntryType::symlink;
  default:
    return EntryType::other;
  }
}

std::int64_t clampedSize(std::uint64_t bytes) {
  constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return static_cast<std::int64_t>(std::min(bytes, largest));
}

/// Fills `facts` from one framed entry (at least entryHeaderSize bytes);
/// false when the entry is malformed, leaving `facts` partly filled.
bool decodeEntry(std::span<const std::byte> entry, EntryFacts &facts) {
  const auto common = loadAt<std::uint32_t>(entry, 4);
  const auto volume = loadAt<std::uint32_t>(entry, 8);
  const auto directory = loadAt<std::uint32_t>(entry, 12);
  const auto file = loadAt<std::uint32_t>(entry, 16);
  const auto fork = loadAt<std::uint32_t>(entry, 20);
  if ((common & ~requestedCommon) != 0 || volume != 0 || directory != 0 ||
      (file & ~requestedFile) != 0 || fork != 0)
    return false;

  EntryCursor cursor(entry, entryHeaderSize);
  if ((common & commonError) != 0 && !cursor.read(facts.errorCode))
    return false;
  if ((common & commonName) != 0) {
    const std::size_t referencePosition = cursor.position();
    std::int32_t offset = 0;
    std::uint32_t length = 0;
    if (!cursor.read(offset) || !cursor.read(length))
      return false;
    const auto name = resolveName(entry, referencePosition, offset, length);
    if (!name)
      return false;
    facts.name = *name;
  }
  if ((common & commonDevice) != 0) {
    std::int32_t device = 0;
    if (!cursor.read(device))
      return false;
    facts.device = device;
  }
  if ((common & commonObjectType) != 0) {
    std::uint32_t vnodeType = 0;
    if (!cursor.read(vnodeType))
      return false;
    facts.type = entryTypeForVnode(vnodeType);
  }
  if ((common & commonModTime) != 0) {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    if (!cursor.read(seconds) || !cursor.read(nanoseconds))
      return false;
    facts.modificationTimestamp =
        static_cast<double>(seconds) + static_cast<double>(nanoseconds) / 1e9;
  }
  if ((common & commonFlags) != 0) {
    std::uint32_t flags = 0;
    if (!cursor.read(flags))
      return false;
    facts.isDataless = (flags & datalessFlag) != 0;
  }
  if ((common & commonFileId) != 0 && !cursor.read(facts.fileIdentifier))
    return false;
  std::uint64_t totalSize = 0;
  if ((file & fileTotalSize) != 0 && !cursor.read(totalSize))
    return false;
  std::uint64_t allocatedSize = 0;
  if ((file & fileAllocSize) != 0 && !cursor.read(allocatedSize))
    return false;
  facts.size = clampedSize((file & fileAllocSize) != 0 ? allocatedSize : totalSize);
  return true;
}

} // namespace

AttributeDecodeResult decodeAttributeRecords(std::span<const std::byte> buffer,
                                             std::size_t reportedCount,
                                             std::vector<EntryFacts> &out) {
  AttributeDecodeResult result;
  // Every entry occupies at least a header, which bounds an absurd count.
  out.reserve(out.size() + std::min(reportedCount, buffer.size() / entryHeaderSize));
  std::size_t offset = 0;
  while (result.decoded < reportedCount) {
    const std::size_t remaining = buffer.size() - offset;
    if (remaining < sizeof(std::uint32_t)) {
      result.truncated = true;
      break;
    }
    const auto length = loadAt<std::uint32_t>(buffer, offset);
    if (length == 0)
      break;
    if (length < entryHeaderSize || length > remaining) {
      result.truncated = true;
      break;
    }
    EntryFacts facts;
    if (!decodeEntry(buffer.subspan(offset, length), facts)) {
      facts = EntryFacts{};
      facts.errorCode = malformedAttributeRecordError;
    }
    out.push_back(facts);
    ++result.decoded;
    offset += length;
  }
  return result;
}

} // namespace tarnwick
