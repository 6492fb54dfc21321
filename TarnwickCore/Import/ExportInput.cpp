#include "TarnwickCore/Import/ExportInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

namespace tarnwick {
namespace {

constexpr std::size_t rawChunk = 128 * 1024;
constexpr unsigned char gzipMagic[] = {0x1f, 0x8b};
constexpr unsigned char zstdMagic[] = {0x28, 0xb5, 0x2f, 0xfd};
// ncdu 2's own binary export (ncdu -O), which is not JSON.
constexpr unsigned char ncduBinaryMagic[] = {0xbf, 'n', 'c', 'd', 'u', 'E', 'X', '1'};
// Our own scan snapshot (snapshot::magic), which is not an export either.
constexpr unsigned char snapshotMagic[] = {0x89, 'Q', 'S', 'N', 'A', 'P', '\r', '\n'};

template <typename Bytes>
bool startsWith(const Bytes &bytes, std::size_t begin, const unsigned char *magic, std::size_t length) {
  return bytes.size() - begin >= length && std::memcmp(bytes.data() + begin, magic, length) == 0;
}

} // namespace

// One decompressor; `done` says the last member or frame ended cleanly, so
// that input ending there is a complete text and anywhere else a cut one.
struct ExportInput::Decoder {
  z_stream gzip{};
  bool gzipOpen = false;
  ZSTD_DCtx *zstd = nullptr;
  bool done = true;

