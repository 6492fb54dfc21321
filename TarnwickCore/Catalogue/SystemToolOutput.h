#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// A snap revision that `snap list --all` marks disabled: kept by snapd
/// for rollback, removable with `snap remove NAME --revision REVISION`.
struct DisabledSnapRevision {
  std::string name;
  std::string revision;
  friend bool operator==(const DisabledSnapRevision &, const DisabledSnapRevision &) = default;
};

/// What a container engine says pruning would reclaim, in bytes; nothing
/// for a kind its output did not state readably.
struct ContainerReclaimable {
  std::optional<std::int64_t> images;
  std::optional<std::int64_t> buildCache;
  friend bool operator==(const ContainerReclaimable &, const ContainerReclaimable &) = default;
};

/// Readers of the system tools' output. Each takes whatever bytes the tool
/// printed, any garbage included, and never throws: what it cannot read it
/// leaves out.
namespace SystemToolOutput {

/// A size as container tools print it: "0B", "12.5kB", "1.234GB", "3 MiB"
/// (k/M/G/T/P powers of 1000, Ki/Mi/... of 1024; the unit's case is
/// ignored apart from that). Nothing for anything else, a negative size or
/// one beyond 2^63 bytes.
std::optional<std::int64_t> byteCount(std::string_view text);

/// The disabled revisions listed by `snap list --all`: rows below the
/// header whose last column (Notes) holds "disabled" among its
/// comma-separated notes. Rows with a name or revision a snap cannot have
/// (names: a-z, 0-9, '-', '_'; revisions: digits, or 'x' and digits) are
/// left out, so what is returned is safe in a path and an argument.
std::vector<DisabledSnapRevision> disabledSnaps(std::string_view snapListOutput);

/// `docker system df --format '{{json .}}'`: one JSON object per line, the
/// "Reclaimable" text ("1.2GB (50%)") of the "Images" and "Build Cache"
/// rows.
ContainerReclaimable dockerSystemDf(std::string_view output);

/// `podman system df --format json`: a JSON array of objects (or one per
/// line), "RawReclaimable" of the "Images" row, else its "Reclaimable"
/// text. Podman reports no build cache.
ContainerReclaimable podmanSystemDf(std::string_view output);

} // namespace SystemToolOutput
} // namespace tarnwick
