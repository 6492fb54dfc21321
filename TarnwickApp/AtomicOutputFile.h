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

private:
  std::string destination_;
  std::string temporary_;
  std::FILE *stream_ = nullptr;
  std::string error_;
  bool toStandardOutput_ = false;
};

} // namespace quillane
