#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"

#include <gtest/gtest.h>

#include <map>

namespace tarnwick {
namespace {

using Status = FullDiskAccessStatus;

// Each probe path is missing, unreadable, a readable file or a readable folder.
enum class Probe { missing, unreadable, file, folder };

class TableProbes final : public ProbeFileSystem {
public:
  std::map<std::string, Probe> probes;
  Probe of(const std::string &path) const {
    auto found = probes.find(path);
    return found == probes.end() ? Probe::missing : found->second;
  }
  bool isReadable(const std::string &path) const override { return of(path) >= Probe::file; }
  bool exists(const std::string &path) const override { return of(path) != Probe::missing; }
  bool readOneByte(const std::string &path) const override { return of(path) == Probe::file; }
  bool canList(const std::string &path) const override { return of(path) == Probe::folder; }
};

TEST(FullDiskAccessCoordinatorTest, TheFirstExistingProbeDecides) {
  struct Case {
    std::vector<Probe> probes;
    Status check;
    Status trigger;
  };
  const Case cases[] = {
      {{}, Status::undetermined, Status::undetermined},
      {{Probe::missing, Probe::missing}, Status::undetermined, Status::undetermined},
      {{Probe::missing, Probe::unreadable, Probe::file}, Status::denied, Status::granted},
      {{Probe::file, Probe::unreadable}, Status::granted, Status::granted},
      {{Probe::folder}, Status::granted, Status::granted}, // listed, not read
      {{Probe::unreadable}, Status::denied, Status::denied},
  };
  for (const Case &c : cases) {
    auto files = std::make_shared<TableProbes>();
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < c.probes.size(); ++i) {
      paths.push_back("/probe" + std::to_string(i));
      files->probes[paths.back()] = c.probes[i];
    }
    FullDiskAccessCoordinator coordinator("/home/ann", files, paths);
    EXPECT_EQ(coordinator.checkStatus(), c.check) << c.probes.size();
    EXPECT_EQ(coordinator.triggerRegistration(), c.trigger) << c.probes.size();
  }
}

} // namespace
} // namespace tarnwick
