#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace tarnwick {

/// The ten kinds of reclaimable space. The raw value of a category is its
/// display title; it is also its identity (`id`) and its serialized form.
enum class CleanableCategory : std::uint8_t {
  systemJunk,
  userCache,
  xcodeJunk,
  brewAndPackages,
  dockerAndVMs,
  creatorCaches,
  browserBloat,
  aiModelsAndLogs,
  largeAndOldFiles,
  trashBins,
};

/// Every category in declaration order.
inline constexpr std::array<CleanableCategory, 10> allCleanableCategories = {
    CleanableCategory::systemJunk,      CleanableCategory::userCache,
    CleanableCategory::xcodeJunk,       CleanableCategory::brewAndPackages,
    CleanableCategory::dockerAndVMs,    CleanableCategory::creatorCaches,
    CleanableCategory::browserBloat,    CleanableCategory::aiModelsAndLogs,
    CleanableCategory::largeAndOldFiles, CleanableCategory::trashBins,
};

/// The display title, e.g. "Trash Bins". Identical to the category's id.
std::string_view rawValue(CleanableCategory category);
inline std::string_view id(CleanableCategory category) { return rawValue(category); }

/// The symbol name used to pick the category's icon.
std::string_view sfSymbolName(CleanableCategory category);

/// Exact, case-sensitive lookup by display title; no value for anything else.
std::optional<CleanableCategory> cleanableCategoryFromRawValue(std::string_view title);

/// Serialized as the single string holding the raw value. Decoding any other
/// string throws CleanableDecodingError.
void to_json(nlohmann::json &json, CleanableCategory category);
void from_json(const nlohmann::json &json, CleanableCategory &category);
void to_json(nlohmann::ordered_json &json, CleanableCategory category);
void from_json(const nlohmann::ordered_json &json, CleanableCategory &category);

} // namespace tarnwick
