#include "TarnwickCore/Import/ExportByteStream.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tarnwick {
namespace {

constexpr std::size_t bufferSize = 256 * 1024;

bool isContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

} // namespace

ExportByteStream::ExportByteStream(ExportInput &input) : input_(input), buffer_(bufferSize) {
  setg(buffer_.data(), buffer_.data(), buffer_.data());
}

int ExportByteStream::sequenceLength(std::size_t at, std::size_t end) const {
  const auto lead = static_cast<unsigned char>(buffer_[at]);
  int length = 0;
  // The second byte's range, narrower after some leads (overlong forms,
  // surrogates, code points beyond U+10FFFF), as RFC 3629 has it.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  for (int k = 1; k < length; ++k) {
    if (at + static_cast<std::size_t>(k) >= end)
      return -1;
    const auto byte = static_cast<unsigned char>(buffer_[at + static_cast<std::size_t>(k)]);
    if (k == 1 ? (byte < low || byte > high) : !isContinuation(byte))
      return 0;
  }
  return length;
}

void ExportByteStream::refuseToken(const char *what) {
  // At the byte kept next: every one before it in the buffer is either
  // kept or in a gap.
  refusal_ = ExportReadError{ExportReadError::Kind::badValue, bufferOffset_ + out_ + gapsBefore(out_),
                             std::string(what) + " is longer than 4 MiB, more than any in an export"};
}

bool ExportByteStream::skipOutside(char c) {
  if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
    if (!afterSpace_) {
      afterSpace_ = true;
      tokenLength_ = 0;
      return false;
    }
    // Left out before the byte kept next; before the first, the buffer
    // simply starts further on in the text.
    if (out_ == 0)
      ++bufferOffset_;
    else if (!gaps_.empty() && gaps_.back().before == out_)
      ++gaps_.back().total;
    else
      gaps_.push_back({static_cast<std::uint32_t>(out_), static_cast<std::uint32_t>(gapsBefore(out_) + 1)});
    return true;
  }
  afterSpace_ = false;
  if (c == '"' || c == '[' || c == ']' || c == '{' || c == '}' || c == ',' || c == ':')
    tokenLength_ = 0;
  else if (++tokenLength_ > longestToken)
    refuseToken("a number or literal");
  return false;
}

std::size_t ExportByteStream::mark(std::size_t begin, std::size_t end, bool final) {
  std::size_t i = begin;
  while (i < end) {
    const char c = buffer_[i];
    const auto byte = static_cast<unsigned char>(c);
    std::size_t length = 1;
    if (state_ != State::outside && (tokenLength_ += 1) > longestToken)
      refuseToken("a string");
    switch (state_) {
    case State::outside:
      if (skipOutside(c)) {
        ++i;
        continue;
      }
      if (c == '"') {
        state_ = State::inString;
        tokenLength_ = 1;
      }
      break;
    case State::escape:
      state_ = c == 'u' ? State::unicode : State::inString;
      unicodeDigits_.clear();
      break;
    case State::unicode:
      unicodeDigits_.push_back(static_cast<char>(std::tolower(byte)));
      if (unicodeDigits_.size() == 4) {
        if (unicodeDigits_ == "007f")
          remembered_.push_back(marker);
        state_ = State::inString;
      }
      break;
    case State::inString:
      if (c == '"') {
        state_ = State::outside;
        tokenLength_ = 0;
      } else if (c == '\\') {
        state_ = State::escape;
      } else if (c == marker) {
        remembered_.push_back(marker);
      } else if (byte >= 0x80) {
        const int sequence = sequenceLength(i, end);
        if (sequence < 0 && !final)
          return i;
        if (sequence > 0) {
          length = static_cast<std::size_t>(sequence);
          tokenLength_ += length - 1;
        } else {
          remembered_.push_back(c);
          buffer_[i] = marker;
        }
      }
      break;
    }
    if (refusal_)
      return i;
    if (out_ != i)
      std::memmove(buffer_.data() + out_, buffer_.data() + i, length);
    out_ += length;
    i += length;
  }
  return end;
}

ExportByteStream::int_type ExportByteStream::underflow() {
  if (gptr() < egptr())
    return traits_type::to_int_type(*gptr());
  if (egptr() > eback())
    previousLast_ = textOffset(handedOut()) - 1;
  delivered_ += static_cast<std::uint64_t>(egptr() - eback());
  bufferOffset_ += out_ + gapsBefore(out_);
  gaps_.clear();
  out_ = 0;
  // The cut sequence left unmarked moves to the front and is marked again
  // with what follows it.
  if (carry_ > 0)
    std::memmove(buffer_.data(), buffer_.data() + carryBegin_, carry_);
  std::size_t filled = carry_;
  std::size_t marked = 0;
  while (out_ == 0 && !refusal_ && !(ended_ && marked == filled)) {
    if (!ended_) {
      const std::size_t count = input_.read(buffer_.data() + filled, buffer_.size() - filled);
      ended_ = count == 0;
      filled += count;
    }
    marked = mark(marked, filled, ended_);
    if (out_ == 0 && marked > 0) {
      // All of it left out: the room goes to what follows.
      std::memmove(buffer_.data(), buffer_.data() + marked, filled - marked);
      filled -= marked;
      marked = 0;
    }
  }
  carryBegin_ = marked;
  carry_ = filled - marked;
  setg(buffer_.data(), buffer_.data(), buffer_.data() + out_);
  return out_ == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::uint64_t ExportByteStream::gapsBefore(std::size_t index) const {
  const auto after = std::upper_bound(gaps_.begin(), gaps_.end(), index,
                                      [](std::size_t at, const Gap &gap) { return at < gap.before; });
  return after == gaps_.begin() ? 0 : (after - 1)->total;
}

std::uint64_t ExportByteStream::textOffset(std::uint64_t count) const {
  if (count == 0)
    return 0;
  if (count == delivered_)
    return previousLast_ + 1;
  const auto index = static_cast<std::size_t>(count - 1 - delivered_);
  return bufferOffset_ + index + gapsBefore(index) + 1;
}

std::uint64_t ExportByteStream::consumedAfterNumber() const {
  if (gptr() == eback())
    return consumed();
  // No number ends with a byte that could continue it, and the one read past
  // it cannot continue it either; at the end of the text nothing was read past.
  const char last = gptr()[-1];
  const bool partOfNumber = (last >= '0' && last <= '9') || last == '.' || last == 'e' || last == 'E' ||
                            last == '+' || last == '-';
  return partOfNumber ? consumed() : textOffset(handedOut() - 1);
}

void ExportByteStream::restoreBytes(std::string &text) {
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
    // A marker always has its byte; an empty memory means the parser
    // delivered a string this buffer did not see, which cannot happen.
    if (remembered_.empty())
      return;
    text[at] = remembered_.front();
    remembered_.pop_front();
  }
}

} // namespace tarnwick
