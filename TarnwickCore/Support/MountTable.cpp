#include "TarnwickCore/Support/MountTable.h"

#include "TarnwickCore/Support/UniqueFd.h"

#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {
namespace {

// The next space-separated field of `line`, consumed.
std::string_view takeField(std::string_view &line) {
  const auto start = line.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    line = {};
    return {};
  }
  line.remove_prefix(start);
  const auto end = line.find(' ');
  std::string_view field = line.substr(0, end);
  line.remove_prefix(end == std::string_view::npos ? line.size() : end);
  return field;
}

template <typename Number> bool toNumber(std::string_view text, Number &out) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The kernel escapes space, tab, newline and backslash as \ooo.
std::string unescaped(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    auto isOctal = [&](std::size_t at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
    if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
      out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

// The folders an overlay mount merges, from its super options
// ("…,lowerdir=/a:/b,upperdir=/c,…"): upper first. Octal escapes decode as
// elsewhere; within lowerdir, "\:" is a colon in a name, ":" separates.
std::vector<std::string> overlayLayers(std::string_view options) {
  std::vector<std::string> upper, lower;
  for (std::string_view rest = options; !rest.empty();) {
    const auto comma = rest.find(',');
    const std::string option = unescaped(rest.substr(0, comma));
    rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
    if (option.starts_with("upperdir="))
      upper.push_back(option.substr(9));
    if (!option.starts_with("lowerdir="))
      continue;
    std::string folder;
    for (std::size_t i = 9; i < option.size(); ++i) {
      if (option[i] == '\\' && i + 1 < option.size()) {
        folder.push_back(option[++i]);
      } else if (option[i] == ':') {
        lower.push_back(std::move(folder));
        folder.clear();
      } else {
        folder.push_back(option[i]);
      }
    }
    lower.push_back(std::move(folder));
  }
  upper.insert(upper.end(), lower.begin(), lower.end());
  std::erase_if(upper, [](const std::string &folder) { return folder.empty() || folder.front() != '/'; });
  return upper;
}

std::optional<MountEntry> parseLine(std::string_view line) {
  // id parent major:minor root mountpoint options [optional...] - type source superoptions
  MountEntry entry;
  const std::string_view id = takeField(line), parent = takeField(line), device = takeField(line);
  const std::string_view root = takeField(line);
  const std::string_view mountPoint = takeField(line);
  const auto colon = device.find(':');
  if (!toNumber(id, entry.mountId) || !toNumber(parent, entry.parentId) || colon == std::string_view::npos ||
      !toNumber(device.substr(0, colon), entry.major) || !toNumber(device.substr(colon + 1), entry.minor) ||
      mountPoint.empty() || mountPoint.front() != '/' || root.empty() || root.front() != '/')
    return std::nullopt;
  for (std::string_view field = takeField(line); field != "-"; field = takeField(line))
    if (field.empty())
      return std::nullopt;
  entry.fileSystemType = unescaped(takeField(line));
  takeField(line); // source
  if (entry.fileSystemType == "overlay")
    entry.layers = overlayLayers(takeField(line));
  entry.mountPoint = unescaped(mountPoint);
  entry.root = unescaped(root);
  return entry;
}

bool isAtOrAbove(std::string_view folder, std::string_view path) {
  return folder == path || folder == "/" ||
         (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/');
}

// `base` and a path below it ("" or starting with '/').
std::string joined(std::string_view base, std::string_view rest) {
  if (base == "/")
    return rest.empty() ? std::string("/") : std::string(rest);
  return std::string(base) + std::string(rest);
}

} // namespace

bool FileSystemLocation::isAtOrInside(const FileSystemLocation &other) const {
  return major == other.major && minor == other.minor && isAtOrAbove(other.path, path);
}

std::optional<MountTable> MountTable::readCurrent() {
  UniqueFd file(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
  if (!file)
    return std::nullopt;
  std::string text;
  char buffer[16384];
  for (ssize_t got; (got = ::read(file.get(), buffer, sizeof buffer)) != 0;) {
    if (got < 0)
      return std::nullopt;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return parse(text);
}

MountTable MountTable::parse(std::string_view text) {
  MountTable table;
  while (!text.empty()) {
    const auto end = text.find('\n');
    // An id names one mount; a repeated one (never from the kernel) is dropped.
    if (auto entry = parseLine(text.substr(0, end)); entry && !table.byId(entry->mountId))
      table.entries_.push_back(std::move(*entry));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return table;
}

const MountEntry *MountTable::byId(std::uint64_t mountId) const {
  for (const MountEntry &entry : entries_)
    if (entry.mountId == mountId)
      return &entry;
  return nullptr;
}

const MountEntry *MountTable::containing(std::string_view path) const {
  const MountEntry *found = nullptr;
  for (const MountEntry &entry : entries_)
    if (isAtOrAbove(entry.mountPoint, path) && (!found || entry.mountPoint.size() >= found->mountPoint.size()))
      found = &entry;
  return found;
}

std::optional<FileSystemLocation> MountTable::locate(std::string_view realPath, std::uint64_t mountId) const {
  const MountEntry *mount = mountId != 0 ? byId(mountId) : containing(realPath);
  if (!mount || !isAtOrAbove(mount->mountPoint, realPath))
    return std::nullopt;
  const std::string_view rest = realPath.substr(mount->mountPoint == "/" ? 0 : mount->mountPoint.size());
  return FileSystemLocation{mount->major, mount->minor, joined(mount->root, rest)};
}

std::vector<FileSystemLocation> MountTable::placesOf(std::string_view realPath, std::uint64_t mountId) const {
  std::vector<FileSystemLocation> places;
  const MountEntry *mount = mountId != 0 ? byId(mountId) : containing(realPath);
  if (mount && isAtOrAbove(mount->mountPoint, realPath))
    addPlaces(realPath, mount, 0, places);
  return places;
}

void MountTable::addPlaces(std::string_view realPath, const MountEntry *mount, int depth,
                           std::vector<FileSystemLocation> &places) const {
  const std::string_view rest = realPath.substr(mount->mountPoint == "/" ? 0 : mount->mountPoint.size());
  places.push_back({mount->major, mount->minor, joined(mount->root, rest)});
  // Layers of layers are followed a few levels deep, and a few dozen places
  // at most (layers may name each other): deeper stacks are not something a
  // desktop makes.
  if (depth >= 4 || places.size() >= 64)
    return;
  for (const std::string &layer : mount->layers) {
    if (places.size() >= 64)
      return;
    const std::string inLayer = joined(layer, rest);
    if (const MountEntry *holder = containing(inLayer))
      addPlaces(inLayer, holder, depth + 1, places);
  }
}

std::optional<std::string> MountTable::mountPointAtOrBelow(std::string_view path) const {
  const MountEntry *found = nullptr;
  for (const MountEntry &entry : entries_) {
    const std::string_view point = entry.mountPoint;
    const bool below = point == path || path == "/" ||
                       (point.size() > path.size() && point.starts_with(path) && point[path.size()] == '/');
    if (below && (!found || point.size() < found->mountPoint.size()))
      found = &entry;
  }
  if (!found)
    return std::nullopt;
  return found->mountPoint;
}

} // namespace tarnwick
