#include "TarnwickCore/Support/CommandRunner.h"

#include <gtest/gtest.h>

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
  } cases[] = {
      {{"echo", "a  b", "$HOME", "*"}, 0, "a  b $HOME *\n", ""},
      {{"sh", "-c", "echo out; echo err >&2; exit 3"}, 3, "out\n", "err\n"},
      {{"cat"}, 0, "", ""}, // standard input is empty, not the terminal
      {{"/bin/sh", "-c", "kill -9 $$"}, -1, "", ""},
  };
  ProcessCommandRunner runner;
  for (const auto &[argv, status, out, err] : cases) {
    const Result<CommandOutput> output = runner.run({argv, 10s});
    ASSERT_TRUE(output) << argv[0] << ": " << output.failure().message();
    EXPECT_EQ(output->exitStatus, status) << argv.back();
    EXPECT_EQ(output->standardOutput, out);
    EXPECT_EQ(output->standardError, err);
    EXPECT_FALSE(output->timedOut);
  }
}

TEST(CommandRunnerTest, TimeoutKillsTheCommandAndWhatItStarted) {
  ProcessCommandRunner runner;
  // The background sleep holds the pipe open after the shell is killed;
  // only killing its process group lets the run end.
  const Result<CommandOutput> output = runner.run({{"sh", "-c", "sleep 30 & echo started; wait"}, 300ms});
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->timedOut);
  EXPECT_FALSE(output->succeeded());
  EXPECT_EQ(output->standardOutput, "started\n");
}

TEST(CommandRunnerTest, AStopRequestKillsTheCommand) {
  ProcessCommandRunner runner;
  std::stop_source stop;
  std::jthread requester([&stop] {
    std::this_thread::sleep_for(200ms);
    stop.request_stop();
  });
  const auto started = std::chrono::steady_clock::now();
  const Result<CommandOutput> output = runner.run({{"sleep", "30"}, 60s, false, stop.get_token()});
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->stopped && !output->timedOut && !output->succeeded());
  EXPECT_LT(std::chrono::steady_clock::now() - started, 20s) << "killed, not waited for";
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
