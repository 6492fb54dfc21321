#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"

#include "TarnwickCore/Support/UniqueFd.h"

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
  bool canList(const std::string &path) const override {
    DIR *listing = ::opendir(path.c_str());
    if (!listing)
      return false;
    ::closedir(listing);
    return true;
  }
};

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

std::shared_ptr<const ProbeFileSystem> ProbeFileSystem::system() {
  static const auto shared = std::make_shared<const SystemProbeFileSystem>();
  return shared;
}

FullDiskAccessCoordinator::FullDiskAccessCoordinator(std::string homeDirectory,
                                                     std::shared_ptr<const ProbeFileSystem> fileSystem)
    : FullDiskAccessCoordinator(homeDirectory, std::move(fileSystem),
                                {homeDirectory + "/Library/Safari/CloudTabs.db",
                                 homeDirectory + "/Library/Safari/Bookmarks.db", homeDirectory + "/Library/Cookies",
                                 homeDirectory + "/Library/HTTPStorages",
                                 "/Library/Application Support/com.apple.TCC/TCC.db"}) {}

FullDiskAccessCoordinator::FullDiskAccessCoordinator(std::string homeDirectory,
                                                     std::shared_ptr<const ProbeFileSystem> fileSystem,
                                                     std::vector<std::string> probePaths)
    : homeDirectory_(std::move(homeDirectory)), fileSystem_(std::move(fileSystem)),
      probePaths_(std::move(probePaths)) {}

FullDiskAccessCoordinator::FullDiskAccessCoordinator(const UserEnvironment &user)
    : FullDiskAccessCoordinator(user.homeDirectory, ProbeFileSystem::system()) {}

FullDiskAccessStatus FullDiskAccessCoordinator::checkStatus() const {
  for (const std::string &probe : probePaths_) {
    if (fileSystem_->isReadable(probe))
      return FullDiskAccessStatus::granted;
    if (fileSystem_->exists(probe) && !fileSystem_->isReadable(probe))
      return FullDiskAccessStatus::denied;
  }
  return FullDiskAccessStatus::undetermined;
}

FullDiskAccessStatus FullDiskAccessCoordinator::triggerRegistration() const {
  for (const std::string &probe : probePaths_)
    if (fileSystem_->readOneByte(probe) || fileSystem_->canList(probe))
      return FullDiskAccessStatus::granted;
  return checkStatus();
}

void FullDiskAccessCoordinator::openSystemSettingsFDA() const {}

const std::vector<FDAPathCategory> &FullDiskAccessCoordinator::transparencyCategories() {
  static const std::vector<FDAPathCategory> rows = {
      {"xcode_simulators", "Xcode & Simulator Caches",
       "Reclaim 20GB\u2013100GB from legacy DerivedData, simulator runtimes and device symbols.",
       {"~/Library/Developer/Xcode/DerivedData", "~/Library/Developer/CoreSimulator/Caches"}, false},
      {"package_managers", "Package Managers & Build Tools",
       "Clear multi-gigabyte stale caches from Homebrew, npm, Yarn, pnpm, Cargo and CocoaPods.",
       {"~/Library/Caches/Homebrew", "~/.npm", "~/.cargo/registry/cache"}, false},
      {"containers_vms", "Docker & Container VM Layers",
       "Remove orphan builder cache layers and virtual machine logs.",
       {"~/Library/Containers/com.docker.docker/Data/cache", "~/.orbstack/log"}, false},
      {"creator_caches", "Creator Studio Scratch Disks",
       "Purge heavy rendered previews from Adobe Premiere, After Effects, Final Cut Pro and DaVinci Resolve.",
       {"~/Library/Application Support/Adobe/Common/Media Cache Files", "~/Movies/CacheClip"}, false},
      {"browser_bloat", "Browser Shader & ServiceWorker Caches",
       "Remove bloated GPU shader caches and service worker data without touching logins or cookies.",
       {"~/Library/Caches/Google/Chrome", "~/Library/Caches/company.thebrowser.Browser"}, false},
      {"system_logs", "System & User Diagnostics Logs", "Clean rotating crash logs and diagnostic dumps.",
       {"~/Library/Logs", "~/Library/Caches"}, false},
  };
  return rows;
}

} // namespace tarnwick
