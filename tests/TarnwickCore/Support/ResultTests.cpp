#include "TarnwickCore/Support/Result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <variant>

namespace tarnwick {
namespace {

TEST(FailureTest, MessageJoinsThePartsThatArePresent) {
  struct Case {
    Failure failure;
    const char *message;
  };
  const Case cases[] = {
      {{"open", "/x", EACCES, ""}, "cannot open /x: Permission denied"},
      {{"write", "out.json", 0, "it is a directory"}, "cannot write out.json: it is a directory"},
      {{"", "", 0, "unknown option --x"}, "unknown option --x"},
      {{"write", "standard output", ENOSPC, ""}, "cannot write standard output: No space left on device"},
      {{"", "/y", ENOENT, ""}, "/y: No such file or directory"},
      {{"read", "", EIO, "the disk went away"}, "cannot read: the disk went away (Input/output error)"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.failure.message(), c.message);
}

TEST(FailureTest, FromErrnoTakesTheErrnoOfTheMomentItIsCalled) {
  errno = ENOTDIR;
  EXPECT_EQ(Failure::fromErrno("open", "/a/file/below"), (Failure{"open", "/a/file/below", ENOTDIR, ""}));
}

Result<std::unique_ptr<int>> makeNumber(bool succeed) {
  if (!succeed)
    return Failure::because("no number");
  return std::make_unique<int>(42);
}

TEST(ResultTest, HoldsAValueOrAFailureNeverBoth) {
  Result<std::unique_ptr<int>> good = makeNumber(true);
  ASSERT_TRUE(good);
  std::unique_ptr<int> taken = std::move(good).value(); // move-only values move out
  EXPECT_EQ(*taken, 42);
  EXPECT_THROW((void)good.failure(), std::bad_variant_access);

  const Result<std::unique_ptr<int>> bad = makeNumber(false);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.failure().message(), "no number");
  EXPECT_THROW((void)bad.value(), std::bad_variant_access);

  const Result<void> done;
  EXPECT_TRUE(done);
  EXPECT_THROW((void)done.failure(), std::bad_optional_access);
  const Result<void> failed = Failure::because("not done");
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.failure().reason, "not done");
}

} // namespace
} // namespace tarnwick
