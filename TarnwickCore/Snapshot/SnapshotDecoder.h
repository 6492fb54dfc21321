#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

/// Reads the snapshot format's primitives from a span of bytes, never past
/// its end. A read that would go past it, or a varint longer than 64 bits,
/// marks the decoder failed and returns 0; the caller checks failed() where
/// a wrong value would matter and reports offset() then.
class SnapshotDecoder {
public:
  /// `base` is the offset of `bytes` in the file, for messages.
  SnapshotDecoder(std::string_view bytes, std::uint64_t base) : bytes_(bytes), base_(base) {}

  bool failed() const { return failed_; }
  /// The file offset reached.
  std::uint64_t offset() const { return base_ + position_; }
  std::size_t remaining() const { return bytes_.size() - position_; }
  bool atEnd() const { return position_ == bytes_.size(); }

  std::uint8_t byte() {
    if (position_ >= bytes_.size())
      return fail();
    return static_cast<std::uint8_t>(bytes_[position_++]);
  }
  std::uint64_t fixed64() {
    if (remaining() < 8)
      return fail();
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
      value |= std::uint64_t(static_cast<std::uint8_t>(bytes_[position_ + i])) << (8 * i);
    position_ += 8;
    return value;
  }
  double real() { return std::bit_cast<double>(fixed64()); }
  std::uint64_t varint() {
    std::uint64_t value = 0;
    for (unsigned shift = 0; shift < 64; shift += 7) {
      if (position_ >= bytes_.size())
        return fail();
      const auto part = static_cast<std::uint8_t>(bytes_[position_++]);
      // The tenth byte may carry only the top bit.
      if (shift == 63 && part > 1)
        return fail();
      value |= std::uint64_t(part & 0x7f) << shift;
      if (part < 0x80)
        return value;
    }
    return fail();
  }
  std::int64_t signedVarint() {
    const std::uint64_t coded = varint();
    return static_cast<std::int64_t>((coded >> 1) ^ (~(coded & 1) + 1));
  }
  /// `length` bytes, in place; empty and failed when fewer remain.
  std::string_view bytes(std::uint64_t length) {
    if (length > remaining()) {
      fail();
      return {};
    }
    const std::string_view part = bytes_.substr(position_, static_cast<std::size_t>(length));
    position_ += part.size();
    return part;
  }
  /// A length-prefixed text, copied.
  std::string text() { return std::string(bytes(varint())); }

private:
  std::uint8_t fail() {
    failed_ = true;
    position_ = bytes_.size();
    return 0;
  }

  std::string_view bytes_;
  std::uint64_t base_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

} // namespace tarnwick
