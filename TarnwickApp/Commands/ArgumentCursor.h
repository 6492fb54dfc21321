#pragma once

#include "TarnwickCore/Support/Result.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillane {

/// Walks a command's arguments one at a time, splitting "--option=value"
/// into the option and its inline value.
class ArgumentCursor {
public:
  explicit ArgumentCursor(std::span<char *const> arguments) : arguments_(arguments) {}

  /// Moves to the next argument; false when there is none.
  bool next();
  /// The current argument, without an inline "=value".
  std::string_view current() const { return current_; }
  bool hasInlineValue() const { return inlineValue_.has_value(); }
  /// Starts with '-' but is not "-" itself.
  bool isOption() const { return current_.starts_with("-") && current_ != "-"; }

  /// The option's value: the inline one, else the following argument
  /// (consumed); a failure saying so when there is none.
  tarnwick::Result<std::string_view> value();

  /// Records the current argument as the one PATH; a failure when `path`
  /// already holds one. `what` completes "only one PATH can be … at a time".
  tarnwick::Result<void> takePath(std::string &path, std::string_view what) const;

private:
  std::span<char *const> arguments_;
  std::size_t next_ = 0;
  std::string_view current_;
  std::optional<std::string_view> inlineValue_;
};

} // namespace quillane
