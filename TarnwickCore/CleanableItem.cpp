#include "TarnwickCore/CleanableItem.h"

#include "TarnwickCore/CleanableDecodingError.h"

#include <nlohmann/json.hpp>

namespace tarnwick {
namespace {

const nlohmann::ordered_json &requiredKey(const nlohmann::ordered_json &json, const char *key) {
  auto found = json.find(key);
  if (found == json.end())
    throw CleanableDecodingError(std::string("missing required key \"") + key + "\"");
  return *found;
}

template <typename T> T requiredValue(const nlohmann::ordered_json &json, const char *key) {
  const nlohmann::ordered_json &value = requiredKey(json, key);
  try {
    return value.get<T>();
  } catch (const nlohmann::ordered_json::exception &error) {
    throw CleanableDecodingError(std::string("key \"") + key + "\": " + error.what());
  }
}

// nlohmann converts between some JSON types on its own; the serialized form
// is strict, so the JSON type is checked before converting.
void expectType(const char *key, bool matches) {
  if (!matches)
    throw CleanableDecodingError(std::string("key \"") + key + "\" has the wrong type");
}

} // namespace

void to_json(nlohmann::ordered_json &json, const CleanableItem &item) {
  json = nlohmann::ordered_json::object();
  json["id"] = item.id.toString();
  json["name"] = item.name;
  json["subtitle"] = item.subtitle;
  json["path"] = item.path;
  json["sizeBytes"] = item.sizeBytes;
  json["category"] = item.category;
  json["isSelected"] = item.isSelected;
  json["isSafeByDefault"] = item.isSafeByDefault;
  if (item.lastModified)
    json["lastModified"] = *item.lastModified;
}

void from_json(const nlohmann::ordered_json &json, CleanableItem &item) {
  if (!json.is_object())
    throw CleanableDecodingError("an item must be a JSON object");
  const nlohmann::ordered_json &id = requiredKey(json, "id");
  expectType("id", id.is_string());
  auto uuid = Uuid::fromString(id.get_ref<const std::string &>());
  if (!uuid)
    throw CleanableDecodingError("key \"id\" is not a UUID");
  expectType("name", requiredKey(json, "name").is_string());
  expectType("subtitle", requiredKey(json, "subtitle").is_string());
  expectType("path", requiredKey(json, "path").is_string());
  expectType("sizeBytes", requiredKey(json, "sizeBytes").is_number_integer());
  expectType("isSelected", requiredKey(json, "isSelected").is_boolean());
  expectType("isSafeByDefault", requiredKey(json, "isSafeByDefault").is_boolean());

  CleanableItem decoded;
  decoded.id = *uuid;
  decoded.name = requiredValue<std::string>(json, "name");
  decoded.subtitle = requiredValue<std::string>(json, "subtitle");
  decoded.path = requiredValue<std::string>(json, "path");
  decoded.sizeBytes = requiredValue<std::int64_t>(json, "sizeBytes");
  decoded.category = requiredKey(json, "category").get<CleanableCategory>();
  decoded.isSelected = requiredValue<bool>(json, "isSelected");
  decoded.isSafeByDefault = requiredValue<bool>(json, "isSafeByDefault");
  if (auto found = json.find("lastModified"); found != json.end()) {
    expectType("lastModified", found->is_number());
    decoded.lastModified = found->get<double>();
  }
  item = std::move(decoded);
}

} // namespace tarnwick

std::size_t std::hash<tarnwick::CleanableItem>::operator()(
    const tarnwick::CleanableItem &item) const noexcept {
  std::size_t seed = 0;
  auto mix = [&seed](std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
  };
  for (std::uint8_t byte : item.id.bytes())
    mix(byte);
  mix(std::hash<std::string>{}(item.name));
  mix(std::hash<std::string>{}(item.subtitle));
  mix(std::hash<std::string>{}(item.path));
  mix(std::hash<std::int64_t>{}(item.sizeBytes));
  mix(std::hash<std::string_view>{}(tarnwick::rawValue(item.category)));
  mix(item.isSelected);
  mix(item.isSafeByDefault);
  mix(item.lastModified ? 1 : 0);
  if (item.lastModified)
    mix(std::hash<double>{}(*item.lastModified));
  return seed;
}
