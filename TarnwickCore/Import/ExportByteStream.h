#pragma once

#include "TarnwickCore/Import/ExportInput.h"
#include "TarnwickCore/Import/ExportReadError.h"
#include "TarnwickCore/Support/DefaultInitAllocator.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
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
/// restoreBytes() puts them back.
///
/// The parser keeps every byte it reads since its last string, number or
/// literal, and each string and number whole, so this buffer bounds them:
/// a run of whitespace outside strings reaches the parser as its first
/// byte only, and a string, or a number or literal, longer than
/// longestToken ends the read with refusal(). Offsets of the parser's
/// positions are taken back to the text by textOffset().
///
/// Threads: one parser at a time.
class ExportByteStream : public std::streambuf {
public:
  static constexpr char marker = 0x7F;
  /// The most bytes of text a string, number or literal may take: far above
  /// the longest an export holds (a name of 65,535 bytes, each escaped as
  /// \u00XX in six). Messages call it 4 MiB.
  static constexpr std::uint64_t longestToken = std::uint64_t{4} << 20;

  explicit ExportByteStream(ExportInput &input);

  /// Bytes of the text read so far: up to just after the last byte handed
  /// to the parser.
  std::uint64_t consumed() const { return textOffset(handedOut()); }
  /// consumed(), less the byte the parser reads past a number to see
  /// where it ends: the offset just after the number it has delivered.
  std::uint64_t consumedAfterNumber() const;
  /// The offset in the text just after the first `count` bytes handed to
  /// the parser (a position in its messages, which counts the end of the
  /// text as a byte). `count` lies between the bytes handed out before the
  /// buffer now handed out and one past its end.
  std::uint64_t textOffset(std::uint64_t count) const;
  /// Why the text stopped short of its end, if a token was too long.
  const std::optional<ExportReadError> &refusal() const { return refusal_; }
  /// Replaces each marker in `text`, a string the parser delivered, with
  /// the byte it stands for. Every string the parser delivers must pass
  /// through here, in order, or later strings get the wrong bytes.
  void restoreBytes(std::string &text);

protected:
  int_type underflow() override;

private:
  enum class State : std::uint8_t { outside, inString, escape, unicode };
  /// Whitespace left out at one place of the buffer handed out.
  struct Gap {
    /// The index in the buffer of the byte the gap comes before.
    std::uint32_t before;
    /// Bytes left out in the buffer up to here, this gap's included.
    std::uint32_t total;
  };

  std::uint64_t handedOut() const { return delivered_ + static_cast<std::uint64_t>(gptr() - eback()); }
  /// Marks the bytes of buffer_[begin, end), moving the ones kept down to
  /// out_; returns where marking stopped: at `end`, before a UTF-8
  /// sequence cut off by the end of the buffer while more input may
  /// follow, or at a token too long.
  std::size_t mark(std::size_t begin, std::size_t end, bool final);
  /// Whether `c`, read outside strings, is left out; counts it towards the
  /// token it belongs to.
  bool skipOutside(char c);
  /// Refuses a token longer than longestToken, at the byte kept next.
  void refuseToken(const char *what);
  std::uint64_t gapsBefore(std::size_t index) const;
  /// The length of the well-formed UTF-8 sequence at `at`, 0 when it is
  /// not one, or -1 when the buffer ends inside it.
  int sequenceLength(std::size_t at, std::size_t end) const;

  ExportInput &input_;
  /// Not zeroed: only bytes read into it are handed out.
  std::vector<char, DefaultInitAllocator<char>> buffer_;
  /// Bytes of the buffer not yet marked (a cut sequence), at carryBegin_.
  std::size_t carry_ = 0;
  std::size_t carryBegin_ = 0;
  /// Where the next byte kept goes while marking.
  std::size_t out_ = 0;
  /// Bytes handed out before this buffer's.
  std::uint64_t delivered_ = 0;
  /// The offset in the text of the buffer's first byte, gaps not counted.
  std::uint64_t bufferOffset_ = 0;
  /// The offset in the text of the last byte of the buffer before.
  std::uint64_t previousLast_ = 0;
  std::vector<Gap> gaps_;
  /// Bytes of the token being read: a string's (with its quotes), or a run
  /// of bytes outside strings other than whitespace and punctuation.
  std::uint64_t tokenLength_ = 0;
  bool afterSpace_ = false;
  bool ended_ = false;
  State state_ = State::outside;
  std::optional<ExportReadError> refusal_;
  std::string unicodeDigits_;
  std::deque<char> remembered_;
};

} // namespace tarnwick
