#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"
#include "TarnwickCore/Scan/LinuxBatchEntrySource.h"

#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace quillane::test {

using tarnwick::BatchStatus;
using tarnwick::EntryFacts;

/// What a ScriptedSource does besides reading the real folders: the hooks
/// run on the scanner's walker threads.
struct Script {
  /// Directories whose batch read reports an unsupported volume.
  std::set<std::string> unsupported;
  /// Called with each directory path as it is opened by the batch engine.
  std::function<void(const std::string &)> onOpen;
  /// An errno for the batch engine's open of a path to fail with, or 0.
  std::function<int(const std::string &)> openError;
  /// May edit each batch, or react to its status.
  std::function<void(const std::string &, BatchStatus, std::vector<EntryFacts> &)> onBatch;
  /// An errno for the batch engine's listing of a path to break off with at
  /// once, or 0.
  std::function<int(const std::string &)> listingError;

  std::mutex lock;
  std::vector<std::string> opened; // guarded by lock
  std::atomic<int> reading{0};
  std::atomic<int> mostReading{0};
};

class ScriptedReader final : public tarnwick::DirectoryEntryReader {
public:
  explicit ScriptedReader(Script &script) : script_(script), real_(tarnwick::LinuxBatchEntrySource().makeReader()) {}

  bool open(const std::string &path) override {
    close();
    path_ = path;
    {
      std::lock_guard guard(script_.lock);
      script_.opened.push_back(path);
    }
    if (script_.onOpen)
      script_.onOpen(path);
    if (int error = script_.openError ? script_.openError(path) : 0) {
      errno = error;
      return false;
    }
    if (!real_->open(path))
      return false;
    int now = ++script_.reading;
    for (int most = script_.mostReading; now > most && !script_.mostReading.compare_exchange_weak(most, now);)
      ;
    isOpen_ = true;
    return true;
  }

  BatchStatus nextBatch(std::vector<EntryFacts> &out) override {
    out.clear();
    if (int error = script_.listingError ? script_.listingError(path_) : 0) {
      errno = error;
      return BatchStatus::failed;
    }
    BatchStatus status =
        script_.unsupported.contains(path_) ? BatchStatus::unsupported : real_->nextBatch(out);
    if (script_.onBatch)
      script_.onBatch(path_, status, out);
    return status;
  }

  void close() override {
    if (isOpen_)
      --script_.reading;
    isOpen_ = false;
    real_->close();
  }

  ~ScriptedReader() override { close(); }

private:
  Script &script_;
  std::unique_ptr<tarnwick::DirectoryEntryReader> real_;
  std::string path_;
  bool isOpen_ = false;
};

/// Entries as the real batch source reads them, as the script changes them.
class ScriptedSource final : public tarnwick::DirectoryEntrySource {
public:
  explicit ScriptedSource(Script &script) : script_(script) {}
  std::unique_ptr<tarnwick::DirectoryEntryReader> makeReader() override { return std::make_unique<ScriptedReader>(script_); }

private:
  Script &script_;
};

/// A batch hook that shows the entry `name` on `device`, as a mount point of
/// that device would be.
inline auto onDevice(std::string name, std::int64_t device) {
  return [name = std::move(name), device](const std::string &, BatchStatus, std::vector<EntryFacts> &batch) {
    for (EntryFacts &facts : batch)
      if (facts.name == name)
        facts.device = device;
  };
}

} // namespace quillane::test
