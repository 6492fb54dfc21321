#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace quillane::test {
namespace {

// The export read back by the programs it is written for, on a tree of names
// that stress the escaping and of hard links that stress the byte count.
class NcduExport : public ::testing::Test {
protected:
  NcduExport() {
    tree.writeFile("nest/a/b/c/deep", 3000);
    tree.writeFile("nest/plain", 5000);
    tree.writeFile("pair/one", 20000);
    tree.makeHardLink("pair/one", "nest/two");
    // Only one of its links is inside the tree, so it counts in full.
    tree.writeFile("shared", 8192);
    outside.makeHardLink(tree.path("shared"), "elsewhere");
    for (const std::string &name : awkwardNames)
      tree.writeFile("nest/" + name, 100);
    tree.makeSymlink("nest/up", "..");
    tree.makeDirectory("nest/empty");
    oracle = findTotals(tree.root());
  }

  // Writes the export to work/out.json and returns its path.
  std::string exportTree() {
    QuillaneRun run = runQuillane(work.root(), "scan " + shellQuote(tree.root()) + " --json out.json --quiet");
    EXPECT_EQ(run.status, 0) << run.err;
    return work.path("out.json");
  }

  void expectWholeTree(const ExportContents &contents) const {
    EXPECT_EQ(contents.entries, oracle.files + oracle.directories + 1); // + 1: the root
    EXPECT_EQ(contents.dsizeSum, duBytes(tree.root())) << "folders' own blocks included, as ncdu writes them";
    for (const std::string &name : awkwardNames)
      EXPECT_TRUE(contents.names.contains(name)) << "lost: " << shellQuote(name);
  }

  inline static const std::string awkwardNames[] = {
      "new\nline", "bad\xff\xfe", "quote\"back\\slash", "del\x7f tab\t esc\x1b", std::string(255, 'n')};
  TempTree tree, outside, work;
  FindTotals oracle;
};

TEST_F(NcduExport, NcduImportsAndReexportsEveryEntryAndByte) {
  if (!installed("ncdu"))
    GTEST_SKIP() << "ncdu is not installed";
  std::string exported = exportTree();
  int status = -1;
  std::string messages =
      runCommand("ncdu -f " + shellQuote(exported) + " -o " + shellQuote(work.path("back.json")) + " 2>&1", &status);
  // ncdu 1.18 exits 0 even when the import fails half-way; only its message
  // and the truncated re-export tell.
  ASSERT_EQ(status, 0) << messages;
  ASSERT_EQ(messages.find_first_not_of(" \r\n"), std::string::npos) << "ncdu rejected the export: " << messages;
  expectWholeTree(readExport(readFile(work.path("back.json"))));
}

TEST_F(NcduExport, GduImportsItWithTheSameTotal) {
  if (!installed("gdu"))
    GTEST_SKIP() << "gdu is not installed";
  std::string exported = exportTree();
  int status = -1;
  std::string summary = runCommand("gdu -f " + shellQuote(exported) + " -n -p -s --no-prefix 2>/dev/null", &status);
  ASSERT_EQ(status, 0) << summary;
  std::int64_t total = -1;
  std::istringstream(summary) >> total;
  // gdu ignores a directory's own dsize on import and charges every
  // directory, the root included, a flat 4096 bytes.
  EXPECT_EQ(total, oracle.bytes + 4096 * (oracle.directories + 1)) << summary;
}

TEST_F(NcduExport, StandardOutputCarriesTheExportAlone) {
  // Without --quiet: whatever the progress or summary does must stay off stdout.
  QuillaneRun run = runQuillane(work.root(), "scan " + shellQuote(tree.root()) + " --json -");
  ASSERT_EQ(run.status, 0) << run.err;
  ExportContents contents;
  ASSERT_NO_THROW(contents = readExport(run.out)) << run.out.substr(0, 200);
  expectWholeTree(contents);
  EXPECT_TRUE(std::filesystem::is_empty(work.root()));
}

TEST_F(NcduExport, FifoDestinationIsWrittenInPlace) {
  // A named pipe (or /dev/stdout, or the shell's >(…)) must be opened and
  // written, not replaced by a renamed regular file its reader never sees.
  runCommand("mkfifo " + shellQuote(work.path("pipe")));
  int status = -1;
  runCommand("cd " + shellQuote(work.root()) + " && { timeout 10 cat pipe >got.json & } && " +
                 shellQuote(QUILLANE_BINARY) + " scan " + shellQuote(tree.root()) +
                 " --json pipe --quiet >/dev/null 2>&1; s=$?; wait; exit $s",
             &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::filesystem::is_fifo(work.path("pipe")));
  expectWholeTree(readExport(readFile(work.path("got.json"))));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.root()), {}), 2) << "a temporary was left";
}

} // namespace
} // namespace quillane::test
