// `quillane scan` with a scope: exclude options against `du --exclude` (the
// treemap's too), and the summary of the mount points left out (their usage
// errors are among the scan command's).
#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TestSupport/ScopedMount.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace quillane::test {
namespace {

TEST(ScanScopeCommand, ExcludesAgreeWithDuExclude) {
  TempTree scratch;
  for (const char *file : {"tree/a.o", "tree/a.c", "tree/src/b.o", "tree/src/c.c", "tree/node_modules/m/i.js",
                           "tree/web/node_modules/n.js", "tree/.git/objects/x"})
    scratch.writeFile(file, 9000);
  const std::string list = scratch.path("excludes");
  {
    std::FILE *file = std::fopen(list.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("# build products\n\n*.o\r\n   \nnode_modules\n", file);
    std::fclose(file);
  }
  const QuillaneRun run = runQuillane(scratch.root(), "scan tree --exclude-from excludes --exclude .git --quiet");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string du = runCommand("du -s -B1 --exclude='*.o' --exclude=node_modules --exclude=.git " +
                                    shellQuote(scratch.path("tree")));
  EXPECT_EQ(summaryNumber(run.out, "Total size"), std::stoll(du)) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Excluded"), 5) << run.out; // a.o, src/b.o, both node_modules, .git
  EXPECT_EQ(summaryNumber(run.out, "Files"), 2) << run.out;

  // The treemap takes the same options; its tiles are the root's children.
  const QuillaneRun treemap = runQuillane(scratch.root(), "treemap tree --json - --exclude-from excludes --exclude .git");
  ASSERT_EQ(treemap.status, 0) << treemap.err;
  for (const char *name : {"\"a.o\"", "\"node_modules\"", "\".git\""})
    EXPECT_EQ(treemap.out.find(name), std::string::npos) << name << " in " << treemap.out;
  EXPECT_NE(treemap.out.find("\"a.c\""), std::string::npos) << treemap.out;
}

TEST(ScanScopeCommand, OneFileSystemListsTheMountPointsItLeftOut) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting needs root";
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  scratch.makeDirectory("tree/ram");
  const ScopedMount ram = ScopedMount::tmpfs(scratch.path("tree/ram"));
  if (!ram.mounted())
    GTEST_SKIP() << "this system refuses test mounts";
  scratch.writeFile("tree/ram/inside", 100);
  const QuillaneRun entered = runQuillane(scratch.root(), "scan tree --quiet");
  EXPECT_EQ(summaryNumber(entered.out, "Files"), 2) << entered.out;
  EXPECT_EQ(summaryNumber(entered.out, "Skipped mounts"), 0) << entered.out;
  const QuillaneRun run = runQuillane(scratch.root(), "scan tree -x --quiet");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(summaryNumber(run.out, "Files"), 1) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Skipped mounts"), 1) << run.out;
  const std::string mount = scratch.path("tree/ram") + " (tmpfs, another file system)";
  EXPECT_TRUE(contains(run.out, "Mount points not entered:\n  " + mount)) << run.out;
}

} // namespace
} // namespace quillane::test
