#include "TarnwickCore/Catalogue/SystemToolOutput.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using SystemToolOutput::byteCount;

TEST(SystemToolOutputTest, ByteCountsInTheToolsUnits) {
  const struct {
    const char *text;
    std::optional<std::int64_t> bytes;
  } cases[] = {
      {"0B", 0}, {"12.5kB", 12'500}, {"1.544GB", 1'544'000'000}, {" 7 ", 7}, {"3 MiB", 3 << 20},
      {"2.5GiB", 2'684'354'560}, {"", std::nullopt}, {"-1GB", std::nullopt}, {"1e3GB", std::nullopt},
      {"nan", std::nullopt}, {"1.2XB", std::nullopt}, {"1..2GB", std::nullopt}, {"99999999999PB", std::nullopt},
  };
  for (const auto &[text, bytes] : cases)
    EXPECT_EQ(byteCount(text), bytes) << '"' << text << '"';
}

// The tools' recorded outputs are read through the catalogue, in its own
// test; these are the edge cases around them.
TEST(SystemToolOutputTest, DisabledSnapRevisionsFromTheNotesColumn) {
  const struct {
    const char *output;
    std::size_t found;
  } cases[] = {
      {"", 0},
      {"core20 1 2182 latest canonical disabled\n", 0}, // no header
      {"Name Version Rev Tracking Publisher Notes\nx 1 x7 - - disabled\n", 1},
      {"Name Version Rev Tracking Publisher Notes\n../etc 1 7 - - disabled\n", 0},
      {"Name Version Rev Tracking Publisher Notes\nfoo 1 7;rm - - disabled\n", 0},
      {"Name Version Rev Tracking Publisher Notes\n-purge 1 7 - - disabled\n", 0}, // would be an option
      {"Name Version Rev Tracking Publisher Notes\nfoo 1 7 - - undisabled\n", 0},
      {"Name Version Rev Tracking Publisher Notes\r\nfoo 1 7 - - base,disabled\r\n", 1},
  };
  for (const auto &[output, found] : cases)
    EXPECT_EQ(SystemToolOutput::disabledSnaps(output).size(), found) << output;
}

TEST(SystemToolOutputTest, ContainerEnginesReclaimableBytes) {
  const struct {
    const char *name;
    ContainerReclaimable (*parse)(std::string_view);
    std::string output;
    ContainerReclaimable expected;
  } cases[] = {
      {"podman lines", SystemToolOutput::podmanSystemDf, R"j({"Type":"Images","Reclaimable":"168MB (59%)"})j" "\n",
       {168'000'000, std::nullopt}},
      {"docker garbage", SystemToolOutput::dockerSystemDf, "{\"Type\":5}\n{\"Type\":\"Images\",\"Reclaimable\":7}\n[[[[\n{",
       {}},
      {"podman garbage", SystemToolOutput::podmanSystemDf, R"j([1,"a",{"Type":"Images","RawReclaimable":-4}])j", {}},
      {"podman huge", SystemToolOutput::podmanSystemDf,
       R"j([{"Type":"Images","RawReclaimable":18446744073709551615}])j", {}},
      {"nul bytes", SystemToolOutput::dockerSystemDf, std::string("{\"Type\":\"Images\0", 16), {}},
  };
  for (const auto &[name, parse, output, expected] : cases)
    EXPECT_EQ(parse(output), expected) << name;
}

} // namespace
} // namespace tarnwick
