#pragma once

#include "TarnwickApp/Commands/CommandArguments.h"
#include "TarnwickCore/Support/Result.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <span>
#include <string>

namespace quillane {

/// One command's options and usage: what `quillane NAME …` accepts and what
/// `quillane NAME --help` prints come from this one definition. Every
/// command also takes -h/--help. Options may come before, between or after
/// the other arguments unless the options end at the first one; "--" ends
/// them always; "--name=value" and "--name value" are the same.
///
/// Threads: immutable after construction.
class CommandSyntax {
public:
  /// `usages`: the command's forms after "quillane ", e.g. "scan [PATH]
  /// [OPTION]..."; `summary`: what it does, in one line.
  CommandSyntax(QString name, QStringList usages, QString summary, QList<QCommandLineOption> options);

  /// Every argument from the first that is not an option on is taken as
  /// given, so a file name a shell pattern put there cannot act as an option.
  CommandSyntax &optionsEndAtFirstArgument();

  const QString &name() const { return name_; }
  const QString &summary() const { return summary_; }
  /// Including -h/--help.
  const QList<QCommandLineOption> &options() const { return options_; }

  /// The usage lines, the summary, and each option with its description.
  std::string helpText() const;

  /// Parses the arguments after the command's name; the failure is the
  /// usage error to report, such as "unknown option --bogus".
  tarnwick::Result<CommandArguments> parse(std::span<char *const> arguments) const;

private:
  QString name_;
  QStringList usages_;
  QString summary_;
  QList<QCommandLineOption> options_;
  bool optionsEndAtFirstArgument_ = false;
};

/// "-x, --one-file-system FILE": an option's names with their dashes, and
/// its value's name when it takes one.
QString optionSpelling(const QCommandLineOption &option);

/// The lines "  NAME  TEXT", with every TEXT starting in the same column.
std::string alignedRows(const QList<QPair<QString, QString>> &rows);

} // namespace quillane
