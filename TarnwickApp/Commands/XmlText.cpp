#include "TarnwickApp/Commands/XmlText.h"

namespace quillane {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at the start of `text` and
// its code point, or 0 when it does not start with one. Overlong forms and
// encoded surrogates are not well formed.
std::size_t decodeOne(std::string_view text, char32_t &codePoint) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || text.size() < length)
    return 0;
  // The second byte's range rules out overlong forms, surrogates and code
  // points past U+10FFFF.
  const unsigned char second = byte(1);
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high)
    return 0;
  codePoint = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(byte(i)))
      return 0;
    codePoint = (codePoint << 6) | (byte(i) & 0x3F);
  }
  return length;
}

bool allowedInXml(char32_t c) {
  if (c < 0x20)
    return c == '\t' || c == '\n' || c == '\r';
  return c != 0xFFFE && c != 0xFFFF;
}

// Appends `text` with invalid characters replaced, passing each valid one
// to `append` as its code point and bytes.
template <typename Append> void forEachValid(std::string_view text, std::string &out, Append append) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t codePoint = 0;
    std::size_t length = decodeOne(text.substr(i), codePoint);
    if (length == 0 || !allowedInXml(codePoint)) {
      out += replacementCharacter;
      i += length == 0 ? 1 : length;
      continue;
    }
    append(codePoint, text.substr(i, length));
    i += length;
  }
}

} // namespace

std::string validXmlCharacters(std::string_view text) {
  std::string out;
  forEachValid(text, out, [&out](char32_t, std::string_view bytes) { out += bytes; });
  return out;
}

std::string escapedXmlText(std::string_view text) {
  std::string out;
  forEachValid(text, out, [&out](char32_t c, std::string_view bytes) {
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&apos;"; break;
    default: out += bytes;
    }
  });
  return out;
}

} // namespace quillane
