#include "TarnwickApp/Commands/CommandFailure.h"

#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <system_error>

namespace quillane {

int reportCommandFailure(std::string_view activity, std::string_view subject) noexcept {
  // Out of memory, the subject may have to go out as it is.
  std::string shown;
  try {
    shown = printableText(subject);
  } catch (...) {
  }
  std::string_view name = shown.empty() ? subject : shown;
  auto say = [&](const char *reason, const char *detail) {
    std::fprintf(stderr, "quillane: %.*s %.*s: %s%s\n", static_cast<int>(activity.size()), activity.data(),
                 static_cast<int>(name.size()), name.data(), reason, detail);
  };
  try {
    throw;
  } catch (const tarnwick::ScanResourceError &error) {
    std::fprintf(stderr, "quillane: %s\n", error.what());
  } catch (const tarnwick::ScanTooLargeError &error) {
    std::fprintf(stderr, "quillane: %s\n", error.what());
  } catch (const std::bad_alloc &) {
    std::fprintf(stderr, "quillane: out of memory while %.*s %.*s\n", static_cast<int>(activity.size()),
                 activity.data(), static_cast<int>(name.size()), name.data());
  } catch (const std::system_error &error) {
    // The threads' constructors fail with EAGAIN when the process or its
    // user may not have more, or there is no room for their stacks.
    if (error.code() == std::errc::resource_unavailable_try_again)
      say("cannot start threads: ", std::strerror(EAGAIN));
    else
      say("", error.what());
  } catch (const std::exception &error) {
    say("unexpected failure: ", error.what());
  } catch (...) {
    say("unexpected failure", "");
  }
  return 1;
}

int reportUsageError(std::string_view message, std::string_view command, std::FILE *err) {
  // One line whatever the message holds: printableText shows a line break
  // as '?', so messages list on one line.
  std::fprintf(err, "quillane: %s\n", printableText(message).c_str());
  if (command.empty())
    std::fprintf(err, "Try 'quillane --help'.\n");
  else
    std::fprintf(err, "Try 'quillane %.*s --help'.\n", static_cast<int>(command.size()), command.data());
  return 2;
}

} // namespace quillane
