// quillane-treegen DIR [--entries N] [--seed S] [--threads T]
//
// Creates a deterministic, home-folder-shaped tree of exactly N entries below
// DIR (the completion marker included) for benchmarking scanners. The shape is
// planned in memory first from one seeded generator, so the same N and seed
// give the same names, kinds, sizes and times whatever the thread count; only
// creation is parallel.
//
// Disk use stays modest on purpose: most files get their apparent size from
// ftruncate (sparse, no blocks) and only a minority receive real bytes, so a
// million entries need roughly a gigabyte, mostly directory blocks and
// single-block files.
//
// Idempotent: DIR/.quillane-treegen-done records the parameters; a matching
// marker means there is nothing to do. A tree made by an earlier run with
// other parameters (or left half-made) is cleared and rebuilt; a non-empty
// DIR without either marker is refused, so user data is never deleted.

#include "SharedWorkStack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view doneMarkerName = ".quillane-treegen-done";
constexpr std::string_view incompleteMarkerName = ".quillane-treegen-incomplete";
// Bump when the planner changes, so old trees are rebuilt rather than reused.
constexpr int planVersion = 1;

// ---------------------------------------------------------------------------
// Randomness. splitmix64 is fixed by its definition, so plans do not depend on
// the standard library's engines or distributions.

class Rng {
public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  /// Uniform in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  /// Uniform in [0, n); 0 when n is 0.
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }
  /// Uniform in [lo, hi]; lo when hi < lo.
  std::uint64_t between(std::uint64_t lo, std::uint64_t hi) {
    return hi <= lo ? lo : lo + below(hi - lo + 1);
  }
  bool chance(double p) { return unit() < p; }
  double normal() {
    double u1 = (static_cast<double>(next() >> 11) + 1.0) * 0x1.0p-53;
    double u2 = unit();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  /// Log-normal with the given median; heavy right tail for sigma above ~1.
  double logNormal(double median, double sigma) { return median * std::exp(sigma * normal()); }
  template <typename T, std::size_t N> const T &pick(const std::array<T, N> &items) {
    return items[below(N)];
  }

private:
  std::uint64_t state_;
};

/// A bijection on 64 bits, so distinct counters give distinct hex names.
std::uint64_t mix64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

