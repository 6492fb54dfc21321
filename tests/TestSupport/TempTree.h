#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillane::test {

/// A scratch directory tree that is removed, whatever its permissions and
/// depth, when the object dies. Paths given to the helpers are relative to
/// the root; parents are created as needed.
class TempTree {
public:
  /// Made in `base`, else in the temporary folder.
  explicit TempTree(const std::string &base = {});
  ~TempTree();
  TempTree(const TempTree &) = delete;
  TempTree &operator=(const TempTree &) = delete;

  const std::string &root() const { return root_; }
  std::string path(std::string_view relative) const;

  void makeDirectory(std::string_view relative) const;
  /// A file holding `bytes` bytes of data (so it occupies blocks).
  void writeFile(std::string_view relative, std::size_t bytes) const;
  /// A file of logical size `bytes` with no data written.
  void makeSparseFile(std::string_view relative, std::size_t bytes) const;
  void makeSymlink(std::string_view relative, std::string_view target) const;
  void makeHardLink(std::string_view existing, std::string_view relative) const;
  void makeFifo(std::string_view relative) const;
  /// `depth` nested folders named `component` below `relative`, made
  /// relative to each other so they may be deeper than a path can name,
  /// with `bytes` of data (synced, so its blocks count) in "leaf" at the bottom.
  void makeDeepChain(std::string_view relative, const std::string &component, int depth, std::size_t bytes) const;

private:
  std::string root_;
};

/// Totals computed independently of the scanner, from `find -printf`:
/// files (everything but directories and symlinks), directories below the
/// root, symlinks, and allocated bytes of the files with each (device,
/// inode) once; apart, those of the directories, the root's included.
struct FindTotals {
  std::int64_t files = 0;
  std::int64_t directories = 0;
  std::int64_t symlinks = 0;
  std::int64_t bytes = 0;
  std::int64_t folderBytes = 0;
};
FindTotals findTotals(const std::string &root);

/// The bytes of the file at `path`; empty when it cannot be read.
std::string readFile(const std::string &path);

/// `du -s -B1` of `path`: the allocated bytes of everything from it down,
/// folders and symbolic links included, each inode once.
std::int64_t duBytes(const std::string &path);

/// Runs a shell command and returns its standard output; aborts the test
/// program when the command cannot be started.
std::string runCommand(const std::string &command, int *exitStatus = nullptr);

/// `text` quoted for a POSIX shell.
std::string shellQuote(std::string_view text);

} // namespace quillane::test
