#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <zlib.h>

/// The layout of a scan snapshot file, shared by its writer and reader.
/// Integers in the fixed prefix and the checksums are little-endian; the
/// rest is varints (LEB128, signed values zigzag-coded) and raw bytes.
///
///   prefix   magic (8) | format version (u32) | header length H (u32) |
///            header checksum (u32, crc32 of the header's H bytes)
///   header   H bytes: ScanSnapshotHeader's fields, root path last; the body
///            length is 8 fixed bytes, set once the body is written
///   body     report lists | nodes in breadth-first order | hard links
///   trailer  crc32 of every byte before it (u32)
///
/// A node is a flags byte, a child count (folders only), its size, its
/// modification time as the flags say, and its name (length, bytes). The
/// children of the nodes come in the nodes' order, so each folder's range
/// of identifiers, every parent and every count are rebuilt from the child
/// counts alone.
namespace tarnwick::snapshot {

inline constexpr std::string_view magic{"\x89QSNAP\r\n", 8};
inline constexpr std::uint32_t formatVersion = 1;
inline constexpr std::size_t prefixSize = 20;
inline constexpr std::size_t trailerSize = 4;
/// Far more than a root path and the header's numbers take; a longer
/// header is refused before anything is allocated for it.
inline constexpr std::uint32_t maxHeaderLength = 1 << 20;
/// The fewest bytes a node takes (flags, size, name length).
inline constexpr std::size_t minNodeBytes = 3;

/// The little-endian u32 at `at` of `bytes`, which holds four bytes there.
inline std::uint32_t fixed32At(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= std::uint32_t(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
  return value;
}

// The flags byte of a node.
inline constexpr std::uint8_t directoryFlag = 0x01;
inline constexpr std::uint8_t packageFlag = 0x02;
/// Bits 2-3: how the modification time is stored.
inline constexpr unsigned timeKindShift = 2;
inline constexpr std::uint8_t timeKindMask = 0x0c;
enum TimeKind : std::uint8_t {
  /// 0: unknown; nothing stored.
  noTime = 0,
  /// Whole seconds: one signed varint.
  wholeSeconds = 1,
  /// Any other value: the double's 8 bytes.
  rawDouble = 2,
};
/// Bits 4-7: the category hint's code (0 = none).
inline constexpr unsigned categoryShift = 4;

/// The crc32 (zlib's) of `bytes`.
inline std::uint32_t checksum(std::string_view bytes) {
  uLong crc = crc32(0, nullptr, 0);
  // zlib takes lengths as uInt: feed it pieces that fit.
  constexpr std::size_t piece = std::size_t(1) << 30;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::size_t length = bytes.size() - at < piece ? bytes.size() - at : piece;
    crc = crc32(crc, reinterpret_cast<const Bytef *>(bytes.data() + at), static_cast<uInt>(length));
  }
  return static_cast<std::uint32_t>(crc);
}

} // namespace tarnwick::snapshot
