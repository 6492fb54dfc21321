#include "TarnwickCore/Scan/DarwinBulkEntrySource.h"

#ifdef __APPLE__

#include "TarnwickCore/Scan/AttributeRecordDecoder.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/attr.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

static_assert(bulkattr::commonName == ATTR_CMN_NAME && bulkattr::commonDevice == ATTR_CMN_DEVID &&
              bulkattr::commonObjectType == ATTR_CMN_OBJTYPE &&
              bulkattr::commonModTime == ATTR_CMN_MODTIME && bulkattr::commonFlags == ATTR_CMN_FLAGS &&
              bulkattr::commonFileId == ATTR_CMN_FILEID && bulkattr::commonError == ATTR_CMN_ERROR &&
              bulkattr::commonReturnedAttrs == ATTR_CMN_RETURNED_ATTRS);
static_assert(bulkattr::fileTotalSize == ATTR_FILE_TOTALSIZE &&
              bulkattr::fileAllocSize == ATTR_FILE_ALLOCSIZE);
static_assert(bulkattr::datalessFlag == SF_DATALESS);

class DarwinBulkEntryReader final : public DirectoryEntryReader {
public:
  bool open(const std::string &path) override {
    close();
    directory_.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return directory_.valid();
  }

  BatchStatus nextBatch(std::vector<EntryFacts> &out) override {
    out.clear();
    if (!directory_ || brokenBatch_)
      return BatchStatus::failed;
    // A batch whose records all decode to nothing (an early zero length)
    // still moved the directory position, so reading on makes progress.
    while (out.empty()) {
      attrlist request{};
      request.bitmapcount = ATTR_BIT_MAP_COUNT;
      request.commonattr = bulkattr::requestedCommon;
      request.fileattr = bulkattr::requestedFile;
      int count;
      do {
        count = ::getattrlistbulk(directory_.get(), &request, buffer_.data(), buffer_.size(),
                                  FSOPT_NOFOLLOW);
      } while (count < 0 && errno == EINTR);
      if (count < 0)
        return errno == ENOTSUP && !readAny_ ? BatchStatus::unsupported : BatchStatus::failed;
      if (count == 0)
        return BatchStatus::end;
      readAny_ = true;
      const auto result =
          decodeAttributeRecords(buffer_, static_cast<std::size_t>(count), out);
      if (result.truncated) {
        // The rest of this batch is lost; deliver what decoded, then fail.
        brokenBatch_ = true;
        return out.empty() ? BatchStatus::failed : BatchStatus::entries;
      }
    }
    return BatchStatus::entries;
  }

  void close() override {
    directory_.reset();
    readAny_ = false;
    brokenBatch_ = false;
  }

private:
  UniqueFd directory_;
  bool readAny_ = false;     // unsupported is only meaningful before any entry
  bool brokenBatch_ = false; // the directory can no longer be listed completely
  // Reused across directories; names in returned batches point into it.
  std::vector<std::byte> buffer_ = std::vector<std::byte>(bulkattr::bufferSize);
};

} // namespace

std::unique_ptr<DirectoryEntryReader> DarwinBulkEntrySource::makeReader() {
  return std::make_unique<DarwinBulkEntryReader>();
}

} // namespace tarnwick

#endif
