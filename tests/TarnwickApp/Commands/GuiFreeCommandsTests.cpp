#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quillane::test {
namespace {

// Runs `binary` from `folder` with the dynamic loader listing on standard
// error every library it loads, across the hand-over's exec too.
QuillaneRun runListingLibraries(const std::string &binary, const std::string &folder, const std::string &arguments) {
  QuillaneRun run;
  const std::string errPath = folder + "/stderr";
  run.out = runCommand("cd " + shellQuote(folder) + " && LD_DEBUG=libs " + shellQuote(binary) + " " + arguments +
                           " 2>" + shellQuote(errPath),
                       &run.status);
  run.err = readFile(errPath);
  return run;
}

TEST(GuiFreeCommands, OnlyTheCommandsThatDrawOrShowLoadQtGui) {
  struct Case {
    const char *arguments;
    bool loadsGui;
    const char *outHas;
  };
  const Case cases[] = {
      {"scan tree --quiet", false, "Files:"},
      {"help treemap", false, "treemap [PATH]"},
      {"treemap tree --json -", true, "\"fractionOfParent\""},
      {"window --help", true, "--open"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.arguments);
    TempTree scratch;
    scratch.writeFile("tree/file", 100);
    const QuillaneRun run = runListingLibraries(QUILLANE_BINARY, scratch.root(), c.arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(c.outHas), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("libQt6Gui.so") != std::string::npos, c.loadsGui);
    EXPECT_EQ(run.err.find("libQt6Widgets.so") != std::string::npos, c.loadsGui);
  }
}

TEST(GuiFreeCommands, WithoutQuillaneGuiOnlyTheDrawingCommandsFail) {
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  const std::string lone = scratch.path("bin/quillane");
  std::filesystem::create_directories(scratch.path("bin"));
  std::filesystem::copy_file(QUILLANE_BINARY, lone);
  QuillaneRun run = runListingLibraries(lone, scratch.root(), "treemap tree --json -");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_NE(run.err.find("quillane: cannot run treemap: quillane-gui is not installed"), std::string::npos) << run.err;
  EXPECT_EQ(runListingLibraries(lone, scratch.root(), "scan tree --quiet").status, 0);
}

} // namespace
} // namespace quillane::test
