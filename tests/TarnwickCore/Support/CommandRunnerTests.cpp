#include "TarnwickCore/Support/CommandRunner.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <csignal>

#include <thread>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

TEST(CommandRunnerTest, RunsTheArgvAsGivenAndCapturesBothStreams) {
  const struct {
    std::vector<std::string> argv;
    int status;
    const char *out;
    const char *err;
    int signal = 0;
  } cases[] = {
      {{"echo", "a  b", "$HOME", "*"}, 0, "a  b $HOME *\n", ""},
      {{"sh", "-c", "echo out; echo err >&2; exit 3"}, 3, "out\n", "err\n"},
      {{"cat"}, 0, "", ""}, // standard input is empty, not the terminal
      {{"/bin/sh", "-c", "kill -9 $$"}, -1, "", "", SIGKILL},
  };
  ProcessCommandRunner runner;
  for (const auto &[argv, status, out, err, signal] : cases) {
    const Result<CommandOutput> output = runner.run({argv, 10s});
    ASSERT_TRUE(output) << argv[0] << ": " << output.failure().message();
    EXPECT_EQ(output->exitStatus, status) << argv.back();
    EXPECT_EQ(output->endingSignal, signal) << argv.back();
    EXPECT_EQ(output->standardOutput, out);
    EXPECT_EQ(output->standardError, err);
    EXPECT_FALSE(output->timedOut);
  }
}

// Either kills the command and what it started: the run returns at once
// either way, so the shell's background sleep is looked for afterwards.
TEST(CommandRunnerTest, ATimeoutOrAStopRequestKillsTheCommandAndWhatItStarted) {
  ProcessCommandRunner runner;
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stop request" : "timeout");
    std::stop_source stop;
    std::jthread requester([&stop, stopped] {
      std::this_thread::sleep_for(200ms);
      if (stopped)
        stop.request_stop();
    });
    const auto started = std::chrono::steady_clock::now();
    const Result<CommandOutput> output =
        runner.run({{"sh", "-c", "sleep 30 & echo $!; wait"}, stopped ? 60s : 300ms, true, stop.get_token()});
    ASSERT_TRUE(output);
    EXPECT_EQ(std::pair(output->timedOut, output->stopped), std::pair(!stopped, stopped));
    EXPECT_FALSE(output->succeeded());
    EXPECT_EQ(output->endingSignal, 0) << "our own kill is no other's signal";
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s) << "killed, not waited for";
    // Gone, or a zombie that nobody has reaped yet.
    ASSERT_TRUE(output->standardOutput.ends_with('\n')) << "no pid: " << output->standardOutput;
    const std::string sleeper = "/proc/" + output->standardOutput.substr(0, output->standardOutput.find('\n')) + "/stat";
    auto alive = [&] {
      const std::string stat = quillane::test::readFile(sleeper);
      return !stat.empty() && stat.find(") Z ") == std::string::npos;
    };
    for (int tries = 0; tries < 100 && alive(); ++tries)
      std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(alive()) << "the command's background sleep outlived it";
  }
}

TEST(CommandRunnerTest, MissingProgramsAreFailuresNotOutputs) {
  ProcessCommandRunner runner;
  EXPECT_FALSE(runner.run({{"quillane-no-such-tool"}}));
  EXPECT_FALSE(runner.run({{}}));
  EXPECT_FALSE(runner.locate("quillane-no-such-tool"));
  EXPECT_FALSE(runner.locate("relative/sh"));
  EXPECT_EQ(runner.locate("sh").value_or("").front(), '/');
  const CommandOutput complaint{1, false, "ignored\n", "\n  first line\nsecond\n"};
  EXPECT_EQ(complaint.firstComplaint(), "first line");
}

} // namespace
} // namespace tarnwick
