#pragma once

#include "TarnwickApp/Commands/CommandSyntax.h"

namespace quillane {

/// What `quillane treemap` accepts. Apart from the command, which needs Qt's
/// GUI modules, so that the command line without them can list and explain it.
const CommandSyntax &treemapCommandSyntax();

} // namespace quillane
