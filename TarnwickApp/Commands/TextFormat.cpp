#include "TarnwickApp/Commands/TextFormat.h"

namespace quillane {
namespace {

// Length of the valid UTF-8 sequence starting at `i`, or 0.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char lead = byte(i);
  std::size_t length;
  std::uint32_t minimum;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) { length = 2; minimum = 0x80; }
  else if ((lead & 0xF0) == 0xE0) { length = 3; minimum = 0x800; }
  else if ((lead & 0xF8) == 0xF0) { length = 4; minimum = 0x10000; }
  else return 0;
  if (i + length > s.size())
    return 0;
  std::uint32_t code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

} // namespace

std::string groupDigits(std::int64_t value) {
  std::string digits = std::to_string(value < 0 ? -(value + 1) + 1ULL : static_cast<unsigned long long>(value));
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0)
      grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return value < 0 ? "-" + grouped : grouped;
}

std::string printableText(std::string_view bytes) {
  std::string result;
  result.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t length = utf8SequenceLength(bytes, i);
    if (length == 0) {
      result += "\xEF\xBF\xBD";
      ++i;
    } else if ((length == 1 && (static_cast<unsigned char>(bytes[i]) < 0x20 || bytes[i] == 0x7F)) ||
               (length == 2 && bytes[i] == '\xC2' && static_cast<unsigned char>(bytes[i + 1]) < 0xA0)) {
      // U+0080–U+009F are controls too: xterm, for one, takes U+009B as CSI.
      result.push_back('?');
      i += length;
    } else {
      result.append(bytes.substr(i, length));
      i += length;
    }
  }
  return result;
}

} // namespace quillane
