#pragma once

#include "TarnwickCore/Support/Failure.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Whether the probes say the application may read protected locations;
/// stored and shown as the case name.
enum class FullDiskAccessStatus { granted, denied, undetermined };

std::string_view rawValue(FullDiskAccessStatus status);
/// Exact case name only ("granted", not "Granted").
std::optional<FullDiskAccessStatus> fullDiskAccessStatusFromRawValue(std::string_view text);
/// The status in words for people, the same in the window and on the
/// command line ("All readable", "Some folders unreadable").
std::string_view statusWords(FullDiskAccessStatus status);

/// What one pass of the probes found: the status, and every probe that
/// exists but could not be opened, with the errno met ("open" failures).
struct AccessCheck {
  FullDiskAccessStatus status = FullDiskAccessStatus::undetermined;
  std::vector<Failure> unreadable;
};

/// One row of the table that explains which locations are read, and why.
struct FDAPathCategory {
  std::string id;
  std::string title;
  std::string purpose;
  /// Display text with "~/" for the home folder; never resolved.
  std::vector<std::string> samplePaths;
  bool isPersonallyIdentifiable = false;

  friend bool operator==(const FDAPathCategory &, const FDAPathCategory &) = default;
};

/// What the probes ask of the file system; replaceable in tests.
class ProbeFileSystem {
public:
  virtual ~ProbeFileSystem() = default;
  virtual bool isReadable(const std::string &path) const = 0;
  virtual bool exists(const std::string &path) const = 0;
  /// Opens the file, reads one byte, closes it; false when it cannot be opened.
  virtual bool readOneByte(const std::string &path) const = 0;
  /// Whether the path can be listed as a directory.
  virtual bool canList(const std::string &path) const = 0;
  /// 0 when the path opens for reading, else the errno opening it met
  /// (ENOENT when it does not exist). The default derives it from the
  /// questions above, with EACCES for anything that exists but does not open.
  virtual int openError(const std::string &path) const;

  static std::shared_ptr<const ProbeFileSystem> system();
};

/// Decides from the folders Quillane reads (the user's caches, data, Trash
/// and settings where their environment puts them, the system's caches and
/// logs) whether all of them can be read, and carries the transparency
/// table. Linux has no separate permission for them: the probes decide by
/// plain readability, and there is no settings pane to open.
///
/// Threads: immutable; safe from any thread.
class FullDiskAccessCoordinator {
public:
  /// The user's: their home folder, the cache, settings and data folders
  /// and the home Trash as `user` places them (the ones every other part
  /// reads), and the system's folders, read from `fileSystem`.
  explicit FullDiskAccessCoordinator(const UserEnvironment &user,
                                     std::shared_ptr<const ProbeFileSystem> fileSystem = ProbeFileSystem::system());
  /// The same with an explicit probe list (tests; an empty list decides nothing).
  FullDiskAccessCoordinator(std::string homeDirectory, std::shared_ptr<const ProbeFileSystem> fileSystem,
                            std::vector<std::string> probePaths);

  /// Opens every probe: any that exists but does not open → denied (and
  /// listed), else any that opened → granted, else undetermined.
  AccessCheck check() const;
  /// check().status.
  FullDiskAccessStatus checkStatus() const;
  /// Really opens the probes (a byte read, or a directory listing); falls
  /// back to checkStatus() when none opens.
  FullDiskAccessStatus triggerRegistration() const;
  /// There is no such settings pane on Linux; does nothing here.
  void openSystemSettingsFDA() const;

  const std::string &homeDirectory() const { return homeDirectory_; }
  const std::vector<std::string> &probePaths() const { return probePaths_; }
  static const std::vector<FDAPathCategory> &transparencyCategories();

private:
  std::string homeDirectory_;
  std::shared_ptr<const ProbeFileSystem> fileSystem_;
  std::vector<std::string> probePaths_;
};

} // namespace tarnwick
