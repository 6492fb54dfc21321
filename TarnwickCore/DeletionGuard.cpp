#include "TarnwickCore/DeletionGuard.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __APPLE__
#include <sys/xattr.h>
#endif

namespace tarnwick {
namespace {

using Kind = DeletionGuardError::Kind;

// Leading or trailing white space or line break, ASCII or Unicode (UTF-8),
// at `text[at]`: its length in bytes, or 0.
std::size_t spaceAt(std::string_view text, std::size_t at) {
  static constexpr std::string_view wide[] = {
      "\xC2\x85", "\xC2\xA0", "\xE1\x9A\x80", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
      "\xE3\x80\x80"};
  unsigned char byte = static_cast<unsigned char>(text[at]);
  if (byte == ' ' || (byte >= '\t' && byte <= '\r'))
    return 1;
  std::string_view rest = text.substr(at);
  // U+2000 to U+200A.
  if (rest.size() >= 3 && rest[0] == '\xE2' && rest[1] == '\x80' && static_cast<unsigned char>(rest[2]) >= 0x80 &&
      static_cast<unsigned char>(rest[2]) <= 0x8A)
    return 3;
  for (std::string_view space : wide)
    if (rest.starts_with(space))
      return space.size();
  return 0;
}

std::string_view trim(std::string_view text) {
  for (std::size_t n; !text.empty() && (n = spaceAt(text, 0)) > 0;)
    text.remove_prefix(n);
  // Trailing: test each suffix start; sequences are at most 3 bytes.
  for (bool trimmed = true; trimmed && !text.empty();) {
    trimmed = false;
    for (std::size_t length = 1; length <= std::min<std::size_t>(3, text.size()); ++length) {
      if (spaceAt(text, text.size() - length) == length) {
        text.remove_suffix(length);
        trimmed = true;
        break;
      }
    }
  }
  return text;
}

bool hasTraversal(std::string_view path) {
  for (std::size_t start = 0;;) {
    std::size_t slash = path.find('/', start);
    if (path.substr(start, slash == std::string_view::npos ? slash : slash - start) == "..")
      return true;
    if (slash == std::string_view::npos)
      return false;
    start = slash + 1;
  }
}

// Absolute against the working directory, without "." components or
// repeated separators; links are not resolved and there is no "..".
std::string standardize(std::string_view trimmed) {
  std::filesystem::path path(trimmed);
  if (path.is_relative()) {
    std::error_code error;
    path = std::filesystem::current_path(error) / path;
  }
  std::string result = path.lexically_normal().native();
  return DeletionGuard::normalizePath(result);
}

bool isAtOrBelow(std::string_view target, std::string_view root) {
  return target == root || (target.starts_with(root) && target.size() > root.size() && target[root.size()] == '/');
}

std::string joined(const std::string &home, std::string_view relative) {
  return relative.empty() ? home : DeletionGuard::normalizePath(home + "/" + std::string(relative));
}

// A link in a parent folder ("~/.cache/toSsh/id_rsa" with toSsh pointing at
// ~/.ssh) would let every string test above approve a path that really lies
// elsewhere. The parent's real location must be where its name says: the
// home folder's own real location (which may itself be behind a link) plus
// the rest of the path.
bool reachedThroughLink(const std::string &target, const std::string &home, const GuardFileFacts &files) {
  const auto slash = target.rfind('/');
  const std::string parent = slash == 0 ? "/" : target.substr(0, slash);
  const auto realParent = files.canonicalPath(parent);
  if (!realParent)
    return false;
  std::string expected = parent;
  if (isAtOrBelow(parent, home))
    if (auto realHome = files.canonicalPath(home))
      expected = DeletionGuard::normalizePath(*realHome + parent.substr(home.size()));
  return *realParent != expected;
}

class SystemGuardFileFacts final : public GuardFileFacts {
public:
  bool exists(const std::string &path) const override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  std::optional<std::string> canonicalPath(const std::string &path) const override {
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
      return std::nullopt;
    std::string result = resolved;
    std::free(resolved);
    return result;
  }

  std::optional<LinkStatus> linkStatus(const std::string &path) const override {
#ifdef __APPLE__
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
      return std::nullopt;
    bool flagged = (st.st_flags & 0xa0002) != 0 ||
                   ::getxattr(path.c_str(), "com.apple.rootless", nullptr, 0, 0, XATTR_NOFOLLOW) >= 0;
    return LinkStatus{S_ISLNK(st.st_mode), flagged};
#else
    struct statx st;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &st) != 0)
      return std::nullopt;
    const auto protectedAttributes = static_cast<std::uint64_t>(STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND);
    return LinkStatus{S_ISLNK(st.stx_mode), (st.stx_attributes & st.stx_attributes_mask & protectedAttributes) != 0};
#endif
  }
};

} // namespace

const std::array<std::string_view, 17> DeletionGuard::systemProtectedRoots = {
    "/",    "/System", "/Library", "/Users", "/Applications", "/bin",    "/sbin", "/usr", "/var",
    "/private", "/etc", "/dev",     "/Volumes", "/cores",        "/opt",    "/net",  "/home"};