std::string hexName(std::uint64_t value, std::size_t digits) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(digits);
  for (std::size_t i = 0; i < digits; ++i) {
    // Past 16 digits, keep drawing from a re-mixed value: still injective
    // because the first 16 digits already are.
    if (i == 16)
      value = mix64(value + 0x5bd1e995);
    out.push_back(hex[(value >> (60 - 4 * (i % 16))) & 0xf]);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Vocabulary.

constexpr std::array<std::string_view, 48> words = {
    "alpha",  "core",    "data",    "util",   "net",     "io",      "render",  "parser",
    "engine", "model",   "view",    "cache",  "config",  "index",   "server",  "client",
    "common", "shared",  "tools",   "scripts", "assets", "docs",    "test",    "fixtures",
    "lib",    "include", "vendor",  "plugins", "themes", "locale",  "images",  "fonts",
    "audio",  "video",   "notes",   "drafts", "archive", "reports", "invoice", "photos",
    "export", "import",  "logs",    "old",    "misc",    "widgets", "storage", "session"};
constexpr std::array<std::string_view, 20> sourceExtensions = {
    ".c",  ".h",  ".cpp", ".hpp", ".py",   ".rs",   ".go",    ".js",  ".ts",  ".java",
    ".md", ".txt", ".json", ".yaml", ".toml", ".sh", ".cmake", ".html", ".css", ".kt"};
constexpr std::array<std::string_view, 10> documentExtensions = {
    ".pdf", ".docx", ".odt", ".txt", ".md", ".xlsx", ".ods", ".pptx", ".csv", ".tex"};
constexpr std::array<std::string_view, 8> humanNames = {
    "Meeting notes 2021", "Résumé",   "日本語メモ",         "café menu",
    "Tax return (final)", "Übersicht", "plan d'été",         "Квартальный отчёт"};
constexpr std::array<std::string_view, 6> binaryExtensions = {".o", ".d", ".a", ".so", ".obj", ".bin"};
constexpr std::array<std::string_view, 12> configNames = {
    "settings.json", "config",   "config.toml", "keybindings.json", "prefs.js",  "user-dirs.dirs",
    "mimeapps.list", "init.lua", "state.json",  "history",          "recent.xbel", "colors.conf"};

// ---------------------------------------------------------------------------
// The plan: every entry below the root, parents before children, each
// directory's children contiguous.

enum class Kind : std::uint8_t { Directory, File, Symlink, HardLink };

/// How a file's apparent size is drawn.
enum class SizeClass : std::uint8_t { Tiny, Source, Document, Binary, Object, Mail, Image, Media };

struct PlanEntry {
  std::string name;
  std::uint64_t size = 0;      // apparent bytes (files)
  std::int64_t mtime = 0;      // seconds since 1970
  std::uint32_t parent = 0;    // index of the containing directory
  std::uint32_t firstChild = 0; // directories: children are [firstChild, firstChild + childCount)
  std::uint32_t childCount = 0;
  std::uint32_t written = 0;   // bytes of real content from offset 0 (files)
  std::uint32_t link = 0;      // hard link: target entry; symlink: index into symlinkTargets
  Kind kind = Kind::File;
};

enum class Flavour : std::uint8_t {
  Home, Generic, Projects, Repo, GitDir, Objects, ObjectLeaf, HexTree, Source, Build, Packages,
  Package, BinLinks, Cache, ThumbnailLeaf, Maildir, MailFolder, MailLeaf, Documents, Media,
  Downloads, Config, Backups, Snapshot
};

struct DirPlan {
  std::string name;
  Flavour flavour;
  std::uint64_t budget; // entries strictly below this directory
  int chain = 0;        // single-child levels to emit before the flavour takes over
  int hexLevels = 0;    // HexTree depth left
  std::vector<std::string> linkNames; // BinLinks: the packages its links point into
};

struct FileSpec {
  std::string name;
  SizeClass sizeClass;
};

/// The children of one directory, gathered before they are appended so they
/// stay contiguous. `left` is the budget not yet spent; every add spends the
/// entry itself plus, for directories, everything promised below it.
class Block {
public:
  explicit Block(std::uint64_t budget) : left(budget) {}

  std::uint64_t left;
  std::vector<FileSpec> files;
  std::vector<DirPlan> dirs;
  std::vector<std::pair<std::string, std::string>> symlinks; // name, target
  std::vector<std::pair<std::string, std::uint32_t>> hardLinks; // name, target entry

  /// `base + ext`, made unique in this directory with a "-N" suffix.
  std::string unique(std::string_view base, std::string_view ext = {}) {
    std::string name = std::string(base) + std::string(ext);
    for (int n = 2; !names_.insert(name).second; ++n)
      name = std::string(base) + "-" + std::to_string(n) + std::string(ext);
    return name;
  }
  bool addFile(std::string name, SizeClass sizeClass) {
    if (left == 0)
      return false;
    --left;
    files.push_back({std::move(name), sizeClass});
    return true;
  }
  /// Adds a directory with `budget` entries below it, shrunk to what is left.
  bool addDir(std::string name, Flavour flavour, std::uint64_t budget, int chain = 0, int hexLevels = 0) {
    return addDir({std::move(name), flavour, budget, chain, hexLevels, {}});
  }
  bool addDir(DirPlan plan) {
    if (left == 0)
      return false;
    --left;
    plan.budget = std::min(plan.budget, left);
    left -= plan.budget;
    dirs.push_back(std::move(plan));
    return true;
  }
  bool addSymlink(std::string name, std::string target) {
    if (left == 0)
      return false;
    --left;
    symlinks.emplace_back(std::move(name), std::move(target));
    return true;
  }
  bool addHardLink(std::string name, std::uint32_t target) {
    if (left == 0)
      return false;
    --left;
    hardLinks.emplace_back(std::move(name), target);
    return true;
  }
  /// Hands whatever is left to one of the directories already added.
  void giveRestTo(std::size_t dirIndex) {
    dirs[dirIndex].budget += left;
    left = 0;
  }

private:
  std::unordered_set<std::string> names_;
};

/// `total` split into `parts` log-normally weighted shares (sigma 0 means
/// equal shares); the rounding remainder goes to the largest share.
std::vector<std::uint64_t> split(Rng &rng, std::uint64_t total, std::size_t parts, double sigma) {
  std::vector<std::uint64_t> shares(parts, 0);
  if (parts == 0)
    return shares;
  std::vector<double> weights(parts);
  double sum = 0;
  for (double &w : weights)
    sum += (w = std::exp(sigma * rng.normal()));
  std::uint64_t given = 0;
  std::size_t largest = 0;
  for (std::size_t i = 0; i < parts; ++i) {
    shares[i] = static_cast<std::uint64_t>(static_cast<double>(total) * weights[i] / sum);
    given += shares[i];
    if (weights[i] > weights[largest])
      largest = i;
  }
  shares[largest] += total - given;
  return shares;
}

class Planner {
public:
  explicit Planner(std::uint64_t seed) : rng_(seed ^ 0x51ab1e5eedULL) {}

  std::vector<PlanEntry> entries;
  std::vector<std::string> symlinkTargets;

  /// Plans exactly `budget` entries below a root entry (index 0).
  void plan(std::uint64_t budget) {
    entries.reserve(budget + 1);
    entries.push_back({});
    entries[0].kind = Kind::Directory;
    DirPlan root{"", budget >= 5000 ? Flavour::Home : Flavour::Generic, budget, 0, 0, {}};
    expand(0, root, 0);
  }

private:
  Rng rng_;
  std::uint64_t counter_ = 0;
  std::vector<std::uint32_t> plannedFiles_; // regular files, candidates for hard links

  // Times are spread over a fixed five-year window rather than relative to
  // now, so a plan is the same whenever it is made.
  std::int64_t randomTime() { return 1546300800 + static_cast<std::int64_t>(rng_.below(170000000)); }

  std::uint64_t drawSize(SizeClass c) {
    if (c != SizeClass::Image && c != SizeClass::Media && rng_.chance(0.04))
      return 0;
    double v = 0;
    switch (c) {
    case SizeClass::Tiny: v = rng_.logNormal(300, 1.2); break;
    case SizeClass::Source: v = rng_.logNormal(3500, 1.3); break;
    case SizeClass::Document: v = rng_.logNormal(60000, 1.8); break;
    case SizeClass::Binary: v = rng_.logNormal(40000, 1.6); break;
    case SizeClass::Object: v = rng_.logNormal(700, 1.5); break;
    case SizeClass::Mail: v = rng_.logNormal(6000, 1.4); break;
    case SizeClass::Image: v = rng_.logNormal(2.5e6, 0.5); break;
    case SizeClass::Media: v = rng_.logNormal(5.0e6, 1.0); break;
    }
    return static_cast<std::uint64_t>(std::min(v, 4.0e9)) + 1;
  }

  /// Bytes actually written: most files stay sparse; a minority get real
  /// content (whole when small, a 4 KiB head otherwise, rarely all of a
  /// medium file) so block counts vary but the total stays small.
  std::uint32_t drawWritten(std::uint64_t size, SizeClass c) {
    if (size == 0)
      return 0;
    double p = (c == SizeClass::Image || c == SizeClass::Media) ? 0.3 : 0.16;
    if (!rng_.chance(p))
      return 0;
    if (size <= 8192)
      return static_cast<std::uint32_t>(size);
    if (size <= (1u << 20) && rng_.chance(0.02))
      return static_cast<std::uint32_t>(size);
    return 4096;
  }

  std::uint32_t add(std::uint32_t parent, std::string name, Kind kind) {
    PlanEntry e;
    e.name = std::move(name);
    e.parent = parent;
    e.kind = kind;
    e.mtime = randomTime();
    entries.push_back(std::move(e));
    return static_cast<std::uint32_t>(entries.size() - 1);
  }

  void expand(std::uint32_t dir, const DirPlan &plan, int depth) {
    if (plan.budget == 0)
      return;
    Block block(plan.budget);
    if (plan.chain > 0)
      chainLevel(block, plan);
    else
      fill(block, plan, depth);
    if (block.left != 0) {
      std::fprintf(stderr, "quillane-treegen: internal error: %llu entries left unplanned\n",
                   static_cast<unsigned long long>(block.left));
      std::exit(3);
    }

    auto first = static_cast<std::uint32_t>(entries.size());
    for (FileSpec &f : block.files) {
      std::uint32_t i = add(dir, std::move(f.name), Kind::File);
      entries[i].size = drawSize(f.sizeClass);
      entries[i].written = drawWritten(entries[i].size, f.sizeClass);
      plannedFiles_.push_back(i);
    }
    for (auto &[name, target] : block.symlinks) {
      std::uint32_t i = add(dir, std::move(name), Kind::Symlink);
      entries[i].link = static_cast<std::uint32_t>(symlinkTargets.size());
      symlinkTargets.push_back(std::move(target));
    }
    for (auto &[name, target] : block.hardLinks) {
      std::uint32_t i = add(dir, std::move(name), Kind::HardLink);
      entries[i].link = target;
    }
    auto firstDir = static_cast<std::uint32_t>(entries.size());
    for (const DirPlan &d : block.dirs)
      add(dir, d.name, Kind::Directory);
    entries[dir].firstChild = first;
    entries[dir].childCount = static_cast<std::uint32_t>(entries.size()) - first;
    // Depth-first, in order: a subtree is fully planned before its next
    // sibling, which the backups directory (planned last) relies on.
    for (std::size_t k = 0; k < block.dirs.size(); ++k)
      expand(firstDir + static_cast<std::uint32_t>(k), block.dirs[k], depth + 1);
  }

  // One level of a single-child chain (package paths, pathological nesting).
  void chainLevel(Block &b, const DirPlan &plan) {
    static constexpr std::array<std::string_view, 8> packagePath = {
        "org", "com", "example", "internal", "impl", "api", "v2", "support"};
    if (plan.flavour != Flavour::Source && rng_.chance(0.3))
      b.addFile(b.unique(rng_.pick(words), ".txt"), SizeClass::Tiny);
    std::string name = plan.flavour == Flavour::Source ? std::string(rng_.pick(packagePath))
                                                       : std::string("d").append(std::to_string(plan.chain));
    b.addDir(std::move(name), plan.flavour, b.left, plan.chain - 1);
  }

  std::string wordName(Block &b) {
    std::string base(rng_.pick(words));
    if (rng_.chance(0.3))
      base.append(rng_.chance(0.5) ? "_" : "-").append(rng_.pick(words));
    return b.unique(base);
  }

  std::string fileName(Block &b, SizeClass c) {
    switch (c) {
    case SizeClass::Source: {
      std::string base(rng_.pick(words));
      if (rng_.chance(0.4))
        base += "_" + std::string(rng_.pick(words));
      return b.unique(base, rng_.pick(sourceExtensions));
    }
    case SizeClass::Document:
      if (rng_.chance(0.06))
        return b.unique(rng_.pick(humanNames), rng_.pick(documentExtensions));
      return b.unique(std::string(rng_.pick(words)) + " " + std::string(rng_.pick(words)),
                      rng_.pick(documentExtensions));
    case SizeClass::Binary:
      return b.unique(std::string(rng_.pick(words)) + "_" + std::string(rng_.pick(words)),
                      rng_.pick(binaryExtensions));
    case SizeClass::Object: return b.unique(hexName(mix64(++counter_), 38));
    case SizeClass::Mail: {
      std::uint64_t n = ++counter_;
      return b.unique(std::to_string(1546300800 + n * 37) + ".M" + std::to_string(n % 1000000) + "P" +
                      std::to_string(rng_.below(99999)) + ".mailhost,S=" +
                      std::to_string(rng_.below(90000)) + ":2,S");
    }
    case SizeClass::Image:
      return b.unique("IMG_" + std::to_string(1000 + (++counter_ % 9000)), rng_.chance(0.8) ? ".jpg" : ".png");
    case SizeClass::Media: {
      static constexpr std::array<std::string_view, 4> ext = {".mp3", ".flac", ".mp4", ".mkv"};
      return b.unique(std::string(rng_.pick(words)) + " " + std::to_string(rng_.between(1, 30)),
                      rng_.pick(ext));
    }
    case SizeClass::Tiny: return b.unique(rng_.pick(configNames));
    }
    return b.unique("file");
  }

  void addFileOf(Block &b, SizeClass c) { b.addFile(fileName(b, c), c); }

  // The general shape: a handful of files and a few subdirectories sharing
  // the rest unevenly; now and then a directory with thousands of entries,
  // a wide fan-out, or a chain of single-child directories.
  void generic(Block &b, int depth, SizeClass c, Flavour child, double medianFiles, double chainChance) {
    if (b.left >= 3000 && rng_.chance(0.02)) {
      // Exports, logs, datasets: numbered names, as such tools write them.
      std::uint64_t wide = rng_.between(1500, std::min<std::uint64_t>(20000, b.left / 2));
      std::string stem(rng_.pick(words));
      std::string_view ext = rng_.pick(sourceExtensions);
      char number[32];
      for (std::uint64_t i = 0; i < wide; ++i) {
        std::snprintf(number, sizeof number, "-%06llu", static_cast<unsigned long long>(i));
        b.addFile(stem + number + std::string(ext), c);
      }
    }
    if (b.left >= 40 && depth < 10 && rng_.chance(chainChance)) {
      b.addDir(wordName(b), child, b.left, static_cast<int>(rng_.between(3, 12)));
      return;
    }
    auto files = static_cast<std::uint64_t>(rng_.logNormal(medianFiles, 1.0));
    // Deep down, prefer files so depth stays plausible; and a remainder too
    // small to be worth a subdirectory stays here as files.
    if (depth > 12)
      files = std::max<std::uint64_t>(files, b.left / 2);
    if (b.left <= files + 3)
      files = b.left;
    for (std::uint64_t i = 0; i < files; ++i) {
      if (rng_.chance(0.004))
        addOddSymlink(b);
      else
        addFileOf(b, c);
    }
    if (b.left == 0)
      return;
    // Now and then an empty directory (placeholders, cleared caches).
    if (b.left > 8 && rng_.chance(0.05))
      b.addDir(wordName(b), child, 0);
    // Each subdirectory gets at least a couple of entries; shares above that
    // are uneven, so one sibling often dominates.
    std::uint64_t subdirs = 1 + static_cast<std::uint64_t>(rng_.logNormal(2.5, 0.8));
    if (rng_.chance(0.03))
      subdirs = rng_.between(30, 200);
    subdirs = std::clamp<std::uint64_t>(subdirs, 1, std::max<std::uint64_t>(1, b.left / 6));
    std::uint64_t below = b.left - subdirs;
    std::uint64_t floor = std::min<std::uint64_t>(2, below / subdirs);
    for (std::uint64_t share : split(rng_, below - floor * subdirs, subdirs, 1.5))
      b.addDir(wordName(b), child, share + floor);
  }

  void addOddSymlink(Block &b) {
    switch (rng_.below(4)) {
    case 0: b.addSymlink(b.unique("parent-link"), ".."); break;
    case 1: b.addSymlink(b.unique("self-link"), "."); break;
    case 2: b.addSymlink(b.unique("broken-link"), "does/not/exist"); break;
    default:
      if (!b.files.empty())
        b.addSymlink(b.unique("link-to-" + b.files.back().name), b.files.back().name);
      else
        b.addSymlink(b.unique("dangling"), "missing-file");
      break;
    }
  }

  /// One directory per child, each with its fraction of what is left; the
  /// last takes the remainder.
  void shares(Block &b, std::initializer_list<std::tuple<std::string_view, Flavour, double>> children) {
    std::uint64_t pool = b.left > children.size() ? b.left - children.size() : 0;
    std::size_t start = b.dirs.size();
    for (const auto &[name, flavour, fraction] : children)
      b.addDir(b.unique(name), flavour, static_cast<std::uint64_t>(static_cast<double>(pool) * fraction));
    if (b.dirs.size() > start)
      b.giveRestTo(b.dirs.size() - 1);
  }

  void objectLeaf(Block &b) {
    while (b.left > 0)
      addFileOf(b, SizeClass::Object);
  }
  void mailLeaf(Block &b) {
    while (b.left > 0)
      addFileOf(b, SizeClass::Mail);
  }

  void fill(Block &b, const DirPlan &plan, int depth) {
    switch (plan.flavour) {
    case Flavour::Home: {
      for (std::string_view f : {".bashrc", ".profile", ".bash_history", ".gitconfig", ".viminfo",
                                 ".lesshst", ".Xauthority", ".wget-hsts"})
        b.addFile(b.unique(f), SizeClass::Tiny);
      b.addDir(".ssh", Flavour::Config, 6);
      // One pathological nesting, 128 directories deep.
      b.addDir("deep", Flavour::Generic, 200, 128);
      // Hard links go in a directory planned last, so any file can be a
      // target; its budget is held back while the rest is shared out.
      std::uint64_t links = std::min<std::uint64_t>(std::max<std::uint64_t>(b.left / 500, 10), b.left / 4);
      b.left -= links + 1;
      shares(b, {{"projects", Flavour::Projects, 0.40},
                 {".cache", Flavour::Cache, 0.14},
                 {".local", Flavour::Generic, 0.06},
                 {".config", Flavour::Config, 0.02},
                 {"Mail", Flavour::Maildir, 0.05},
                 {"Documents", Flavour::Documents, 0.09},
                 {"Pictures", Flavour::Media, 0.03},
                 {"Music", Flavour::Media, 0.015},
                 {"Downloads", Flavour::Downloads, 0.03},
                 {"misc", Flavour::Generic, 1.0}});
      b.left += links + 1;
      b.addDir("backups", Flavour::Backups, links);
      break;
    }
    case Flavour::Generic: return generic(b, depth, SizeClass::Source, Flavour::Generic, 6, 0.01);
    case Flavour::Source: return generic(b, depth, SizeClass::Source, Flavour::Source, 7, 0.03);
    case Flavour::Build: return generic(b, depth, SizeClass::Binary, Flavour::Build, 8, 0.0);
    case Flavour::Documents: return generic(b, depth, SizeClass::Document, Flavour::Documents, 9, 0.0);
    case Flavour::Config: return generic(b, depth, SizeClass::Tiny, Flavour::Config, 4, 0.0);
    case Flavour::Projects: {
      if (b.left < 200)
        return generic(b, depth, SizeClass::Source, Flavour::Source, 7, 0.0);
      for (std::string_view f : {"notes.txt", "TODO.md"})
        b.addFile(b.unique(f), SizeClass::Source);
      std::uint64_t repos = std::clamp<std::uint64_t>(b.left / 20000, 2, 80);
      for (std::uint64_t share : split(rng_, b.left - repos, repos, 1.2))
        b.addDir(b.unique(std::string(rng_.pick(words)) + "-" + std::string(rng_.pick(words))),
                 Flavour::Repo, share);
      return;
    }
    case Flavour::Repo: {
      if (b.left < 40)
        return generic(b, depth, SizeClass::Source, Flavour::Source, 7, 0.0);
      static constexpr std::array<std::string_view, 5> buildFiles = {
          "CMakeLists.txt", "package.json", "Cargo.toml", "setup.py", "go.mod"};
      for (std::string_view f : {std::string_view("README.md"), std::string_view("LICENSE"),
                                 std::string_view(".gitignore"), rng_.pick(buildFiles)})
        b.addFile(b.unique(f), SizeClass::Source);
      if (rng_.chance(0.3))
        b.addSymlink(b.unique("compile_commands.json"), "build/compile_commands.json");
      if (b.left > 2000 && rng_.chance(0.4))
        shares(b, {{".git", Flavour::GitDir, 0.15}, {"build", Flavour::Build, 0.10},
                   {"node_modules", Flavour::Packages, 0.35}, {"tests", Flavour::Source, 0.07},
                   {"docs", Flavour::Documents, 0.03}, {"src", Flavour::Source, 1.0}});
      else
        shares(b, {{".git", Flavour::GitDir, 0.15}, {"build", Flavour::Build, 0.12},
                   {"tests", Flavour::Source, 0.10}, {"docs", Flavour::Documents, 0.03},
                   {"src", Flavour::Source, 1.0}});
      return;
    }
    case Flavour::GitDir: {
      for (std::string_view f : {"HEAD", "config", "description", "index", "packed-refs", "ORIG_HEAD",
                                 "FETCH_HEAD"})
        b.addFile(b.unique(f), SizeClass::Tiny);
      b.addDir("hooks", Flavour::Config, 13);
      b.addDir("info", Flavour::Config, 1);
      b.addDir("refs", Flavour::Config, 8);
      b.addDir("logs", Flavour::Config, 6);
      b.addDir("objects", Flavour::Objects, b.left);
      return;
    }
    case Flavour::Objects: {
      // Two-hex-digit buckets with roughly even shares, as content-addressed
      // stores lay them out, plus a pack directory.
      if (b.left < 20)
        return objectLeaf(b);
      b.addDir("pack", Flavour::ObjectLeaf, std::min<std::uint64_t>(b.left / 50, 6));
      b.addDir("info", Flavour::ObjectLeaf, 1);
      std::uint64_t buckets = std::clamp<std::uint64_t>(b.left / 6, 1, 256);
      std::array<std::uint64_t, 256> order{};
      for (std::uint64_t i = 0; i < 256; ++i)
        order[i] = i;
      for (std::uint64_t i = 0; i < buckets; ++i)
        std::swap(order[i], order[i + rng_.below(256 - i)]);
      auto parts = split(rng_, b.left - buckets, buckets, 0.25);
      for (std::uint64_t i = 0; i < buckets; ++i)
        b.addDir(hexName(order[i] << 56, 2), Flavour::ObjectLeaf, parts[i]);
      return;
    }
    case Flavour::ObjectLeaf: return objectLeaf(b);
    case Flavour::HexTree: {
      if (b.left < 24 || plan.hexLevels <= 0)
        return objectLeaf(b);
      std::uint64_t fan = std::min<std::uint64_t>(16, b.left / 2);
      auto parts = split(rng_, b.left - fan, fan, 0.4);
      for (std::uint64_t i = 0; i < fan; ++i)
        b.addDir(hexName(i << 60, 1), Flavour::HexTree, parts[i], 0, plan.hexLevels - 1);
      return;
    }
    case Flavour::Packages: {
      if (b.left < 16)
        return generic(b, depth, SizeClass::Source, Flavour::Source, 4, 0.0);
      std::uint64_t packages = std::clamp<std::uint64_t>(b.left / 14, 1, 1200);
      std::uint64_t bins = std::min<std::uint64_t>(packages / 4, 200);
      std::vector<std::string> names;
      for (std::uint64_t i = 0; i < packages; ++i) {
        std::string n(rng_.pick(words));
        if (rng_.chance(0.6))
          n += "-" + std::string(rng_.pick(words));
        names.push_back(b.unique(n));
      }
      if (bins > 0) {
        DirPlan bin{b.unique(".bin"), Flavour::BinLinks, bins, 0, 0, {}};
        bin.linkNames.assign(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(bins));
        b.addDir(std::move(bin));
      }
      auto parts = split(rng_, b.left - std::min(b.left, packages), packages, 1.0);
      for (std::size_t i = 0; i < names.size(); ++i)
        b.addDir(names[i], Flavour::Package, parts[i]);
      return;
    }
    case Flavour::BinLinks: {
      // Links into sibling packages; those without a bin/ directory leave
      // them dangling, as half-installed trees do.
      for (std::size_t i = 0; b.left > 0; ++i) {
        const std::string &pkg = plan.linkNames[i % plan.linkNames.size()];
        b.addSymlink(b.unique(pkg), "../" + pkg + "/bin/cli.js");
      }
      return;
    }
    case Flavour::Package: {
      for (std::string_view f : {"package.json", "README.md", "LICENSE", "index.js"})
        b.addFile(b.unique(f), SizeClass::Source);
      if (b.left > 40 && rng_.chance(0.12))
        shares(b, {{"node_modules", Flavour::Packages, 0.5}, {"lib", Flavour::Source, 1.0}});
      else if (b.left > 6)
        shares(b, {{"dist", Flavour::Source, 0.3}, {"lib", Flavour::Source, 1.0}});
      else
        generic(b, depth, SizeClass::Source, Flavour::Source, 6, 0.0);
      return;
    }
    case Flavour::Cache: {
      if (b.left < 100)
        return generic(b, depth, SizeClass::Object, Flavour::Generic, 6, 0.0);
      b.addFile("CACHEDIR.TAG", SizeClass::Tiny);
      b.addDir("thumbnails", Flavour::ThumbnailLeaf, std::min<std::uint64_t>(b.left / 10, 12000));
      std::uint64_t pool = b.left - 3;
      b.addDir("go-build", Flavour::Objects, pool * 40 / 100);
      b.addDir("pip", Flavour::HexTree, pool * 25 / 100, 0, 4);
      b.addDir("browser", Flavour::Generic, b.left);
      return;
    }
    case Flavour::ThumbnailLeaf:
      while (b.left > 0)
        b.addFile(hexName(mix64(++counter_), 32) + ".png", SizeClass::Object);
      return;
    case Flavour::Maildir:
      if (b.left < 60)
        return mailLeaf(b);
      shares(b, {{"INBOX", Flavour::MailFolder, 0.40}, {"Sent", Flavour::MailFolder, 0.15},
                 {"Archive", Flavour::MailFolder, 0.25}, {".lists.dev", Flavour::MailFolder, 0.10},
                 {".lists.announce", Flavour::MailFolder, 0.05}, {"Drafts", Flavour::MailFolder, 0.02},
                 {"Trash", Flavour::MailFolder, 1.0}});
      return;
    case Flavour::MailFolder:
      for (std::string_view f : {"dovecot-uidlist", "dovecot.index"})
        b.addFile(b.unique(f), SizeClass::Tiny);
      shares(b, {{"new", Flavour::MailLeaf, 0.08}, {"tmp", Flavour::MailLeaf, 0.01},
                 {"cur", Flavour::MailLeaf, 1.0}});
      return;
    case Flavour::MailLeaf: return mailLeaf(b);
    case Flavour::Media: {
      // Year / event / files: shallow, with large mostly sparse files.
      if (depth >= 3 || b.left < 30) {
        while (b.left > 0)
          addFileOf(b, rng_.chance(0.7) ? SizeClass::Image : SizeClass::Media);
        return;
      }
      std::uint64_t groups = std::min<std::uint64_t>(b.left / 25 + 1, 12);
      auto parts = split(rng_, b.left - groups, groups, 0.8);
      for (std::uint64_t i = 0; i < groups; ++i) {
        std::string name = depth <= 1 ? std::to_string(2013 + i)
                                      : std::to_string(2013 + rng_.below(12)) + "-" +
                                            std::to_string(1 + rng_.below(12)) + " " +
                                            std::string(rng_.pick(words));
        b.addDir(b.unique(name), Flavour::Media, parts[i]);
      }
      return;
    }
    case Flavour::Downloads: {
      std::uint64_t loose = std::min<std::uint64_t>(b.left * 6 / 10, 800);
      for (std::uint64_t i = 0; i < loose; ++i)
        addFileOf(b, rng_.chance(0.7) ? SizeClass::Document : SizeClass::Media);
      // Unpacked archives look like source trees.
      while (b.left > 0) {
        std::uint64_t share = std::min<std::uint64_t>(b.left - 1, rng_.between(20, 3000));
        std::string name = std::string(rng_.pick(words)) + "-" + std::to_string(rng_.below(10)) + "." +
                           std::to_string(rng_.below(21)) + "." + std::to_string(rng_.below(10));
        b.addDir(b.unique(name), Flavour::Source, share);
      }
      return;
    }
    case Flavour::Backups:
      // Snapshot directories of at most a thousand links each.
      while (b.left > 0) {
        std::uint64_t share = std::min<std::uint64_t>(b.left - 1, 1000);
        b.addDir(b.unique("snapshot-" + std::to_string(b.dirs.size() + 1)), Flavour::Snapshot, share);
      }
      return;
    case Flavour::Snapshot:
      while (b.left > 0) {
        if (plannedFiles_.empty()) {
          addFileOf(b, SizeClass::Source);
          continue;
        }
        std::uint32_t target = plannedFiles_[rng_.below(plannedFiles_.size())];
        b.addHardLink(b.unique(entries[target].name), target);
      }
      return;
    }
  }
};

// ---------------------------------------------------------------------------
// Creation.

/// Pseudo-random bytes written into files that get content; random so that
/// compressing file systems still allocate blocks for them.
const std::vector<char> &contentBytes() {
  static const std::vector<char> bytes = [] {
    std::vector<char> b(1u << 20);
    Rng rng(42);
    for (std::size_t i = 0; i < b.size(); i += 8) {
      std::uint64_t v = rng.next();
      std::memcpy(b.data() + i, &v, 8);
    }
    return b;
  }();
  return bytes;
}

std::string pathOf(const std::vector<PlanEntry> &entries, const std::string &root, std::uint32_t i) {
  std::vector<std::uint32_t> chain;
  for (; i != 0; i = entries[i].parent)
    chain.push_back(i);
  std::string path = root;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path.push_back('/');
    path += entries[*it].name;
  }
  return path;
}

