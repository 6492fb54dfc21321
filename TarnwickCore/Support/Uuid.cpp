#include "TarnwickCore/Support/Uuid.h"

#include <uuid/uuid.h>

namespace tarnwick {

Uuid Uuid::random() {
  Uuid result;
  uuid_generate_random(result.bytes_.data());
  return result;
}

std::optional<Uuid> Uuid::fromString(std::string_view text) {
  if (text.size() != 36)
    return std::nullopt;
  char terminated[37];
  text.copy(terminated, 36);
  terminated[36] = '\0';
  Uuid result;
  if (uuid_parse(terminated, result.bytes_.data()) != 0)
    return std::nullopt;
  return result;
}

std::string Uuid::toString() const {
  char text[37];
  uuid_unparse_upper(bytes_.data(), text);
  return std::string(text, 36);
}

} // namespace tarnwick
