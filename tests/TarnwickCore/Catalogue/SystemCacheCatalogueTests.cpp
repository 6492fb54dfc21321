#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"
#include "TarnwickCore/Catalogue/SystemToolOutput.h"
#include "TestSupport/FakeCommandRunner.h"
#include "TestSupport/RecordedToolOutput.h"
#include "TestSupport/ScopedNoDacOverride.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

namespace tarnwick {
namespace {

using quillane::test::FakeCommandRunner;
using quillane::test::runCommand;
using quillane::test::ScopedNoDacOverride;
using quillane::test::shellQuote;
using quillane::test::TempTree;
namespace recorded = quillane::test::recorded;

const SystemCacheItem *findItem(const std::vector<SystemCacheItem> &items, const std::string &id) {
  const auto found = std::ranges::find(items, id, &SystemCacheItem::id);
  return found == items.end() ? nullptr : &*found;
}

// du of the named paths, less the folders' own blocks (which cleaning
// leaves and the catalogue does not count).
std::int64_t duOracle(const std::string &root, const std::string &paths) {
  const std::string script = "cd " + shellQuote(root) + " && du -scB1 " + paths + " | tail -n1 | cut -f1; find " +
                             paths + " -type d -printf '%b\\n' | awk '{s+=$1*512} END {print s+0}'";
  const std::string out = runCommand(script);
  const std::size_t newline = out.find('\n');
  return std::stoll(out.substr(0, newline)) - std::stoll(out.substr(newline + 1));
}

// A scratch stand-in for /var, with the system folders in their places.
class SystemCacheCatalogueTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const auto &[file, bytes] :
         {std::pair{"cache/apt/archives/zlib1g_1.2.13_amd64.deb", 90'000}, {"cache/apt/archives/lock", 3000},
          {"cache/apt/archives/libc6_2.36-9_amd64.deb", 2'800'000}, {"cache/apt/archives/elsewhere/note.deb", 7000},
          {"cache/apt/archives/partial/gcc-12_12.2.0-14_amd64.deb", 400'000}, {"crash/_usr_bin_gedit.1000.crash", 120'000},
          {"log/journal/0a1b2c/system.journal", 8 << 20}, {"log/journal/0a1b2c/user-1000@0005f.journal~", 300'000},
          {"lib/snapd/snaps/core20_2182.snap", 650'000}, {"lib/snapd/snaps/firefox_3836.snap", 1'200'000}})
      var.writeFile(file, bytes);
    runner.installed = {"apt-get", "journalctl", "pkexec"};
  }

  SystemCacheCatalogue catalogue(bool asRoot) {
    return SystemCacheCatalogue(runner, {var.path("cache/apt/archives"), var.path("log/journal"), var.path("crash"),
                                         var.path("lib/snapd/snaps")},
                                asRoot);
  }

  TempTree var;
  FakeCommandRunner runner;
};

TEST_F(SystemCacheCatalogueTest, FolderSizesAgreeWithDu) {
  const std::vector<SystemCacheItem> items = catalogue(true).measure();
  const struct {
    const char *id;
    const char *folder;
    const char *counted;
  } cases[] = {
      {"apt-archives", "cache/apt/archives", "*.deb partial"}, {"journal", "log/journal", "."},
      {"crash-reports", "crash", "."},
  };
  for (const auto &[id, folder, counted] : cases) {
    const SystemCacheItem *item = findItem(items, id);
    ASSERT_NE(item, nullptr) << id;
    ASSERT_TRUE(item->sizeBytes) << id << ": " << item->sizeNote;
    EXPECT_EQ(*item->sizeBytes, duOracle(var.path(folder), counted)) << id;
  }
  EXPECT_EQ(items.size(), 3u) << "no snap, flatpak or container tool is installed";
}

TEST_F(SystemCacheCatalogueTest, MissingFoldersAreLeftOutAndUnreadableOnesSaySo) {
  runCommand("rm -r " + shellQuote(var.path("crash")) + " " + shellQuote(var.path("log")));
  std::vector<SystemCacheItem> items = catalogue(true).measure();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].id, "apt-archives");
  const ScopedNoDacOverride asAnyone;
  ::chmod(var.path("cache/apt/archives/partial").c_str(), 0);
  items = catalogue(true).measure();
  EXPECT_NE(items[0].sizeNote.find("1 folder below could not be read"), std::string::npos) << items[0].sizeNote;
  ::chmod(var.path("cache/apt/archives").c_str(), 0);
  items = catalogue(true).measure();
  ::chmod(var.path("cache/apt/archives").c_str(), 0755);
  ::chmod(var.path("cache/apt/archives/partial").c_str(), 0755);
  EXPECT_FALSE(items[0].sizeBytes);
  EXPECT_NE(items[0].sizeNote.find("not readable"), std::string::npos);
}

// What cleaning runs depends on who we are and what is installed; nothing
// runs when the command cannot.
TEST_F(SystemCacheCatalogueTest, CleaningRunsTheOwnersCommandThroughPkexecWhenNotRoot) {
  const struct {
    bool asRoot;
    std::set<std::string> installed;
    const char *aptCommand; // empty: not cleanable
  } cases[] = {
      {true, {"apt-get", "journalctl"}, "/usr/bin/apt-get clean"},
      {false, {"apt-get", "journalctl", "pkexec"}, "/usr/bin/pkexec /usr/bin/apt-get clean"},
      {false, {"apt-get", "journalctl"}, ""}, {true, {"journalctl"}, ""},
  };
  for (const auto &[asRoot, installed, aptCommand] : cases) {
    runner.installed = installed;
    runner.requests.clear();
    SystemCacheCatalogue system = catalogue(asRoot);
    const std::vector<SystemCacheItem> items = system.measure();
    const SystemCacheItem &apt = *findItem(items, "apt-archives");
    const SystemCacheCleaning outcome = system.clean(apt);
    const std::string expected = aptCommand;
    EXPECT_EQ(shellQuoted(apt.cleanArgv), expected);
    EXPECT_EQ(apt.isCleanable(), !expected.empty());
    EXPECT_EQ(runner.ranLines(), expected.empty() ? std::vector<std::string>{} : std::vector{expected}) << expected;
    EXPECT_EQ(outcome.succeeded(), !expected.empty());
    if (expected.empty()) {
      EXPECT_NE(apt.instead.find("apt-get clean"), std::string::npos) << apt.instead;
    } else {
      EXPECT_FALSE(runner.requests.back().ownProcessGroup) << "pkexec must be able to ask on the terminal";
    }
  }
  const SystemCacheItem crash = *findItem(catalogue(true).measure(), "crash-reports");
  runner.requests.clear();
  EXPECT_FALSE(catalogue(true).clean(crash).succeeded());
  EXPECT_TRUE(runner.requests.empty()) << "crash reports have no owner's command";
}

TEST_F(SystemCacheCatalogueTest, ToolCachesComeFromTheToolsOwnReports) {
  runner.installed = {"snap", "flatpak", "docker", "podman", "pkexec"};
  runner.reply("snap list --all", recorded::snapListAll);
  runner.reply("docker system df --format '{{json .}}'", recorded::dockerSystemDf);
  runner.reply("podman system df --format json", recorded::podmanSystemDf);
  const std::vector<SystemCacheItem> items = catalogue(false).measure();
  const struct {
    const char *id;
    std::optional<std::int64_t> bytes;
    const char *command;
  } cases[] = {
      {"snap-core20-2182", 650'000, "/usr/bin/pkexec /usr/bin/snap remove core20 --revision 2182"},
      {"snap-firefox-3836", 1'200'000, "/usr/bin/pkexec /usr/bin/snap remove firefox --revision 3836"},
      {"snap-gnome-42-2204-141", std::nullopt, "/usr/bin/pkexec /usr/bin/snap remove gnome-42-2204 --revision 141"},
      {"flatpak-unused", std::nullopt, "/usr/bin/flatpak uninstall --unused -y"},
      {"docker-images", 1'544'000'000, "/usr/bin/docker image prune -f"},
      {"docker-build-cache", 3'821'000'000, "/usr/bin/docker builder prune -f"},
      {"podman-images", 168'247'296, "/usr/bin/podman image prune -f"},
  };
  for (const auto &[id, bytes, command] : cases) {
    const SystemCacheItem *item = findItem(items, id);
    ASSERT_NE(item, nullptr) << id;
    // Snap files are allocated whole; the expected sizes are their lengths.
    if (bytes && std::string_view(id).starts_with("snap"))
      EXPECT_GE(item->sizeBytes.value_or(0), *bytes) << id;
    else
      EXPECT_EQ(item->sizeBytes, bytes) << id;
    if (!bytes) {
      EXPECT_FALSE(item->sizeNote.empty()) << id << ": an unmeasured item says why";
    }
    EXPECT_EQ(shellQuoted(item->cleanArgv), command);
  }
  EXPECT_EQ(items.size(), 3 + std::size(cases)) << "the folders, then the tools";
  for (const CommandRequest &request : runner.requests)
    EXPECT_TRUE(request.ownProcessGroup && request.timeout == std::chrono::seconds(20)) << shellQuoted(request.argv);
}

TEST_F(SystemCacheCatalogueTest, AToolThatFailsLeavesItsSizeUnreadAndTheBatchGoesOn) {
  runner.installed = {"docker", "snap", "apt-get"};
  runner.reply("docker system df --format '{{json .}}'", "", 1, recorded::dockerDenied);
  runner.replies.insert_or_assign("snap list --all", Failure::because("cannot run"));
  runner.reply("/usr/bin/docker image prune -f", "", 1, "Error response from daemon: a prune operation is already running\n");
  SystemCacheCatalogue system = catalogue(true);
  const std::vector<SystemCacheItem> items = system.measure();
  const SystemCacheItem &images = *findItem(items, "docker-images");
  EXPECT_FALSE(images.sizeBytes);
  EXPECT_NE(images.sizeNote.find("permission denied"), std::string::npos) << images.sizeNote;
  EXPECT_FALSE(findItem(items, "snap-revisions")->isCleanable());
  std::vector<std::string> problems;
  for (const SystemCacheItem &item : items)
    problems.push_back(system.clean(item).problem);
  EXPECT_EQ(runner.ranLines().back(), "/usr/bin/docker builder prune -f") << "every item was tried";
  const auto position = findItem(items, "docker-images") - items.data();
  EXPECT_NE(problems[static_cast<std::size_t>(position)].find("exit status 1: Error response"), std::string::npos);
}

TEST(SystemToolOutputTest, ByteCountsInTheToolsUnits) {
  const struct {
    const char *text;
    std::optional<std::int64_t> bytes;
  } cases[] = {
      {"0B", 0}, {"12.5kB", 12'500}, {"1.544GB", 1'544'000'000}, {" 7 ", 7}, {"3 MiB", 3 << 20},
      {"2.5GiB", 2'684'354'560}, {"", std::nullopt}, {"-1GB", std::nullopt}, {"1e3GB", std::nullopt},
      {"nan", std::nullopt}, {"1.2XB", std::nullopt}, {"1..2GB", std::nullopt}, {"99999999999PB", std::nullopt},
  };
  for (const auto &[text, bytes] : cases)
    EXPECT_EQ(SystemToolOutput::byteCount(text), bytes) << '"' << text << '"';
}

// The tools' recorded outputs are read through the catalogue, in its own
// test; these are the edge cases around them.
TEST(SystemToolOutputTest, DisabledSnapRevisionsFromTheNotesColumn) {
  const struct {
    const char *output;
    std::size_t found;
  } cases[] = {
      {"", 0},
      {"core20 1 2182 latest canonical disabled\n", 0}, // no header
      {"Name Version Rev Tracking Publisher Notes\nx 1 x7 - - disabled\n", 1},
      {"Name Version Rev Tracking Publisher Notes\n../etc 1 7 - - disabled\n", 0},
      {"Name Version Rev Tracking Publisher Notes\nfoo 1 7;rm - - disabled\n", 0},
      {"Name Version Rev Tracking Publisher Notes\n-purge 1 7 - - disabled\n", 0}, // would be an option
      {"Name Version Rev Tracking Publisher Notes\nfoo 1 7 - - undisabled\n", 0},
      {"Name Version Rev Tracking Publisher Notes\r\nfoo 1 7 - - base,disabled\r\n", 1},
  };
  for (const auto &[output, found] : cases)
    EXPECT_EQ(SystemToolOutput::disabledSnaps(output).size(), found) << output;
}

TEST(SystemToolOutputTest, ContainerEnginesReclaimableBytes) {
  const struct {
    const char *name;
    ContainerReclaimable (*parse)(std::string_view);
    std::string output;
    ContainerReclaimable expected;
  } cases[] = {
      {"podman lines", SystemToolOutput::podmanSystemDf, R"j({"Type":"Images","Reclaimable":"168MB (59%)"})j" "\n",
       {168'000'000, std::nullopt}},
      {"docker garbage", SystemToolOutput::dockerSystemDf, "{\"Type\":5}\n{\"Type\":\"Images\",\"Reclaimable\":7}\n[[[[\n{",
       {}},
      {"podman garbage", SystemToolOutput::podmanSystemDf, R"j([1,"a",{"Type":"Images","RawReclaimable":-4}])j", {}},
      {"podman huge", SystemToolOutput::podmanSystemDf,
       R"j([{"Type":"Images","RawReclaimable":18446744073709551615}])j", {}},
      {"nul bytes", SystemToolOutput::dockerSystemDf, std::string("{\"Type\":\"Images\0", 16), {}},
  };
  for (const auto &[name, parse, output, expected] : cases)
    EXPECT_EQ(parse(output), expected) << name;
}

} // namespace
} // namespace tarnwick
