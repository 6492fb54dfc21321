#include "TarnwickCore/Catalogue/SystemToolOutput.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace tarnwick::SystemToolOutput {
namespace {

// Beyond what any of these tools prints; keeps the JSON parser's memory
// bounded on garbage.
constexpr std::size_t maximumOutput = 8 * 1024 * 1024;

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string lowered(std::string_view text) {
  std::string lower(text);
  for (char &character : lower)
    if (character >= 'A' && character <= 'Z')
      character = static_cast<char>(character + 32);
  return lower;
}

std::optional<double> unitFactor(std::string_view unit) {
  static constexpr std::array<std::pair<std::string_view, double>, 17> factors{{
      {"", 1.0},      {"b", 1.0},      {"k", 1e3},       {"kb", 1e3},      {"kib", 0x1p10},  {"m", 1e6},
      {"mb", 1e6},    {"mib", 0x1p20}, {"g", 1e9},       {"gb", 1e9},      {"gib", 0x1p30},  {"t", 1e12},
      {"tb", 1e12},   {"tib", 0x1p40}, {"pb", 1e15},     {"pib", 0x1p50},  {"p", 1e15},
  }};
  const std::string lower = lowered(unit);
  for (const auto &[name, factor] : factors)
    if (lower == name)
      return factor;
  return std::nullopt;
}

template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    visit(text.substr(start, end - start));
    start = end + 1;
  }
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> found;
  std::size_t start = 0;
  while ((start = line.find_first_not_of(" \t\r", start)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
    found.push_back(line.substr(start, end - start));
    start = end;
  }
  return found;
}

// Snap's own rule, which also keeps a name from reading as an option when
// it is passed to `snap remove`: no hyphen at either end.
bool isSnapName(std::string_view name) {
  return !name.empty() && name.size() <= 80 && !name.starts_with('-') && !name.ends_with('-') &&
         std::all_of(name.begin(), name.end(), [](char character) {
           return (character >= 'a' && character <= 'z') || (character >= '0' && character <= '9') ||
                  character == '-' || character == '_';
         });
}

bool isSnapRevision(std::string_view revision) {
  if (revision.starts_with('x'))
    revision.remove_prefix(1);
  return !revision.empty() && revision.size() <= 20 &&
         std::all_of(revision.begin(), revision.end(), [](char character) { return character >= '0' && character <= '9'; });
}

bool notesSayDisabled(std::string_view notes) {
  bool disabled = false;
  std::size_t start = 0;
  while (start <= notes.size()) {
    const std::size_t end = std::min(notes.find(',', start), notes.size());
    disabled = disabled || notes.substr(start, end - start) == "disabled";
    start = end + 1;
  }
  return disabled;
}

std::string stringField(const nlohmann::json &object, const char *key) {
  if (!object.is_object())
    return {};
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// "1.2GB (50%)" → 1.2e9.
std::optional<std::int64_t> reclaimableText(const nlohmann::json &row) {
  const std::string text = stringField(row, "Reclaimable");
  return byteCount(std::string_view(text).substr(0, text.find('(')));
}

void readContainerRow(const nlohmann::json &row, ContainerReclaimable &found, bool rawNumbers) {
  const std::string type = stringField(row, "Type");
  std::optional<std::int64_t> bytes;
  if (rawNumbers && row.is_object())
    if (const auto raw = row.find("RawReclaimable"); raw != row.end() && raw->is_number_unsigned())
      if (const auto value = raw->get<std::uint64_t>(); value < (std::uint64_t{1} << 63))
        bytes = static_cast<std::int64_t>(value);
  if (!bytes)
    bytes = reclaimableText(row);
  if (type == "Images")
    found.images = bytes;
  else if (type == "Build Cache")
    found.buildCache = bytes;
}

} // namespace

std::optional<std::int64_t> byteCount(std::string_view text) {
  text = trimmed(text);
  if (text.empty() || text.front() < '0' || text.front() > '9')
    return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || !std::isfinite(value))
    return std::nullopt;
  const std::optional<double> factor = unitFactor(trimmed(text.substr(static_cast<std::size_t>(end - text.data()))));
  if (!factor)
    return std::nullopt;
  const double bytes = std::round(value * *factor);
  if (!(bytes >= 0) || bytes >= 0x1p63)
    return std::nullopt;
  return static_cast<std::int64_t>(bytes);
}

std::vector<DisabledSnapRevision> disabledSnaps(std::string_view snapListOutput) {
  std::vector<DisabledSnapRevision> found;
  bool headerSeen = false;
  forEachLine(snapListOutput.substr(0, maximumOutput), [&](std::string_view line) {
    const std::vector<std::string_view> columns = words(line);
    if (!headerSeen) {
      headerSeen = columns.size() >= 3 && columns.front() == "Name" && columns[2] == "Rev";
      return;
    }
    if (columns.size() >= 4 && isSnapName(columns[0]) && isSnapRevision(columns[2]) && notesSayDisabled(columns.back()))
      found.push_back({std::string(columns[0]), std::string(columns[2])});
  });
  return found;
}

ContainerReclaimable dockerSystemDf(std::string_view output) {
  ContainerReclaimable found;
  forEachLine(output.substr(0, maximumOutput), [&](std::string_view line) {
    line = trimmed(line);
    if (!line.starts_with('{'))
      return;
    const nlohmann::json row = nlohmann::json::parse(line, nullptr, false);
    if (!row.is_discarded())
      readContainerRow(row, found, false);
  });
  return found;
}

ContainerReclaimable podmanSystemDf(std::string_view output) {
  ContainerReclaimable found;
  output = trimmed(output.substr(0, maximumOutput));
  if (output.starts_with('[')) {
    const nlohmann::json rows = nlohmann::json::parse(output, nullptr, false);
    if (!rows.is_discarded() && rows.is_array())
      for (const nlohmann::json &row : rows)
        readContainerRow(row, found, true);
    found.buildCache.reset();
    return found;
  }
  forEachLine(output, [&](std::string_view line) {
    line = trimmed(line);
    if (!line.starts_with('{'))
      return;
    const nlohmann::json row = nlohmann::json::parse(line, nullptr, false);
    if (!row.is_discarded())
      readContainerRow(row, found, true);
  });
  found.buildCache.reset();
  return found;
}

} // namespace tarnwick::SystemToolOutput
