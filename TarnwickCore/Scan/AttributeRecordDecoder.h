#pragma once

#include "TarnwickCore/Scan/EntryFacts.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

/// The layout of the records macOS getattrlistbulk() writes, restated here so
/// the decoding can be built and tested on any platform. The Darwin reader
/// checks these values against the system headers at compile time.
namespace tarnwick::bulkattr {

// Common attributes (attribute_set.commonattr).
inline constexpr std::uint32_t commonName = 0x00000001;          // ATTR_CMN_NAME
inline constexpr std::uint32_t commonDevice = 0x00000002;        // ATTR_CMN_DEVID
inline constexpr std::uint32_t commonObjectType = 0x00000008;    // ATTR_CMN_OBJTYPE
inline constexpr std::uint32_t commonModTime = 0x00000400;       // ATTR_CMN_MODTIME
inline constexpr std::uint32_t commonFlags = 0x00040000;         // ATTR_CMN_FLAGS
inline constexpr std::uint32_t commonFileId = 0x02000000;        // ATTR_CMN_FILEID
inline constexpr std::uint32_t commonError = 0x20000000;         // ATTR_CMN_ERROR
inline constexpr std::uint32_t commonReturnedAttrs = 0x80000000; // ATTR_CMN_RETURNED_ATTRS

// File attributes (attribute_set.fileattr).
inline constexpr std::uint32_t fileTotalSize = 0x00000002; // ATTR_FILE_TOTALSIZE
inline constexpr std::uint32_t fileAllocSize = 0x00000004; // ATTR_FILE_ALLOCSIZE

/// What the scanner asks for. The decoder relies on the returned sets being
/// subsets of these: any other bit would put values of unknown size in the
/// record, so such an entry is treated as malformed.
inline constexpr std::uint32_t requestedCommon = commonName | commonDevice | commonObjectType |
                                                 commonModTime | commonFlags | commonFileId |
                                                 commonError | commonReturnedAttrs;
inline constexpr std::uint32_t requestedFile = fileTotalSize | fileAllocSize;
static_assert(requestedCommon == 0xA204040B);

/// vnode types (ATTR_CMN_OBJTYPE values) the scanner distinguishes.
inline constexpr std::uint32_t vnodeRegular = 1;   // VREG
inline constexpr std::uint32_t vnodeDirectory = 2; // VDIR
inline constexpr std::uint32_t vnodeSymlink = 5;   // VLNK

/// ATTR_CMN_FLAGS bit of a file whose contents are not on disk (SF_DATALESS).
inline constexpr std::uint32_t datalessFlag = 0x40000000;

/// Bytes of the reusable result buffer each reader hands to the kernel.
inline constexpr std::size_t bufferSize = 131072;

/// uint32 length followed by the five uint32 returned attribute sets
/// (common, volume, directory, file, fork); the values start right after.
inline constexpr std::size_t entryHeaderSize = 24;

} // namespace tarnwick::bulkattr

namespace tarnwick {

/// errorCode given to an entry whose record is well framed but whose contents
/// are inconsistent; like any non-zero errorCode, it keeps the entry out of
/// the tree. The kernel could report the same value for an entry; nothing
/// needs to tell the two apart, since both mean the entry is unusable.
inline constexpr std::uint32_t malformedAttributeRecordError = EBADMSG;

struct AttributeDecodeResult {
  /// Entries appended to `out`, malformed ones included.
  std::size_t decoded = 0;
  /// The batch could not be followed to its reported end: an entry length was
  /// shorter than the header or ran past the buffer, or the buffer ran out
  /// before `reportedCount` entries. Whatever came after is lost. A zero
  /// length is a deliberate early end and does not count as truncation.
  bool truncated = false;
};

/// Decodes up to `reportedCount` records packed from the start of `buffer`
/// and appends one EntryFacts per record to `out`.
///
/// Never reads outside `buffer`, whatever it holds and whatever the count.
/// Malformed input is handled at two levels:
/// - Broken framing (see AttributeDecodeResult::truncated) stops decoding;
///   the entries before it stand.
/// - A well-framed entry whose values run past its own length, whose name
///   reference leaves the entry (or points back into the reference or
///   before it), whose name has no NUL within its referenced bytes, or whose
///   returned sets contain attributes that were not requested yields a
///   default EntryFacts with only errorCode = malformedAttributeRecordError;
///   decoding continues with the next entry.
///
/// Names are views into `buffer` (without the NUL) and live as long as it.
/// Multi-byte values are read in host byte order, as the kernel writes them.
AttributeDecodeResult decodeAttributeRecords(std::span<const std::byte> buffer,
                                             std::size_t reportedCount,
                                             std::vector<EntryFacts> &out);

} // namespace tarnwick
