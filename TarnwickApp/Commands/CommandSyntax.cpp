#include "TarnwickApp/Commands/CommandSyntax.h"

#include <QCommandLineParser>

#include <algorithm>
#include <memory>

namespace quillane {

namespace {

// Qt's parser works on QStrings. Latin-1 maps each byte to one character
// and back, so a file name that is not UTF-8 comes out as it went in, while
// the options, all ASCII, read as themselves.
QString textOf(const char *argument) { return QString::fromLatin1(argument); }

std::string bytesOf(const QString &text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString dashed(const QString &name) { return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name; }

// Qt's error texts are sentences about a quoted argument ("Missing value
// after '--top'."); the command line says the same in its own words.
std::string usageMessage(const QCommandLineParser &parser) {
  if (!parser.unknownOptionNames().isEmpty())
    return "unknown option " + bytesOf(dashed(parser.unknownOptionNames().constFirst()));
  const QString error = parser.errorText();
  const qsizetype open = error.indexOf(QLatin1Char('\'')), close = error.lastIndexOf(QLatin1Char('\''));
  const QString quoted = open >= 0 && close > open ? error.mid(open + 1, close - open - 1) : QString();
  if (!quoted.isEmpty() && error.startsWith(QLatin1String("Missing value")))
    return bytesOf(quoted) + " needs a value";
  if (!quoted.isEmpty() && error.startsWith(QLatin1String("Unexpected value")))
    return bytesOf(quoted) + " takes no value";
  QString message = error;
  if (message.endsWith(QLatin1Char('.')))
    message.chop(1);
  if (!message.isEmpty())
    message[0] = message[0].toLower();
  return bytesOf(message);
}

} // namespace

CommandSyntax::CommandSyntax(QString name, QStringList usages, QString summary, QList<QCommandLineOption> options)
    : name_(std::move(name)), usages_(std::move(usages)), summary_(std::move(summary)), options_(std::move(options)) {
  options_.append(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this help")));
}

CommandSyntax &CommandSyntax::optionsEndAtFirstArgument() {
  optionsEndAtFirstArgument_ = true;
  return *this;
}

QString optionSpelling(const QCommandLineOption &option) {
  QStringList names;
  for (const QString &name : option.names())
    names.append(dashed(name));
  QString spelling = names.join(QStringLiteral(", "));
  if (!option.valueName().isEmpty())
    spelling += QLatin1Char(' ') + option.valueName();
  return spelling;
}

std::string alignedRows(const QList<QPair<QString, QString>> &rows) {
  qsizetype width = 0;
  for (const auto &row : rows)
    width = std::max(width, row.first.size());
  QString text;
  for (const auto &[name, description] : rows)
    text += QStringLiteral("  ") + name.leftJustified(width + 2) + description + QLatin1Char('\n');
  return text.toStdString();
}

std::string CommandSyntax::helpText() const {
  QString text;
  for (qsizetype i = 0; i < usages_.size(); ++i)
    text += (i == 0 ? QStringLiteral("Usage: quillane ") : QStringLiteral("       quillane ")) + usages_[i] +
            QLatin1Char('\n');
  text += QLatin1Char('\n') + summary_ + QStringLiteral("\n\nOptions:\n");
  QList<QPair<QString, QString>> rows;
  for (const QCommandLineOption &option : options_)
    rows.append({optionSpelling(option), option.description()});
  return text.toStdString() + alignedRows(rows);
}

tarnwick::Result<CommandArguments> CommandSyntax::parse(std::span<char *const> arguments) const {
  auto parser = std::make_unique<QCommandLineParser>();
  parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  if (optionsEndAtFirstArgument_)
    parser->setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  parser->addOptions(options_);
  // The parser skips the first argument as the program's name.
  QStringList texts{QStringLiteral("quillane")};
  std::vector<std::string> raw;
  for (const char *argument : arguments) {
    texts.append(textOf(argument));
    raw.emplace_back(argument);
  }
  if (!parser->parse(texts))
    return tarnwick::Failure::because(usageMessage(*parser));
  return CommandArguments(std::move(parser), std::move(raw));
}

} // namespace quillane
