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

constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Candidate rules by the byte a match starts with, and for rules that start
// with '/', by the byte after it. Rules without a '/' can lie wholly inside
// a name: `inName` finds them by a name's bytes as they are, upper case
// folded in.
struct RuleStartTable {
  std::array<std::uint64_t, 256> byFirstByte{};
  std::array<std::uint64_t, 256> afterSeparator{};
  std::array<std::uint64_t, 256> inName{};
  std::size_t shortestInName = 256;
};
constexpr RuleStartTable ruleStarts = [] {
  RuleStartTable table;
  for (std::size_t i = 0; i < hintRules.size(); ++i) {
    std::string_view rule = hintRules[i].substring;
    const std::uint64_t bit = std::uint64_t{1} << i;
    if (rule.front() == '/') {
      table.afterSeparator[static_cast<unsigned char>(rule[1])] |= bit;
      continue;
    }
    table.byFirstByte[static_cast<unsigned char>(rule[0])] |= bit;
    if (rule.find('/') != std::string_view::npos)
      continue;
    for (std::size_t byte = 0; byte < 256; ++byte)
      if (lowerAscii(static_cast<char>(byte)) == rule[0])
        table.inName[byte] |= bit;
    table.shortestInName = std::min(table.shortestInName, rule.size());
  }
  return table;
}();

constexpr std::array<std::string_view, 11> packageExtensions = {
    "app",   "framework", "bundle", "plugin", "kext",    "fcpbundle",
    "photoslibrary", "migratedphotolibrary", "pages", "keynote", "numbers"};

// Bit i set = rule i occurs somewhere in `lowered`.
std::uint64_t matchMask(std::string_view lowered) {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < hintRules.size(); ++i)
    if (lowered.find(hintRules[i].substring) != std::string_view::npos)
      mask |= std::uint64_t{1} << i;
  return mask;
}

// Whether the lower-case `rule` starts at `at` in `text`, ASCII letters of
// `text` compared lower-cased. An inline loop: most candidates fail on the
// second or third byte, sooner than a call to memcmp returns.
bool occursAtIgnoringCase(std::string_view text, std::size_t at, std::string_view rule) {
  if (text.size() - at < rule.size())
    return false;
  for (std::size_t i = 0; i < rule.size(); ++i)
    if (lowerAscii(text[at + i]) != rule[i])
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
  // What a child's path adds after the name's first byte is the name; a
  // rule begun before it starts at most longestRule - 1 bytes before the
  // name, in the path's tail or at the separator added after it.
  char joined[longestRule];
  static_assert(longestRule <= longestRuleBound);
  const std::size_t keep = std::min(directoryPath.size(), longestRule - 1);
  std::transform(directoryPath.end() - static_cast<std::ptrdiff_t>(keep), directoryPath.end(), joined,
                 lowerAscii);
  std::size_t length = keep;
  // The joined path has no separator to add when the directory is "/".
  if (length == 0 || joined[length - 1] != '/')
    joined[length++] = '/';
  const std::string_view tail(joined, length);
  // The separator itself, where most rules start, is left to childMatches(),
  // which knows the byte after it.
  for (std::size_t at = 0; at + 1 < length; ++at) {
    auto byte = static_cast<unsigned char>(tail[at]);
    std::uint64_t candidates = byte == '/' ? ruleStarts.afterSeparator[static_cast<unsigned char>(tail[at + 1])]
                                           : ruleStarts.byFirstByte[byte];
    std::uint64_t begun = 0;
    for (candidates &= ~directoryMatches_; candidates != 0; candidates &= candidates - 1) {
      auto rule = static_cast<std::size_t>(std::countr_zero(candidates));
      const std::string_view substring = hintRules[rule].substring;
      if (substring.size() <= length - at) {
        // Wholly in the tail, so in the directory's matches already, unless
        // it ends with the separator: then every child has it.
        if (occursAtIgnoringCase(tail, at, substring))
          directoryMatches_ |= std::uint64_t{1} << rule;
      } else if (substring.starts_with(tail.substr(at))) {
        begun |= std::uint64_t{1} << rule;
      }
    }
    if (begun != 0)
      begun_[begunCount_++] = {begun, static_cast<std::uint8_t>(length - at)};
  }
}

std::uint64_t DirectoryHintMatcher::childMatches(std::string_view name) const {
  std::uint64_t matches = directoryMatches_;
  if (name.empty())
    return matches;
  std::uint64_t afterSeparator =
      ruleStarts.afterSeparator[static_cast<unsigned char>(lowerAscii(name.front()))] & ~matches;
  for (; afterSeparator != 0; afterSeparator &= afterSeparator - 1) {
    auto rule = static_cast<std::size_t>(std::countr_zero(afterSeparator));
    if (occursAtIgnoringCase(name, 0, hintRules[rule].substring.substr(1)))
      matches |= std::uint64_t{1} << rule;
  }
  for (std::uint8_t i = 0; i < begunCount_; ++i) {
    for (std::uint64_t rules = begun_[i].rules & ~matches; rules != 0; rules &= rules - 1) {
      auto rule = static_cast<std::size_t>(std::countr_zero(rules));
      if (occursAtIgnoringCase(name, 0, hintRules[rule].substring.substr(begun_[i].begun)))
        matches |= std::uint64_t{1} << rule;
    }
  }
  for (std::size_t at = 0; at + ruleStarts.shortestInName <= name.size(); ++at) {
    std::uint64_t rules = ruleStarts.inName[static_cast<unsigned char>(name[at])] & ~matches;
    for (; rules != 0; rules &= rules - 1) {
      auto rule = static_cast<std::size_t>(std::countr_zero(rules));
      if (occursAtIgnoringCase(name, at, hintRules[rule].substring))
        matches |= std::uint64_t{1} << rule;
    }
  }
  return matches;
}

} // namespace tarnwick
