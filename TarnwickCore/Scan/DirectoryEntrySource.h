#pragma once

#include "TarnwickCore/Scan/EntryFacts.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

/// Outcome of one batch read from an open directory.
enum class BatchStatus {
  /// `out` holds one or more entries; call again.
  entries,
  /// The directory is complete.
  end,
  /// The volume does not support batch reading; nothing was read.
  unsupported,
  /// Reading failed part-way (errno says why); what was read so far stands.
  failed,
};

/// Spreads one long piece of work over threads that have nothing else to do
/// (the scan's idle walkers), so that a single wide folder is not examined
/// by one walker alone while the others wait.
class SliceSharing {
public:
  using SliceWork = std::function<void(std::size_t begin, std::size_t end)>;
  virtual ~SliceSharing() = default;
  /// Calls `work` on slices of `slice` indexes that together cover
  /// [0, count) once each, on the calling thread and possibly on others at
  /// the same time; returns once every slice has run. `work` must not throw.
  virtual void share(std::size_t count, std::size_t slice, const SliceWork &work) = 0;
};

/// Reads one directory at a time in batches. Each walker owns one reader and
/// reuses it (and its buffer) for every directory it lists.
///
/// Threads: not synchronized; one walker uses it at a time.
class DirectoryEntryReader {
public:
  virtual ~DirectoryEntryReader() = default;

  /// Opens `path` for reading; false (errno set) when it cannot be opened
  /// as a directory. Closes any directory still open. The walker retries
  /// after EMFILE and ENFILE, so a reader must hold no descriptor on failure.
  virtual bool open(const std::string &path) = 0;
  /// Replaces the contents of `out` with the next batch. "." and ".." may
  /// appear; the caller skips them.
  virtual BatchStatus nextBatch(std::vector<EntryFacts> &out) = 0;
  /// Releases the open directory, if any. Also done by open() and on destruction.
  virtual void close() = 0;
  /// Where a reader may hand the examination of a long batch's entries
  /// (nullptr: nowhere). Readers that examine nothing themselves ignore it.
  virtual void shareExaminationWith(SliceSharing *) {}
};

/// Makes readers for the batch engine. Tests substitute their own to
/// simulate unsupported volumes, placeholders, entry errors and races.
///
/// Threads: makeReader() is safe from any thread.
class DirectoryEntrySource {
public:
  virtual ~DirectoryEntrySource() = default;
  virtual std::unique_ptr<DirectoryEntryReader> makeReader() = 0;
};

} // namespace tarnwick
