#include "TarnwickCore/Support/Failure.h"

#include <cerrno>
#include <cstring>

namespace tarnwick {
namespace {

// "a: b", or whichever of the two is not empty.
std::string joined(std::string head, const std::string &tail, const char *separator) {
  if (head.empty())
    return tail;
  if (!tail.empty())
    head.append(separator).append(tail);
  return head;
}

} // namespace

Failure Failure::fromErrno(std::string_view action, std::string_view path) {
  // Read first: building the strings allocates, which may set errno.
  const int error = errno;
  return {std::string(action), std::string(path), error, {}};
}

Failure Failure::because(std::string reason) { return {{}, {}, 0, std::move(reason)}; }

std::string Failure::explanation() const {
  if (errorNumber == 0)
    return reason;
  const std::string system = std::strerror(errorNumber);
  return reason.empty() ? system : reason + " (" + system + ")";
}

std::string Failure::message() const {
  std::string subject = action.empty() ? std::string() : "cannot " + action;
  subject = joined(std::move(subject), path, " ");
  return joined(std::move(subject), explanation(), ": ");
}

} // namespace tarnwick
