#include "TarnwickApp/Commands/OutputPlacement.h"

#include "TarnwickCore/Deletion/ProtectedLocations.h"

#include <cstdlib>

namespace quillane {
namespace {

std::string realPath(const std::string &path) {
  char *real = ::realpath(path.c_str(), nullptr);
  std::string result = real ? real : path;
  std::free(real);
  return result;
}

} // namespace

std::optional<std::string> protectedPlaceRefusal(const std::string &finalPath, const std::string &home) {
  std::optional<std::string> protector = tarnwick::ProtectedLocations::protectorOf(finalPath, home);
  if (!protector)
    protector = tarnwick::ProtectedLocations::protectorOf(finalPath, realPath(home));
  if (!protector)
    return std::nullopt;
  return "it lies in a protected location (" + *protector + "), which an output never replaces or adds to";
}

} // namespace quillane
