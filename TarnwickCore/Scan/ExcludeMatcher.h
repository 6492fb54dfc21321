#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Decides which entries of a scan exclude patterns leave out. Patterns
/// are shell globs (fnmatch: `*`, `?`, `[…]`, `\` quotes), with no
/// special meaning for a leading dot:
///
/// - A pattern without a slash matches an entry's name, at any depth:
///   `*.o`, `node_modules`, `.cache`.
/// - A pattern with a slash matches the entry's path below the scanned
///   root ("src/build" for ROOT/src/build), and a wildcard never matches a
///   slash: `src/*/build` matches src/a/build, not src/a/b/build. A leading
///   slash is optional and only anchors a name: `/build` is ROOT/build.
/// - A trailing slash limits the pattern to folders: `cache/`.
/// - An empty pattern (or a lone "/") matches nothing.
///
/// A matcher for a folder scanned alone takes that folder's path below the
/// root the patterns were written for (`base`), and matches paths as the
/// whole scan would. The scanned root itself is never excluded. Cost: name patterns look at
/// the name alone; a path pattern is tried only on entries as deep as it
/// has components, and joins the path for those.
///
/// Threads: immutable after construction; excludes() is safe from any thread.
class ExcludeMatcher {
public:
  ExcludeMatcher() = default;
  explicit ExcludeMatcher(const std::vector<std::string> &patterns, std::string base = {});

  bool empty() const { return namePatterns_.empty() && pathPatterns_.empty(); }

  /// Whether the entry `name` of the folder `folder` is left out. `folder`
  /// is the folder's path below the root ("" for the root itself, "src/a"
  /// below it), `depth` its number of components (0 for the root).
  bool excludes(std::string_view folder, int depth, std::string_view name, bool isDirectory) const;

private:
  struct Pattern {
    std::string glob;
    bool directoriesOnly = false;
    /// Path patterns: the components of the paths they can match.
    int depth = 1;
  };
  std::vector<Pattern> namePatterns_;
  std::vector<Pattern> pathPatterns_;
  std::string base_;
  int baseDepth_ = 0;
};

} // namespace tarnwick
