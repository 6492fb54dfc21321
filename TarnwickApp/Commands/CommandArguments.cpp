#include "TarnwickApp/Commands/CommandArguments.h"

#include <QCommandLineParser>

namespace quillane {

namespace {

// The parser saw each argument byte for byte as Latin-1 (see CommandSyntax).
std::string bytesOf(const QString &text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

CommandArguments::CommandArguments(std::unique_ptr<QCommandLineParser> parser, std::vector<std::string> raw)
    : parser_(std::move(parser)), raw_(std::move(raw)) {
  for (const QString &argument : parser_->positionalArguments())
    positional_.push_back(bytesOf(argument));
}

CommandArguments::CommandArguments(CommandArguments &&) noexcept = default;
CommandArguments &CommandArguments::operator=(CommandArguments &&) noexcept = default;
CommandArguments::~CommandArguments() = default;

bool CommandArguments::isSet(const char *option) const { return parser_->isSet(QLatin1String(option)); }

std::optional<std::string> CommandArguments::value(const char *option) const {
  const QStringList given = parser_->values(QLatin1String(option));
  if (given.isEmpty())
    return std::nullopt;
  return bytesOf(given.constLast());
}

std::vector<std::string> CommandArguments::values(const char *option) const {
  std::vector<std::string> given;
  for (const QString &value : parser_->values(QLatin1String(option)))
    given.push_back(bytesOf(value));
  return given;
}

} // namespace quillane
