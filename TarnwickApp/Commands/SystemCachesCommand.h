#pragma once

#include "TarnwickApp/Commands/CommandArguments.h"
#include "TarnwickCore/Support/Result.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tarnwick {
class SystemCacheCatalogue;
} // namespace tarnwick

namespace quillane {

/// Where a command talks to its user; tests hand in memory streams.
struct CommandConsole {
  std::FILE *out = stdout;
  std::FILE *err = stderr;
  std::FILE *in = stdin;
  /// Whether `in` is a terminal the user can answer a question on.
  bool interactive = false;
};

/// Options of `quillane caches --system`.
struct SystemCachesOptions {
  bool json = false;
  bool clean = false;
  bool yes = false;
  std::vector<std::string> ids;
};

/// The options `quillane caches --system …` asks for (parsed with
/// cachesCommandSyntax()); the failure says what is wrong with them.
tarnwick::Result<SystemCachesOptions> systemCachesOptionsFrom(const CommandArguments &arguments);

/// `quillane caches --system [--json]`: the caches the system and its tools
/// own (APT, the journal, snap revisions, Flatpak, containers), measured by
/// `catalogue`, each with the owner's command that cleans it or what to run
/// instead.
/// `quillane caches --system --clean ID... [--yes]`: runs the named items'
/// commands, one after the other, each shown before it runs; without --yes
/// after asking on `console.in`, refused when it is not interactive. No
/// item is cleaned without being named. Afterwards the cleaned items are
/// measured again and their new sizes shown: "gone" only when a complete
/// measurement no longer lists the item, "not measured" when its size was
/// not read again (after an interruption the tools are not asked).
/// Exit status: 0 on success, 1 when a command failed or could not run (or
/// the user declined, or could not be asked), 2 on bad usage (an unknown ID
/// included), 130 when interrupted.
int runSystemCachesCommand(const SystemCachesOptions &options, tarnwick::SystemCacheCatalogue &catalogue,
                           const CommandConsole &console);

} // namespace quillane
