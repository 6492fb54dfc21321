#pragma once

// Export texts for the export reader's tests, and reading one back.
#include "TarnwickCore/Import/NcduExportReader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

inline std::string wrap(std::string_view rootAndEntries, std::string_view metadata = "{}") {
  return "[1,2," + std::string(metadata) + ",[" + std::string(rootAndEntries) + "]]";
}

inline std::string repeated(std::string_view text, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i)
    all += text;
  return all;
}

// The tree of `json`, or a test failure naming the refusal.
inline std::optional<DiskTreeArena> readTree(std::string_view json) {
  NcduExportReader::Outcome outcome = NcduExportReader::readBytes(json);
  if (const auto *error = std::get_if<ExportReadError>(&outcome)) {
    ADD_FAILURE() << "refused: " << error->message();
    return std::nullopt;
  }
  return std::get<DiskTreeArena>(std::move(outcome));
}

} // namespace tarnwick
