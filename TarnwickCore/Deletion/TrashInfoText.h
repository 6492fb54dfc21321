#pragma once

#include "TarnwickCore/Support/Result.h"

#include <string>
#include <string_view>

namespace tarnwick {

/// What a .trashinfo record says, read the way the freedesktop.org Trash
/// rules and GLib's key files read it. The bytes come from any program that
/// can write to the Trash, so nothing in them is trusted:
///
/// - lines end at '\n' (a '\r' before it is dropped); blank lines and lines
///   starting with '#' are skipped; white space around '=' is ignored;
/// - keys are read only inside the "[Trash Info]" group; other groups and
///   localised keys ("Path[fr]") are skipped, and a key before any group
///   makes the record unreadable;
/// - "Path" must appear exactly once, percent-encoded (a '%' must start two
///   hex digits), and decode to a non-empty path without NUL bytes;
/// - "DeletionDate" may appear at most once; one that is not
///   "YYYY-MM-DDThh:mm:ss" with plausible fields is kept as unknown (empty),
///   as trash clients still list such items.
///
/// Threads: a plain value.
struct TrashInfoText {
  /// The recorded path, decoded to its bytes: absolute, or for a trash in
  /// the top directory of a mount, relative to that directory.
  std::string path;
  /// "YYYY-MM-DDThh:mm:ss" in the local time of the deletion; empty when
  /// absent or malformed.
  std::string deletionDate;

  /// The record in `bytes`, or a Failure whose reason says what is wrong.
  static Result<TrashInfoText> parse(std::string_view bytes);
  /// The record `name` of the open info/ folder `info`: a regular file of
  /// at most 64 KiB, opened without following a link or blocking on a FIFO.
  /// `shownPath` names it in the Failure.
  static Result<TrashInfoText> read(int info, const std::string &name, const std::string &shownPath);

  /// The original path, absolute: a relative one is taken below
  /// `topDirectory`, the top directory of the trash's mount.
  std::string originalPath(const std::string &topDirectory) const;
};

} // namespace tarnwick