  ~Decoder() {
    if (gzipOpen)
      inflateEnd(&gzip);
    ZSTD_freeDCtx(zstd);
  }
};

ExportInput::ExportInput(UniqueFd fd, std::stop_token stop) : fd_(std::move(fd)), stop_(std::move(stop)) {
  // A write-only descriptor (standard input on a pipe's writing end) never
  // polls readable: its read fails at once instead.
  struct stat st;
  const int flags = ::fcntl(fd_.get(), F_GETFL);
  if (::fstat(fd_.get(), &st) == 0 && !S_ISREG(st.st_mode) && flags != -1 && (flags & O_ACCMODE) != O_WRONLY)
    inputWait_ = std::make_unique<StopAwareWait>(stop_);
}

ExportInput::ExportInput(std::string_view bytes) : memory_(bytes), fromMemory_(true) {}

ExportInput::~ExportInput() = default;

std::size_t ExportInput::readRaw(char *destination, std::size_t capacity) {
  if (fromMemory_) {
    const std::size_t count = std::min(capacity, memory_.size());
    if (count > 0)
      std::memcpy(destination, memory_.data(), count);
    memory_.remove_prefix(count);
    return count;
  }
  for (;;) {
    // Waiting in poll() first also waits for a FIFO's first writer, where
    // a read would see the end of the input.
    if (inputWait_ && !inputWait_->waitReadable(fd_.get())) {
      failure_ = "interrupted";
      return 0;
    }
    const ssize_t count = ::read(fd_.get(), destination, capacity);
    if (count >= 0)
      return static_cast<std::size_t>(count);
    // Made non-blocking by another holder of a shared standard input, or
    // its input taken by one since the poll: wait again.
    if (errno == EINTR || (inputWait_ && (errno == EAGAIN || errno == EWOULDBLOCK)))
      continue;
    failure_ = std::strerror(errno);
    return 0;
  }
}

// Keeps `raw_` holding unconsumed input: refills it once the decoder has
// taken everything. Returns false at the end of the input.
template <typename Bytes>
static bool refill(Bytes &raw, std::size_t &begin, bool &ended,
                   const auto &readRaw) {
  if (begin < raw.size())
    return true;
  if (ended)
    return false;
  raw.resize(rawChunk);
  const std::size_t count = readRaw(raw.data(), raw.size());
  raw.resize(count);
  begin = 0;
  ended = count == 0;
  return count > 0;
}

void ExportInput::detectFormat() {
  // Eight bytes decide; a short read is retried so a pipe's first write
  // cannot hide the magic.
  raw_.resize(rawChunk);
  std::size_t have = 0;
  while (have < sizeof ncduBinaryMagic && !failed()) {
    const std::size_t count = readRaw(raw_.data() + have, raw_.size() - have);
    if (count == 0) {
      rawEnded_ = true;
      break;
    }
    have += count;
  }
  raw_.resize(have);
  rawBegin_ = 0;
  format_ = Format::plain;
  if (startsWith(raw_, 0, ncduBinaryMagic, sizeof ncduBinaryMagic)) {
    failure_ = "it is ncdu's binary export (ncdu -O); export JSON with ncdu -o instead";
  } else if (startsWith(raw_, 0, snapshotMagic, sizeof snapshotMagic)) {
    failure_ = "it is a Quillane scan snapshot, not an export; quillane diff reads a snapshot given by its path";
  } else if (startsWith(raw_, 0, gzipMagic, sizeof gzipMagic)) {
    format_ = Format::gzip;
    decoder_ = std::make_unique<Decoder>();
    if (inflateInit2(&decoder_->gzip, 15 + 16) != Z_OK)
      throw std::bad_alloc();
    decoder_->gzipOpen = true;
    decoder_->done = false;
  } else if (startsWith(raw_, 0, zstdMagic, sizeof zstdMagic)) {
    format_ = Format::zstd;
    decoder_ = std::make_unique<Decoder>();
    decoder_->zstd = ZSTD_createDCtx();
    if (!decoder_->zstd)
      throw std::bad_alloc();
    decoder_->done = false;
  }
}

std::size_t ExportInput::read(char *destination, std::size_t capacity) {
  if (format_ == Format::unknown)
    detectFormat();
  if (stop_.stop_requested() && !failed())
    failure_ = "interrupted";
  if (failed() || capacity == 0)
    return 0;
  if (format_ != Format::plain)
    return readDecoded(destination, capacity);
  if (rawBegin_ < raw_.size()) {
    const std::size_t count = std::min(capacity, raw_.size() - rawBegin_);
    std::memcpy(destination, raw_.data() + rawBegin_, count);
    rawBegin_ += count;
    return count;
  }
  return rawEnded_ ? 0 : readRaw(destination, capacity);
}

std::size_t ExportInput::readDecoded(char *destination, std::size_t capacity) {
  Decoder &decoder = *decoder_;
  auto readMore = [this](char *to, std::size_t size) { return readRaw(to, size); };
  std::size_t produced = 0;
  while (produced == 0) {
    if (!refill(raw_, rawBegin_, rawEnded_, readMore)) {
      if (!failed() && !decoder.done)
        failure_ = format_ == Format::gzip ? "the gzip stream ends early" : "the zstd stream ends early";
      return 0;
    }
    const std::size_t available = raw_.size() - rawBegin_;
    if (format_ == Format::gzip) {
      z_stream &z = decoder.gzip;
      if (decoder.done) {
        // Another member follows the one that ended.
        inflateReset(&z);
        decoder.done = false;
      }
      z.next_in = reinterpret_cast<Bytef *>(raw_.data() + rawBegin_);
      z.avail_in = static_cast<uInt>(std::min<std::size_t>(available, 1u << 30));
      z.next_out = reinterpret_cast<Bytef *>(destination);
      z.avail_out = static_cast<uInt>(std::min<std::size_t>(capacity, 1u << 30));
      const int status = inflate(&z, Z_NO_FLUSH);
      rawBegin_ = static_cast<std::size_t>(reinterpret_cast<char *>(z.next_in) - raw_.data());
      produced = static_cast<std::size_t>(reinterpret_cast<char *>(z.next_out) - destination);
      if (status == Z_STREAM_END) {
        decoder.done = true;
      } else if (status == Z_MEM_ERROR) {
        throw std::bad_alloc();
      } else if (status != Z_OK && status != Z_BUF_ERROR) {
        failure_ = std::string("the gzip stream is corrupt (") + (z.msg ? z.msg : "inflate failed") + ")";
        return 0;
      }
    } else {
      ZSTD_inBuffer in{raw_.data() + rawBegin_, available, 0};
      ZSTD_outBuffer out{destination, capacity, 0};
      const std::size_t status = ZSTD_decompressStream(decoder.zstd, &out, &in);
      rawBegin_ += in.pos;
      produced = out.pos;
      if (ZSTD_isError(status)) {
        failure_ = std::string("the zstd stream is corrupt (") + ZSTD_getErrorName(status) + ")";
        return 0;
      }
      decoder.done = status == 0;
    }
  }
  return produced;
}

} // namespace tarnwick
