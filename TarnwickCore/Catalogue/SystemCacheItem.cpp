#include "TarnwickCore/Catalogue/SystemCacheItem.h"

#include <algorithm>

namespace tarnwick {
namespace {

bool isPlainWordCharacter(char character) {
  return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') ||
         (character >= '0' && character <= '9') || std::string_view("_@%+=:,./-").find(character) != std::string_view::npos;
}

std::string quotedWord(const std::string &word) {
  if (!word.empty() && std::all_of(word.begin(), word.end(), isPlainWordCharacter))
    return word;
  std::string quoted = "'";
  for (char character : word) {
    if (character == '\'')
      quoted += "'\\''";
    else
      quoted += character;
  }
  return quoted + "'";
}

} // namespace

std::string shellQuoted(const std::vector<std::string> &argv) {
  std::string line;
  for (const std::string &word : argv) {
    if (!line.empty())
      line += ' ';
    line += quotedWord(word);
  }
  return line;
}

} // namespace tarnwick
