#pragma once

#include "TarnwickCore/Support/Result.h"

#include <cstdio>
#include <string>

namespace quillane {

/// An output file that appears at its destination complete or not at all.
///
/// What the destination names decides how it is written, never its spelling:
/// - a regular file, or nothing yet: a temporary file is written in the
///   folder of the final file and commit() renames it into place. Symbolic
///   links are followed by hand to their final target, which is replaced (the
///   links stay links); a dangling link's target is created only at commit.
/// - a FIFO, character device or socket: written in place, since renaming
///   over it would replace the node its reader waits on.
/// - "-", /dev/stdout, /dev/fd/1 and /proc/self/fd/1: the standard output the
///   shell gave us, written directly so redirections (appending ones too) hold.
/// A directory or block device is refused. Destroying an uncommitted file
/// removes the temporary.
///
/// Move-only: the stream and the temporary belong to one object at a time.
class AtomicOutputFile {
public:
  /// Creates the temporary file (or opens the pipe or device) for
  /// `destination`; the failure names the destination as given.
  static tarnwick::Result<AtomicOutputFile> open(std::string destination);

  AtomicOutputFile(AtomicOutputFile &&other) noexcept;
  AtomicOutputFile &operator=(AtomicOutputFile &&) = delete;
  AtomicOutputFile(const AtomicOutputFile &) = delete;
  AtomicOutputFile &operator=(const AtomicOutputFile &) = delete;
  ~AtomicOutputFile();

  /// Where to write; null once committed.
  std::FILE *stream() const { return stream_; }

  /// Flushes, syncs and renames into place. The stream is closed whatever
  /// the outcome (standard output excepted), and on failure the temporary
  /// is gone too.
  tarnwick::Result<void> commit();

  /// The destination as given.
  const std::string &destination() const { return destination_; }
  bool writesToStandardOutput() const { return toStandardOutput_; }
  /// The temporary file's path; empty when writing in place.
  const std::string &temporaryPath() const { return temporary_; }

private:
  explicit AtomicOutputFile(std::string destination) : destination_(std::move(destination)) {}
  tarnwick::Result<void> openDestination();
  tarnwick::Result<void> openInPlace();
  tarnwick::Result<void> openTemporary();
  /// "cannot write <destination>: …", with the current errno or `reason`.
  tarnwick::Failure writeFailure(std::string reason = {}) const;

  std::string destination_;
  /// The file the temporary replaces: the destination with every symbolic
  /// link along the way resolved.
  std::string renameTarget_;
  std::string temporary_;
  std::FILE *stream_ = nullptr;
  bool toStandardOutput_ = false;
};

} // namespace quillane
