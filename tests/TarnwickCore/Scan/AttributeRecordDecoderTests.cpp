#include "TarnwickCore/Scan/AttributeRecordDecoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

using namespace tarnwick;
namespace ba = tarnwick::bulkattr;

namespace {

/// One record's attribute values; the returned sets follow from which are present.
struct Record {
  std::optional<std::uint32_t> error = {};
  std::optional<std::string> name = {};
  std::optional<std::int32_t> device = {};
  std::optional<std::uint32_t> vnodeType = {};
  std::optional<std::pair<std::int64_t, std::int64_t>> modTime = {};
  std::optional<std::uint32_t> flags = {};
  std::optional<std::uint64_t> fileId = {}, totalSize = {}, allocSize = {};
};

template <typename T> void put(std::vector<std::byte> &bytes, T value) {
  const auto at = bytes.size();
  bytes.resize(at + sizeof value);
  std::memcpy(bytes.data() + at, &value, sizeof value);
}
template <typename T> void patch(std::vector<std::byte> &bytes, std::size_t at, T value) {
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

/// Lays records out as the kernel does: header, packed values, then the name.
std::vector<std::byte> buildBatch(const std::vector<Record> &records) {
  std::vector<std::byte> bytes;
  for (const Record &r : records) {
    const auto start = bytes.size();
    std::uint32_t common = ba::commonReturnedAttrs, file = 0;
    if (r.error) common |= ba::commonError;
    if (r.name) common |= ba::commonName;
    if (r.device) common |= ba::commonDevice;
    if (r.vnodeType) common |= ba::commonObjectType;
    if (r.modTime) common |= ba::commonModTime;
    if (r.flags) common |= ba::commonFlags;
    if (r.fileId) common |= ba::commonFileId;
    if (r.totalSize) file |= ba::fileTotalSize;
    if (r.allocSize) file |= ba::fileAllocSize;
    for (std::uint32_t word : {0u, common, 0u, 0u, file, 0u})
      put(bytes, word);
    if (r.error) put(bytes, *r.error);
    std::size_t reference = 0;
    if (r.name) {
      reference = bytes.size();
      put(bytes, std::int32_t{0});
      put(bytes, static_cast<std::uint32_t>(r.name->size() + 1));
    }
    if (r.device) put(bytes, *r.device);
    if (r.vnodeType) put(bytes, *r.vnodeType);
    if (r.modTime) put(bytes, r.modTime->first), put(bytes, r.modTime->second);
    if (r.flags) put(bytes, *r.flags);
    if (r.fileId) put(bytes, *r.fileId);
    if (r.totalSize) put(bytes, *r.totalSize);
    if (r.allocSize) put(bytes, *r.allocSize);
    if (r.name) {
      patch(bytes, reference, static_cast<std::int32_t>(bytes.size() - reference));
      for (char c : *r.name) put(bytes, static_cast<std::byte>(c));
      put(bytes, std::byte{0});
    }
    patch(bytes, start, static_cast<std::uint32_t>(bytes.size() - start));
  }
  return bytes;
}

/// Decodes from an exact-size heap copy placed at an odd address, so any read
/// past the end is caught by AddressSanitizer and any aligned load of a
/// packed value by UndefinedBehaviorSanitizer.
struct Decoded {
  std::unique_ptr<std::byte[]> storage;
  std::vector<EntryFacts> facts;
  AttributeDecodeResult result;
};
Decoded decode(const std::vector<std::byte> &bytes, std::size_t count) {
  Decoded d{std::make_unique<std::byte[]>(bytes.size() + 1), {}, {}};
  std::memcpy(d.storage.get() + 1, bytes.data(), bytes.size());
  d.result = decodeAttributeRecords({d.storage.get() + 1, bytes.size()}, count, d.facts);
  return d;
}

// Every field, so one comparison checks an entry whole.
auto fields(const EntryFacts &f) {
  return std::tuple(std::string(f.name), f.errorCode, f.type, f.isDataless, f.device, f.fileIdentifier, f.linkCount,
                    f.size, f.modificationTimestamp);
}

Record fullFile() {
  return {0, "report.pdf", -7, ba::vnodeRegular, std::pair<std::int64_t, std::int64_t>{1700000000, 250000000},
          ba::datalessFlag | 0x1, 0x1'0000'0002ull, 5000, 8192};
}

TEST(AttributeRecordDecoder, DecodesEveryAttributeOfAFullBatch) {
  Record sizeFromTotal{{}, "link", 3, ba::vnodeSymlink, {}, 0x1, 9, 17, {}};
  Record noSizes{{}, "Documents", 3, ba::vnodeDirectory, {}, 0, 10, {}, {}};
  Record failed{2, "gone", {}, {}, {}, {}, {}, {}, {}};
  // After those, absent attributes keep their defaults (a header alone: an
  // empty name), and types without an entry type of their own map to other.
  const std::vector<Record> records = {fullFile(), sizeFromTotal, noSizes, failed, {}, {.vnodeType = 0},
                                       {.vnodeType = 3} /* block device */, {.vnodeType = 7} /* fifo */,
                                       {.allocSize = 1ull << 63}, {.name = "", .totalSize = 4}};
  Decoded d = decode(buildBatch(records), records.size());

  EXPECT_EQ(d.result.decoded, records.size());
  EXPECT_FALSE(d.result.truncated);
  // The device is sign-extended; the allocated size wins over the total,
  // which counts when there is no allocation figure.
  const EntryFacts expected[] = {
      {"report.pdf", 0, EntryType::regular, true, -7, 0x1'0000'0002ull, 0, 8192, 1700000000.25},
      {"link", 0, EntryType::symlink, false, 3, 9, 0, 17, 0},
      {"Documents", 0, EntryType::directory, false, 3, 10, 0, 0, 0}, {.name = "gone", .errorCode = 2},
      {.name = ""}, {.name = ""}, {.name = "", .type = EntryType::other}, {.name = "", .type = EntryType::other},
      {.name = "", .size = INT64_MAX}, {.name = "", .size = 4},
  };
  ASSERT_EQ(d.facts.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i)
    EXPECT_EQ(fields(d.facts[i]), fields(expected[i])) << i;

  std::vector<EntryFacts> out(1); // what the vector holds stays
  const auto batch = buildBatch({fullFile()}); // names point into it: it must outlive them
  EXPECT_EQ(decodeAttributeRecords(batch, 1, out).decoded, 1u);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].name, "report.pdf");
}

