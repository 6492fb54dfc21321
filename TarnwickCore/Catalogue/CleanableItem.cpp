#include "TarnwickCore/Catalogue/CleanableItem.h"

#include "TarnwickCore/Catalogue/CleanableDecodingError.h"

#include <nlohmann/json.hpp>

namespace tarnwick {
namespace {

using Json = nlohmann::ordered_json;

// The value under `key`, which must be present and of the JSON type that
// `hasType` accepts. nlohmann would otherwise convert between some types on
// its own, and the serialized form is strict.
const Json &required(const Json &json, const char *key, bool (Json::*hasType)() const noexcept) {
  auto found = json.find(key);
  if (found == json.end())
    throw CleanableDecodingError(std::string("missing required key \"") + key + "\"");
  if (!((*found).*hasType)())
    throw CleanableDecodingError(std::string("key \"") + key + "\" has the wrong type");
  return *found;
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
  if (!item.keptEntryNames.empty())
    json["keptEntryNames"] = item.keptEntryNames;
}

void from_json(const nlohmann::ordered_json &json, CleanableItem &item) {
  if (!json.is_object())
    throw CleanableDecodingError("an item must be a JSON object");
  auto uuid = Uuid::fromString(required(json, "id", &Json::is_string).get_ref<const std::string &>());
  if (!uuid)
    throw CleanableDecodingError("key \"id\" is not a UUID");
  CleanableItem decoded;
  decoded.id = *uuid;
  decoded.name = required(json, "name", &Json::is_string).get<std::string>();
  decoded.subtitle = required(json, "subtitle", &Json::is_string).get<std::string>();
  decoded.path = required(json, "path", &Json::is_string).get<std::string>();
  decoded.sizeBytes = required(json, "sizeBytes", &Json::is_number_integer).get<std::int64_t>();
  decoded.category = required(json, "category", &Json::is_string).get<CleanableCategory>();
  decoded.isSelected = required(json, "isSelected", &Json::is_boolean).get<bool>();
  decoded.isSafeByDefault = required(json, "isSafeByDefault", &Json::is_boolean).get<bool>();
  if (auto found = json.find("lastModified"); found != json.end()) {
    if (!found->is_number())
      throw CleanableDecodingError("key \"lastModified\" has the wrong type");
    decoded.lastModified = found->get<double>();
  }
  if (auto found = json.find("keptEntryNames"); found != json.end()) {
    if (!found->is_array())
      throw CleanableDecodingError("key \"keptEntryNames\" has the wrong type");
    for (const Json &name : *found) {
      if (!name.is_string())
        throw CleanableDecodingError("key \"keptEntryNames\" has the wrong type");
      decoded.keptEntryNames.push_back(name.get<std::string>());
    }
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
  for (const std::string &name : item.keptEntryNames)
    mix(std::hash<std::string>{}(name));
  return seed;
}
