#pragma once

#include <ctime>
#include <string>

namespace tarnwick {

/// The .trashinfo record of one item on its way into a trash's info/
/// folder. The text is written whole and synced under a temporary name
/// that trash clients ignore (it does not end in ".trashinfo"), and only
/// then published under its final name, never replacing a record that is
/// already there. So a record is either absent or complete, and a process
/// killed half-way leaves at most a temporary that nothing reads and whose
/// random name no later move can collide with.
///
/// Whatever is still this object's when it dies (the temporary, or a
/// published record that was not kept) is removed.
///
/// Threads: owned by one thread; `info` must outlive it.
class TrashInfoRecord {
public:
  /// The record's text: Path= percent-encoded like a URL path (so any
  /// bytes, newlines included, survive), DeletionDate= in local time to the
  /// second, as "YYYY-MM-DDThh:mm:ss".
  static std::string text(const std::string &recordedPath, std::time_t deletedAt);

  /// `info` is the info/ folder, `infoPath` its path for messages. Nothing
  /// is written until the first publish().
  TrashInfoRecord(int info, std::string infoPath, std::string text);
  ~TrashInfoRecord();
  TrashInfoRecord(const TrashInfoRecord &) = delete;
  TrashInfoRecord &operator=(const TrashInfoRecord &) = delete;

  /// Publishes the record as `name`.trashinfo; false when that name is
  /// taken. Throws TrashError when the record cannot be written.
  bool publish(const std::string &name);
  /// Takes the published record back (its item could not take the name).
  void withdraw();
  /// Leaves the published record in place for good.
  void keep() { published_.clear(); }

private:
  void writeTemporary();

  int info_;
  std::string infoPath_;
  std::string text_;
  std::string temporary_; // empty when there is none on disk
  std::string published_; // empty when there is none, or kept
};

} // namespace tarnwick
