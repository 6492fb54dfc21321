#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// A 128-bit identifier. Written as the canonical upper-case 36-character form
/// ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"); either case is accepted on input.
class Uuid {
public:
  Uuid() = default;
  explicit Uuid(const std::array<std::uint8_t, 16> &bytes) : bytes_(bytes) {}

  /// A fresh random (version 4) identifier from libuuid.
  static Uuid random();
  static std::optional<Uuid> fromString(std::string_view text);

  std::string toString() const;
  const std::array<std::uint8_t, 16> &bytes() const { return bytes_; }

  friend bool operator==(const Uuid &, const Uuid &) = default;

private:
  std::array<std::uint8_t, 16> bytes_{};
};

} // namespace tarnwick
