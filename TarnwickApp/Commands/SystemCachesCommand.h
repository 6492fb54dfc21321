#pragma once

#include <cstdio>
#include <span>

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

/// `quillane caches --system [--json]`: the caches the system and its tools
/// own (APT, the journal, snap revisions, Flatpak, containers), measured by
/// `catalogue`, each with the owner's command that cleans it or what to run
/// instead.
/// `quillane caches --system --clean ID... [--yes]`: runs the named items'
/// commands, one after the other, each shown before it runs; without --yes
/// after asking on `console.in`, refused when it is not interactive. No
/// item is cleaned without being named. Afterwards the cleaned items are
/// measured again and their new sizes shown.
/// Exit status: 0 on success, 1 when a command failed or could not run (or
/// the user declined, or could not be asked), 2 on bad usage (an unknown ID
/// included), 130 when interrupted.
int runSystemCachesCommand(std::span<char *const> arguments, tarnwick::SystemCacheCatalogue &catalogue,
                           const CommandConsole &console);

/// Whether the caches command's arguments ask for the system caches.
bool wantsSystemCaches(std::span<char *const> arguments);

} // namespace quillane
