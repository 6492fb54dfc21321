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

// The accessors themselves every other test uses; this is the promise that
// asking for the other alternative throws rather than reads garbage.
TEST(ResultTest, AskingForTheAlternativeNotHeldThrows) {
  Result<std::unique_ptr<int>> good = std::make_unique<int>(42);
  ASSERT_TRUE(good);
  EXPECT_EQ(*std::move(good).value(), 42); // move-only values move out
  EXPECT_THROW((void)good.failure(), std::bad_variant_access);
  const Result<std::unique_ptr<int>> bad = Failure::because("no number");
  ASSERT_FALSE(bad);
  EXPECT_THROW((void)bad.value(), std::bad_variant_access);
  EXPECT_THROW((void)Result<void>().failure(), std::bad_optional_access);
  EXPECT_FALSE(Result<void>(Failure::because("not done")));
}

} // namespace
} // namespace tarnwick