/// A directory created but not yet filled.
struct PendingDirectory {
  std::uint32_t entry;
  std::string path;
};

class Materializer {
public:
  Materializer(const Planner &plan, std::string root) : plan_(plan), root_(std::move(root)) {}

  bool run(unsigned threads) {
    queue_.start({0, root_});
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
      workers.emplace_back([this] { work(); });
    for (std::thread &w : workers)
      w.join();
    if (failed_)
      return false;
    return linkAndDate();
  }

  const std::string &error() const { return error_; }

private:
  const Planner &plan_;
  std::string root_;
  SharedWorkStack<PendingDirectory> queue_;
  std::atomic<bool> failed_{false};
  std::mutex errorMutex_;
  std::string error_;

  /// Records the first failure (errno describes it) and stops the workers.
  void fail(std::string_view what, std::string_view dirPath, std::string_view name = {}) {
    int error = errno;
    std::lock_guard lock(errorMutex_);
    if (!failed_.exchange(true))
      error_ = std::string(what) + " " + std::string(dirPath) + (name.empty() ? "" : "/") +
               std::string(name) + ": " + std::strerror(error);
  }

  void work() {
    PendingDirectory item;
    std::vector<PendingDirectory> found;
    while (queue_.pop(item)) {
      if (!failed_)
        fillDirectory(item, found);
      queue_.finish(found);
    }
  }

