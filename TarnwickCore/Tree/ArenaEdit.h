#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

/// The node of `arena` whose path is `path`, byte for byte: the root path
/// itself or the root path followed by one '/' per component. Nothing when
/// no node has that path. Costs one look through the children of each
/// folder on the way down.
std::optional<NodeID> findNodeByPath(const DiskTreeArena &arena, std::string_view path);

/// `arena` without the subtrees at `removed` (the nodes and everything
/// below them), as a scan made after they went would see it: each
/// ancestor's size, file count and folder count drop by what it lost, and
/// a hard-linked file that keeps names outside the removed subtrees is
/// carried by its first remaining name (so each file still counts once,
/// at the shallowest name), with its link count lowered by the names that
/// went. The folders the scan could not read that lay inside a removed
/// subtree leave the report.
///
/// Identifiers: the removed nodes keep theirs but are no longer valid
/// (DiskTreeArena::isValid), and no folder lists them. Within each range of
/// children that lost a node, the siblings after it move down one place,
/// in order, with the children's parent fields following; every other node
/// keeps its identifier. A caller that needs a node again finds it by its
/// path (findNodeByPath) or chain of names. The root, an invalid
/// identifier or one listed twice is ignored.
///
/// Cost: proportional to what changes, not to the tree: a walk over each
/// removed subtree, over the siblings that follow it and their children,
/// and up from each removed node and each hard-linked name. The result
/// shares every untouched chunk of the table and the whole name pool with
/// `arena` (the removed names keep their bytes until the next scan); no
/// disk access. Threads: reads `arena` only, so it may run on any thread
/// while others read it.
DiskTreeArena withoutSubtrees(const DiskTreeArena &arena, std::span<const NodeID> removed);

/// A file's identity on disk, as SharedLinkTable::File holds it.
struct InodeIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const InodeIdentity &, const InodeIdentity &) = default;
};
/// Tells which file a path names now, without following a final symbolic
/// link; nothing when it cannot be examined. Called on the splicing thread.
using InodeProbe = std::function<std::optional<InodeIdentity>(const std::string &path)>;
/// The probe that asks the disk (lstat).
std::optional<InodeIdentity> readInodeIdentity(const std::string &path);

/// `arena` with the subtree under `folder` replaced by `rescanned`, a scan
/// of that folder alone made later: the folder keeps its name, place and
/// category, takes the rescanned root's size, counts and time, and holds
/// the rescanned root's children; its ancestors' sizes and counts change
/// by the difference. Identifiers are reassigned breadth-first as a scan
/// would, so find nodes again by path or by their chain of names. The name
/// pool is rebuilt from the nodes kept, so repeated splices do not grow it.
///
/// Hard links keep the whole-tree rule, each file counted once at its
/// first name in breadth-first order (the shallowest). The result's
/// SharedLinkTable merges, by device and inode, the names of `arena`'s
/// table outside the folder with those of `rescanned`'s; each file's first
/// name then carries its bytes and every other name 0, each name that held
/// something else passing the difference up to the root. A file the rescan
/// met takes the rescan's link count and size; one it did not meet keeps
/// the old ones, its link count lowered by its old names under the folder
/// that are gone. A file met inside under fewer names than its link count
/// may have a name outside the folder that the old scan saw as a file of
/// its own (the link was made since); the files outside of the same size
/// and modification time are asked to `probe` and joined to it when they
/// are the same file. Everything else outside the folder is taken as the
/// old scan saw it, without reading the disk.
///
/// The report is `arena`'s, less the unreadable folders that lay under the
/// folder, plus `rescanned`'s (sorted by path, capped at
/// ScanReport::maxUnreadablePaths); its duration, skipped counts and
/// rootReadable stay `arena`'s.
///
/// An invalid `folder`, one that is not a folder, or an empty `rescanned`
/// leaves `arena` as it is. Cost: one pass over both tables plus a walk
/// up from every hard-linked name; a probe only for the files described.
/// Threads: reads both arenas only.
DiskTreeArena withSubtreeReplaced(const DiskTreeArena &arena, NodeID folder, const DiskTreeArena &rescanned,
                                  const InodeProbe &probe = readInodeIdentity);

} // namespace tarnwick
