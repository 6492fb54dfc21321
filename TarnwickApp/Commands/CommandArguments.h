#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCommandLineParser;

namespace quillane {

/// What a command's arguments said, as its CommandSyntax parsed them. Every
/// text keeps the bytes it was given: file names need not be UTF-8.
///
/// Threads: a plain value, move-only.
class CommandArguments {
public:
  CommandArguments(std::unique_ptr<QCommandLineParser> parser, std::vector<std::string> raw);
  CommandArguments(CommandArguments &&) noexcept;
  CommandArguments &operator=(CommandArguments &&) noexcept;
  ~CommandArguments();

  /// `option` is any of the option's names, without dashes.
  bool isSet(const char *option) const;
  /// The last value given: an option given twice takes the later one.
  std::optional<std::string> value(const char *option) const;
  /// Every value given, in order, for a repeatable option.
  std::vector<std::string> values(const char *option) const;
  /// The arguments that are not options, in order.
  const std::vector<std::string> &positional() const { return positional_; }
  /// The arguments after the command name, as given.
  const std::vector<std::string> &raw() const { return raw_; }
  bool wantsHelp() const { return isSet("help"); }

private:
  std::unique_ptr<QCommandLineParser> parser_;
  std::vector<std::string> raw_;
  std::vector<std::string> positional_;
};

} // namespace quillane
