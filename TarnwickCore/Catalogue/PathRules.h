#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick {

/// Whether a lower-cased path extension names a bundle-like package
/// directory ("app", "framework", "photoslibrary", …).
bool isPackageExtension(std::string_view lowerCasedExtension);

/// Package test on an entry name: its extension, lower-cased, is a package
/// extension.
bool hasPackageExtension(std::string_view name);

/// The cleanup category suggested by a path: the path is lower-cased (ASCII
/// letters only) and tested against an ordered table of substrings; the
/// first match wins. No match gives no hint.
std::optional<CleanableCategory> categoryHint(std::string_view path);

/// The same rule, computed incrementally for the entries of one directory:
/// the directory's own matches are known (or found once), and a new match
/// in "directory/name" either starts in the directory path's tail and runs
/// on into the name, or lies wholly inside the name. The first kind is
/// worked out once per directory, as the rest of each rule the tail has
/// begun; the second needs only the rules that hold no '/'. Always agrees
/// with matchesIn() on the joined path.
///
/// Matches are bit sets over the rule table; a child directory's matcher is
/// built from childMatches() of its name, so no path is searched twice.
///
/// Threads: immutable after construction; cheap to create per directory.
class DirectoryHintMatcher {
public:
  explicit DirectoryHintMatcher(std::string_view directoryPath)
      : DirectoryHintMatcher(directoryPath, matchesIn(directoryPath)) {}
  /// `knownMatches` must be matchesIn(directoryPath).
  DirectoryHintMatcher(std::string_view directoryPath, std::uint64_t knownMatches);

  /// The rules occurring anywhere in `path`.
  static std::uint64_t matchesIn(std::string_view path);
  /// The category of the first rule in `matches`, if any.
  static std::optional<CleanableCategory> hintFor(std::uint64_t matches);

  /// The rules occurring in this directory's path joined with `name` (a
  /// name holds no '/').
  std::uint64_t childMatches(std::string_view name) const;
  std::optional<CleanableCategory> hintForChild(std::string_view name) const {
    return hintFor(childMatches(name));
  }

private:
  /// Rules whose first `begun` bytes end the directory path (with the
  /// separator a child adds), so the name must start with the rest.
  struct Begun {
    std::uint64_t rules;
    std::uint8_t begun;
  };

  /// Bounds the length of a rule: a rule is begun at most once per offset.
  static constexpr std::size_t longestRuleBound = 40;

  std::uint64_t directoryMatches_ = 0;
  Begun begun_[longestRuleBound];
  std::uint8_t begunCount_ = 0;
};

} // namespace tarnwick
