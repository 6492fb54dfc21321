// Input: a .trashinfo record as any program that can write to the Trash
// might leave it, or any bytes.

#include "TarnwickCore/Deletion/TrashInfoText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  const tarnwick::Result<tarnwick::TrashInfoText> text = tarnwick::TrashInfoText::parse(bytes);
  if (!text) {
    if (text.failure().reason.empty())
      std::abort(); // a refusal always says why
    return 0;
  }
  // Decoding never lengthens, and leaves neither an empty path nor a NUL.
  if (text->path.empty() || text->path.size() > size || text->path.find('\0') != std::string::npos)
    std::abort();
  if (!text->deletionDate.empty() && (text->deletionDate.size() != 19 || text->deletionDate[10] != 'T'))
    std::abort();
  // Resolved against a top directory, the original path is absolute and
  // ends with what was recorded.
  const std::string original = text->originalPath("/media/disk");
  if (original.front() != '/' || !original.ends_with(text->path))
    std::abort();
  return 0;
}
