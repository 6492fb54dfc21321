#include "TarnwickCore/Scan/FileManagerEntrySource.h"

#include "TarnwickCore/Support/NoLinkPath.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

// Small batches keep the walker's per-entry cancellation checks frequent.
constexpr std::size_t entriesPerBatch = 256;

EntryType typeFromMode(mode_t mode) {
  if (S_ISREG(mode)) return EntryType::regular;
  if (S_ISDIR(mode)) return EntryType::directory;
  if (S_ISLNK(mode)) return EntryType::symlink;
  return EntryType::other;
}

// Owns one directory stream (and with it the descriptor).
class DirectoryStream {
public:
  DirectoryStream() = default;
  DirectoryStream(const DirectoryStream &) = delete;
  DirectoryStream &operator=(const DirectoryStream &) = delete;
  ~DirectoryStream() { reset(); }

  bool open(const std::string &path) {
    reset();
    int fd = openDirectoryNoFollow(path);
    if (fd < 0)
      return false;
    stream_ = ::fdopendir(fd);
    if (!stream_) {
      int error = errno;
      ::close(fd);
      errno = error;
    }
    return stream_ != nullptr;
  }
  void reset() {
    if (stream_)
      ::closedir(stream_);
    stream_ = nullptr;
  }
  DIR *get() const { return stream_; }

private:
  DIR *stream_ = nullptr;
};

class FileManagerReader final : public DirectoryEntryReader {
public:
  bool open(const std::string &path) override {
    failure_ = 0;
    return stream_.open(path);
  }

  BatchStatus nextBatch(std::vector<EntryFacts> &out) override {
    out.clear();
    names_.clear();
    nameOffsets_.clear();
    if (!stream_.get()) {
      // A failure after a batch of entries is reported by the next call.
      errno = failure_;
      return failure_ != 0 ? BatchStatus::failed : BatchStatus::end;
    }
    BatchStatus status = BatchStatus::entries;
    while (out.size() < entriesPerBatch) {
      errno = 0;
      const dirent *entry = ::readdir(stream_.get());
      if (!entry) {
        failure_ = errno;
        status = failure_ == 0 ? BatchStatus::end : BatchStatus::failed;
        stream_.reset();
        break;
      }
      std::string_view name(entry->d_name);
      if (name == "." || name == "..")
        continue;
      out.push_back(describe(entry->d_name));
      // Names are copied back to back; the views are made once the buffer
      // has stopped growing.
      nameOffsets_.push_back(names_.size());
      names_.append(name);
    }
    nameOffsets_.push_back(names_.size());
    for (std::size_t i = 0; i < out.size(); ++i)
      out[i].name = std::string_view(names_).substr(nameOffsets_[i], nameOffsets_[i + 1] - nameOffsets_[i]);
    // What was read before a failure still counts.
    errno = failure_;
    return out.empty() ? status : BatchStatus::entries;
  }

  void close() override { stream_.reset(); }

private:
  EntryFacts describe(const char *name) const {
    EntryFacts facts;
    struct stat st;
    if (::fstatat(::dirfd(stream_.get()), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      facts.errorCode = static_cast<std::uint32_t>(errno);
      return facts;
    }
    facts.type = typeFromMode(st.st_mode);
    facts.device = static_cast<std::int64_t>(st.st_dev);
    facts.fileIdentifier = st.st_ino;
    facts.linkCount = st.st_nlink;
    facts.size = static_cast<std::int64_t>(st.st_blocks) * 512;
    facts.modificationTimestamp = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
    return facts;
  }

  DirectoryStream stream_;
  int failure_ = 0; // errno of a listing that failed part-way
  std::string names_;
  std::vector<std::size_t> nameOffsets_;
};

} // namespace

std::unique_ptr<DirectoryEntryReader> FileManagerEntrySource::makeReader() {
  return std::make_unique<FileManagerReader>();
}

} // namespace tarnwick
