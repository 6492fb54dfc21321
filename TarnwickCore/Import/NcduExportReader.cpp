#include "TarnwickCore/Import/NcduExportReader.h"

#include "TarnwickCore/Import/ExportByteStream.h"
#include "TarnwickCore/Import/ExportInput.h"
#include "TarnwickCore/Import/NcduSaxHandler.h"
#include "TarnwickCore/Import/NcduTreeBuilder.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <istream>
#include <new>
#include <optional>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = ExportReadError::Kind;

NcduExportReader::Outcome readFrom(ExportInput &input, std::size_t maxNodeCount) {
  const auto start = std::chrono::steady_clock::now();
  std::optional<ExportByteStream> stream;
  try {
    stream.emplace(input);
    std::istream text(&*stream);
    NcduTreeBuilder builder(maxNodeCount);
    NcduSaxHandler handler(*stream, builder);
    const bool parsed = nlohmann::json::sax_parse(text, &handler, nlohmann::json::input_format_t::json, true);
    const std::uint64_t offset = stream->consumed();
    // A read or decompression failure, or a token too long to hand on,
    // shows to the parser as the end of the text; it is the real cause.
    if (input.failed())
      return ExportReadError{input.compressed() ? Kind::compression : Kind::unreadable, offset,
                             input.compressed() ? input.failure() + " (offset in the decompressed text)"
                                                : "cannot read the export: " + input.failure()};
    if (stream->refusal())
      return *stream->refusal();
    if (handler.error())
      return *handler.error();
    if (!parsed || !handler.complete() || !builder.complete())
      return ExportReadError{Kind::structure, offset, "the export ends before its root folder is complete"};
    return builder.finish(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  } catch (const std::bad_alloc &) {
    return ExportReadError{Kind::tooLarge, stream ? stream->consumed() : 0, "out of memory while reading the export"};
  } catch (const std::exception &error) {
    // The parser's own exceptions never escape sax_parse for faults in the
    // text; anything else is reported rather than allowed to end the program.
    return ExportReadError{Kind::syntax, stream ? stream->consumed() : 0, error.what()};
  }
}

} // namespace

NcduExportReader::Outcome NcduExportReader::read(UniqueFd fd, std::stop_token stop, std::size_t maxNodeCount) {
  ExportInput input(std::move(fd), std::move(stop));
  return readFrom(input, maxNodeCount);
}

NcduExportReader::Outcome NcduExportReader::readFile(const std::string &path, std::stop_token stop,
                                                     std::size_t maxNodeCount) {
  if (path == "-") {
    // Standard input stays open for the caller: read a duplicate.
    UniqueFd duplicate(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    if (!duplicate)
      return ExportReadError{Kind::unreadable, 0, std::string("cannot read standard input: ") + std::strerror(errno)};
    return read(std::move(duplicate), std::move(stop), maxNodeCount);
  }
  // Opening a FIFO waits for its writer, which nothing could interrupt;
  // without blocking, the wait happens in the first read instead, where a
  // stop request ends it (ExportInput). Only a FIFO: a regular file under a
  // lease must still be waited for, not refused.
  struct stat st;
  const int nonBlocking = ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode) ? O_NONBLOCK : 0;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | nonBlocking));
  if (!fd || (nonBlocking && ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0))
    return ExportReadError{Kind::unreadable, 0, "cannot open " + path + ": " + std::strerror(errno)};
  return read(std::move(fd), std::move(stop), maxNodeCount);
}

NcduExportReader::Outcome NcduExportReader::readBytes(std::string_view bytes, std::size_t maxNodeCount) {
  ExportInput input(bytes);
  return readFrom(input, maxNodeCount);
}

} // namespace tarnwick
