#include "TarnwickCore/Deletion/TrashInfoText.h"

#include "TarnwickCore/Support/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr std::string_view spaces = " \t";

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(spaces);
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(spaces) - first + 1);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::optional<std::string> percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
    if (low < 0)
      return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

bool digitsAt(std::string_view text, std::size_t at, std::size_t count, int low, int high) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    value = value * 10 + (text[i] - '0');
  }
  return value >= low && value <= high;
}

// "YYYY-MM-DDThh:mm:ss"; a leap second is allowed, as local clocks show it.
bool isDeletionDate(std::string_view text) {
  return text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == 'T' && text[13] == ':' &&
         text[16] == ':' && digitsAt(text, 0, 4, 1, 9999) && digitsAt(text, 5, 2, 1, 12) &&
         digitsAt(text, 8, 2, 1, 31) && digitsAt(text, 11, 2, 0, 23) && digitsAt(text, 14, 2, 0, 59) &&
         digitsAt(text, 17, 2, 0, 60);
}

Failure unreadable(std::string why) { return Failure::because(std::move(why)); }

constexpr off_t maxRecordBytes = 64 * 1024;

} // namespace

Result<TrashInfoText> TrashInfoText::parse(std::string_view bytes) {
  std::optional<std::string_view> path, date;
  bool inGroup = false, sawGroup = false;
  while (!bytes.empty()) {
    const auto end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    if (trimmed(line).empty() || line.front() == '#')
      continue;
    if (line.front() == '[') {
      inGroup = line == "[Trash Info]";
      sawGroup = true;
      continue;
    }
    const auto equals = line.find('=');
    if (!sawGroup || equals == std::string_view::npos)
      return unreadable(sawGroup ? "a line is neither a key nor a group" : "it does not start with [Trash Info]");
    if (!inGroup)
      continue;
    const std::string_view key = trimmed(line.substr(0, equals)), value = trimmed(line.substr(equals + 1));
    std::optional<std::string_view> *slot = key == "Path" ? &path : key == "DeletionDate" ? &date : nullptr;
    if (slot && *slot)
      return unreadable("it names " + std::string(key) + " twice");
    if (slot)
      *slot = value;
  }
  if (!path)
    return unreadable("it records no Path");
  std::optional<std::string> decoded = percentDecoded(*path);
  if (!decoded || decoded->empty() || decoded->find('\0') != std::string::npos)
    return unreadable("its Path is not a valid percent-encoded path");
  return TrashInfoText{std::move(*decoded), date && isDeletionDate(*date) ? std::string(*date) : std::string()};
}

Result<TrashInfoText> TrashInfoText::read(int info, const std::string &name, const std::string &shownPath) {
  UniqueFd file(::openat(info, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file)
    return Failure::fromErrno("read", shownPath);
  struct stat st;
  if (::fstat(file.get(), &st) != 0)
    return Failure::fromErrno("read", shownPath);
  if (!S_ISREG(st.st_mode) || st.st_size > maxRecordBytes)
    return Failure{"read", shownPath, 0, S_ISREG(st.st_mode) ? "it is too large for a record" : "it is not a file"};
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return Failure::fromErrno("read", shownPath);
    if (got == 0)
      break;
    bytes.append(chunk, static_cast<std::size_t>(got));
    if (bytes.size() > static_cast<std::size_t>(maxRecordBytes)) // it grew since it was examined
      return Failure{"read", shownPath, 0, "it is too large for a record"};
  }
  Result<TrashInfoText> parsed = parse(bytes);
  if (!parsed)
    return Failure{"read", shownPath, 0, parsed.failure().reason};
  return parsed;
}

std::string TrashInfoText::originalPath(const std::string &topDirectory) const {
  if (path.front() == '/')
    return path;
  return (topDirectory == "/" ? "" : topDirectory) + "/" + path;
}

} // namespace tarnwick
