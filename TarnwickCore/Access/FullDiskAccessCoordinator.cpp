#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

class SystemProbeFileSystem final : public ProbeFileSystem {
public:
  bool isReadable(const std::string &path) const override { return ::access(path.c_str(), R_OK) == 0; }
  bool exists(const std::string &path) const override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }
  bool readOneByte(const std::string &path) const override {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file)
      return false;
    char byte;
    // The data is discarded; opening is what counts.
    [[maybe_unused]] auto ignored = ::read(file.get(), &byte, 1);
    return true;
  }
  int openError(const std::string &path) const override {
    // A folder opens like a file; opening is what reading it needs first.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    return file ? 0 : errno;
  }
  bool canList(const std::string &path) const override {
    DIR *listing = ::opendir(path.c_str());
    if (!listing)
      return false;
    ::closedir(listing);
    return true;
  }
};

// The user's folders where their environment puts them, the home Trash in
// their data folder, then the system's; each once, as settings may name
// one folder for two purposes.
std::vector<std::string> probesOf(const UserEnvironment &user) {
  std::string trash = user.dataHome;
  appendPathComponent(trash, "Trash");
  std::vector<std::string> probes;
  for (const std::string &path : {user.homeDirectory, user.cacheHome, user.configHome, user.dataHome, trash,
                                  std::string("/var/cache"), std::string("/var/log"), std::string("/var/tmp")})
    if (std::find(probes.begin(), probes.end(), path) == probes.end())
      probes.push_back(path);
  return probes;
}

} // namespace

std::string_view rawValue(FullDiskAccessStatus status) {
  switch (status) {
  case FullDiskAccessStatus::granted: return "granted";
  case FullDiskAccessStatus::denied: return "denied";
  case FullDiskAccessStatus::undetermined: return "undetermined";
  }
  return "undetermined";
}

std::optional<FullDiskAccessStatus> fullDiskAccessStatusFromRawValue(std::string_view text) {
  for (auto status : {FullDiskAccessStatus::granted, FullDiskAccessStatus::denied, FullDiskAccessStatus::undetermined})
    if (rawValue(status) == text)
      return status;
  return std::nullopt;
}

std::string_view statusWords(FullDiskAccessStatus status) {
  switch (status) {
  case FullDiskAccessStatus::granted: return "All readable";
  case FullDiskAccessStatus::denied: return "Some folders unreadable";
  case FullDiskAccessStatus::undetermined: return "Nothing to check";
  }
  return "Nothing to check";
}

int ProbeFileSystem::openError(const std::string &path) const {
  if (!exists(path))
    return ENOENT;
  return isReadable(path) || canList(path) ? 0 : EACCES;
}

std::shared_ptr<const ProbeFileSystem> ProbeFileSystem::system() {
  static const auto shared = std::make_shared<const SystemProbeFileSystem>();
  return shared;
}

FullDiskAccessCoordinator::FullDiskAccessCoordinator(std::string homeDirectory,
                                                     std::shared_ptr<const ProbeFileSystem> fileSystem,
                                                     std::vector<std::string> probePaths)
    : homeDirectory_(std::move(homeDirectory)), fileSystem_(std::move(fileSystem)),
      probePaths_(std::move(probePaths)) {}

FullDiskAccessCoordinator::FullDiskAccessCoordinator(const UserEnvironment &user,
                                                     std::shared_ptr<const ProbeFileSystem> fileSystem)
    : FullDiskAccessCoordinator(user.homeDirectory, std::move(fileSystem), probesOf(user)) {}

AccessCheck FullDiskAccessCoordinator::check() const {
  AccessCheck result;
  bool anyOpened = false;
  for (const std::string &probe : probePaths_) {
    const int error = fileSystem_->openError(probe);
    if (error == 0)
      anyOpened = true;
    else if (error != ENOENT && error != ENOTDIR) // what is not there cannot be unreadable
      result.unreadable.push_back({"open", probe, error, {}});
  }
  result.status = !result.unreadable.empty() ? FullDiskAccessStatus::denied
                  : anyOpened                ? FullDiskAccessStatus::granted
                                             : FullDiskAccessStatus::undetermined;
  return result;
}

FullDiskAccessStatus FullDiskAccessCoordinator::checkStatus() const { return check().status; }

FullDiskAccessStatus FullDiskAccessCoordinator::triggerRegistration() const {
  for (const std::string &probe : probePaths_)
    if (fileSystem_->readOneByte(probe) || fileSystem_->canList(probe))
      return FullDiskAccessStatus::granted;
  return checkStatus();
}

void FullDiskAccessCoordinator::openSystemSettingsFDA() const {}

const std::vector<FDAPathCategory> &FullDiskAccessCoordinator::transparencyCategories() {
  static const std::vector<FDAPathCategory> rows = {
      {"developer_tools", "Developer Tool Caches",
       "Find the downloads and build caches of npm, pip, Cargo, Go, Gradle and Maven that can be fetched again.",
       {"~/.npm", "~/.cache/pip", "~/.cargo/registry/cache", "~/.gradle/caches"}, false},
      {"containers_vms", "Containers and Virtual Machines",
       "Show the space container images and virtual machine disks take.",
       {"~/.local/share/containers", "~/.local/share/libvirt"}, false},
      {"creator_caches", "Creative Application Caches",
       "Find the rendered previews and media caches of editors such as Blender, Kdenlive and DaVinci Resolve.",
       {"~/.cache/blender", "~/.cache/kdenlive"}, false},
      {"browser_caches", "Browser Caches",
       "Find the web and GPU shader caches of Firefox, Chrome, Chromium and Brave, never logins or cookies.",
       {"~/.cache/mozilla", "~/.cache/google-chrome", "~/.cache/chromium"}, false},
      {"trash", "Trash", "Show what the Trash holds, and empty it when asked.", {"~/.local/share/Trash"}, false},
      {"system_logs", "System Caches and Logs", "Show how much the system's package caches and logs take.",
       {"/var/cache", "/var/log"}, false},
  };
  return rows;
}

} // namespace tarnwick
