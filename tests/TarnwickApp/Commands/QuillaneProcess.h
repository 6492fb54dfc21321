#pragma once

#include "TestSupport/TempTree.h"
#include "TestSupport/TrashClient.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace quillane::test {

/// Every path under `root`, so a test can tell that a run left nothing behind.
inline std::set<std::string> listing(const std::string &root) {
  std::set<std::string> paths;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(root))
    paths.insert(entry.path().lexically_relative(root).native());
  return paths;
}

inline bool installed(const std::string &program) {
  int status = 0;
  runCommand("command -v " + program + " >/dev/null 2>&1", &status);
  return status == 0;
}

/// Whether process `pid`'s main thread is in one of `calls`, as when it
/// waits on a FIFO nobody writes to or reads.
inline bool blockedIn(pid_t pid, std::initializer_list<long> calls) {
  const std::string now = readFile("/proc/" + std::to_string(pid) + "/syscall");
  return std::ranges::any_of(calls, [&](long call) { return now.starts_with(std::to_string(call) + " "); });
}
inline bool blockedInOpen(pid_t pid) { return blockedIn(pid, {SYS_openat}); }

/// Whether `signal` waits, not yet taken, for process `pid` as a whole: a
/// second one sent meanwhile would merge with it.
inline bool signalPending(pid_t pid, int signal) {
  const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
  const auto at = status.find("ShdPnd:\t");
  return at != std::string::npos && (std::stoull(status.substr(at + 8), nullptr, 16) >> (signal - 1) & 1) != 0;
}

/// Whether process `pid` holds a descriptor open on something below `prefix`.
inline bool holdsOpenBelow(pid_t pid, std::string_view prefix) {
  const std::string folder = "/proc/" + std::to_string(pid) + "/fd/";
  std::unique_ptr<DIR, int (*)(DIR *)> descriptors(::opendir(folder.c_str()), ::closedir);
  char target[PATH_MAX];
  for (dirent *entry; descriptors && (entry = ::readdir(descriptors.get()));) {
    const ssize_t length = ::readlink((folder + entry->d_name).c_str(), target, sizeof target);
    if (length > 0 && std::string_view(target, static_cast<std::size_t>(length)).starts_with(prefix))
      return true;
  }
  return false;
}

struct QuillaneRun {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs `binary` from `directory` with `arguments`, a shell fragment the
/// caller has already quoted, under `wrapper` (a command such as prlimit
/// that runs the binary, or variable assignments) when given.
inline QuillaneRun runQuillane(const std::string &directory, const std::string &arguments,
                               const std::string &wrapper = {}, const std::string &binary = QUILLANE_BINARY) {
  // Standard error goes through a file so standard output stays byte-exact.
  char errPath[] = "/tmp/quillane-stderr-XXXXXX";
  int fd = ::mkstemp(errPath);
  if (fd < 0)
    std::abort();
  ::close(fd);
  QuillaneRun run;
  run.out = runCommand("cd " + shellQuote(directory) + " && " + wrapper + " " + shellQuote(binary) + " " +
                           arguments + " 2>" + shellQuote(errPath),
                       &run.status);
  run.err = readFile(errPath);
  ::unlink(errPath);
  return run;
}

/// Starts the built binary in `directory` (empty: here) with `arguments` and
/// the `environment` entries ("NAME=value") set, its standard streams on
/// /dev/null (standard output on `output`, standard error on `errors`, when
/// they are descriptors), and
/// returns its pid. SIGINT and SIGTERM are reset to their
/// defaults: a runner started in the background from a script ignores them,
/// and an ignored signal never reaches the program's watcher.
inline pid_t startQuillane(const std::vector<std::string> &arguments, const std::string &directory = {},
                           std::vector<std::string> environment = {}, int output = -1, int errors = -1) {
  // Built before the fork: the child of a threaded process only execs.
  std::vector<std::string> words{"quillane"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  for (char **entry = environ; *entry; ++entry) // after the given ones, which win
    environment.emplace_back(*entry);
  const auto pointers = [](std::vector<std::string> &strings) {
    std::vector<char *> result;
    for (std::string &text : strings)
      result.push_back(text.data());
    result.push_back(nullptr);
    return result;
  };
  std::vector<char *> argv = pointers(words), envp = pointers(environment);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC); // the copies below stay open
    for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
      ::dup2(null, stream);
    if (output >= 0)
      ::dup2(output, STDOUT_FILENO);
    if (errors >= 0)
      ::dup2(errors, STDERR_FILENO);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (directory.empty() || ::chdir(directory.c_str()) == 0)
      ::execve(QUILLANE_BINARY, argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

/// Runs the built binary as if `home` were the user's home (and its data
/// folder, so the Trash is inside it), with standard error merged into the
/// output and no terminal on standard input; `environment` adds NAME=VALUE
/// words to its environment.
inline QuillaneRun runQuillaneAtHome(const TempTree &home, const std::string &arguments,
                                     const std::string &environment = {}) {
  QuillaneRun run;
  run.out = runCommand("export HOME=" + shellQuote(home.root()) + " XDG_DATA_HOME=" +
                           shellQuote(home.path(".local/share")) + " " + environment + "; " + shellQuote(QUILLANE_BINARY) + " " + arguments +
                           " </dev/null 2>&1",
                       &run.status);
  return run;
}

/// The number after "Label:" at the start of a summary line
/// ("Files:   1,234" → 1234), or -1 when there is none.
inline std::int64_t summaryNumber(const std::string &out, const std::string &label) {
  std::string text = "\n" + out;
  std::size_t at = text.find("\n" + label + ":");
  if (at == std::string::npos)
    return -1;
  std::string digits;
  for (std::size_t i = text.find_first_not_of(' ', at + label.size() + 2);
       i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == ','); ++i)
    if (text[i] != ',')
      digits.push_back(text[i]);
  return digits.empty() ? -1 : std::stoll(digits);
}

/// What an export in the `[1, 2, {meta}, root]` layout holds.
struct ExportContents {
  std::int64_t entries = 0;
  std::int64_t dsizeSum = 0;
  std::set<std::string> names;
};

/// Parses an export whose names may hold any bytes. nlohmann insists on
/// UTF-8, and bytes above 0x7F can only sit inside strings, so each becomes
/// the \u escape of the code point with the same value; names are mapped
/// back to their bytes afterwards. Throws when the text is not JSON.
inline ExportContents readExport(const std::string &text) {
  std::string escaped;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      escaped.push_back(c);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04x", byte);
      escaped += code;
    }
  }
  auto document = nlohmann::json::parse(escaped);
  auto toBytes = [](const std::string &utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      auto lead = static_cast<unsigned char>(utf8[i]);
      bytes.push_back(lead < 0x80 ? utf8[i] : static_cast<char>(((lead & 0x03) << 6) | (utf8[++i] & 0x3F)));
    }
    return bytes;
  };
  ExportContents contents;
  auto visit = [&](const nlohmann::json &item, auto &self) -> void {
    const nlohmann::json &info = item.is_array() ? item.at(0) : item;
    ++contents.entries;
    contents.dsizeSum += info.value("dsize", std::int64_t{0});
    contents.names.insert(toBytes(info.at("name").get<std::string>()));
    for (std::size_t i = 1; item.is_array() && i < item.size(); ++i)
      self(item[i], self);
  };
  if (!document.is_array() || document.size() != 4 || document[0] != 1)
    throw std::runtime_error("not an export: " + text.substr(0, 80));
  visit(document[3], visit);
  return contents;
}

} // namespace quillane::test
