#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickCore/Support/Uuid.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace tarnwick {

/// One candidate for deletion, as produced by the cache scanners or built for
/// a tree node the user chose. A plain value: copies are independent.
///
/// Serialized form: a JSON object with the keys "id", "name", "subtitle",
/// "path", "sizeBytes", "category", "isSelected", "isSafeByDefault" and, only
/// when present, "lastModified", in that order. "id" is the identifier's
/// upper-case canonical string, "category" the category's title, and
/// "lastModified" a number of seconds since 1970-01-01 UTC (fractions kept).
/// "keptEntryNames", an array of strings, follows only when it is not empty.
struct CleanableItem {
  Uuid id;
  std::string name;
  std::string subtitle;
  std::string path;
  std::int64_t sizeBytes = 0;
  CleanableCategory category = CleanableCategory::systemJunk;
  bool isSelected = false;
  bool isSafeByDefault = false;
  /// Content modification time in seconds since 1970 when the producer read it.
  std::optional<double> lastModified;
  /// Entry names, lower-case, that cleaning a folder item leaves in place
  /// wherever they occur below it (compared ignoring ASCII case): the
  /// session files that browsers keep beside their caches. A name listed
  /// here keeps its whole entry, and the folders above it stay.
  std::vector<std::string> keptEntryNames;

  /// Whether an entry called `name` is one of keptEntryNames.
  static bool isKeptName(const std::vector<std::string> &keptNames, std::string_view name) {
    return std::ranges::any_of(keptNames, [name](const std::string &kept) {
      return std::ranges::equal(name, kept, [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
      });
    });
  }

  friend bool operator==(const CleanableItem &, const CleanableItem &) = default;
};

/// Keyed serialization (ordered, so keys keep field order); decoding throws
/// CleanableDecodingError when a required key is missing or a value has the
/// wrong type.
void to_json(nlohmann::ordered_json &json, const CleanableItem &item);
void from_json(const nlohmann::ordered_json &json, CleanableItem &item);

} // namespace tarnwick

template <> struct std::hash<tarnwick::CleanableItem> {
  std::size_t operator()(const tarnwick::CleanableItem &item) const noexcept;
};
