#include "TarnwickCore/Catalogue/PathRules.h"

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

// Candidate rules by the byte a match starts with, and for rules that start
// with '/', by the byte after it; a window is scanned once, byte by byte.
struct RuleStartTable {
  std::array<std::uint64_t, 256> byFirstByte{};
  std::array<std::uint64_t, 256> afterSeparator{};
};
constexpr RuleStartTable ruleStarts = [] {
  RuleStartTable table;
  for (std::size_t i = 0; i < hintRules.size(); ++i) {
    std::string_view rule = hintRules[i].substring;
    auto &slot = rule.front() == '/' ? table.afterSeparator[static_cast<unsigned char>(rule[1])]
                                     : table.byFirstByte[static_cast<unsigned char>(rule[0])];
    slot |= std::uint64_t{1} << i;
  }
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

// Whether `rule` starts at `at` in `text`. An inline loop: most candidates
// fail on the second or third byte, sooner than a call to memcmp returns.
bool occursAt(std::string_view text, std::size_t at, std::string_view rule) {
  if (text.size() - at < rule.size())
    return false;
  for (std::size_t i = 0; i < rule.size(); ++i)
    if (text[at + i] != rule[i])
      return false;
  return true;
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

std::uint64_t DirectoryHintMatcher::matchesIn(std::string_view path) {
  std::string lowered(path);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), lowerAscii);
  return matchMask(lowered);
}

std::optional<CleanableCategory> DirectoryHintMatcher::hintFor(std::uint64_t matches) {
  return firstRule(matches);
}

DirectoryHintMatcher::DirectoryHintMatcher(std::string_view directoryPath, std::uint64_t knownMatches)
    : directoryMatches_(knownMatches) {
  // A match that is new in a child path ends inside "/name", so it starts
  // at most longestRule - 1 bytes before the end of the directory path.
  static_assert(longestRule - 1 <= sizeof(tail_));
  std::size_t keep = std::min(directoryPath.size(), longestRule - 1);
  std::transform(directoryPath.end() - static_cast<std::ptrdiff_t>(keep), directoryPath.end(), tail_,
                 lowerAscii);
  tailLength_ = static_cast<std::uint8_t>(keep);
  for (std::size_t at = 0; at < keep; ++at) {
    auto byte = static_cast<unsigned char>(tail_[at]);
    bool mayStartRule = byte == '/' || ruleStarts.byFirstByte[byte] != 0;
    // Every rule is longer than one byte, so a start in the tail reaches the
    // name only if fewer than longestRule bytes remain before the tail's end.
    if (mayStartRule && keep - at < longestRule)
      tailStarts_[tailStartCount_++] = static_cast<std::uint8_t>(at);
  }
}

std::uint64_t DirectoryHintMatcher::childMatches(std::string_view name) const {
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
  const std::string_view view(window, length);
  std::uint64_t matches = directoryMatches_;
  auto testStart = [&](std::size_t at) {
    auto byte = static_cast<unsigned char>(window[at]);
    std::uint64_t candidates = byte == '/' ? ruleStarts.afterSeparator[static_cast<unsigned char>(window[at + 1])]
                                           : ruleStarts.byFirstByte[byte];
    for (candidates &= ~matches; candidates != 0; candidates &= candidates - 1) {
      auto rule = static_cast<std::size_t>(std::countr_zero(candidates));
      if (occursAt(view, at, hintRules[rule].substring))
        matches |= std::uint64_t{1} << rule;
    }
  };
  for (std::uint8_t i = 0; i < tailStartCount_; ++i)
    testStart(tailStarts_[i]);
  for (std::size_t at = tailLength_; at + 1 < length; ++at)
    testStart(at);
  return matches;
}

} // namespace tarnwick
