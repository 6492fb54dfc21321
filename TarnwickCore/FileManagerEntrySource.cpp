#include "TarnwickCore/FileManagerEntrySource.h"

#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Small batches keep the walker's per-entry cancellation checks frequent.
constexpr std::size_t entriesPerBatch = 256;

EntryType typeFromMode(mode_t mode) {
  if (S_ISREG(mode)) return EntryType::regular;
  if (S_ISDIR(mode)) return EntryType::directory;
  if (S_ISLNK(mode)) return EntryType::symlink;
  return EntryType::other;
}

class FileManagerReader final : public DirectoryEntryReader {
public:
  bool open(const std::string &path) override {
    close();
    std::error_code error;
    fs::directory_iterator listing(path, error);
    if (error)
      return false;
    listing_ = std::move(listing);
    return true;
  }

  BatchStatus nextBatch(std::vector<EntryFacts> &out) override {
    out.clear();
    names_.clear();
    if (!listing_)
      return BatchStatus::end;
    std::error_code error;
    while (*listing_ != fs::directory_iterator() && names_.size() < entriesPerBatch) {
      const fs::path &child = (*listing_)->path();
      names_.push_back(child.filename().native());
      out.push_back(describe(child));
      listing_->increment(error);
      if (error) {
        listing_.reset();
        return out.empty() ? BatchStatus::failed : BatchStatus::entries;
      }
    }
    if (out.empty()) {
      listing_.reset();
      return BatchStatus::end;
    }
    // Names live in names_, which no longer grows during this batch.
    for (std::size_t i = 0; i < out.size(); ++i)
      out[i].name = names_[i];
    return BatchStatus::entries;
  }

  void close() override { listing_.reset(); }

private:
  static EntryFacts describe(const fs::path &child) {
    EntryFacts facts;
    struct stat st;
    if (::lstat(child.c_str(), &st) != 0)
      return facts;
    facts.type = typeFromMode(st.st_mode);
    facts.device = static_cast<std::int64_t>(st.st_dev);
    facts.fileIdentifier = st.st_ino;
    facts.linkCount = st.st_nlink;
    facts.size = static_cast<std::int64_t>(st.st_blocks) * 512;
    facts.modificationTimestamp = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
    return facts;
  }

  std::optional<fs::directory_iterator> listing_;
  std::vector<std::string> names_;
};

} // namespace

std::unique_ptr<DirectoryEntryReader> FileManagerEntrySource::makeReader() {
  return std::make_unique<FileManagerReader>();
}

} // namespace tarnwick
