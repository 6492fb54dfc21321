#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"

#include <cstdint>
#include <string>

namespace tarnwick {

/// A candidate the deletion guard approved, and which file it was when it
/// was approved. Whoever acts on it opens `realPath`'s parent without
/// following links and checks `identity` again before touching the entry,
/// so what is removed is exactly what was validated, even if the name was
/// swapped for something else in between.
struct ApprovedDeletion {
  /// Standardised, as the user named it (the home folder may be reached
  /// through a link, and a path in its real folder is named through it);
  /// what reports show.
  std::string path;
  /// The same entry by its real location: no component is a link.
  std::string realPath;
  FileIdentity identity;
  /// The mount it lies on (0 when the system does not say); removal never
  /// leaves it.
  std::uint64_t mountId = 0;
  bool isDirectory = false;
};

} // namespace tarnwick
