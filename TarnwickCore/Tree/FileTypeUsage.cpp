#include "TarnwickCore/Tree/FileTypeUsage.h"

#include "TarnwickCore/Tree/SubtreeWalk.h"

#include <algorithm>
#include <unordered_map>

namespace tarnwick {
namespace {

constexpr std::size_t longestType = 12;

bool isTypeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '+' ||
         c == '-';
}

bool isTarred(std::string_view stem) { return stem.size() > 4 && (stem.ends_with(".tar") || stem.ends_with(".TAR")); }

// Looks up types by the name's bytes without building a string per file.
struct TypeHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

} // namespace

std::string fileTypeOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() || name.size() - dot - 1 > longestType)
    return {};
  std::string type(name.substr(dot + 1));
  for (char &c : type) {
    if (!isTypeCharacter(c))
      return {};
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  // "x.tar.gz" is a compressed archive, not a "gz" of unknown content.
  if (isTarred(name.substr(0, dot)))
    type.insert(0, "tar.");
  return type;
}

std::vector<FileTypeUsage> fileTypeUsage(const DiskTreeArena &arena, NodeID folder) {
  std::unordered_map<std::string, FileTypeUsage, TypeHash, std::equal_to<>> byType;
  // Most names in a folder share a few types: remember the last one's
  // spelling so that a run of "*.jpg" costs one comparison each.
  std::string lastExtension;
  bool lastTarred = false;
  FileTypeUsage *last = nullptr;
  const auto count = [&](NodeID id, const DiskTreeArena::Record &r) {
    if (r.isDirectory)
      return;
    const std::string_view name = arena.name(id);
    const std::size_t dot = name.rfind('.');
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    const bool tarred = dot != std::string_view::npos && isTarred(name.substr(0, dot));
    if (!last || extension != lastExtension || tarred != lastTarred || extension.empty()) {
      std::string type = fileTypeOf(name);
      auto found = byType.find(type);
      if (found == byType.end())
        found = byType.emplace(type, FileTypeUsage{type, 0, 0}).first;
      last = &found->second;
      lastExtension = extension;
      lastTarred = tarred;
    }
    last->allocatedSize += r.allocatedSize;
    ++last->fileCount;
  };
  if (arena.isValid(folder)) {
    count(folder, arena.record(folder));
    forEachNodeBelow(arena, folder, count);
  }
  std::vector<FileTypeUsage> result;
  result.reserve(byType.size());
  for (auto &entry : byType)
    result.push_back(std::move(entry.second));
  std::ranges::sort(result, [](const FileTypeUsage &a, const FileTypeUsage &b) {
    return a.allocatedSize != b.allocatedSize ? a.allocatedSize > b.allocatedSize : a.type < b.type;
  });
  return result;
}

} // namespace tarnwick
