#pragma once

#include "TarnwickCore/Import/ExportByteStream.h"
#include "TarnwickCore/Import/ExportReadError.h"
#include "TarnwickCore/Import/NcduEntry.h"
#include "TarnwickCore/Import/NcduTreeBuilder.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

/// The events of nlohmann::json::sax_parse over an export, checked against
/// its shape, `[major, minor, {metadata}, [{root info}, entries…]]`, where
/// an entry is a file's info object or a folder's array (its info object,
/// then its entries), and passed on to an NcduTreeBuilder.
///
/// Major version 1 is read, any minor version. Fields the tree has no use
/// for are skipped, whatever they hold; the known ones must have their
/// type. The first fault stops the parse (every event returns false from
/// then on) and is kept in error().
///
/// The parser keeps the text it reads from one string, number or literal
/// to the next, and a bit per level of nesting, so what an export can
/// hold without any is bounded: arrays and objects opening and closing
/// with no value between them, beyond closing what was open, and nesting
/// in skipped values.
///
/// Threads: one parse.
class NcduSaxHandler {
public:
  NcduSaxHandler(ExportByteStream &stream, NcduTreeBuilder &builder) : stream_(stream), builder_(builder) {}

  bool null();
  bool boolean(bool value);
  bool number_integer(std::int64_t value);
  bool number_unsigned(std::uint64_t value);
  bool number_float(double value, const std::string &text);
  bool string(std::string &value);
  bool binary(nlohmann::json::binary_t &value);
  bool start_object(std::size_t elements);
  bool key(std::string &value);
  bool end_object();
  bool start_array(std::size_t elements);
  bool end_array();
  bool parse_error(std::size_t position, const std::string &lastToken, const nlohmann::json::exception &error);

  const std::optional<ExportReadError> &error() const { return error_; }
  /// Whether the outer array ended after the root folder.
  bool complete() const { return place_ == Place::done; }

private:
  enum class Place : std::uint8_t { start, top, metadata, folder, info, done };
  /// A scalar as the parser gave it, for the checks of one field.
  struct Scalar {
    enum class Type : std::uint8_t { null, boolean, integer, floating, string } type;
    bool boolean = false;
    /// For integers: the magnitude, and whether it is negative.
    std::uint64_t magnitude = 0;
    bool negative = false;
    double floating = 0;
    std::string *text = nullptr;
    /// A whole number too large for 64 bits, given as floating point.
    bool hugeWhole = false;
  };

  bool fail(ExportReadError::Kind kind, std::string detail);
  bool scalar(const Scalar &value);
  bool number(const Scalar &value);
  bool topScalar(const Scalar &value);
  bool infoScalar(const Scalar &value);
  bool containerStart(bool isObject);
  bool containerEnd();
  bool finishInfo();
  bool typeError(const char *expected);
  /// Counts an array or object opening or closing; false past the bounds.
  bool bracket();
  /// A value or key, which ends the run of brackets.
  void valueSeen() {
    bracketsSinceValue_ = 0;
    deepestSinceValue_ = depth_;
  }
  /// The value as a whole number of at most `maximum`.
  bool wholeNumber(const Scalar &value, std::uint64_t maximum, std::uint64_t &out);

  /// Where the reader stands: after the token just delivered.
  std::uint64_t offset() const { return afterNumber_ ? stream_.consumedAfterNumber() : stream_.consumed(); }

  ExportByteStream &stream_;
  /// Whether the event being handled is a number's.
  bool afterNumber_ = false;
  NcduTreeBuilder &builder_;
  std::optional<ExportReadError> error_;
  Place place_ = Place::start;
  /// Index of the next element of the outer array.
  int topIndex_ = 0;
  /// Nesting of a value being skipped; while above 0 it takes every event.
  std::size_t skipDepth_ = 0;
  /// Arrays and objects open, and the run of them opening or closing since
  /// the last value, with the deepest nesting it reached.
  std::size_t depth_ = 0;
  std::size_t bracketsSinceValue_ = 0;
  std::size_t deepestSinceValue_ = 0;
  /// Whether the open folder array still waits for its info object.
  bool expectingInfo_ = false;
  /// What the info object being read describes.
  enum class Role : std::uint8_t { root, folder, file } role_ = Role::file;
  std::string key_;
  std::string metadataKey_;
  NcduEntry entry_;
};

} // namespace tarnwick
