#include "TarnwickCore/Scan/ExcludeMatcher.h"

#include <algorithm>
#include <fnmatch.h>

namespace tarnwick {
namespace {

bool globMatches(const std::string &glob, const std::string &text, int flags) {
  return ::fnmatch(glob.c_str(), text.c_str(), flags) == 0;
}

} // namespace

ExcludeMatcher::ExcludeMatcher(const std::vector<std::string> &patterns, std::string base) : base_(std::move(base)) {
  if (!base_.empty())
    baseDepth_ = 1 + static_cast<int>(std::ranges::count(base_, '/'));
  for (std::string_view text : patterns) {
    Pattern pattern;
    while (text.size() > 1 && text.ends_with('/')) {
      pattern.directoriesOnly = true;
      text.remove_suffix(1);
    }
    const bool anchored = text.starts_with('/');
    while (text.starts_with('/'))
      text.remove_prefix(1);
    if (text.empty())
      continue;
    pattern.glob = std::string(text);
    if (!anchored && text.find('/') == std::string_view::npos) {
      namePatterns_.push_back(std::move(pattern));
      continue;
    }
    pattern.depth = 1 + static_cast<int>(std::ranges::count(text, '/'));
    pathPatterns_.push_back(std::move(pattern));
  }
}

bool ExcludeMatcher::excludes(std::string_view folder, int depth, std::string_view name, bool isDirectory) const {
  if (empty())
    return false;
  // fnmatch needs terminated strings; one buffer per thread is reused.
  thread_local std::string text;
  text.assign(name);
  for (const Pattern &pattern : namePatterns_)
    if ((isDirectory || !pattern.directoriesOnly) && globMatches(pattern.glob, text, 0))
      return true;
  bool joined = false;
  for (const Pattern &pattern : pathPatterns_) {
    if (pattern.depth != baseDepth_ + depth + 1 || (pattern.directoriesOnly && !isDirectory))
      continue;
    if (!joined) {
      text.assign(base_);
      if (!base_.empty() && !folder.empty())
        text.push_back('/');
      text.append(folder);
      if (!text.empty())
        text.push_back('/');
      text.append(name);
      joined = true;
    }
    if (globMatches(pattern.glob, text, FNM_PATHNAME))
      return true;
  }
  return false;
}

} // namespace tarnwick
