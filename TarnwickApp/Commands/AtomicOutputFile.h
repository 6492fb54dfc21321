#pragma once

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
class AtomicOutputFile {
public:
  /// Creates the temporary file (or opens the pipe or device); on failure
  /// `error()` describes why.
  explicit AtomicOutputFile(std::string destination);
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile &) = delete;
  AtomicOutputFile &operator=(const AtomicOutputFile &) = delete;

  bool isOpen() const { return stream_ != nullptr; }
  std::FILE *stream() const { return stream_; }
  const std::string &error() const { return error_; }

  /// Flushes, syncs and renames into place; false (with error()) on failure.
  bool commit();

  bool writesToStandardOutput() const { return toStandardOutput_; }
  /// The temporary file's path; empty when writing in place.
  const std::string &temporaryPath() const { return temporary_; }

private:
  void openInPlace();
  void openTemporary();

  std::string destination_;
  /// The file the temporary replaces: the destination with every symbolic
  /// link along the way resolved.
  std::string renameTarget_;
  std::string temporary_;
  std::FILE *stream_ = nullptr;
  std::string error_;
  bool toStandardOutput_ = false;
};

} // namespace quillane
