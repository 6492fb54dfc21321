#include "TarnwickApp/Commands/CachesCommand.h"
#include "TarnwickApp/Commands/SystemCachesCommand.h"
#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"
#include "TestSupport/FakeCommandRunner.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace quillane::test {
namespace {

struct Ran {
  int status;
  std::string out;
};

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

  Ran run(const std::string &arguments, bool interactive = false, const std::string &input = {}) {
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
      return {2, options.failure().message()};
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
    Ran ran{status, std::string(buffer, size)};
    std::free(buffer);
    return ran;
  }

  TempTree var;
  FakeCommandRunner runner;
};

TEST_F(SystemCachesCommandTest, ListsEachItemWithItsSizeAndCommandOrWhatToRunInstead) {
  Ran ran = run("--system --json");
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
    const Ran result = run(arguments, interactive, input);
    EXPECT_EQ(result.status, status) << arguments << " / " << input << '\n' << result.out;
    EXPECT_EQ(runner.ranLines(), ran) << arguments << " / " << input;
  }
}

TEST_F(SystemCachesCommandTest, AFailingCommandIsReportedAndTheOthersStillRun) {
  runner.reply("/usr/bin/pkexec /usr/bin/apt-get clean", "", 126, "Error executing command as another user: Not authorized\n");
  const Ran ran = run("--system --clean apt-archives journal --yes");
  EXPECT_EQ(ran.status, 1) << ran.out;
  EXPECT_EQ(runner.requests.size(), 2u);
  EXPECT_NE(ran.out.find("failed   apt-archives: exit status 126: Error executing command"), std::string::npos) << ran.out;
  EXPECT_NE(ran.out.find("done     journal"), std::string::npos) << ran.out;
}

} // namespace
} // namespace quillane::test
