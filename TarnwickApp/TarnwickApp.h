#pragma once

#include "TarnwickCore/Support/UserEnvironment.h"

#include <QString>

#include <memory>
#include <optional>

namespace quillane {

/// The desktop application: the Qt application with Quillane's dark look,
/// the one coordinator that lives as long as the process, and the main
/// window. The scanner, the cleaning engine with the user's Trash and the
/// access probes are built here, once, for the user, and handed to the
/// coordinator and the window. Nothing is saved at exit.
///
/// Threads: construct and run on the main thread.
class TarnwickApp {
public:
  TarnwickApp(int &argc, char **argv, const tarnwick::UserEnvironment &user);
  ~TarnwickApp();
  TarnwickApp(const TarnwickApp &) = delete;
  TarnwickApp &operator=(const TarnwickApp &) = delete;

  /// Shows the window (scanning `initialScan`, or reading the export at
  /// `openFile`, at once when given) and runs the event loop; returns the
  /// exit code.
  int exec(const std::optional<QString> &initialScan, const std::optional<QString> &openFile = std::nullopt);

  /// Tunes the C allocator for a process that lives on after its scans:
  /// large blocks always get pages of their own, so a finished scan's
  /// temporary tree goes back to the system instead of lingering in the
  /// scan threads' heaps. Call once, before the first scan.
  static void configureAllocator();

private:
  struct State;
  std::unique_ptr<State> state_;
};

} // namespace quillane
