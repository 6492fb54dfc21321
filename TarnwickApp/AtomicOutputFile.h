#pragma once

#include <cstdio>
#include <string>

namespace quillane {

/// An output file that appears at its destination complete or not at all:
/// writing goes to a temporary file beside the destination, which commit()
/// renames into place. Destroying an uncommitted file removes the temporary.
/// The path "-" means standard output, written directly.
class AtomicOutputFile {
public:
  /// Creates the temporary file; on failure `error()` describes why.
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
  void openInPlace(int extraFlags);

  std::string destination_;
  /// The destination with a symbolic link in its last component resolved.
  std::string renameTarget_;
  std::string temporary_;
  std::FILE *stream_ = nullptr;
  std::string error_;
  bool toStandardOutput_ = false;
};

} // namespace quillane
