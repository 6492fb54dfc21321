#pragma once

#include "TarnwickCore/Support/Result.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace quillane {

/// An output file that appears at its destination complete or not at all.
///
/// What the destination names decides how it is written, never its spelling:
/// - a regular file, or nothing yet: a temporary file is written in the
///   folder of the final file and commit() renames it into place, with the
///   permission bits (and, where allowed, the owner and group) of the file it
///   replaces. Symbolic links are followed by hand to their final target,
///   which is replaced (the links stay links); a dangling link's target is
///   created only at commit.
/// - a FIFO, character device or socket: written in place, since renaming
///   over it would replace the node its reader waits on.
/// - "-", /dev/stdout, /dev/fd/1 and /proc/self/fd/1: the standard output the
///   shell gave us, written directly so redirections (appending ones too) hold.
/// - /dev/stderr, /dev/fd/N and /proc/self/fd/N: that descriptor, written at
///   its own offset like the standard output; the file behind it is never
///   renamed over.
/// A directory or block device is refused. Destroying an uncommitted file
/// removes the temporary.
///
/// Several outputs that must appear together are each complete()d first and
/// committed only once all of them were: what is left to commit() is a rename.
///
/// Move-only: the stream and the temporary belong to one object at a time.
class AtomicOutputFile {
public:
  /// Why a file may not be created or replaced at `finalPath`: absolute,
  /// with every link on the way resolved. Nothing when it may.
  using PlacementCheck = std::function<std::optional<std::string>(const std::string &finalPath)>;

  /// Creates the temporary file (or opens the pipe or device) for
  /// `destination`; the failure names the destination as given. A file
  /// that would be created or replaced is first put to `check`, if given.
  static tarnwick::Result<AtomicOutputFile> open(std::string destination, const PlacementCheck &check = {});

  AtomicOutputFile(AtomicOutputFile &&other) noexcept;
  AtomicOutputFile &operator=(AtomicOutputFile &&) = delete;
  AtomicOutputFile(const AtomicOutputFile &) = delete;
  AtomicOutputFile &operator=(const AtomicOutputFile &) = delete;
  ~AtomicOutputFile();

  /// Where to write; null once completed.
  std::FILE *stream() const { return stream_; }

  /// Flushes and syncs the output and closes its stream (standard output
  /// excepted), leaving only the rename to commit(). On failure the
  /// temporary is gone and commit() fails too.
  tarnwick::Result<void> complete();

  /// Completes the output if that was not done yet and renames it into
  /// place. On failure the temporary is gone.
  tarnwick::Result<void> commit();

  /// The destination as given.
  const std::string &destination() const { return destination_; }
  bool writesToStandardOutput() const { return toStandardOutput_; }
  /// The temporary file's path; empty when writing in place.
  const std::string &temporaryPath() const { return temporary_; }

private:
  explicit AtomicOutputFile(std::string destination) : destination_(std::move(destination)) {}
  tarnwick::Result<void> openDestination(const PlacementCheck &check);
  tarnwick::Result<void> openInPlace();
  tarnwick::Result<void> openDescriptor(int descriptor);
  tarnwick::Result<void> openTemporary();
  /// "cannot write <destination>: …", with the current errno or `reason`.
  tarnwick::Failure writeFailure(std::string reason = {}) const;

  std::string destination_;
  /// The file the temporary replaces: the destination with every symbolic
  /// link along the way resolved.
  /// Empty when the output is written in place.
  std::string renameTarget_;
  /// The temporary file while it exists: until renamed or removed.
  std::string temporary_;
  std::FILE *stream_ = nullptr;
  bool toStandardOutput_ = false;
  enum class Stage { writing, completed, finished } stage_ = Stage::writing;
};

} // namespace quillane
