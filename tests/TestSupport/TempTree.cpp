#include "TestSupport/TempTree.h"

#include "TarnwickCore/Support/MountTable.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <sys/mount.h>
#include <vector>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillane::test {
namespace {

void check(bool ok, const std::string &what) {
  if (!ok)
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void makeParents(const std::string &path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
}

} // namespace

std::string shellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted.push_back(c);
  }
  return quoted + "'";
}

std::string runCommand(const std::string &command, int *exitStatus) {
  std::FILE *pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    std::abort();
  std::string output;
  std::array<char, 65536> chunk;
  std::size_t got;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    output.append(chunk.data(), got);
  int status = ::pclose(pipe);
  if (exitStatus)
    *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return output;
}

TempTree::TempTree(const std::string &base) {
  std::string pattern =
      (base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base)) / "quillane-test-XXXXXX";
  check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  // Canonical, so scanned paths compare equal to ours.
  root_ = std::filesystem::canonical(pattern).native();
}

TempTree::~TempTree() {
  // A test's mount left inside the tree (a bind mount of "/" even) must not
  // take chmod and rm beyond it: neither stops at a bind mount of the same
  // device. Detach every mount at or below the root first, deepest first.
  if (const auto mounts = tarnwick::MountTable::readCurrent()) {
    std::vector<std::string> points;
    for (const tarnwick::MountEntry &entry : mounts->entries())
      if (entry.mountPoint == root_ || entry.mountPoint.starts_with(root_ + "/"))
        points.push_back(entry.mountPoint);
    std::sort(points.begin(), points.end(), [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    for (const std::string &point : points)
      ::umount2(point.c_str(), MNT_DETACH);
  }
  // rm handles paths deeper than PATH_MAX; chmod first so nothing is locked.
  runCommand("chmod -R u+rwx " + shellQuote(root_) + " 2>/dev/null; rm -rf --one-file-system " + shellQuote(root_));
}

std::string TempTree::path(std::string_view relative) const {
  return relative.empty() ? root_ : root_ + "/" + std::string(relative);
}

void TempTree::makeDirectory(std::string_view relative) const {
  std::filesystem::create_directories(path(relative));
}

void TempTree::writeFile(std::string_view relative, std::size_t bytes) const {
  std::string full = path(relative);
  makeParents(full);
  const tarnwick::UniqueFd fd(::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  check(bool(fd), "create " + full);
  const std::string data(bytes, 'q');
  check(::write(fd.get(), data.data(), data.size()) == static_cast<ssize_t>(data.size()), "write " + full);
}

void TempTree::makeSparseFile(std::string_view relative, std::size_t bytes) const {
  std::string full = path(relative);
  makeParents(full);
  const tarnwick::UniqueFd fd(::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  check(bool(fd), "create " + full);
  check(::ftruncate(fd.get(), static_cast<off_t>(bytes)) == 0, "truncate " + full);
}

void TempTree::makeSymlink(std::string_view relative, std::string_view target) const {
  std::string full = path(relative);
  makeParents(full);
  check(::symlink(std::string(target).c_str(), full.c_str()) == 0, "symlink " + full);
}

void TempTree::makeHardLink(std::string_view existing, std::string_view relative) const {
  std::string full = path(relative);
  makeParents(full);
  std::string from = existing.starts_with("/") ? std::string(existing) : path(existing);
  check(::link(from.c_str(), full.c_str()) == 0, "link " + full);
}

void TempTree::makeFifo(std::string_view relative) const {
  std::string full = path(relative);
  makeParents(full);
  check(::mkfifo(full.c_str(), 0644) == 0, "mkfifo " + full);
}

void TempTree::makeDeepChain(std::string_view relative, const std::string &component, int depth,
                             std::size_t bytes) const {
  makeDirectory(relative);
  tarnwick::UniqueFd folder(::open(path(relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (int level = 0; level < depth; ++level) {
    check(folder && ::mkdirat(folder.get(), component.c_str(), 0755) == 0, "mkdirat " + component);
    folder = tarnwick::UniqueFd(::openat(folder.get(), component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  const tarnwick::UniqueFd leaf(::openat(folder.get(), "leaf", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  const std::string data(bytes, 'q');
  check(leaf && ::write(leaf.get(), data.data(), data.size()) == static_cast<ssize_t>(data.size()) &&
            ::fsync(leaf.get()) == 0,
        "write the leaf of a deep chain");
}

std::int64_t duBytes(const std::string &path) {
  int status = -1;
  const std::string output = runCommand("du -s -B1 " + shellQuote(path), &status);
  std::int64_t bytes = -1;
  std::istringstream(output) >> bytes;
  return status == 0 ? bytes : -1;
}

FindTotals findTotals(const std::string &root) {
  // One line per entry; the name is left out so newlines in names cannot
  // break the parsing.
  std::string listing =
      runCommand("find " + shellQuote(root) + " -printf '%y %D %i %b\\n'");
  FindTotals totals;
  std::set<std::pair<std::string, std::string>> seen;
  std::istringstream lines(listing);
  std::string type, device, inode;
  std::int64_t blocks;
  for (bool isRoot = true; lines >> type >> device >> inode >> blocks; isRoot = false) {
    if (type == "d") {
      totals.directories += isRoot ? 0 : 1;
      totals.folderBytes += blocks * 512;
    } else if (type == "l") {
      ++totals.symlinks;
    } else {
      ++totals.files;
      if (seen.insert({device, inode}).second)
        totals.bytes += blocks * 512;
    }
  }
  return totals;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace quillane::test

namespace {

// Every test process keeps the mounts it makes to itself and the programs
// it starts: the suites run in parallel, and a command that lists every
// mount's Trash must not count another test's. Done before anything reads
// the mount table, whose mount IDs differ from one namespace to another;
// without the privilege (not root) no test mounts anything anyway.
[[maybe_unused]] const bool mountsArePrivate = [] {
  if (::unshare(CLONE_NEWNS) != 0)
    return false;
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0)
    return true;
  std::fprintf(stderr, "note: this test's mounts are shared with the system: %s\n", std::strerror(errno));
  return false;
}();

} // namespace
