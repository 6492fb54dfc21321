// `quillane caches`: the user's caches through the real binary, and the
// system's (--system) in-process with a fake command runner.
#include "TarnwickApp/Commands/CachesCommand.h"
#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickApp/Commands/SystemCachesCommand.h"
#include "TarnwickCore/Catalogue/LinuxFakeHome.h"
#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"
#include "TestSupport/FakeCommandRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace quillane::test {
namespace {

namespace fs = std::filesystem;

QuillaneRun caches(const TempTree &home, const std::string &arguments) {
  return runQuillaneAtHome(home, "caches " + arguments);
}

// Browsers keep session files beside their caches; cleaning the cache
// leaves them where they are and says so.
TEST(CachesCommandTest, CleanMovesTheTickedItemsOnlyWhenConfirmed) {
  TempTree home;
  home.writeFile(".cache/huggingface/hub/models--tiny/blob", 400'000);
  home.writeFile(".cache/pip/wheels/ab/pkg.whl", 200'000);
  home.writeFile(".npm/_cacache/index", 50'000);
  home.writeFile("Documents/report.txt", 10'000);
  home.writeFile(".cache/google-chrome/Default/Cookies", 4000);
  home.writeFile(".cache/google-chrome/Default/Cache/data_0", 90'000);
  QuillaneRun run = caches(home, "--clean");
  EXPECT_EQ(run.status, 1) << "no terminal to ask on";
  EXPECT_NE(run.out.find("not a terminal"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(home.path(".cache/pip")));

  run = caches(home, "--clean --category 'Local AI Models & Caches (Ollama / LM Studio)' --yes");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Nothing to clean"), std::string::npos) << "the model cache is not ticked by default";

  run = caches(home, "--clean --yes");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("3 of 3 moved to the Trash"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("freed when the Trash is emptied"), std::string::npos) << "nothing is freed before";
  EXPECT_NE(run.out.find("kept     " + home.path(".cache/google-chrome/Default/Cookies")), std::string::npos) << run.out;
  for (const char *path : {".local/share/Trash/files/pip", ".local/share/Trash/files/_cacache",
                           ".local/share/Trash/files/Cache", ".cache/huggingface/hub", "Documents/report.txt",
                           ".cache/google-chrome/Default/Cookies"})
    EXPECT_TRUE(fs::exists(home.path(path))) << path;
  for (const char *path : {".cache/pip", ".cache/google-chrome/Default/Cache"})
    EXPECT_FALSE(fs::exists(home.path(path))) << path;
}

// Which rows the catalogue finds is its own suite's; the command lists them
// all, and the user's Trash beside them, largest first, as JSON or text.
// The Trash folders of other mounts are listed too, and tests running beside
// this one may mount some, so only the home's rows are counted.
TEST(CachesCommandLinuxHomeTest, ListsEveryRowAndTheTrashLargestFirst) {
  const LinuxFakeHome fake;
  const QuillaneRun json = runQuillaneAtHome(fake.tree(), "caches --json");
  ASSERT_EQ(json.status, 0) << json.out;
  const auto items = nlohmann::ordered_json::parse(json.out);
  std::map<std::string, nlohmann::ordered_json> byPath;
  for (const auto &item : items)
    if (item["path"].get<std::string>().starts_with(fake.root() + "/"))
      byPath[item["path"].get<std::string>()] = item;
  EXPECT_EQ(byPath.size(), fake.rows().size() + 1) << json.out;
  ASSERT_TRUE(byPath.contains(fake.trash()));
  EXPECT_EQ(byPath[fake.trash()]["name"], "Trash");
  EXPECT_EQ(byPath[fake.trash()]["category"], "Trash Bins");
  EXPECT_EQ(byPath[fake.trash()]["isSelected"], false);

  const QuillaneRun text = runQuillaneAtHome(fake.tree(), "caches");
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find(" in " + std::to_string(items.size()) + " items"), std::string::npos) << text.out;
  std::size_t at = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(items[i - 1]["sizeBytes"].get<std::int64_t>(), items[i]["sizeBytes"].get<std::int64_t>()) << i;
    }
    at = text.out.find("  " + items[i]["path"].get<std::string>() + "\n", at);
    ASSERT_NE(at, std::string::npos) << items[i]["path"] << " is not listed in the JSON's order:\n" << text.out;
  }
}

// Cleaning confirms no path: every ticked row of a Linux home is moved
// because the guard's own rules approve it, and nothing else. A cache
// folder named as the home itself ($XDG_CACHE_HOME=$HOME) is no cache.
// So is a ~/.cache that is a link to a folder elsewhere (kept on another
// disk, say), or that $XDG_CACHE_HOME moves there through a link, whose rows
// are taken at their real location, and a home folder that is a link.
TEST(CachesCommandLinuxHomeTest, CleaningMovesEveryTickedRowByTheGuardsRulesAlone) {
  enum class Link { none, cacheFolder, movedThroughLink, homeFolder };
  for (const Link link : {Link::none, Link::cacheFolder, Link::movedThroughLink, Link::homeFolder}) {
    SCOPED_TRACE(static_cast<int>(link));
    const LinuxFakeHome fake;
    const TempTree disk;
    std::string environment;
    if (link == Link::cacheFolder || link == Link::movedThroughLink)
      fs::rename(fake.path(".cache"), disk.path("cache"));
    if (link == Link::cacheFolder) {
      fs::create_directory_symlink(disk.path("cache"), fake.path(".cache"));
    } else if (link == Link::movedThroughLink) {
      fs::create_directory_symlink(disk.root(), fake.path("disk"));
      environment = "XDG_CACHE_HOME=" + shellQuote(fake.path("disk/cache"));
    } else if (link == Link::homeFolder) {
      fs::create_directory_symlink(fake.root(), disk.path("home"));
      environment = "HOME=" + shellQuote(disk.path("home"));
    }
    const QuillaneRun run = runQuillaneAtHome(fake.tree(), "caches --clean --yes", environment);
    EXPECT_EQ(run.status, 0) << run.out;
    for (const ExpectedRow &row : fake.rows()) {
      const bool moved = link == Link::movedThroughLink && row.path.starts_with(".cache/");
      const std::string path = moved ? disk.path(row.path.substr(1)) : fake.path(row.path);
      EXPECT_EQ(fs::exists(path), !row.ticked) << row.path << "\n" << run.out;
    }
  }

  TempTree home;
  home.writeFile("projects/thesis/chapter.tex", 5000);
  home.writeFile("notes.txt", 100);
  runCommand("touch -d '90 days ago' " + shellQuote(home.path("projects/thesis/chapter.tex")) + " " +
             shellQuote(home.path("projects/thesis")) + " " + shellQuote(home.path("projects")) + " " +
             shellQuote(home.path("notes.txt")));
  QuillaneRun run = runQuillaneAtHome(home, "caches --clean --yes", "XDG_CACHE_HOME=" + shellQuote(home.root()));
  EXPECT_EQ(run.status, 0) << "nothing offered, nothing refused: " << run.out;
  for (const char *path : {"projects/thesis/chapter.tex", "notes.txt"})
    EXPECT_TRUE(fs::exists(home.path(path))) << path << "\n" << run.out;
  // Nor is a folder of the home behind a linked ~/.cache: its entries are
  // listed, but none is ticked only to be refused.
  fs::create_directory_symlink("projects", home.path(".cache"));
  run = runQuillaneAtHome(home, "caches --clean --yes");
  EXPECT_EQ(run.status, 0) << "nothing ticked, nothing refused: " << run.out;
  EXPECT_TRUE(fs::exists(home.path("projects/thesis/chapter.tex"))) << run.out;
}

// --projects lists only the artefacts below the roots it names, and
// --clean takes the ticked ones there (old projects, no environments).
TEST(CachesCommandLinuxHomeTest, ProjectsListsAndCleansOnlyArtefactsBelowItsRoots) {
  const LinuxFakeHome fake;
  std::set<std::string> expected, ticked;
  for (const ExpectedRow &row : fake.rows())
    if (row.path.starts_with("code/old/")) {
      expected.insert(fake.path(row.path));
      if (row.ticked)
        ticked.insert(fake.path(row.path));
    }
  QuillaneRun run = runQuillaneAtHome(fake.tree(), "caches --projects " + shellQuote(fake.path("code/old")) + " --json");
  ASSERT_EQ(run.status, 0) << run.out;
  std::set<std::string> listed;
  for (const auto &item : nlohmann::ordered_json::parse(run.out))
    listed.insert(item["path"].get<std::string>());
  EXPECT_EQ(listed, expected);

  run = runQuillaneAtHome(fake.tree(), "caches --projects " + shellQuote(fake.path("code/old")) + " --clean --yes");
  EXPECT_EQ(run.status, 0) << run.out;
  for (const std::string &path : expected)
    EXPECT_EQ(fs::exists(path), !ticked.contains(path)) << path;
  EXPECT_TRUE(fs::exists(fake.path("code/new/crate/target")));

  // A ROOT that is no folder holds no project: it is said, not listed as none.
  for (const char *root : {"code/missing", "code/old/notrust/package.json"}) {
    run = runQuillaneAtHome(fake.tree(), "caches --projects " + shellQuote(fake.path(root)));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("cannot look for projects in " + fake.path(root)), std::string::npos) << run.out;
  }
}

// The command on a scratch /var with APT's archives, a journal and crash
// reports, as a user who needs pkexec; nothing but the fake runner runs.
class SystemCachesCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    var.writeFile("cache/apt/archives/libc6_2.36-9_amd64.deb", 2'800'000);
    var.writeFile("log/journal/0a1b2c/system.journal", 1 << 20);
    var.writeFile("crash/_usr_bin_gedit.1000.crash", 120'000);
    runner.installed = {"apt-get", "journalctl", "pkexec"};
  }

  QuillaneRun run(const std::string &arguments, bool interactive = false, const std::string &input = {}) {
    std::vector<std::string> words;
    std::istringstream split(arguments);
    for (std::string word; split >> word;)
      words.push_back(word);
    std::vector<char *> argv;
    for (std::string &word : words)
      argv.push_back(word.data());
    // Parsed as the command line parses it: a usage error never runs anything.
    const tarnwick::Result<CommandArguments> parsed = cachesCommandSyntax().parse(argv);
    const tarnwick::Result<SystemCachesOptions> options =
        parsed ? systemCachesOptionsFrom(*parsed) : tarnwick::Result<SystemCachesOptions>(parsed.failure());
    if (!options)
      return {2, options.failure().message(), {}};
    tarnwick::SystemCacheCatalogue catalogue(
        runner, {var.path("cache/apt/archives"), var.path("log/journal"), var.path("crash"), var.path("snaps")}, false);
    char *buffer = nullptr;
    std::size_t size = 0;
    std::FILE *out = ::open_memstream(&buffer, &size);
    std::string answer = input.empty() ? "\n" : input; // fmemopen may refuse an empty buffer
    std::FILE *in = ::fmemopen(answer.data(), answer.size(), "r");
    const int status = runSystemCachesCommand(*options, catalogue, {out, out, in, interactive});
    std::fclose(in);
    std::fclose(out);
    QuillaneRun ran{status, std::string(buffer, size), {}};
    std::free(buffer);
    return ran;
  }

  TempTree var;
  FakeCommandRunner runner;
};

TEST_F(SystemCachesCommandTest, ListsEachItemWithItsSizeAndCommandOrWhatToRunInstead) {
  QuillaneRun ran = run("--system --json");
  ASSERT_EQ(ran.status, 0) << ran.out;
  const auto items = nlohmann::json::parse(ran.out);
  ASSERT_EQ(items.size(), 3u) << ran.out;
  EXPECT_EQ(items[0]["id"], "apt-archives");
  EXPECT_GE(items[0]["sizeBytes"].get<std::int64_t>(), 2'800'000);
  EXPECT_EQ(items[0]["command"], nlohmann::json({"/usr/bin/pkexec", "/usr/bin/apt-get", "clean"}));
  EXPECT_EQ(items[2]["id"], "crash-reports");
  EXPECT_TRUE(items[2]["command"].is_null());
  EXPECT_FALSE(items[2]["instead"].get<std::string>().empty());

  runner.installed.erase("pkexec");
  ran = run("--system");
  ASSERT_EQ(ran.status, 0) << ran.out;
  EXPECT_NE(ran.out.find("instead: run as root: apt-get clean"), std::string::npos) << ran.out;
  EXPECT_NE(ran.out.find("in 3 system items"), std::string::npos) << ran.out;
  EXPECT_TRUE(runner.requests.empty()) << "listing runs no cleaning command";
}

// Nothing runs unless the user named the item and confirmed (or passed
// --yes); what cannot run says what to do instead and the rest still runs.
TEST_F(SystemCachesCommandTest, CleaningRunsOnlyNamedConfirmedCommands) {
  const std::string apt = "/usr/bin/pkexec /usr/bin/apt-get clean";
  const std::string journal = "/usr/bin/pkexec /usr/bin/journalctl --vacuum-time=2weeks";
  const struct {
    const char *arguments;
    bool interactive;
    const char *input;
    int status;
    std::vector<std::string> ran;
  } cases[] = {
      {"--system --clean apt-archives", false, "y\n", 1, {}},
      {"--system --clean apt-archives", true, "n\n", 1, {}},
      {"--system --clean apt-archives", true, "", 1, {}},
      {"--system --clean apt-archives", true, "y\n", 0, {apt}},
      {"--system --clean journal apt-archives journal --yes", false, "", 0, {journal, apt}},
      {"--system --clean crash-reports apt-archives --yes", false, "", 1, {apt}},
      {"--system --clean crash-reports --yes", false, "", 1, {}},
      {"--system --clean no-such-item --yes", false, "", 2, {}},
      {"--system --clean", false, "", 2, {}},
      {"--system --yes", false, "", 2, {}},
      {"--system --json --clean apt-archives", false, "", 2, {}},
  };
  for (const auto &[arguments, interactive, input, status, ran] : cases) {
    runner.requests.clear();
    const QuillaneRun result = run(arguments, interactive, input);
    EXPECT_EQ(result.status, status) << arguments << " / " << input << '\n' << result.out;
    EXPECT_EQ(runner.ranLines(), ran) << arguments << " / " << input;
  }
}

TEST_F(SystemCachesCommandTest, AFailingCommandIsReportedAndTheOthersStillRun) {
  runner.reply("/usr/bin/pkexec /usr/bin/apt-get clean", "", 126, "Error executing command as another user: Not authorized\n");
  const QuillaneRun ran = run("--system --clean apt-archives journal --yes");
  EXPECT_EQ(ran.status, 1) << ran.out;
  EXPECT_EQ(runner.requests.size(), 2u);
  EXPECT_NE(ran.out.find("failed   apt-archives: exit status 126: Error executing command"), std::string::npos) << ran.out;
  EXPECT_NE(ran.out.find("done     journal"), std::string::npos) << ran.out;
}

// The real command with a fake docker alone in PATH whose prune either is
// interrupted (it sends the SIGINT a user's Ctrl-C would) or uninstalls it.
// Once interrupted the tools are not asked again: an item then is not
// measured, never gone, and the run says it was interrupted. Ctrl-C while a
// tool is asked for its sizes stops the tool and the command at once,
// instead of waiting for the tool to give up (20 s; every run has 10).
TEST(SystemCachesCommandRun, AfterTheRunAnItemIsMeasuredGoneOrSaidNotMeasured) {
  const std::string sizes =
      "echo '{\"Type\":\"Images\",\"TotalCount\":\"3\",\"Active\":\"0\",\"Size\":\"1.5GB\",\"Reclaimable\":\"1.5GB (100%)\"}'\n"
      "  echo '{\"Type\":\"Build Cache\",\"TotalCount\":\"0\",\"Active\":\"0\",\"Size\":\"0B\",\"Reclaimable\":\"0B\"}'";
  const std::string interrupt = "kill -INT $PPID; exec /bin/sleep 30";
  const struct {
    const char *arguments;
    std::string sizes, prune;
    int status;
    const char *after;
    const char *error;
  } cases[] = {
      {" --clean docker-images --yes", sizes, interrupt, 130, "docker-images              1.50 GB -> not measured",
       "interrupted"},
      {" --clean docker-images --yes", sizes, "/bin/rm -- \"$0\"", 0, "docker-images              1.50 GB -> gone", ""},
      {"", interrupt, "", 130, "", "interrupted"},
  };
  for (const auto &[arguments, sizes, prune, status, after, error] : cases) {
    SCOPED_TRACE(sizes + " / " + prune);
    TempTree bin;
    std::ofstream(bin.path("docker")) << "#!/bin/sh\ncase \"$*\" in\n'system df --format {{json .}}')\n  " << sizes
                                      << ";;\n'image prune -f') " << prune << ";;\nesac\n";
    fs::permissions(bin.path("docker"), fs::perms::owner_all);
    const QuillaneRun run = runQuillane(bin.root(), std::string("caches --system") + arguments + " </dev/null",
                                        "timeout 10 env PATH=" + shellQuote(bin.root()));
    EXPECT_EQ(run.status, status) << "124: still waiting after 10 s\n" << run.out << run.err;
    EXPECT_NE(run.out.find(after), std::string::npos) << run.out << run.err;
    EXPECT_NE(run.err.find(error), std::string::npos) << run.err;
  }
}

} // namespace
} // namespace quillane::test