  void fillDirectory(const PendingDirectory &item, std::vector<PendingDirectory> &found) {
    const PlanEntry &dir = plan_.entries[item.entry];
    int dirFd = ::open(item.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
      return fail("open", item.path);
    for (std::uint32_t i = dir.firstChild; i < dir.firstChild + dir.childCount; ++i) {
      const PlanEntry &e = plan_.entries[i];
      switch (e.kind) {
      case Kind::Directory:
        if (::mkdirat(dirFd, e.name.c_str(), 0755) != 0)
          fail("mkdir", item.path, e.name);
        found.push_back({i, item.path + "/" + e.name});
        break;
      case Kind::File: createFile(dirFd, e, item.path); break;
      case Kind::Symlink:
        if (::symlinkat(plan_.symlinkTargets[e.link].c_str(), dirFd, e.name.c_str()) != 0)
          fail("symlink", item.path, e.name);
        break;
      case Kind::HardLink: break; // after every target exists
      }
    }
    ::close(dirFd);
  }

  void createFile(int dirFd, const PlanEntry &e, const std::string &dirPath) {
    int fd = ::openat(dirFd, e.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
      return fail("create", dirPath, e.name);
    const std::vector<char> &bytes = contentBytes();
    std::size_t done = 0;
    while (done < e.written) {
      ssize_t n = ::pwrite(fd, bytes.data() + done % bytes.size(),
                           std::min<std::size_t>(e.written - done, bytes.size() - done % bytes.size()),
                           static_cast<off_t>(done));
      if (n <= 0) {
        fail("write", dirPath, e.name);
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    if (e.size > e.written && ::ftruncate(fd, static_cast<off_t>(e.size)) != 0)
      fail("truncate", dirPath, e.name);
    timespec times[2] = {{e.mtime, 0}, {e.mtime, 0}};
    if (::futimens(fd, times) != 0)
      fail("futimens", dirPath, e.name);
    ::close(fd);
  }

  // Hard links need their targets; directory times must be set after the
  // last entry is added to each directory, since adding one resets them.
  // Symlink times are set here too (without following), for a tree whose
  // every time but the root's comes from the plan.
  bool linkAndDate() {
    const auto &entries = plan_.entries;
    for (std::uint32_t i = 1; i < entries.size(); ++i) {
      if (entries[i].kind != Kind::HardLink)
        continue;
      std::string target = pathOf(entries, root_, entries[i].link);
      std::string path = pathOf(entries, root_, i);
      if (::linkat(AT_FDCWD, target.c_str(), AT_FDCWD, path.c_str(), 0) != 0) {
        fail("link", path);
        return false;
      }
    }
    for (std::uint32_t i = 1; i < entries.size(); ++i) {
      if (entries[i].kind != Kind::Directory && entries[i].kind != Kind::Symlink)
        continue;
      std::string path = pathOf(entries, root_, i);
      timespec times[2] = {{entries[i].mtime, 0}, {entries[i].mtime, 0}};
      if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        fail("utimensat", path);
        return false;
      }
    }
    return true;
  }
};

// ---------------------------------------------------------------------------
// Command line.

[[noreturn]] void usage(int status) {
  std::fprintf(status == 0 ? stdout : stderr,
               "usage: quillane-treegen DIR [--entries N] [--seed S] [--threads T]\n"
               "  Creates a deterministic home-folder-like tree of exactly N entries below DIR\n"
               "  (default 1000000; suffixes k and M accepted). Does nothing when DIR already\n"
               "  holds a tree made with the same N and seed.\n");
  std::exit(status);
}

std::uint64_t parseCount(const std::string &text) {
  std::size_t used = 0;
  unsigned long long value = 0;
  try {
    value = std::stoull(text, &used);
  } catch (const std::exception &) {
    usage(2);
  }
  std::string_view suffix = std::string_view(text).substr(used);
  if (suffix == "k" || suffix == "K")
    value *= 1000;
  else if (suffix == "m" || suffix == "M")
    value *= 1000000;
  else if (!suffix.empty())
    usage(2);
  return value;
}

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv) {
  std::string dir;
  std::uint64_t entries = 1000000;
  std::uint64_t seed = 1;
  // One thread by default: on some file systems (journal-less ext4 measured)
  // concurrent creation contends in the inode allocator and is slower.
  unsigned threads = 1;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        usage(2);
      return argv[++i];
    };
    if (arg == "--entries")
      entries = parseCount(value());
    else if (arg == "--seed")
      seed = parseCount(value());
    else if (arg == "--threads")
      threads = static_cast<unsigned>(std::clamp<std::uint64_t>(parseCount(value()), 1, 256));
    else if (arg == "-h" || arg == "--help")
      usage(0);
    else if (!arg.empty() && arg[0] == '-')
      usage(2);
    else if (dir.empty())
      dir = arg;
    else
      usage(2);
  }
  if (dir.empty() || entries == 0 || entries > 0x7fffffffULL)
    usage(2);
  while (dir.size() > 1 && dir.back() == '/')
    dir.pop_back();

