#include "TarnwickCore/Support/CommandRunner.h"

#include "TarnwickCore/Support/UniqueFd.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace tarnwick {
namespace {

constexpr std::size_t captureLimit = 4 * 1024 * 1024;
constexpr const char *fallbackPath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

bool isExecutableFile(const std::string &path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

struct Pipe {
  UniqueFd readEnd;
  UniqueFd writeEnd;
};

Result<Pipe> makePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return Failure::fromErrno("create a pipe for", "");
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Owns the spawn attributes and file actions for one spawn.
class SpawnSetup {
public:
  SpawnSetup() {
    ::posix_spawn_file_actions_init(&actions_);
    ::posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup &) = delete;
  SpawnSetup &operator=(const SpawnSetup &) = delete;

  void configure(int outFd, int errFd, bool ownProcessGroup) {
    ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions_, outFd, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions_, errFd, STDERR_FILENO);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    ::posix_spawnattr_setsigmask(&attributes_, &none);
    ::posix_spawnattr_setsigdefault(&attributes_, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownProcessGroup) {
      flags |= POSIX_SPAWN_SETPGROUP;
      ::posix_spawnattr_setpgroup(&attributes_, 0);
    }
    ::posix_spawnattr_setflags(&attributes_, flags);
  }
  const posix_spawn_file_actions_t *actions() const { return &actions_; }
  const posix_spawnattr_t *attributes() const { return &attributes_; }

private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

// Reads both pipes until they close, `deadline` passes or `stop` is
// requested; false on the last two.
bool drain(std::array<UniqueFd *, 2> fds, std::array<std::string *, 2> sinks,
           std::chrono::steady_clock::time_point deadline, const std::stop_token &stop) {
  std::array<char, 16384> buffer{};
  // A stop is noticed within this much.
  const long long wakeUp = stop.stop_possible() ? 100 : 1'000'000;
  while (fds[0]->valid() || fds[1]->valid()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || stop.stop_requested())
      return false;
    std::array<pollfd, 2> polled{{{fds[0]->get(), POLLIN, 0}, {fds[1]->get(), POLLIN, 0}}};
    const int ready = ::poll(polled.data(), polled.size(), static_cast<int>(std::min<long long>(left.count(), wakeUp)));
    if (ready < 0 && errno != EINTR)
      return false;
    for (std::size_t index = 0; ready > 0 && index < 2; ++index) {
      if (!fds[index]->valid() || polled[index].revents == 0)
        continue;
      const ssize_t count = ::read(fds[index]->get(), buffer.data(), buffer.size());
      if (count > 0) {
        const std::size_t room = captureLimit - std::min(captureLimit, sinks[index]->size());
        sinks[index]->append(buffer.data(), std::min(room, static_cast<std::size_t>(count)));
      } else if (count == 0 || errno != EINTR) {
        fds[index]->reset();
      }
    }
  }
  return true;
}

// The exit status of `pid`, or -1 with `signal` set to what ended it.
int waitFor(pid_t pid, int &signal) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR)
      return -1;
  signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

std::string CommandOutput::firstComplaint() const {
  for (const std::string *text : {&standardError, &standardOutput}) {
    std::size_t start = 0;
    while (start < text->size()) {
      const std::size_t end = std::min(text->find('\n', start), text->size());
      const std::size_t first = text->find_first_not_of(" \t\r", start);
      if (first != std::string::npos && first < end)
        return text->substr(first, std::min<std::size_t>(end - first, 200));
      start = end + 1;
    }
  }
  return {};
}

std::optional<std::string> ProcessCommandRunner::locate(std::string_view program) {
  if (program.empty())
    return std::nullopt;
  if (program.find('/') != std::string_view::npos) {
    std::string path(program);
    return program.front() == '/' && isExecutableFile(path) ? std::optional(path) : std::nullopt;
  }
  const char *variable = std::getenv("PATH");
  const std::string_view searchPath = variable != nullptr && *variable != '\0' ? variable : fallbackPath;
  std::size_t start = 0;
  while (start <= searchPath.size()) {
    const std::size_t end = std::min(searchPath.find(':', start), searchPath.size());
    const std::string_view folder = searchPath.substr(start, end - start);
    if (!folder.empty() && folder.front() == '/') {
      std::string candidate = std::string(folder) + "/" + std::string(program);
      if (isExecutableFile(candidate))
        return candidate;
    }
    start = end + 1;
  }
  return std::nullopt;
}

Result<CommandOutput> ProcessCommandRunner::run(const CommandRequest &request) {
  if (request.argv.empty())
    return Failure::because("no program to run");
  const std::optional<std::string> program = locate(request.argv.front());
  if (!program)
    return Failure{"find", request.argv.front(), ENOENT, {}};
  Result<Pipe> out = makePipe();
  Result<Pipe> err = makePipe();
  if (!out)
    return out.failure();
  if (!err)
    return err.failure();
  SpawnSetup setup;
  setup.configure(out->writeEnd.get(), err->writeEnd.get(), request.ownProcessGroup);
  std::vector<char *> argv;
  for (const std::string &argument : request.argv)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (const int error = ::posix_spawn(&pid, program->c_str(), setup.actions(), setup.attributes(), argv.data(), environ);
      error != 0) {
    errno = error;
    return Failure::fromErrno("run", *program);
  }
  out->writeEnd.reset();
  err->writeEnd.reset();
  CommandOutput output;
  const auto deadline = std::chrono::steady_clock::now() + request.timeout;
  if (!drain({&out->readEnd, &err->readEnd}, {&output.standardOutput, &output.standardError}, deadline, request.stop)) {
    ::kill(request.ownProcessGroup ? -pid : pid, SIGKILL);
    output.stopped = request.stop.stop_requested();
    output.timedOut = !output.stopped;
  }
  output.exitStatus = waitFor(pid, output.endingSignal);
  if (output.timedOut || output.stopped) {
    output.exitStatus = -1;
    output.endingSignal = 0;
  }
  return output;
}

} // namespace tarnwick
