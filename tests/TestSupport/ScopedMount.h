#pragma once

#include <string>
#include <sys/mount.h>

namespace quillane::test {

/// A mount made for one test and lazily detached when it goes, whatever
/// the test did meanwhile. Needs root; `mounted()` says whether it worked.
class ScopedMount {
public:
  /// `source` bind-mounted on `target`.
  static ScopedMount bind(const std::string &source, const std::string &target) {
    return ScopedMount(source.c_str(), target, nullptr, MS_BIND);
  }
  /// A fresh tmpfs on `target`: another file system; `options` as mount -o
  /// takes them ("nr_inodes=64" for one that runs out of inodes).
  static ScopedMount tmpfs(const std::string &target, const std::string &options = {}) {
    return ScopedMount("none", target, "tmpfs", 0, options.empty() ? nullptr : options.c_str());
  }
  /// An overlay of `lower` under `upper` (with `work` on upper's file system).
  static ScopedMount overlay(const std::string &lower, const std::string &upper, const std::string &work,
                             const std::string &target) {
    const std::string options = "lowerdir=" + lower + ",upperdir=" + upper + ",workdir=" + work;
    return ScopedMount("overlay", target, "overlay", 0, options.c_str());
  }
  /// The mount at `from` moved onto `target` (on top of what is there).
  static ScopedMount move(const std::string &from, const std::string &target) {
    return ScopedMount(from.c_str(), target, nullptr, MS_MOVE);
  }

  ScopedMount(ScopedMount &&other) noexcept : target_(std::move(other.target_)), mounted_(other.mounted_) {
    other.mounted_ = false;
  }
  ScopedMount &operator=(ScopedMount &&) = delete;
  ~ScopedMount() {
    if (mounted_)
      ::umount2(target_.c_str(), MNT_DETACH);
  }

  bool mounted() const { return mounted_; }
  /// Detaches it now (what is mounted on top of it stays).
  void unmount() {
    if (mounted_)
      ::umount2(target_.c_str(), MNT_DETACH);
    mounted_ = false;
  }

private:
  ScopedMount(const char *source, std::string target, const char *type, unsigned long flags,
              const char *options = nullptr)
      : target_(std::move(target)), mounted_(::mount(source, target_.c_str(), type, flags, options) == 0) {}

  std::string target_;
  bool mounted_ = false;
};

} // namespace quillane::test
