#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include <sys/socket.h>
#include <sys/un.h>

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

// Any probe that exists but does not open denies, and is listed with its
// errno; missing probes say nothing.
TEST(FullDiskAccessCoordinatorTest, AnyProbeThatExistsButDoesNotOpenDenies) {
  struct Case {
    std::vector<Probe> probes;
    Status check;
    Status trigger;
    std::vector<std::string> unreadable;
  };
  const Case cases[] = {
      {{}, Status::undetermined, Status::undetermined, {}},
      {{Probe::missing, Probe::missing}, Status::undetermined, Status::undetermined, {}},
      {{Probe::missing, Probe::unreadable, Probe::file}, Status::denied, Status::granted, {"/probe1"}},
      {{Probe::file, Probe::unreadable}, Status::denied, Status::granted, {"/probe1"}},
      {{Probe::folder, Probe::file}, Status::granted, Status::granted, {}}, // listed, not read
      {{Probe::unreadable, Probe::unreadable}, Status::denied, Status::denied, {"/probe0", "/probe1"}},
  };
  for (const Case &c : cases) {
    auto files = std::make_shared<TableProbes>();
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < c.probes.size(); ++i) {
      paths.push_back("/probe" + std::to_string(i));
      files->probes[paths.back()] = c.probes[i];
    }
    FullDiskAccessCoordinator coordinator("/home/ann", files, paths);
    const AccessCheck check = coordinator.check();
    EXPECT_EQ(check.status, c.check) << c.probes.size();
    EXPECT_EQ(coordinator.triggerRegistration(), c.trigger) << c.probes.size();
    std::vector<std::string> unreadable;
    for (const Failure &failure : check.unreadable) {
      unreadable.push_back(failure.path);
      EXPECT_EQ(failure.errorNumber, EACCES) << failure.path;
    }
    EXPECT_EQ(unreadable, c.unreadable) << c.probes.size();
  }
}

// The user's probes are their folders where the environment puts them: one
// moved away from its default is read there, and its default is not.
TEST(FullDiskAccessCoordinatorTest, TheUsersProbesFollowTheirEnvironment) {
  struct Case {
    std::string UserEnvironment::*folder;
    std::string probe; // below the folder
    std::string byDefault;
  };
  const Case cases[] = {{&UserEnvironment::cacheHome, "", "/home/ann/.cache"},
                        {&UserEnvironment::configHome, "", "/home/ann/.config"},
                        {&UserEnvironment::dataHome, "", "/home/ann/.local/share"},
                        {&UserEnvironment::dataHome, "/Trash", "/home/ann/.local/share/Trash"}};
  for (const Case &c : cases) {
    UserEnvironment user{"/home/ann", "/home/ann/.local/share", "/home/ann/.cache", "/home/ann/.config"};
    user.*c.folder = "/srv/moved";
    auto files = std::make_shared<TableProbes>();
    files->probes = {{"/home/ann", Probe::folder}, {"/srv/moved" + c.probe, Probe::unreadable},
                     {c.byDefault, Probe::unreadable}};
    std::vector<std::string> unreadable;
    for (const Failure &failure : FullDiskAccessCoordinator(user, files).check().unreadable)
      unreadable.push_back(failure.path);
    EXPECT_EQ(unreadable, std::vector<std::string>{"/srv/moved" + c.probe}) << c.byDefault;
  }
  // One folder set for two purposes is probed, and listed, once.
  auto files = std::make_shared<TableProbes>();
  files->probes = {{"/srv/shared", Probe::unreadable}};
  const UserEnvironment shared{"/home/ann", "/home/ann/.local/share", "/srv/shared", "/srv/shared"};
  EXPECT_EQ(FullDiskAccessCoordinator(shared, files).check().unreadable.size(), 1u);
}

// The real probes: what exists but does not open (a socket, even for root)
// is listed with its errno; what is missing, or below a file, is not.
TEST(FullDiskAccessCoordinatorTest, TheSystemProbesNameTheErrnoOfWhatDoesNotOpen) {
  quillane::test::TempTree tree;
  tree.writeFile("file", 10);
  const std::string socketPath = tree.path("socket");
  UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener.get(), reinterpret_cast<const sockaddr *>(&address), sizeof(address)), 0);
  FullDiskAccessCoordinator coordinator(tree.path(""), ProbeFileSystem::system(),
                                        {tree.path("missing"), tree.path("file/below"), tree.path("file"), socketPath});
  const AccessCheck check = coordinator.check();
  ASSERT_EQ(check.unreadable.size(), 1u);
  EXPECT_EQ(check.unreadable[0].path, socketPath);
  EXPECT_EQ(check.unreadable[0].errorNumber, ENXIO);
  EXPECT_EQ(check.status, Status::denied);
}

} // namespace
} // namespace tarnwick
