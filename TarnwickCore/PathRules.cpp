#include "TarnwickCore/PathRules.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

namespace tarnwick {
namespace {

using enum CleanableCategory;

struct HintRule {
  std::string_view substring;
  CleanableCategory category;
};

// First match wins. The first nineteen rows are the original table; the
// Linux locations follow so the original rows keep precedence, and the
// catch-all "/.cache" comes last.
constexpr std::array<HintRule, 37> hintRules = {{
    {"/library/developer/xcode", xcodeJunk},
    {"/library/developer/coresimulator", xcodeJunk},
    {"/caches/homebrew", brewAndPackages},
    {"/caches/cocoapods", brewAndPackages},
    {"/.npm", brewAndPackages},
    {"/.cargo", brewAndPackages},
    {"/docker", dockerAndVMs},
    {"/orbstack", dockerAndVMs},
    {"/adobe", creatorCaches},
    {"fcpbundle", creatorCaches},
    {"cacheclip", creatorCaches},
    {"/google/chrome", browserBloat},
    {"/bravesoftware", browserBloat},
    {"/firefox", browserBloat},
    {"/thebrowser", browserBloat},
    {"/ollama", aiModelsAndLogs},
    {"/lmstudio", aiModelsAndLogs},
    {"/.trash", trashBins},
    {"/library/caches", userCache},
    {"/.cache/pip", brewAndPackages},
    {"/.cache/yarn", brewAndPackages},
    {"/.cache/go-build", brewAndPackages},
    {"/.gradle/caches", brewAndPackages},
    {"/.m2/repository", brewAndPackages},
    {"/node_modules", brewAndPackages},
    {"/.local/share/docker", dockerAndVMs},
    {"/.local/share/containers", dockerAndVMs},
    {"/.ollama", aiModelsAndLogs},
    {"/.cache/huggingface", aiModelsAndLogs},
    {"/.cache/google-chrome", browserBloat},
    {"/.cache/chromium", browserBloat},
    {"/.cache/mozilla", browserBloat},
    {"/gpucache", browserBloat},
    {"/code cache", browserBloat},
    {"/service worker/cachestorage", browserBloat},
    {"/.local/share/trash", trashBins},
    {"/.cache", userCache},
}};

constexpr std::size_t longestRule = [] {
  std::size_t longest = 0;
  for (const HintRule &rule : hintRules)
    longest = std::max(longest, rule.substring.size());
  return longest;
}();

// Indexes of the rules that do not begin with '/'.
constexpr auto anywhereRules = [] {
  std::array<std::size_t, 2> indexes{};
  std::size_t count = 0;
  for (std::size_t i = 0; i < hintRules.size(); ++i)
    if (hintRules[i].substring.front() != '/')
      indexes[count++] = i;
  return indexes;
}();

// For each byte, the rules that begin with '/' followed by that byte.
struct SeparatorRuleTable {
  std::array<std::uint64_t, 256> bySecondByte{};
};
constexpr SeparatorRuleTable separatorRules = [] {
  SeparatorRuleTable table;
  std::size_t anywhere = 0;
  for (std::size_t i = 0; i < hintRules.size(); ++i) {
    std::string_view rule = hintRules[i].substring;
    if (rule.front() == '/')
      table.bySecondByte[static_cast<unsigned char>(rule[1])] |= std::uint64_t{1} << i;
    else
      ++anywhere;
  }
  // anywhereRules has room for exactly this many.
  if (anywhere != 2)
    throw "the anywhere-rule table needs resizing";
  return table;
}();

constexpr std::array<std::string_view, 11> packageExtensions = {
    "app",   "framework", "bundle", "plugin", "kext",    "fcpbundle",
    "photoslibrary", "migratedphotolibrary", "pages", "keynote", "numbers"};

constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Bit i set = rule i occurs somewhere in `lowered`.
std::uint64_t matchMask(std::string_view lowered) {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < hintRules.size(); ++i)
    if (lowered.find(hintRules[i].substring) != std::string_view::npos)
      mask |= std::uint64_t{1} << i;
  return mask;
}

std::optional<CleanableCategory> firstRule(std::uint64_t mask) {
  if (mask == 0)
    return std::nullopt;
  return hintRules[static_cast<std::size_t>(std::countr_zero(mask))].category;
}

} // namespace

bool isPackageExtension(std::string_view lowerCasedExtension) {
  return std::find(packageExtensions.begin(), packageExtensions.end(), lowerCasedExtension) !=
         packageExtensions.end();
}

bool hasPackageExtension(std::string_view name) {
  auto dot = name.rfind('.');
  // A leading dot starts a hidden name, not an extension.
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
    return false;
  std::string_view extension = name.substr(dot + 1);
  if (extension.size() > 20)
    return false;
  char lowered[20];
  std::transform(extension.begin(), extension.end(), lowered, lowerAscii);
  return isPackageExtension({lowered, extension.size()});
}

std::optional<CleanableCategory> categoryHint(std::string_view path) {
  std::string lowered(path);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), lowerAscii);
  return firstRule(matchMask(lowered));
}

DirectoryHintMatcher::DirectoryHintMatcher(std::string_view directoryPath) {
  std::string lowered(directoryPath);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), lowerAscii);
  directoryMatches_ = matchMask(lowered);
  // A match that is new in a child path ends inside "/name", so it starts
  // at most longestRule - 1 bytes before the end of the directory path.
  static_assert(longestRule - 1 <= sizeof(tail_));
  std::size_t keep = std::min(lowered.size(), longestRule - 1);
  std::memcpy(tail_, lowered.data() + lowered.size() - keep, keep);
  tailLength_ = static_cast<std::uint8_t>(keep);
}

std::optional<CleanableCategory> DirectoryHintMatcher::hintForChild(std::string_view name) const {
  char window[sizeof(tail_) + 1 + 256];
  std::size_t nameLength = std::min<std::size_t>(name.size(), 256);
  std::memcpy(window, tail_, tailLength_);
  std::size_t length = tailLength_;
  // The joined path has no separator to add when the directory is "/".
  if (length == 0 || window[length - 1] != '/')
    window[length++] = '/';
  std::transform(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(nameLength),
                 window + length, lowerAscii);
  length += nameLength;
  std::string_view view(window, length);
  std::uint64_t mask = directoryMatches_;
  for (std::size_t i : anywhereRules)
    if (view.find(hintRules[i].substring) != std::string_view::npos)
      mask |= std::uint64_t{1} << i;
  // Rules that begin with '/' can only start at a separator, and only those
  // whose second byte matches the byte after it need a full comparison.
  for (std::size_t slash = view.find('/'); slash != std::string_view::npos && slash + 1 < length;
       slash = view.find('/', slash + 1)) {
    std::string_view rest = view.substr(slash);
    for (std::uint64_t candidates = separatorRules.bySecondByte[static_cast<unsigned char>(rest[1])];
         candidates != 0; candidates &= candidates - 1) {
      auto i = static_cast<std::size_t>(std::countr_zero(candidates));
      if (rest.starts_with(hintRules[i].substring))
        mask |= std::uint64_t{1} << i;
    }
  }
  return firstRule(mask);
}

} // namespace tarnwick
