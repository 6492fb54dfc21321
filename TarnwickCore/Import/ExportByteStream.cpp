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

std::size_t ExportByteStream::mark(std::size_t end, bool final) {
  std::size_t i = 0;
  while (i < end) {
    const char c = buffer_[i];
    const auto byte = static_cast<unsigned char>(c);
    switch (state_) {
    case State::outside:
      if (c == '"')
        state_ = State::inString;
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
      } else if (c == '\\') {
        state_ = State::escape;
      } else if (c == marker) {
        remembered_.push_back(marker);
      } else if (byte >= 0x80) {
        const int length = sequenceLength(i, end);
        if (length < 0 && !final)
          return i;
        if (length > 0) {
          i += static_cast<std::size_t>(length);
          continue;
        }
        remembered_.push_back(c);
        buffer_[i] = marker;
      }
      break;
    }
    ++i;
  }
  return end;
}

ExportByteStream::int_type ExportByteStream::underflow() {
  if (gptr() < egptr())
    return traits_type::to_int_type(*gptr());
  delivered_ += static_cast<std::uint64_t>(egptr() - eback());
  // The cut sequence left at the end moves to the front and is marked
  // again with what follows it.
  const std::size_t handedOut = static_cast<std::size_t>(egptr() - eback());
  if (carry_ > 0)
    std::memmove(buffer_.data(), buffer_.data() + handedOut, carry_);
  std::size_t filled = carry_;
  std::size_t ready = 0;
  while (ready == 0 && !(ended_ && filled == 0)) {
    if (!ended_) {
      const std::size_t count = input_.read(buffer_.data() + filled, buffer_.size() - filled);
      ended_ = count == 0;
      filled += count;
    }
    ready = mark(filled, ended_);
  }
  carry_ = filled - ready;
  setg(buffer_.data(), buffer_.data(), buffer_.data() + ready);
  return ready == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::uint64_t ExportByteStream::consumedAfterNumber() const {
  if (gptr() == eback())
    return consumed();
  // No number ends with a byte that could continue it, and the one read past
  // it cannot continue it either; at the end of the text nothing was read past.
  const char last = gptr()[-1];
  const bool partOfNumber = (last >= '0' && last <= '9') || last == '.' || last == 'e' || last == 'E' ||
                            last == '+' || last == '-';
  return partOfNumber ? consumed() : consumed() - 1;
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