// The first twenty are the original table; the Linux secrets follow. Which
// entries guard their whole subtree follows from the rule in the validation.
const std::array<std::string_view, 25> DeletionGuard::userCrownJewelRelativePaths = {
    "",
    "Documents",
    "Desktop",
    "Pictures",
    "Movies",
    "Music",
    "Library",
    ".ssh",
    ".gnupg",
    ".aws",
    ".kube",
    ".config",
    ".zshrc",
    ".bash_profile",
    ".bashrc",
    "Library/CloudStorage",
    "Library/Application Support/FileProvider",
    "Library/Mobile Documents",
    "Library/Keychains",
    "Library/Preferences",
    ".local/share/keyrings",
    ".password-store",
    ".mozilla",
    ".thunderbird",
    ".pki",
};

const std::array<std::string_view, 20> DeletionGuard::allowlistedRelativeRoots = {
    "Library/Caches",
    "Library/Developer/Xcode/DerivedData",
    "Library/Developer/Xcode/Archives",
    "Library/Developer/Xcode/iOS DeviceSupport",
    "Library/Developer/Xcode/watchOS DeviceSupport",
    "Library/Developer/CoreSimulator/Caches",
    "Library/Containers",
    "Library/Application Support/Adobe/Common/Media Cache Files",
    "Library/Application Support/Adobe/Common/Media Cache",
    "Library/Application Support/Adobe/Common/Peak Files",
    "Library/Application Support/Blackmagic Design/DaVinci Resolve/CacheClip",
    "Movies/CacheClip",
    "Movies/.gallery",
    ".npm",
    ".cache",
    ".cargo/registry/cache",
    ".orbstack/log",
    ".ollama/logs",
    ".lmstudio/server-logs",
    ".Trash",
};

const std::array<std::string_view, 11> DeletionGuard::sensitiveTopLevelNames = {
    "Documents", "Desktop", "Pictures", "Movies", "Music", "Library", ".ssh", ".gnupg", ".aws", ".kube", ".config"};

const GuardFileFacts &GuardFileFacts::system() {
  static const SystemGuardFileFacts facts;
  return facts;
}

std::string DeletionGuard::normalizePath(std::string_view path) {
  while (path.size() >= 2 && path.back() == '/')
    path.remove_suffix(1);
  return std::string(path);
}

std::string DeletionGuard::validateDeletionCandidate(std::string_view rawPath, const std::string &homeDirectory,
                                                     bool allowUserConfirmedHomeItem, const GuardFileFacts &files) {
  const std::string_view trimmed = trim(rawPath);
  if (trimmed.empty())
    throw DeletionGuardError(Kind::emptyPath, {});
  if (hasTraversal(trimmed))
    throw DeletionGuardError(Kind::pathTraversalAttempt, std::string(trimmed));
  const std::string target = standardize(trimmed);
  const std::string home = normalizePath(homeDirectory);

  for (std::string_view root : systemProtectedRoots)
    if (target == normalizePath(root))
      throw DeletionGuardError(Kind::blockedProtectedPath, target);
  for (std::string_view jewel : userCrownJewelRelativePaths) {
    const std::string location = joined(home, jewel);
    if (target == location)
      throw DeletionGuardError(Kind::blockedProtectedPath, target);
    bool guardsSubtree = !jewel.empty() && (jewel.starts_with('.') || jewel.find("CloudStorage") != jewel.npos ||
                                            jewel.find("FileProvider") != jewel.npos ||
                                            jewel.find("Keychains") != jewel.npos);
    if (guardsSubtree && target.starts_with(location + "/"))
      throw DeletionGuardError(Kind::blockedProtectedPath, target);
  }

  if (!files.exists(target))
    throw DeletionGuardError(Kind::pathDoesNotExist, target);
  if (auto status = files.linkStatus(target)) {
    if (status->isSymbolicLink)
      throw DeletionGuardError(Kind::symbolicLinkNotAllowed, target);
    if (status->isImmutable)
      throw DeletionGuardError(Kind::sipOrSystemImmutable, target);
  }
  if (reachedThroughLink(target, home, files))
    throw DeletionGuardError(Kind::symbolicLinkNotAllowed, target);

  for (std::string_view allowed : allowlistedRelativeRoots)
    if (isAtOrBelow(target, joined(home, allowed)))
      return target;
  if (target.starts_with(allowlistedAbsolutePrefix))
    return target;
  if (!allowUserConfirmedHomeItem || !target.starts_with(home + "/"))
    throw DeletionGuardError(Kind::outsideAllowlistedRoots, target);
  const std::string_view relative = std::string_view(target).substr(home.size() + 1);
  const std::string_view first = relative.substr(0, relative.find('/'));
  const bool isTopLevelItself = relative.find('/') == std::string_view::npos;
  if (isTopLevelItself &&
      std::find(sensitiveTopLevelNames.begin(), sensitiveTopLevelNames.end(), first) != sensitiveTopLevelNames.end())
    throw DeletionGuardError(Kind::outsideAllowlistedRoots, target);
  return target;
}

} // namespace tarnwick
