#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <optional>
#include <span>
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
/// Identifiers: the survivors keep their breadth-first order and are
/// renumbered densely, so an identifier of `arena` does not name the same
/// node in the result; find a node again by its path (findNodeByPath) or
/// by its chain of names. The root, an invalid identifier or one listed
/// twice is ignored. Names are shared by copying the whole name pool, so
/// the result's pool keeps the removed names' bytes until the next scan.
///
/// Cost: one pass over the table plus a walk up from each removed node
/// and each hard-linked name; no disk access. Threads: reads `arena`
/// only, so it may run on any thread while others read it.
DiskTreeArena withoutSubtrees(const DiskTreeArena &arena, std::span<const NodeID> removed);

} // namespace tarnwick