  const fs::path root(dir);
  const fs::path doneMarker = root / doneMarkerName;
  const fs::path incompleteMarker = root / incompleteMarkerName;
  const std::string stamp = "quillane-treegen plan=" + std::to_string(planVersion) +
                            " entries=" + std::to_string(entries) + " seed=" + std::to_string(seed) + "\n";
  std::error_code ec;
  if (fs::exists(doneMarker, ec) && readFile(doneMarker) == stamp) {
    std::printf("%s: up to date (%llu entries, seed %llu)\n", dir.c_str(),
                static_cast<unsigned long long>(entries), static_cast<unsigned long long>(seed));
    return 0;
  }

  auto start = std::chrono::steady_clock::now();
  if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
    if (!fs::exists(doneMarker, ec) && !fs::exists(incompleteMarker, ec)) {
      std::fprintf(stderr, "quillane-treegen: %s is not empty and was not made by quillane-treegen; "
                           "refusing to touch it\n", dir.c_str());
      return 2;
    }
    std::fprintf(stderr, "quillane-treegen: clearing the previous tree in %s\n", dir.c_str());
    for (const fs::directory_entry &child : fs::directory_iterator(root))
      fs::remove_all(child.path());
  }
  fs::create_directories(root);
  {
    std::ofstream marker(incompleteMarker, std::ios::binary | std::ios::trunc);
    marker << stamp;
    if (!marker) {
      std::fprintf(stderr, "quillane-treegen: cannot write %s\n", incompleteMarker.c_str());
      return 1;
    }
  }

  Planner planner(seed);
  planner.plan(entries - 1); // the marker is the last entry
  double planned = secondsSince(start);

  std::uint64_t counts[4] = {0, 0, 0, 0};
  std::uint64_t apparent = 0;
  std::uint64_t written = 0;
  for (std::size_t i = 1; i < planner.entries.size(); ++i) {
    const PlanEntry &e = planner.entries[i];
    ++counts[static_cast<int>(e.kind)];
    apparent += e.size;
    written += (e.written + 4095) / 4096 * 4096;
  }

  Materializer materializer(planner, dir);
  if (!materializer.run(threads)) {
    std::fprintf(stderr, "quillane-treegen: %s\n", materializer.error().c_str());
    return 1;
  }
  fs::rename(incompleteMarker, doneMarker);

  std::printf("%s: %llu entries (%llu directories, %llu files, %llu symlinks, %llu hard links + marker)\n"
              "  apparent file bytes %.2f GiB, written data about %.2f GiB; planned in %.2f s, "
              "total %.2f s with %u threads\n",
              dir.c_str(), static_cast<unsigned long long>(entries),
              static_cast<unsigned long long>(counts[0]), static_cast<unsigned long long>(counts[1]),
              static_cast<unsigned long long>(counts[2]), static_cast<unsigned long long>(counts[3]),
              static_cast<double>(apparent) / (1u << 30), static_cast<double>(written) / (1u << 30),
              planned, secondsSince(start), threads);
  return 0;
}
