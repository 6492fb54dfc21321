#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarnwick {

/// Appends the snapshot format's primitives to a growing byte string.
class SnapshotEncoder {
public:
  explicit SnapshotEncoder(std::string &out) : out_(out) {}

  void byte(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  void fixed32(std::uint32_t value) {
    char bytes[4];
    for (int i = 0; i < 4; ++i)
      bytes[i] = static_cast<char>(value >> (8 * i));
    out_.append(bytes, 4);
  }
  void fixed64(std::uint64_t value) {
    char bytes[8];
    for (int i = 0; i < 8; ++i)
      bytes[i] = static_cast<char>(value >> (8 * i));
    out_.append(bytes, 8);
  }
  void real(double value) { fixed64(std::bit_cast<std::uint64_t>(value)); }
  void varint(std::uint64_t value) {
    char bytes[10];
    int length = 0;
    while (value >= 0x80) {
      bytes[length++] = static_cast<char>(value | 0x80);
      value >>= 7;
    }
    bytes[length++] = static_cast<char>(value);
    out_.append(bytes, static_cast<std::size_t>(length));
  }
  void signedVarint(std::int64_t value) {
    varint((static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
  }
  /// Length, then the bytes as they are.
  void text(std::string_view value) {
    varint(value.size());
    out_.append(value);
  }

private:
  std::string &out_;
};

} // namespace tarnwick
