#pragma once

#include "TarnwickCore/Deletion/RemovalQuarantine.h"
#include "TarnwickCore/Support/Failure.h"

#include <mutex>
#include <vector>

namespace tarnwick {

/// The RemovalQuarantines entered through it, for a process that is made
/// to end in the middle of a removal (a second Ctrl-C): closeForExit() puts
/// back what they have not removed yet under its own name, where a forced
/// exit would otherwise leave it in a hidden private folder no one knows of.
///
/// Threads: safe from any thread. Entering a quarantine, finishing one and
/// closeForExit() take turns; each is a handful of system calls and none
/// waits on the removal itself, so closeForExit() returns at once even when
/// the removal is stuck, and never meets an entry half-moved into its
/// private folder. It must outlive the quarantines entered through it.
class OpenQuarantines {
public:
  OpenQuarantines() = default;
  OpenQuarantines(const OpenQuarantines &) = delete;
  OpenQuarantines &operator=(const OpenQuarantines &) = delete;

  /// Finishes every open quarantine now (see RemovalQuarantine::finish())
  /// and lets none be entered afterwards: the process is about to end. One
  /// Failure for each removal that had something left, saying where that
  /// is now. A removal still running may go on removing from what was put
  /// back until the process ends; its own finish() then changes nothing.
  std::vector<Failure> closeForExit();

private:
  friend class RemovalQuarantine;

  std::unique_lock<std::mutex> turn() { return std::unique_lock(turn_); }

  std::mutex turn_;
  bool closed_ = false;                        // guarded by turn_
  std::vector<RemovalQuarantine::State *> open_; // guarded by turn_
};

} // namespace tarnwick
