// Input layout: two bytes of reported count (little-endian; 0xFFFF stands
// for an absurd count), then the result buffer.

#include "TarnwickCore/Scan/AttributeRecordDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2)
    return 0;
  const unsigned rawCount = data[0] | (static_cast<unsigned>(data[1]) << 8);
  const std::size_t count =
      rawCount == 0xFFFF ? std::numeric_limits<std::size_t>::max() : rawCount;
  // libFuzzer hands over an exact-size allocation, so AddressSanitizer flags
  // any read past the buffer's end.
  const std::span<const std::byte> buffer(reinterpret_cast<const std::byte *>(data + 2), size - 2);

  std::vector<tarnwick::EntryFacts> out;
  const auto result = tarnwick::decodeAttributeRecords(buffer, count, out);
  if (result.decoded != out.size() || result.decoded > count ||
      result.decoded * tarnwick::bulkattr::entryHeaderSize > buffer.size())
    std::abort();

  const auto *begin = buffer.data();
  const auto *end = begin + buffer.size();
  unsigned checksum = 0;
  for (const tarnwick::EntryFacts &facts : out) {
    // Reading every byte makes AddressSanitizer check each view; the bounds
    // check catches views into memory that is valid but not the buffer.
    for (char c : facts.name) {
      if (c == '\0')
        std::abort();
      checksum += static_cast<unsigned char>(c);
    }
    const auto *name = reinterpret_cast<const std::byte *>(facts.name.data());
    if (!facts.name.empty() && (name < begin || name + facts.name.size() > end))
      std::abort();
    if (facts.size < 0)
      std::abort();
  }
  volatile unsigned sink = checksum;
  (void)sink;
  return 0;
}
