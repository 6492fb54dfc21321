#pragma once

#include "TarnwickUI/SquarifiedTreemapLayout.h"

#include <string>

// Tiles as a layout would lay them out, for the canvas and its tooltip.
namespace tarnwick {

inline TreemapRect tile(NodeID id, CanvasRect frame, bool isDirectory, std::string path = {}) {
  TreemapRect rect;
  rect.id = id;
  rect.node.id = id;
  rect.node.name = "node" + std::to_string(id);
  rect.node.path = path.empty() ? "/data/node" + std::to_string(id) : path;
  rect.node.isDirectory = isDirectory;
  rect.node.allocatedSize = 4096;
  rect.node.fileCount = isDirectory ? 1234 : 1;
  rect.frame = frame;
  rect.insetFrame = frame.insetBy(1);
  rect.fractionOfParent = 0.25;
  return rect;
}

inline TreemapRect tail(CanvasRect frame) {
  TreemapRect rect = tile(SquarifiedTreemapLayout::syntheticTailNodeID, frame, false);
  rect.node.path.clear();
  rect.node.name = "12 smaller items";
  rect.isAggregatedTail = true;
  rect.aggregatedItemCount = 12;
  return rect;
}

} // namespace tarnwick
