#include "TarnwickCore/Scan/PseudoFileSystemTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>

namespace tarnwick {
namespace {

constexpr std::array<std::string_view, 17> pseudoTypes = {
    "proc",   "sysfs",   "devtmpfs", "devpts",  "cgroup",    "cgroup2",   "tracefs",
    "debugfs", "securityfs", "pstore", "bpf",   "configfs",  "fusectl",   "mqueue",
    "hugetlbfs", "binfmt_misc", "autofs"};

// Field `index` (0-based) of a space-separated line.
std::string_view field(std::string_view line, std::size_t index) {
  for (std::size_t i = 0; i < index; ++i) {
    auto space = line.find(' ');
    if (space == std::string_view::npos)
      return {};
    line.remove_prefix(space + 1);
  }
  return line.substr(0, line.find(' '));
}

} // namespace

bool PseudoFileSystemTable::isPseudoType(std::string_view fileSystemType) {
  return std::find(pseudoTypes.begin(), pseudoTypes.end(), fileSystemType) != pseudoTypes.end();
}

PseudoFileSystemTable PseudoFileSystemTable::fromMountInfo(std::string_view text) {
  PseudoFileSystemTable table;
  while (!text.empty()) {
    std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(std::min(text.size(), line.size() + 1));
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw": the
    // optional fields end at " - ", after which comes the type.
    auto separator = line.find(" - ");
    if (separator == std::string_view::npos)
      continue;
    if (!isPseudoType(field(line.substr(separator + 3), 0)))
      continue;
    std::string_view numbers = field(line, 2);
    auto colon = numbers.find(':');
    unsigned major = 0, minor = 0;
    if (colon == std::string_view::npos ||
        std::from_chars(numbers.data(), numbers.data() + colon, major).ec != std::errc() ||
        std::from_chars(numbers.data() + colon + 1, numbers.data() + numbers.size(), minor).ec !=
            std::errc())
      continue;
    table.devices_.push_back(static_cast<std::int64_t>(makedev(major, minor)));
  }
  std::sort(table.devices_.begin(), table.devices_.end());
  table.devices_.erase(std::unique(table.devices_.begin(), table.devices_.end()), table.devices_.end());
  return table;
}

PseudoFileSystemTable PseudoFileSystemTable::fromCurrentMounts() {
  std::ifstream file("/proc/self/mountinfo");
  if (!file)
    return {};
  std::ostringstream text;
  text << file.rdbuf();
  return fromMountInfo(text.str());
}

bool PseudoFileSystemTable::contains(std::int64_t device) const {
  return std::binary_search(devices_.begin(), devices_.end(), device);
}

} // namespace tarnwick
