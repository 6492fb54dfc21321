#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"

#include <QString>

namespace tarnwick {

/// A cleanup category's title in the window's language. TarnwickCore keeps
/// the English title as the category's identity (exports, settings); only
/// what the window shows is translated, here at the boundary.
QString categoryTitle(CleanableCategory category);

} // namespace tarnwick
