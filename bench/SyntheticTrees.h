// Trees built in memory for the benchmarks, without touching the disk.
#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempNodeArena.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace quillane::bench {

/// Gives `node` the name `text`, stored in `arena`.
inline void nameNode(tarnwick::TempNodeArena &arena, tarnwick::TempTreeNode &node, std::string_view text) {
  const std::string_view stored = arena.storeName(text);
  node.nameBytes = stored.data();
  node.nameLength = static_cast<std::uint16_t>(stored.size());
}

// A home-like tree of `total` nodes under /home/user: folders of 1 to 40
// entries, names drawn from what such folders hold, one in eight a folder.
inline tarnwick::DiskTreeArena homeLikeTree(std::size_t total) {
  static constexpr const char *fileNames[] = {"index.js", "README.md", "photo.jpg", "clip.mp4", "libfoo.so",
                                              "main.cpp", "notes.txt", "data.bin", "app.log", "setup.tar.gz",
                                              "module.py", "Makefile"};
  static constexpr const char *folderNames[] = {"src", "node_modules", "Documents", ".cache", "lib", "assets",
                                                "Projects", "build", "logs", "share"};
  std::mt19937_64 random(5);
  tarnwick::TempNodeArena arena;
  auto name = [&](tarnwick::TempTreeNode &node, std::string_view text) { nameNode(arena, node, text); };
  tarnwick::TempTreeNode &root = arena.allocateBlock(1)[0];
  root.isDirectory = true;
  root.allocatedSize = 4096;
  name(root, "user");
  std::size_t remaining = total - 1;
  std::deque<tarnwick::TempTreeNode *> pending{&root};
  while (remaining > 0 && !pending.empty()) {
    tarnwick::TempTreeNode *folder = pending.front();
    pending.pop_front();
    const std::size_t count = std::min<std::size_t>(1 + random() % 40, remaining);
    auto block = arena.allocateBlock(count);
    for (std::size_t i = 0; i < count; ++i) {
      const bool isFolder = random() % 8 == 0 || (pending.empty() && i + 1 == count);
      block[i].isDirectory = isFolder;
      block[i].allocatedSize = 4096 * std::int64_t(1 + random() % 16);
      name(block[i], isFolder ? folderNames[random() % std::size(folderNames)] : fileNames[random() % std::size(fileNames)]);
      if (isFolder)
        pending.push_back(&block[i]);
    }
    folder->adoptChildren(block);
    remaining -= count;
  }
  root.aggregate();
  return tarnwick::freezeTree(root, "/home/user", 2);
}

/// A root holding one folder, "wide", of `count` files with heavy-tailed
/// sizes in a shuffled order (as a listing gives them) and distinct names.
inline tarnwick::DiskTreeArena wideFolderTree(std::size_t count) {
  std::mt19937_64 random(7);
  tarnwick::TempNodeArena arena;
  auto name = [&](tarnwick::TempTreeNode &node, std::string_view text) { nameNode(arena, node, text); };
  tarnwick::TempTreeNode &root = arena.allocateBlock(1)[0];
  root.isDirectory = true;
  name(root, "root");
  tarnwick::TempTreeNode &wide = arena.allocateBlock(1)[0];
  wide.isDirectory = true;
  name(wide, "wide");
  auto files = arena.allocateBlock(count);
  for (std::size_t i = 0; i < count; ++i) {
    files[i].allocatedSize = static_cast<std::int64_t>(4096.0 * std::exp(double(random() % 1400) / 100.0));
    files[i].modificationTimestamp = 1.6e9 + double(random() % 100'000'000);
    name(files[i], "file-" + std::to_string(random() % 1'000'000'000) + "-" + std::to_string(i) + ".dat");
  }
  wide.adoptChildren(files);
  root.adoptChildren({&wide, 1});
  root.aggregate();
  return tarnwick::freezeTree(root, "/bench", 2);
}

} // namespace quillane::bench
