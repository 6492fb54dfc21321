#include "TarnwickCore/Scan/PseudoFileSystemTable.h"

#include "TarnwickCore/Support/MountTable.h"

#include <algorithm>
#include <array>
#include <sys/sysmacros.h>
#include <utility>

namespace tarnwick {
namespace {

constexpr std::array<std::string_view, 17> pseudoTypes = {
    "proc",   "sysfs",   "devtmpfs", "devpts",  "cgroup",    "cgroup2",   "tracefs",
    "debugfs", "securityfs", "pstore", "bpf",   "configfs",  "fusectl",   "mqueue",
    "hugetlbfs", "binfmt_misc", "autofs"};

// Kernel network file systems, and FUSE daemons ("fuse.NAME") that reach
// over the network. gvfsd-fuse shows the desktop's network shares.
constexpr std::array<std::string_view, 14> remoteTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "9p", "coda", "glusterfs", "lustre",
    "davfs", "fuse.sshfs"};
constexpr std::array<std::string_view, 12> remoteFuseDaemons = {
    "rclone", "s3fs", "gcsfuse", "goofys", "davfs2", "curlftpfs", "smbnetfs", "glusterfs", "ceph-fuse",
    "gvfsd-fuse", "blobfuse2", "juicefs"};

constexpr std::array<std::string_view, 5> imageTypes = {"squashfs", "iso9660", "cramfs", "romfs", "erofs"};
constexpr std::array<std::string_view, 4> imageFuseDaemons = {"squashfuse", "fuseiso", "archivemount",
                                                              "squashfuse_ll"};

// statfs magic numbers (linux/magic.h and the file systems' own headers),
// with the name the mount table would give.
struct Magic {
  long number;
  MountKind kind;
  std::string_view name;
};
constexpr std::array<Magic, 19> magics = {{
    {0x6969, MountKind::remote, "nfs"},
    {0x517B, MountKind::remote, "smbfs"},
    {static_cast<long>(0xFF534D42), MountKind::remote, "cifs"},
    {static_cast<long>(0xFE534D42), MountKind::remote, "smb3"},
    {0x5346414F, MountKind::remote, "afs"},
    {0x00C36400, MountKind::remote, "ceph"},
    {0x73757245, MountKind::remote, "coda"},
    {0x01021997, MountKind::remote, "9p"},
    {0x564C, MountKind::remote, "ncpfs"},
    {0x73717368, MountKind::image, "squashfs"},
    {0x9660, MountKind::image, "iso9660"},
    {0x28CD3D45, MountKind::image, "cramfs"},
    {0x7275, MountKind::image, "romfs"},
    {static_cast<long>(0xE0F5E1E2), MountKind::image, "erofs"},
    {0x9FA0, MountKind::pseudo, "proc"},
    {0x62656572, MountKind::pseudo, "sysfs"},
    {0x1CD1, MountKind::pseudo, "devpts"},
    {0x63677270, MountKind::pseudo, "cgroup2"},
    {0x27E0EB, MountKind::pseudo, "cgroup"},
}};

template <std::size_t N> bool among(const std::array<std::string_view, N> &names, std::string_view name) {
  return std::ranges::find(names, name) != names.end();
}

} // namespace

bool PseudoFileSystemTable::isPseudoType(std::string_view fileSystemType) {
  return among(pseudoTypes, fileSystemType);
}

MountKind PseudoFileSystemTable::kindOfType(std::string_view type) {
  if (isPseudoType(type))
    return MountKind::pseudo;
  if (among(remoteTypes, type))
    return MountKind::remote;
  if (among(imageTypes, type))
    return MountKind::image;
  if (type.starts_with("fuse.") || type.starts_with("fuseblk.")) {
    const std::string_view daemon = type.substr(type.find('.') + 1);
    if (among(remoteFuseDaemons, daemon))
      return MountKind::remote;
    if (among(imageFuseDaemons, daemon))
      return MountKind::image;
  }
  return MountKind::ordinary;
}

std::optional<PseudoFileSystemTable::Mount> PseudoFileSystemTable::fromMagic(std::int64_t device, long magic) {
  // f_type is a signed long filled from a 32-bit value; compare the low bits.
  const auto low = static_cast<std::uint32_t>(magic);
  for (const Magic &known : magics)
    if (static_cast<std::uint32_t>(known.number) == low)
      return Mount{device, known.kind, std::string(known.name)};
  return std::nullopt;
}

PseudoFileSystemTable PseudoFileSystemTable::fromMountTable(const MountTable &mounts) {
  PseudoFileSystemTable table;
  for (const MountEntry &entry : mounts.entries())
    table.mounts_.push_back({static_cast<std::int64_t>(makedev(entry.major, entry.minor)),
                             kindOfType(entry.fileSystemType), entry.fileSystemType});
  // A device mounted twice (a bind mount) has one file system type.
  std::ranges::stable_sort(table.mounts_, {}, &Mount::device);
  // std::unique, not std::ranges::unique: clang 14 cannot build the latter's
  // subrange with this standard library.
  const auto duplicates = std::unique(table.mounts_.begin(), table.mounts_.end(),
                                      [](const Mount &a, const Mount &b) { return a.device == b.device; });
  table.mounts_.erase(duplicates, table.mounts_.end());
  return table;
}

PseudoFileSystemTable PseudoFileSystemTable::fromMountInfo(std::string_view text) {
  return fromMountTable(MountTable::parse(text));
}

PseudoFileSystemTable PseudoFileSystemTable::fromCurrentMounts() {
  const std::optional<MountTable> mounts = MountTable::readCurrent();
  return mounts ? fromMountTable(*mounts) : PseudoFileSystemTable();
}

const PseudoFileSystemTable::Mount *PseudoFileSystemTable::find(std::int64_t device) const {
  const auto found = std::ranges::lower_bound(mounts_, device, {}, &Mount::device);
  return found != mounts_.end() && found->device == device ? &*found : nullptr;
}

bool PseudoFileSystemTable::contains(std::int64_t device) const {
  const Mount *mount = find(device);
  return mount && mount->kind == MountKind::pseudo;
}

} // namespace tarnwick
