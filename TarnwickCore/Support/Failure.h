#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

/// Why a fallible operation failed: what it tried, on which path, the errno
/// it met and words for what an errno cannot say. Every part may be empty;
/// message() joins those present into one line for people:
///
///   {"open", "/x", EACCES}                          cannot open /x: Permission denied
///   {"write", "out.json", 0, "it is a directory"}   cannot write out.json: it is a directory
///   {"", "", 0, "unknown option --x"}               unknown option --x
///
/// The path is kept byte for byte; whoever prints the message to a terminal
/// makes it printable. Fallible operations return it inside a Result.
///
/// Threads: a plain value.
struct Failure {
  /// The verb of what could not be done ("open", "read", "write"); empty
  /// when the reason says it all.
  std::string action;
  /// The path concerned; empty when there is none.
  std::string path;
  /// The errno value met; 0 when the failure has none.
  int errorNumber = 0;
  /// Words for the failure; empty when the errno says it.
  std::string reason;

  /// The failure of `action` on `path` with the current errno, read before
  /// anything is allocated.
  static Failure fromErrno(std::string_view action, std::string_view path);
  /// A failure that only words describe.
  static Failure because(std::string reason);

  /// Why, without what: the reason and the errno's text, the latter in
  /// parentheses when both are present ("Permission denied", "it is a
  /// directory", "out of descriptors (Too many open files)").
  std::string explanation() const;
  /// "cannot <action> <path>: <explanation>", with the parts that are
  /// absent left out.
  std::string message() const;

  friend bool operator==(const Failure &, const Failure &) = default;
};

} // namespace tarnwick
