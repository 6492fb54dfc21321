#pragma once

#include "TarnwickCore/Support/Result.h"

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// One external program to run: its argument vector, passed to the program
/// as it is (argv[0] is the program, absolute or looked up on PATH; no shell
/// ever sees it), and how long it may take before it is killed.
struct CommandRequest {
  std::vector<std::string> argv;
  std::chrono::milliseconds timeout{20'000};
  /// Run it in a process group of its own, so that a timeout kills
  /// whatever it started too. Off for commands that may ask for a password
  /// on the terminal (pkexec), which must stay in the terminal's foreground
  /// group to read it.
  bool ownProcessGroup = true;
  /// Once requested, the program is killed as on a timeout (a program
  /// that became root through pkexec cannot be, and is waited for).
  std::stop_token stop{};
};

/// What a program that ran printed and how it ended.
struct CommandOutput {
  /// Its exit status; -1 when a signal ended it (a timeout included).
  int exitStatus = -1;
  bool timedOut = false;
  std::string standardOutput;
  std::string standardError;
  /// Killed because its request's stop was requested.
  bool stopped = false;
  /// The signal that ended it when that was not our doing (neither a
  /// timeout nor a stop); 0 otherwise.
  int endingSignal = 0;

  bool succeeded() const { return exitStatus == 0 && !timedOut && !stopped; }
  /// The first non-empty line of standard error (else of standard output),
  /// at most 200 bytes: why it failed, for one line of a report.
  std::string firstComplaint() const;
};

/// Runs external programs. The interface lets tests replay recorded output
/// of the real tools; ProcessCommandRunner runs them.
///
/// Threads: an implementation may be used from one thread at a time.
class CommandRunner {
public:
  virtual ~CommandRunner() = default;
  /// The absolute path of `program` (a bare name looked up on PATH, or an
  /// absolute path), when it is there and executable.
  virtual std::optional<std::string> locate(std::string_view program) = 0;
  /// Runs the request and waits for it, at most its timeout. A failure only
  /// when it could not be started; a program that ran and failed is an
  /// output with its status.
  virtual Result<CommandOutput> run(const CommandRequest &request) = 0;
};

/// A CommandRunner that spawns the programs (posix_spawn, no shell). Their
/// standard input is /dev/null, their standard output and error are
/// captured (at most 4 MiB each; more is read and dropped), and they are
/// killed with SIGKILL once the timeout passes.
class ProcessCommandRunner final : public CommandRunner {
public:
  std::optional<std::string> locate(std::string_view program) override;
  Result<CommandOutput> run(const CommandRequest &request) override;
};

} // namespace tarnwick