// The base batch is two full records and a small one; each case damages it.
// Offsets within the first record: error 24, name reference 28, name text 88.
constexpr std::size_t secondEntry = 99; // first record's length
constexpr std::size_t thirdEntry = 2 * secondEntry;
constexpr std::size_t thirdLength = 42; // header, name reference, total size, "x"
constexpr auto malformed = malformedAttributeRecordError;

TEST(AttributeRecordDecoder, MalformedBuffersStayInBoundsWithDocumentedOutcome) {
  struct Case {
    const char *what;
    std::function<void(std::vector<std::byte> &)> damage;
    std::size_t count;
    bool truncated;
    std::vector<std::uint32_t> errors; // one per decoded entry
  };
  const auto setU32 = [](std::size_t at, std::uint32_t v) {
    return [=](std::vector<std::byte> &b) { patch(b, at, v); };
  };
  const auto keep = [](std::vector<std::byte> &) {};
  const Case cases[] = {
      {"intact", keep, 3, false, {0, 0, 0}}, {"fewer reported than present", keep, 2, false, {0, 0}},
      {"zero length ends early", setU32(secondEntry, 0), 3, false, {0}},
      {"absurd count", keep, SIZE_MAX, true, {0, 0, 0}},
      {"buffer cut mid-length", [](auto &b) { b.resize(2); }, 1, true, {}},
      {"length past buffer", setU32(0, 10000), 3, true, {}},
      {"second length past buffer", setU32(secondEntry, 10000), 3, true, {0}},
      {"last length one past buffer", setU32(thirdEntry, thirdLength + 1), 3, true, {0, 0}},
      {"length below header", setU32(0, 23), 3, true, {}},
      {"length cuts through the values", setU32(0, 60), 3, true, {malformed}},
      {"header-only length with values", setU32(0, 24), 3, false, {malformed}},
      {"name offset negative", setU32(28, static_cast<std::uint32_t>(-28)), 3, false,
       {malformed, 0, 0}},
      {"name offset into its reference", setU32(28, 4), 3, false, {malformed, 0, 0}},
      {"name offset into next entry", setU32(28, 80), 3, false, {malformed, 0, 0}},
      {"name length past entry end", setU32(32, 12), 3, false, {malformed, 0, 0}},
      {"name length zero", setU32(32, 0), 3, false, {malformed, 0, 0}},
      {"name without NUL", [](auto &b) { b[secondEntry - 1] = std::byte{'x'}; }, 3, false,
       {malformed, 0, 0}},
      {"unrequested common attribute", setU32(4, 0xA204040F), 3, false, {malformed, 0, 0}},
      {"volume attributes returned", setU32(8, 1), 3, false, {malformed, 0, 0}},
      {"directory attributes returned", setU32(12, 1), 3, false, {malformed, 0, 0}},
      {"unrequested file attribute", setU32(16, 0x7), 3, false, {malformed, 0, 0}},
      {"claimed value missing after a sound name", setU32(thirdEntry + 16, 0x6), 3, false,
       {0, 0, malformed}},
  };
  const auto base = buildBatch({fullFile(), fullFile(), {.name = "x", .totalSize = 5}});
  ASSERT_EQ(base.size(), thirdEntry + thirdLength);
  const Decoded sound = decode(base, 3);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = base;
    c.damage(bytes);
    Decoded d = decode(bytes, c.count);
    EXPECT_EQ(d.result.truncated, c.truncated);
    EXPECT_EQ(d.result.decoded, d.facts.size());
    ASSERT_EQ(d.facts.size(), c.errors.size());
    for (std::size_t i = 0; i < c.errors.size(); ++i) {
      SCOPED_TRACE(i);
      // A malformed entry carries nothing but its error; the others are
      // decoded exactly as in the undamaged batch.
      EXPECT_EQ(fields(d.facts[i]), fields(c.errors[i] == malformed ? EntryFacts{.name = "", .errorCode = malformed}
                                                                    : sound.facts[i]));
    }
  }
}

} // namespace
