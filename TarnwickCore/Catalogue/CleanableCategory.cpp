#include "TarnwickCore/Catalogue/CleanableCategory.h"

#include "TarnwickCore/Catalogue/CleanableDecodingError.h"

#include <nlohmann/json.hpp>

namespace tarnwick {
namespace {

struct CategoryText {
  std::string_view title;
  std::string_view symbol;
};

// Indexed by the enumeration's value.
constexpr std::array<CategoryText, 10> categoryTexts = {{
    {"System Junk & Logs", "gearshape.2.fill"},
    {"Application Caches", "internaldrive.fill"},
    {"Xcode & iOS Simulators", "hammer.fill"},
    {"Homebrew, CocoaPods & Package Caches", "shippingbox.fill"},
    {"Docker, OrbStack & Container Layers", "cube.box.fill"},
    {"Creator Media & Scratch Disks (Adobe / FCP / DaVinci)", "film.stack.fill"},
    {"Browser & Electron ServiceWorker Caches", "globe"},
    {"Local AI Models & Caches (Ollama / LM Studio)", "cpu.fill"},
    {"Large & Stale Downloads", "doc.zipper"},
    {"Trash Bins", "trash.fill"},
}};

const CategoryText &textOf(CleanableCategory category) {
  return categoryTexts[static_cast<std::size_t>(category)];
}

} // namespace

std::string_view rawValue(CleanableCategory category) { return textOf(category).title; }

std::string_view sfSymbolName(CleanableCategory category) { return textOf(category).symbol; }

std::optional<CleanableCategory> cleanableCategoryFromRawValue(std::string_view title) {
  for (CleanableCategory category : allCleanableCategories)
    if (rawValue(category) == title)
      return category;
  return std::nullopt;
}

namespace {

CleanableCategory decodeCategory(bool isString, const std::string *title) {
  if (!isString)
    throw CleanableDecodingError("category: expected a string");
  auto decoded = cleanableCategoryFromRawValue(*title);
  if (!decoded)
    throw CleanableDecodingError("category: \"" + *title + "\" is not a known category title");
  return *decoded;
}

} // namespace

void to_json(nlohmann::json &json, CleanableCategory category) {
  json = std::string(rawValue(category));
}

void to_json(nlohmann::ordered_json &json, CleanableCategory category) {
  json = std::string(rawValue(category));
}

void from_json(const nlohmann::json &json, CleanableCategory &category) {
  category = decodeCategory(json.is_string(), json.get_ptr<const std::string *>());
}

void from_json(const nlohmann::ordered_json &json, CleanableCategory &category) {
  category = decodeCategory(json.is_string(), json.get_ptr<const std::string *>());
}

} // namespace tarnwick
