#include "TarnwickApp/Commands/NcduJsonWriter.h"

#include <cmath>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace quillane {
namespace {

using tarnwick::DiskTreeArena;
using tarnwick::NodeID;

void appendEscaped(std::string &out, std::string_view bytes) {
  static constexpr char hex[] = "0123456789abcdef";
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20 || byte == 0x7F) {
      // JSON allows a raw DEL, but ncdu 1.18 rejects the whole file over it.
      out += "\\u00";
      out.push_back(hex[byte >> 4]);
      out.push_back(hex[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
}

// A directory's own blocks: its total less its children's, which the
// readers add up themselves.
std::int64_t ownSize(const DiskTreeArena &arena, NodeID id) {
  const DiskTreeArena::Record &record = arena.record(id);
  std::int64_t own = record.allocatedSize;
  if (record.isDirectory)
    for (std::uint32_t i = 0; i < record.childCount; ++i)
      own -= arena.record(record.firstChildID + static_cast<NodeID>(i)).allocatedSize;
  return own;
}

void appendInfo(std::string &out, std::string_view name, const DiskTreeArena &arena, NodeID id) {
  const DiskTreeArena::Record &record = arena.record(id);
  out += "{\"name\":\"";
  appendEscaped(out, name);
  out += "\",\"dsize\":";
  out += std::to_string(ownSize(arena, id));
  double mtime = record.modificationTimestamp;
  if (mtime > 0) {
    out += ",\"mtime\":";
    out += std::to_string(static_cast<long long>(std::floor(mtime)));
  }
  out += '}';
}

} // namespace

bool writeNcduJson(const DiskTreeArena &arena, std::FILE *out) {
  // An imported tree keeps the time of the export it came from.
  const std::int64_t written = arena.scanReport().exportedAt.value_or(std::time(nullptr));
  std::string buffer = "[1,2,{\"progname\":\"quillane\",\"progver\":\"" QUILLANE_VERSION "\",\"timestamp\":" +
                       std::to_string(written);
  // A key of our own: ncdu and gdu skip metadata they do not know.
  if (const std::optional<std::int64_t> stopped = arena.scanReport().stoppedAfterEntries)
    buffer += ",\"quillane_stopped_after_entries\":" + std::to_string(*stopped);
  buffer += "},\n";
  auto flush = [&](bool force) {
    if (!force && buffer.size() < (1 << 20))
      return true;
    bool ok = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    buffer.clear();
    return ok;
  };

  if (!arena.rootNode()) {
    buffer += "[{\"name\":\"\",\"dsize\":0}]]\n";
    return flush(true) && std::fflush(out) == 0;
  }
  // Depth-first with an explicit stack of (directory, next child index).
  struct Frame {
    NodeID directory;
    std::uint32_t nextChild;
  };
  std::vector<Frame> stack;
  buffer += '[';
  appendInfo(buffer, arena.rootPath(), arena, arena.rootID);
  stack.push_back({arena.rootID, 0});
  while (!stack.empty()) {
    Frame &frame = stack.back();
    const DiskTreeArena::Record &directory = arena.record(frame.directory);
    if (frame.nextChild == directory.childCount) {
      buffer += ']';
      stack.pop_back();
      continue;
    }
    NodeID child = directory.firstChildID + static_cast<NodeID>(frame.nextChild++);
    const DiskTreeArena::Record &record = arena.record(child);
    buffer += ",\n";
    if (record.isDirectory) {
      buffer += '[';
      appendInfo(buffer, arena.name(child), arena, child);
      stack.push_back({child, 0});
    } else {
      appendInfo(buffer, arena.name(child), arena, child);
    }
    if (!flush(false))
      return false;
  }
  buffer += "]\n";
  return flush(true) && std::fflush(out) == 0;
}

} // namespace quillane
