#include "TarnwickCore/Deletion/TrashInfoRecord.h"

#include "TarnwickCore/Deletion/TrashDirectory.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <unistd.h>

namespace tarnwick {
namespace {

// Percent-encodes like a URL path: unreserved characters and '/' stay.
std::string percentEncoded(const std::string &bytes) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 0xF]);
    }
  }
  return out;
}

// A name no other writer picks: 64 random bits, with the clock and a
// counter standing in when the kernel has no randomness to give.
std::string temporaryName() {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
    bits = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (static_cast<std::uint64_t>(::getpid()) << 40) ^ (counter++ << 20);
  char name[32];
  std::snprintf(name, sizeof name, ".pending-%016llx", static_cast<unsigned long long>(bits));
  return name;
}

bool writeAll(int fd, const std::string &text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno != EINTR)
      return false;
    done += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
  }
  return true;
}

} // namespace

std::string TrashInfoRecord::text(const std::string &recordedPath, std::time_t deletedAt) {
  std::tm local{};
  ::localtime_r(&deletedAt, &local);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  return "[Trash Info]\nPath=" + percentEncoded(recordedPath) + "\nDeletionDate=" + date + "\n";
}

TrashInfoRecord::TrashInfoRecord(int info, std::string infoPath, std::string text)
    : info_(info), infoPath_(std::move(infoPath)), text_(std::move(text)) {}

TrashInfoRecord::~TrashInfoRecord() {
  if (!temporary_.empty())
    ::unlinkat(info_, temporary_.c_str(), 0);
  if (!published_.empty())
    ::unlinkat(info_, published_.c_str(), 0);
}

void TrashInfoRecord::writeTemporary() {
  std::string name;
  UniqueFd file;
  for (int attempt = 0; !file && attempt < 100; ++attempt) {
    name = temporaryName();
    file.reset(::openat(info_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file && errno != EEXIST)
      break;
  }
  if (!file)
    throw TrashError("cannot write a record in " + infoPath_ + ": " + std::strerror(errno));
  temporary_ = name;
  if (!writeAll(file.get(), text_) || ::fsync(file.get()) != 0 || ::close(file.release()) != 0)
    throw TrashError("cannot write " + infoPath_ + "/" + name + ": " + std::strerror(errno));
}

bool TrashInfoRecord::publish(const std::string &name) {
  if (temporary_.empty())
    writeTemporary();
  const std::string record = name + ".trashinfo";
  if (::renameat2(info_, temporary_.c_str(), info_, record.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno == EEXIST)
      return false;
    throw TrashError("cannot publish " + infoPath_ + "/" + record + ": " + std::strerror(errno));
  }
  published_ = record;
  temporary_.clear();
  return true;
}

void TrashInfoRecord::withdraw() {
  if (published_.empty())
    return;
  // Back under a temporary name, so the next name costs no second write.
  const std::string name = temporaryName();
  if (::renameat2(info_, published_.c_str(), info_, name.c_str(), RENAME_NOREPLACE) == 0)
    temporary_ = name;
  else
    ::unlinkat(info_, published_.c_str(), 0);
  published_.clear();
}

} // namespace tarnwick
