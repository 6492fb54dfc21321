#pragma once

#include <string>
#include <string_view>

namespace quillane {

/// `text` made fit for any XML 1.0 document: bytes that are not valid UTF-8
/// and characters XML forbids (C0 controls other than tab, line feed and
/// carriage return, U+FFFE and U+FFFF) become U+FFFD. Markup is left alone,
/// so this applies to a whole document as well as to one name.
std::string validXmlCharacters(std::string_view text);

/// `text` as XML character data or an attribute value in either kind of
/// quotes: valid characters as above, with & < > " ' written as references.
std::string escapedXmlText(std::string_view text);

} // namespace quillane
