// `quillane trash --list`, `--restore` and `--empty`: what is in the Trash.
#include "TarnwickApp/Commands/TrashCommandRun.h"
#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TestSupport/ScopedMount.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace quillane::test {
namespace {

namespace fs = std::filesystem;

// What `quillane trash --list --json` (stderr apart) and trash-list show
// from the home: (original path, date).
std::set<std::pair<std::string, std::string>> listedAsJson(const TempTree &home) {
  const auto document = nlohmann::json::parse(inHome(home, "$Q trash --list --json 2>/dev/null"));
  std::set<std::pair<std::string, std::string>> items;
  for (const auto &item : document.at("items"))
    if (item.at("originalPath").get<std::string>().starts_with(home.root() + "/"))
      items.emplace(item.at("originalPath").get<std::string>(), item.at("deletionDate").get<std::string>());
  return items;
}
auto listedByTrashCli(const TempTree &home) { return trashCliItems(home.root(), home.path(".local/share"), home.root()); }

TEST(TrashContentsCommand, ListsAndRestoresWhatTrashCliSees) {
  if (!installed("trash-put"))
    GTEST_SKIP() << "trash-cli is not installed";
  TempTree home;
  home.writeFile("docs/a.txt", 5000);
  home.writeFile("docs/b", 10);
  home.writeFile("c d", 10);
  inHome(home, "trash-put docs/a.txt docs/b 'c d'");
  home.writeFile("docs/b", 20); // takes the name back
  EXPECT_EQ(listedAsJson(home), listedByTrashCli(home));
  EXPECT_EQ(listedAsJson(home).size(), 3u);
  EXPECT_TRUE(contains(inHome(home, "$Q trash --list"), home.path("c d"))); // the text listing too

  // Relative to the working folder; nothing replaced; nothing to restore.
  const std::string out = inHome(home, "cd docs && $Q trash --restore a.txt b ../nothing 2>&1; echo \"exit $?\"");
  EXPECT_TRUE(contains(out, "restored " + home.path("docs/a.txt"))) << out;
  EXPECT_TRUE(contains(out, "failed   " + home.path("docs/b") + ":")) << out;
  EXPECT_TRUE(contains(out, "failed   " + home.path("nothing") + ":")) << out;
  EXPECT_TRUE(contains(out, "exit 1")) << out;
  EXPECT_EQ(fs::file_size(home.path("docs/a.txt")), 5000u);
  EXPECT_EQ(fs::file_size(home.path("docs/b")), 20u);
  EXPECT_EQ(listedByTrashCli(home).size(), 2u);
}

TEST(TrashContentsCommand, EmptiesOnlyWhenToldAndReportsWhatItFreed) {
  if (!installed("trash-put") || !installed("script"))
    GTEST_SKIP() << "trash-cli or script is not installed";
  TempTree home;
  home.writeFile("big", 100000);
  home.writeFile("small", 10);
  inHome(home, "trash-put big small");
  // No terminal to ask on, or the answer is no: nothing goes.
  QuillaneRun run = trash(home, "--empty");
  EXPECT_EQ(run.status, 1) << run.out;
  const std::optional<std::string> as = strangerPrefix(home);
  if (!as)
    GTEST_SKIP() << "emptying is tried as root only, as a user whose only trash is the scratch home's";
  const std::string onTerminal = "script -qec \"$Q trash --empty\" /dev/null";
  const std::int64_t bytes = std::stoll(inHome(home, "du -s -B1 -c .local/share/Trash/files/* | tail -1"));
  run.out = inHome(home, "printf 'n\\n' | " + *as + onTerminal + "; echo \"exit $?\"");
  EXPECT_TRUE(contains(run.out, "[y/N]") && contains(run.out, "exit 1")) << run.out;
  EXPECT_EQ(listedByTrashCli(home).size(), 2u);
  run.out = inHome(home, "printf 'y\\n' | " + *as + onTerminal + "; echo \"exit $?\"");
  EXPECT_TRUE(contains(run.out, "2 items removed, " + tarnwick::formatByteCount(bytes) + " freed") &&
              contains(run.out, "exit 0"))
      << run.out;
  EXPECT_EQ(listedByTrashCli(home).size(), 0u);
  EXPECT_EQ(listing(home.path(".local/share/Trash")), (std::set<std::string>{"files", "info"}));
}

// A size that leaves something out (here a file system mounted inside an
// item, which is never entered) is shown as a lower bound, and so is any
// total it is part of.
TEST(TrashContentsCommand, ASizeThatLeavesSomethingOutIsALowerBoundAndSoIsTheTotal) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting inside the Trash needs root";
  TempTree home;
  home.writeFile(".local/share/Trash/files/whole", 10'000);
  home.makeDirectory(".local/share/Trash/files/part/mnt");
  home.makeDirectory(".local/share/Trash/info");
  for (const char *name : {"whole", "part"})
    std::ofstream(home.path(".local/share/Trash/info/") + name + ".trashinfo")
        << "[Trash Info]\nPath=" << home.path(name) << "\nDeletionDate=2026-01-02T03:04:05\n";
  const ScopedMount inside = ScopedMount::tmpfs(home.path(".local/share/Trash/files/part/mnt"));
  ASSERT_TRUE(inside.mounted());
  const std::string listed = inHome(home, "$Q trash --list");
  std::istringstream lines(listed);
  int lowerBounds = 0;
  for (std::string line; std::getline(lines, line);)
    if (contains(line, ">=")) {
      ++lowerBounds;
      EXPECT_TRUE(contains(line, home.path("part")) || contains(line, "2 items")) << line;
    }
  EXPECT_EQ(lowerBounds, 2) << listed;
}

TEST(TrashContentsCommand, ATrashThatCannotBeReadIsNeverCalledEmpty) {
  TempTree home;
  home.writeFile(".local/share/Trash/files/kept", 10);
  home.writeFile("decoy/kept.trashinfo", 1);
  home.makeSymlink(".local/share/Trash/info", home.path("decoy")); // refused, never read through
  int status = 0;
  const std::string listed = inHome(home, "$Q trash --list 2>&1", &status);
  EXPECT_EQ(status, 1) << listed;
  const std::optional<std::string> as = strangerPrefix(home);
  if (!as)
    GTEST_SKIP() << "emptying is tried as root only, as a user whose only trash is the scratch home's";
  const std::string out = inHome(home, *as + "$Q trash --empty --yes 2>&1; echo \"exit $?\"");
  EXPECT_FALSE(contains(out, "The Trash is empty")) << out;
  EXPECT_TRUE(contains(out, "exit 1")) << out;
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/kept")));
  EXPECT_TRUE(fs::exists(home.path("decoy/kept.trashinfo")));
}

} // namespace
} // namespace quillane::test
