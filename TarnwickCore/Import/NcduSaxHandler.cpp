#include "TarnwickCore/Import/NcduSaxHandler.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

namespace tarnwick {
namespace {

using Kind = ExportReadError::Kind;
constexpr std::uint64_t int64Max = std::numeric_limits<std::int64_t>::max();
// Far beyond anything an exporter writes in a field it alone knows (the
// messages spell both bounds out).
constexpr std::size_t maxSkippedDepth = 65'536;
// Brackets a run may hold beyond two per level it reached (closing a deep
// folder, then opening the next entry's array and object).
constexpr std::size_t bracketRunSlack = 4'096;

// The known fields of an info object.
enum class Field : std::uint8_t {
  unknown, name, asize, dsize, dev, ino, nlink, hlnkc, notreg, readError, excluded, mtime, mode, uid, gid
};

Field fieldOf(std::string_view key) {
  static constexpr std::pair<std::string_view, Field> fields[] = {
      {"name", Field::name},       {"asize", Field::asize},   {"dsize", Field::dsize},
      {"dev", Field::dev},         {"ino", Field::ino},       {"nlink", Field::nlink},
      {"hlnkc", Field::hlnkc},     {"notreg", Field::notreg}, {"read_error", Field::readError},
      {"excluded", Field::excluded}, {"mtime", Field::mtime}, {"mode", Field::mode},
      {"uid", Field::uid},         {"gid", Field::gid}};
  for (const auto &[name, field] : fields)
    if (key == name)
      return field;
  return Field::unknown;
}

} // namespace

bool NcduSaxHandler::fail(Kind kind, std::string detail) {
  if (!error_)
    error_ = ExportReadError{kind, offset(), std::move(detail)};
  return false;
}

bool NcduSaxHandler::typeError(const char *expected) {
  return fail(Kind::wrongType, "\"" + key_ + "\" must be " + expected);
}

bool NcduSaxHandler::wholeNumber(const Scalar &value, std::uint64_t maximum, std::uint64_t &out) {
  if (value.type != Scalar::Type::integer && !value.hugeWhole)
    return typeError("a whole number");
  if (value.hugeWhole || value.negative || value.magnitude > maximum)
    return fail(Kind::badValue, "\"" + key_ + "\" is out of range");
  out = value.magnitude;
  return true;
}

bool NcduSaxHandler::bracket() {
  deepestSinceValue_ = std::max(deepestSinceValue_, depth_);
  if (++bracketsSinceValue_ > 2 * deepestSinceValue_ + bracketRunSlack)
    return fail(Kind::structure, "more than 4,096 arrays and objects open and close with no value between them");
  return true;
}

bool NcduSaxHandler::null() { return scalar({Scalar::Type::null}); }
bool NcduSaxHandler::boolean(bool value) { return scalar({Scalar::Type::boolean, value}); }
bool NcduSaxHandler::number(const Scalar &value) {
  afterNumber_ = true;
  const bool accepted = scalar(value);
  afterNumber_ = false;
  return accepted;
}
bool NcduSaxHandler::number_integer(std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return number({Scalar::Type::integer, false, magnitude, negative, static_cast<double>(value)});
}
bool NcduSaxHandler::number_unsigned(std::uint64_t value) {
  return number({Scalar::Type::integer, false, value, false, static_cast<double>(value)});
}
bool NcduSaxHandler::number_float(double value, const std::string &text) {
  // The parser gives whole numbers beyond 64 bits as floating point; they
  // are whole numbers out of range, not fractions.
  const bool whole = text.find_first_of(".eE") == std::string::npos;
  return number({Scalar::Type::floating, false, 0, value < 0, value, nullptr, whole});
}
bool NcduSaxHandler::string(std::string &value) {
  stream_.restoreBytes(value);
  return scalar({Scalar::Type::string, false, 0, false, 0, &value});
}
bool NcduSaxHandler::binary(nlohmann::json::binary_t &) { return fail(Kind::structure, "binary data in JSON text"); }

bool NcduSaxHandler::key(std::string &value) {
  stream_.restoreBytes(value);
  valueSeen();
  if (skipDepth_ > 0)
    return true;
  (place_ == Place::metadata ? metadataKey_ : key_) = value;
  return true;
}

bool NcduSaxHandler::start_object(std::size_t) {
  ++depth_;
  return bracket() && containerStart(true);
}
bool NcduSaxHandler::start_array(std::size_t) {
  ++depth_;
  return bracket() && containerStart(false);
}
bool NcduSaxHandler::end_object() {
  --depth_;
  return bracket() && containerEnd();
}
bool NcduSaxHandler::end_array() {
  --depth_;
  return bracket() && containerEnd();
}

bool NcduSaxHandler::parse_error(std::size_t position, const std::string &, const nlohmann::json::exception &error) {
  // "[json.exception.parse_error.101] parse error at line 1, column 5: why"
  // or "[json.exception.out_of_range.406] why": keep the why.
  std::string_view what = error.what();
  if (const auto bracket = what.find("] "); bracket != std::string_view::npos)
    what.remove_prefix(bracket + 2);
  if (const auto colon = what.find(": "); colon != std::string_view::npos && what.starts_with("parse error"))
    what.remove_prefix(colon + 2);
  if (error_)
    return false;
  // A number too large even for a double is reported once it is read
  // whole; any other fault counts the offending byte (or the end) as read,
  // so the fault is at the byte before.
  // Positions count the bytes the parser was handed, which leave out all
  // but the first of a run of whitespace: the stream takes them back.
  if (error.id == 406)
    error_ = ExportReadError{Kind::badValue, stream_.textOffset(position), std::string(what)};
  else
    error_ = ExportReadError{Kind::syntax, position > 0 ? stream_.textOffset(position) - 1 : 0, std::string(what)};
  return false;
}

bool NcduSaxHandler::scalar(const Scalar &value) {
  valueSeen();
  if (skipDepth_ > 0)
    return true;
  switch (place_) {
  case Place::top:
    return topScalar(value);
  case Place::metadata:
    if (metadataKey_ == "progname" && value.type == Scalar::Type::string)
      builder_.setMarksRepeatedLinksOnly(*value.text == "gdu");
    if (metadataKey_ == "timestamp" && value.type == Scalar::Type::integer && !value.negative &&
        value.magnitude <= static_cast<std::uint64_t>(INT64_MAX))
      builder_.setExportedAt(static_cast<std::int64_t>(value.magnitude));
    // Our own mark of a scan stopped early; other readers skip the key.
    if (metadataKey_ == "quillane_stopped_after_entries" && value.type == Scalar::Type::integer && !value.negative &&
        value.magnitude <= static_cast<std::uint64_t>(DiskTreeArena::maxNodeCount))
      builder_.setStoppedAfterEntries(static_cast<std::int64_t>(value.magnitude));
    return true;
  case Place::info:
    return infoScalar(value);
  case Place::folder:
    return fail(Kind::structure, "a folder holds a value that is neither an entry's object nor a folder's array");
  default:
    return fail(Kind::structure, "an export is a JSON array: [1, minor, {metadata}, [root…]]");
  }
}

bool NcduSaxHandler::topScalar(const Scalar &value) {
  if (topIndex_ > 1 || value.type != Scalar::Type::integer || value.negative)
    return fail(Kind::structure, topIndex_ > 1 ? "unexpected value in the outer array"
                                               : "the export must start with its major and minor version numbers");
  if (topIndex_ == 0 && value.magnitude != 1)
    return fail(Kind::structure, "major version " + std::to_string(value.magnitude) + " is not supported (1 is)");
  ++topIndex_;
  return true;
}

bool NcduSaxHandler::infoScalar(const Scalar &value) {
  std::uint64_t number = 0;
  switch (fieldOf(key_)) {
  case Field::unknown:
    return true;
  case Field::name:
    if (value.type != Scalar::Type::string)
      return typeError("a string");
    entry_.name = *value.text;
    entry_.hasName = true;
    return true;
  case Field::asize:
    return wholeNumber(value, int64Max, number);
  case Field::dsize:
    if (!wholeNumber(value, int64Max, number))
      return false;
    entry_.diskSize = static_cast<std::int64_t>(number);
    return true;
  case Field::dev:
  case Field::ino:
    if (!wholeNumber(value, std::numeric_limits<std::uint64_t>::max(), number))
      return false;
    (fieldOf(key_) == Field::dev ? entry_.device : entry_.inode) = number;
    return true;
  case Field::nlink:
    return wholeNumber(value, std::numeric_limits<std::uint64_t>::max(), entry_.linkCount);
  case Field::mode:
    if (!wholeNumber(value, std::numeric_limits<std::uint64_t>::max(), number))
      return false;
    entry_.mode = number;
    return true;
  case Field::uid:
  case Field::gid:
    return wholeNumber(value, std::numeric_limits<std::uint64_t>::max(), number);
  case Field::hlnkc:
  case Field::notreg:
  case Field::readError:
    if (value.type != Scalar::Type::boolean)
      return typeError("true or false");
    (fieldOf(key_) == Field::hlnkc ? entry_.hardLinked
     : fieldOf(key_) == Field::notreg ? entry_.notRegular
                                      : entry_.readError) = value.boolean;
    return true;
  case Field::excluded:
    if (value.type == Scalar::Type::boolean) {
      entry_.exclusion = value.boolean ? NcduEntry::Exclusion::pattern : NcduEntry::Exclusion::none;
      return true;
    }
    if (value.type != Scalar::Type::string)
      return typeError("a string");
    entry_.exclusionKind = *value.text;
    entry_.exclusion = *value.text == "otherfs" || *value.text == "othfs" || *value.text == "kernfs"
                           ? NcduEntry::Exclusion::otherFileSystem
                           : NcduEntry::Exclusion::pattern;
    return true;
  case Field::mtime:
    if (value.type != Scalar::Type::integer && value.type != Scalar::Type::floating)
      return typeError("a number");
    entry_.modificationTime = value.floating;
    return true;
  }
  return true;
}

bool NcduSaxHandler::containerStart(bool isObject) {
  if (skipDepth_ > 0) {
    if (++skipDepth_ > maxSkippedDepth)
      return fail(Kind::structure, "a skipped value nests more than 65,536 levels deep");
    return true;
  }
  switch (place_) {
  case Place::start:
    if (isObject)
      return fail(Kind::structure, "an export is a JSON array: [1, minor, {metadata}, [root…]]");
    place_ = Place::top;
    return true;
  case Place::top:
    if (topIndex_ == 2 && isObject) {
      place_ = Place::metadata;
      return true;
    }
    if (topIndex_ == 3 && !isObject) {
      place_ = Place::folder;
      expectingInfo_ = true;
      role_ = Role::root;
      return true;
    }
    return fail(Kind::structure, topIndex_ < 2   ? "the export must start with its major and minor version numbers"
                                 : topIndex_ == 2 ? "the metadata must be an object"
                                 : topIndex_ == 3 ? "the root must be a folder's array"
                                                  : "unexpected value after the root folder");
  case Place::metadata:
    skipDepth_ = 1;
    return true;
  case Place::folder:
    if (expectingInfo_ && !isObject)
      return fail(Kind::structure, "a folder's array must start with its info object");
    if (isObject) {
      place_ = Place::info;
      entry_ = NcduEntry();
      key_.clear();
      return true;
    }
    expectingInfo_ = true;
    role_ = Role::folder;
    return true;
  case Place::info:
    if (fieldOf(key_) != Field::unknown)
      return typeError("a plain value");
    skipDepth_ = 1;
    return true;
  case Place::done:
    break;
  }
  return fail(Kind::structure, "unexpected value after the export");
}

bool NcduSaxHandler::containerEnd() {
  if (skipDepth_ > 0) {
    --skipDepth_;
    return true;
  }
  switch (place_) {
  case Place::metadata:
    place_ = Place::top;
    topIndex_ = 3;
    return true;
  case Place::info:
    return finishInfo();
  case Place::folder:
    if (expectingInfo_)
      return fail(Kind::structure, "a folder's array must start with its info object");
    if (auto refused = builder_.closeFolder(stream_.consumed())) {
      error_ = std::move(refused);
      return false;
    }
    if (builder_.complete()) {
      place_ = Place::top;
      topIndex_ = 4;
    }
    return true;
  case Place::top:
    if (topIndex_ != 4)
      return fail(Kind::structure, "the export ends before its root folder");
    place_ = Place::done;
    return true;
  default:
    return fail(Kind::structure, "unbalanced export");
  }
}

bool NcduSaxHandler::finishInfo() {
  const Role role = expectingInfo_ ? role_ : Role::file;
  const std::uint64_t offset = stream_.consumed();
  std::optional<ExportReadError> refused = role == Role::root     ? builder_.openRoot(entry_, offset)
                                           : role == Role::folder ? builder_.openFolder(entry_, offset)
                                                                  : builder_.addFile(entry_, offset);
  if (refused) {
    error_ = std::move(refused);
    return false;
  }
  place_ = Place::folder;
  expectingInfo_ = false;
  return true;
}

} // namespace tarnwick
