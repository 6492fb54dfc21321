#include "TarnwickApp/Commands/OutputClash.h"

#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace quillane {
namespace {

// An output's file as far as the file system tells before anything is
// written: its cleaned absolute path, and the identities of the file and
// of its folder where they exist.
struct Place {
  std::string_view option;
  std::string given;
  std::filesystem::path path;
  std::optional<std::pair<dev_t, ino_t>> file;
  std::optional<std::pair<dev_t, ino_t>> folder;
};

std::optional<std::pair<dev_t, ino_t>> identityOf(const std::filesystem::path &path, bool needRegular) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || (needRegular && !S_ISREG(st.st_mode)))
    return std::nullopt;
  return std::pair{st.st_dev, st.st_ino};
}

// Nothing for an output written in place, which cannot replace another.
std::optional<Place> placeOf(std::string_view option, const std::string &given) {
  if (given == "-")
    return std::nullopt;
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(given, error).lexically_normal();
  if (error)
    path = std::filesystem::path(given).lexically_normal();
  if (path.has_relative_path() && !path.has_filename()) // "dir/" names dir
    path = path.parent_path();
  const std::string text = path.native();
  if (text.starts_with("/dev/") || text.starts_with("/proc/"))
    return std::nullopt;
  struct stat st;
  if (::stat(text.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return std::nullopt;
  return Place{option, given, path, identityOf(path, true), identityOf(path.parent_path(), false)};
}

bool sameFile(const Place &a, const Place &b) {
  return a.path == b.path || (a.file && a.file == b.file) ||
         (a.folder && a.folder == b.folder && a.path.filename() == b.path.filename());
}

} // namespace

std::optional<std::string> outputClash(std::initializer_list<OutputOption> outputs) {
  std::vector<Place> places;
  for (const OutputOption &output : outputs)
    if (*output.destination)
      if (std::optional<Place> place = placeOf(output.name, **output.destination))
        places.push_back(std::move(*place));
  for (std::size_t i = 0; i < places.size(); ++i)
    for (std::size_t j = i + 1; j < places.size(); ++j)
      if (sameFile(places[i], places[j]))
        return "--" + std::string(places[i].option) + " " + places[i].given + " and --" +
               std::string(places[j].option) + " " + places[j].given +
               " name the same file, so one would replace the other: give each its own";
  return std::nullopt;
}

} // namespace quillane
