#pragma once

#include "TarnwickCore/CleanableCategory.h"

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
/// the directory's own matches are found once, and each entry then only
/// tests the window where a new match can start (the directory path's tail
/// plus "/name"). Always agrees with categoryHint() on the joined path.
///
/// Threads: immutable after construction; cheap to create per directory.
class DirectoryHintMatcher {
public:
  explicit DirectoryHintMatcher(std::string_view directoryPath);

  std::optional<CleanableCategory> hintForChild(std::string_view name) const;

private:
  std::uint64_t directoryMatches_ = 0;
  char tail_[40];
  std::uint8_t tailLength_ = 0;
};

} // namespace tarnwick
