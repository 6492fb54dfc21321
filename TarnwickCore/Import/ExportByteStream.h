#pragma once

#include "TarnwickCore/Import/ExportInput.h"
#include "TarnwickCore/Support/DefaultInitAllocator.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <streambuf>
#include <string>
#include <vector>

namespace tarnwick {

/// The text of an export as a stream buffer for the JSON parser, with the
/// bytes of names kept as they are.
///
/// Exports write names byte for byte, so a name that is not UTF-8 reaches
/// the parser raw, and the parser refuses such strings. Inside strings this
/// buffer therefore replaces every byte that is not part of a well-formed
/// UTF-8 sequence with the marker 0x7F (DEL, which JSON allows raw) and
/// remembers the byte. A 0x7F that was in the text already, raw or as the
/// escape \u007f, is remembered as itself. Each marker in the strings the
/// parser delivers then stands, in order, for one remembered byte:
/// restoreBytes() puts them back. The replacement keeps every length, so
/// offsets in the parser's messages are offsets in the text.
///
/// Threads: one parser at a time.
class ExportByteStream : public std::streambuf {
public:
  static constexpr char marker = 0x7F;

  explicit ExportByteStream(ExportInput &input);

  /// Bytes handed to the parser so far.
  std::uint64_t consumed() const {
    return delivered_ + static_cast<std::uint64_t>(gptr() - eback());
  }
  /// consumed(), less the byte the parser reads past a number to see
  /// where it ends: the offset just after the number it has delivered.
  std::uint64_t consumedAfterNumber() const;
  /// Replaces each marker in `text`, a string the parser delivered, with
  /// the byte it stands for. Every string the parser delivers must pass
  /// through here, in order, or later strings get the wrong bytes.
  void restoreBytes(std::string &text);

protected:
  int_type underflow() override;

private:
  enum class State : std::uint8_t { outside, inString, escape, unicode };

  /// Marks the bytes of buffer_[0, end); returns where marking stopped: at
  /// `end`, or before a UTF-8 sequence cut off by the end of the buffer
  /// while more input may follow.
  std::size_t mark(std::size_t end, bool final);
  /// The length of the well-formed UTF-8 sequence at `at`, 0 when it is
  /// not one, or -1 when the buffer ends inside it.
  int sequenceLength(std::size_t at, std::size_t end) const;

  ExportInput &input_;
  /// Not zeroed: only bytes read into it are handed out.
  std::vector<char, DefaultInitAllocator<char>> buffer_;
  /// Bytes at the end of the buffer not yet marked (a cut sequence).
  std::size_t carry_ = 0;
  std::uint64_t delivered_ = 0;
  bool ended_ = false;
  State state_ = State::outside;
  std::string unicodeDigits_;
  std::deque<char> remembered_;
};

} // namespace tarnwick
