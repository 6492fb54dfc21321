#include "TarnwickCore/Catalogue/CleanableDecodingError.h"
#include "TarnwickCore/Catalogue/CleanableItem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tarnwick {
namespace {

using nlohmann::ordered_json;

// A category is its title, in text and in JSON; nothing else decodes.
TEST(CleanableCategoryTest, TitlesRoundTripAndNothingElseDoes) {
  for (CleanableCategory category : allCleanableCategories) {
    EXPECT_EQ(cleanableCategoryFromRawValue(rawValue(category)), category);
    const ordered_json encoded = category;
    EXPECT_EQ(encoded, std::string(rawValue(category)));
    EXPECT_EQ(encoded.get<CleanableCategory>(), category);
  }
  for (std::string_view wrong : {"trash bins", "Trash Bins ", "trashBins", ""}) {
    EXPECT_FALSE(cleanableCategoryFromRawValue(wrong)) << wrong;
    EXPECT_THROW(ordered_json(wrong).get<CleanableCategory>(), CleanableDecodingError) << wrong;
  }
  EXPECT_THROW(ordered_json(3).get<CleanableCategory>(), CleanableDecodingError);
}

CleanableItem sampleItem() {
  return CleanableItem{Uuid::random(), "Homebrew Cache", "Downloaded bottles", "/home/a/.cache/x",
                       4096, CleanableCategory::brewAndPackages, true, false, std::nullopt, {}};
}

TEST(CleanableItemTest, SerializedFormKeepsFieldOrderAndRoundTrips) {
  CleanableItem item = sampleItem();
  ordered_json encoded = item;
  std::vector<std::string> keys;
  for (auto &[key, value] : encoded.items())
    keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"id", "name", "subtitle", "path", "sizeBytes", "category",
                                            "isSelected", "isSafeByDefault"}));
  EXPECT_EQ(encoded["id"], item.id.toString());
  EXPECT_EQ(encoded.get<CleanableItem>(), item);

  item.lastModified = 1'700'000'000.25;
  encoded = item;
  EXPECT_EQ(encoded["lastModified"].get<double>(), 1'700'000'000.25);
  EXPECT_EQ(encoded.get<CleanableItem>(), item);
}

TEST(CleanableItemTest, DecodingRejectsMissingOrMistypedFields) {
  const ordered_json valid = sampleItem();
  struct Case {
    const char *key;
    std::optional<ordered_json> replacement; // nothing: remove the key
  };
  const Case cases[] = {
      {"id", std::nullopt},          {"id", "not-a-uuid"},       {"name", std::nullopt},
      {"subtitle", 5},               {"path", std::nullopt},     {"sizeBytes", "4096"},
      {"sizeBytes", 1.5},            {"category", "Trash"},      {"isSelected", std::nullopt},
      {"isSelected", 1},             {"isSafeByDefault", "yes"}, {"lastModified", "yesterday"},
  };
  for (const Case &c : cases) {
    ordered_json broken = valid;
    if (c.replacement)
      broken[c.key] = *c.replacement;
    else
      broken.erase(c.key);
    EXPECT_THROW(broken.get<CleanableItem>(), CleanableDecodingError) << c.key;
  }
}

} // namespace
} // namespace tarnwick
