#pragma once

#include "TarnwickCore/Support/DefaultInitAllocator.h"
#include "TarnwickCore/Support/StopAwareWait.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// The text of an export, from a descriptor or from memory, decompressed
/// on the fly when it starts with the gzip (1f 8b) or zstd (28 b5 2f fd)
/// magic bytes; anything else is taken as plain text. Concatenated gzip
/// members and zstd frames are read one after the other, as the command
/// line tools do.
///
/// Ownership: owns the descriptor it is given; memory input must outlive it.
/// Threads: one reader at a time.
class ExportInput {
public:
  /// Reading `fd` ends, as a failure, at the first read after `stop` fires;
  /// a read waiting on a pipe, FIFO or terminal for input ends then too.
  explicit ExportInput(UniqueFd fd, std::stop_token stop = {});
  explicit ExportInput(std::string_view bytes);
  ~ExportInput();
  ExportInput(const ExportInput &) = delete;
  ExportInput &operator=(const ExportInput &) = delete;

  /// Up to `capacity` bytes of text into `destination`; 0 at the end of the
  /// text or after a failure (see failed()).
  std::size_t read(char *destination, std::size_t capacity);

  bool failed() const { return !failure_.empty(); }
  /// Why reading stopped early: the errno's text, what is wrong with the
  /// compressed stream, or that the text is ncdu's binary export format
  /// or a scan snapshot.
  const std::string &failure() const { return failure_; }
  /// Whether the text is decompressed, to say so in messages.
  bool compressed() const { return format_ != Format::plain; }

  struct Decoder;

private:
  enum class Format : std::uint8_t { unknown, plain, gzip, zstd };

  /// Raw bytes into `destination`; 0 at the end or on failure.
  std::size_t readRaw(char *destination, std::size_t capacity);
  /// Reads the first bytes and chooses the format.
  void detectFormat();
  std::size_t readDecoded(char *destination, std::size_t capacity);

  UniqueFd fd_;
  std::string_view memory_;
  bool fromMemory_ = false;
  Format format_ = Format::unknown;
  /// Raw bytes read but not yet consumed (the magic, or compressed input).
  std::vector<char, DefaultInitAllocator<char>> raw_;
  std::size_t rawBegin_ = 0;
  bool rawEnded_ = false;
  std::unique_ptr<Decoder> decoder_;
  std::string failure_;
  std::stop_token stop_;
  /// How a read waits for input; only where it may have to (anything but a
  /// regular file, and not write-only).
  std::unique_ptr<StopAwareWait> inputWait_;
};

} // namespace tarnwick
