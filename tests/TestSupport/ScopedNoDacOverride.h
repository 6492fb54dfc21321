#pragma once

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillane::test {

/// While alive, permission bits bind the calling thread even as root: the
/// capabilities that let root read and search any folder leave the thread's
/// effective set, and come back when the guard goes. Capabilities belong to
/// threads: those the thread starts meanwhile inherit the lowered set, those
/// already running keep theirs, so whatever must be refused has to run on
/// this thread or on threads started under the guard. Changes nothing for a
/// process that has no such capabilities.
class ScopedNoDacOverride {
public:
  ScopedNoDacOverride() {
    EXPECT_EQ(::syscall(SYS_capget, &header_, data_), 0) << "capget";
    saved_ = data_[0].effective;
    data_[0].effective &= ~(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH));
    EXPECT_EQ(::syscall(SYS_capset, &header_, data_), 0) << "capset";
  }
  ~ScopedNoDacOverride() {
    data_[0].effective = saved_; // still permitted, so always allowed back
    ::syscall(SYS_capset, &header_, data_);
  }
  ScopedNoDacOverride(const ScopedNoDacOverride &) = delete;
  ScopedNoDacOverride &operator=(const ScopedNoDacOverride &) = delete;

private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0}; // pid 0: this thread
  __user_cap_data_struct data_[_LINUX_CAPABILITY_U32S_3]{};
  __u32 saved_ = 0;
};

} // namespace quillane::test
