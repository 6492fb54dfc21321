#include "TarnwickApp/Commands/OutputPlacement.h"

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Deletion/ProtectedLocations.h"
#include "TarnwickCore/Support/RealPath.h"

#include <algorithm>

namespace quillane {
namespace {

// The protected location that a folder holding `finalPath` is, by its
// identity: another name for it that no link explains, as a bind mount of
// ~/.ssh elsewhere gives. Locations whose contents may go (the personal
// folders) are no such place.
std::optional<std::string> protectorByIdentity(const std::string &finalPath, const std::string &home) {
  const tarnwick::GuardFileFacts &files = tarnwick::GuardFileFacts::system();
  const tarnwick::ProtectedSnapshot protectedNow = tarnwick::ProtectedLocations::snapshot(home, files);
  for (std::string folder = finalPath; folder.size() > 1;) {
    folder.resize(std::max<std::size_t>(folder.rfind('/'), 1));
    const std::optional<tarnwick::FileIdentity> identity = files.identity(folder);
    if (!identity)
      continue;
    for (const tarnwick::ExistingProtectedLocation &location : protectedNow.locations)
      if (location.protection != tarnwick::Protection::itself && location.identity == *identity)
        return location.path;
  }
  return std::nullopt;
}

} // namespace

std::optional<std::string> protectedPlaceRefusal(const std::string &finalPath, const std::string &home) {
  std::optional<std::string> protector = tarnwick::ProtectedLocations::protectorOf(finalPath, home);
  if (!protector)
    protector = tarnwick::ProtectedLocations::protectorOf(finalPath, tarnwick::realPath(home).value_or(home));
  if (!protector)
    protector = protectorByIdentity(finalPath, home);
  if (!protector)
    return std::nullopt;
  return "it lies in a protected location (" + *protector + "), which an output never replaces or adds to";
}

} // namespace quillane
