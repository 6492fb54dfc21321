#include "TarnwickCore/Tree/NameSearch.h"

#include <algorithm>
#include <cstdint>

namespace tarnwick {
namespace {

// The lower-case form of the two-byte UTF-8 letter (lead, trail), or the
// same letter; covers U+00C0..U+042F's upper-case letters.
std::uint32_t foldTwoByte(std::uint32_t code) {
  if ((code >= 0xC0 && code <= 0xDE && code != 0xD7) || (code >= 0x391 && code <= 0x3AB && code != 0x3A2) ||
      (code >= 0x410 && code <= 0x42F))
    return code + 0x20;
  if (code >= 0x400 && code <= 0x40F)
    return code + 0x50;
  if (code == 0x178) // Ÿ
    return 0xFF;
  if (code >= 0x100 && code <= 0x17F && code != 0x130 && code != 0x131 && code != 0x138 && code != 0x149 &&
      code != 0x178 && code != 0x17F) {
    // Pairs start on even code points, except U+0139..U+0148 and U+0179..U+017E.
    const bool oddPairs = (code >= 0x139 && code <= 0x148) || (code >= 0x179 && code <= 0x17E);
    return (code % 2 == (oddPairs ? 1u : 0u)) ? code + 1 : code;
  }
  return code;
}

void appendFolded(std::string_view text, std::string &out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c));
      continue;
    }
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if ((c & 0xE0) == 0xC0 && (next & 0xC0) == 0x80) {
      const std::uint32_t code = foldTwoByte(((c & 0x1Fu) << 6) | (next & 0x3Fu));
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(c));
  }
}

// Whether the whole of `text` matches `glob` ('*' and '?' wild), both
// folded. '?' takes one byte, or one whole UTF-8 sequence.
bool globMatches(std::string_view glob, std::string_view text) {
  std::size_t g = 0, t = 0, starG = std::string_view::npos, starT = 0;
  const auto sequenceLength = [&](std::size_t at) {
    std::size_t length = 1;
    while (at + length < text.size() && (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80 &&
           static_cast<unsigned char>(text[at]) >= 0xC0)
      ++length;
    return length;
  };
  while (t < text.size()) {
    if (g < glob.size() && glob[g] == '*') {
      starG = g++;
      starT = t;
    } else if (g < glob.size() && glob[g] == '?') {
      ++g;
      t += sequenceLength(t);
    } else if (g < glob.size() && glob[g] == text[t]) {
      ++g;
      ++t;
    } else if (starG != std::string_view::npos) {
      g = starG + 1;
      t = starT += sequenceLength(starT);
    } else {
      return false;
    }
  }
  while (g < glob.size() && glob[g] == '*')
    ++g;
  return g == glob.size();
}

} // namespace

NameSearch::NameSearch(std::string_view pattern) : isGlob_(pattern.find_first_of("*?") != std::string_view::npos) {
  appendFolded(pattern, folded_);
}

bool NameSearch::matches(std::string_view name) const {
  if (folded_.empty())
    return false;
  thread_local std::string folded;
  folded.clear();
  appendFolded(name, folded);
  return isGlob_ ? globMatches(folded_, folded) : folded.find(folded_) != std::string::npos;
}

NameSearchResult NameSearch::findIn(const DiskTreeArena &arena, std::size_t limit, std::stop_token stop) const {
  NameSearchResult result;
  if (folded_.empty())
    return result;
  for (NodeID id = 1; id < static_cast<NodeID>(arena.nodeCount()); ++id) {
    if (id % 1024 == 0 && stop.stop_requested()) {
      result.stopped = true;
      break;
    }
    if (arena.record(id).isRemoved || !matches(arena.name(id)))
      continue;
    if (result.matchCount++ < limit)
      result.matches.push_back(id);
  }
  return result;
}

} // namespace tarnwick
