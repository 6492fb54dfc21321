// How `quillane` answers a user finding their way: help on standard output,
// and usage errors in one line with where the help is. Each command's own
// refusals, a root that cannot be read among them, are with its tests.
#include "TarnwickApp/CommandLine.h"
#include "TarnwickApp/Commands/CommandSyntax.h"
#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <tuple>

namespace quillane::test {
namespace {

TEST(CommandLine, HelpGoesToStandardOutputAndSucceeds) {
  struct Case {
    const char *arguments;
    const char *stdoutHas; // an option or line only that help shows
  };
  const Case cases[] = {
      {"--help", "Run 'quillane COMMAND --help' for a command's options."},
      {"scan tree -h", "--exclude-from FILE"},
      {"treemap --help", "--size WxH"},                            // without the output it requires
      {"caches --system --help", "--projects"},
      {"trash --help", "--restore"},
      {"access --help", "Usage: quillane access"},
      {"help scan", "--concurrency N"},
      {"diff --help", "diff OLD NEW"},
  };
  TempTree scratch;
  scratch.writeFile("tree/file", 10);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.arguments);
    const QuillaneRun run = runQuillane(scratch.root(), c.arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, c.stdoutHas)) << run.out;
    EXPECT_EQ(run.err, "");
  }
}

TEST(CommandLine, UsageErrorIsOneLineAndWhereTheHelpIs) {
  struct Case {
    const char *arguments;
    const char *message;
    const char *helpFor; // "" for the overview
  };
  const Case cases[] = {
      {"scan --help-me", "unknown option --help-me", "scan"},
      {"scan --top", "--top needs a value", "scan"},
      {"scan --quiet=no", "--quiet takes no value", "scan"},
      {"scan a b", "only one PATH can be scanned at a time", "scan"},
      {"treemap tree", "nothing to write", "treemap"},
      {"caches --clean --category Nonsense", "unknown category \"Nonsense\"; the categories are: \"", "caches"},
      {"caches --clean --category", "--category needs a value", "caches"},
      {"caches --json --clean", "cannot be combined with --clean", "caches"},
      {"caches --yes", "--yes and --category go with --clean", "caches"},
      {"caches --json=yes", "--json takes no value", "caches"},
      {"caches extra", "caches takes no argument extra", "caches"},
      {"caches --system --projects", "do not go with --system", "caches"},
      {"trash x --list", "--list comes after a PATH", "trash"},
      {"access now", "access takes no arguments", "access"},
      {"diff old.json", "needs two scan files", "diff"},
      {"diff a b --top=-1", "--top needs a whole number", "diff"},
      {"window a b", "at most one PATH", "window"},
      {"window . --open x.json", "a PATH to scan or --open FILE, not both", "window"},
      {"window --open x.json --open y.json", "--open takes one FILE", "window"},
      {"bogus", "unknown command bogus", ""},
      {"--bogus", "unknown option --bogus", ""},
      {"--version now", "--version takes no argument now", ""},
  };
  TempTree scratch;
  scratch.writeFile("tree/file", 10);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.arguments);
    const QuillaneRun run = runQuillane(scratch.root(), c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    const std::string tryLine = "Try 'quillane " + std::string(c.helpFor) + (*c.helpFor ? " " : "") + "--help'.\n";
    ASSERT_TRUE(run.err.ends_with(tryLine)) << run.err;
    const std::string first = run.err.substr(0, run.err.size() - tryLine.size());
    EXPECT_TRUE(first.starts_with("quillane: ") && first.find('\n') == first.size() - 1) << run.err;
    EXPECT_TRUE(contains(first, c.message)) << run.err;
  }
}

// Only the commands that draw or show load Qt's GUI libraries, as the
// dynamic loader lists them; without quillane-gui beside the binary, only
// they fail.
TEST(GuiFreeCommands, OnlyTheCommandsThatDrawOrShowLoadQtGui) {
  const std::tuple<const char *, bool, const char *> cases[] = {
      {"scan tree --quiet", false, "Files:"},
      {"help treemap", false, "treemap [PATH]"},
      {"treemap tree --json -", true, "\"fractionOfParent\""},
      {"window --help", true, "--open"},
  };
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  for (const auto &[arguments, loadsGui, outHas] : cases) {
    SCOPED_TRACE(arguments);
    const QuillaneRun run = runQuillane(scratch.root(), arguments, "LD_DEBUG=libs");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, outHas)) << run.out;
    EXPECT_EQ(contains(run.err, "libQt6Gui.so"), loadsGui);
    EXPECT_EQ(contains(run.err, "libQt6Widgets.so"), loadsGui);
  }
  const std::string lone = scratch.path("bin/quillane");
  std::filesystem::create_directories(scratch.path("bin"));
  std::filesystem::copy_file(QUILLANE_BINARY, lone);
  const QuillaneRun run = runQuillane(scratch.root(), "treemap tree --json -", {}, lone);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_TRUE(contains(run.err, "quillane: cannot run treemap: quillane-gui is not installed")) << run.err;
  EXPECT_EQ(runQuillane(scratch.root(), "scan tree --quiet", {}, lone).status, 0);
}

// Every option a command accepts is in the manual page.
TEST(CommandLine, ManualPageNamesEveryOption) {
  // The page's source spells a dash as "\-".
  const std::string page = std::regex_replace(readFile(QUILLANE_MAN_PAGE_SOURCE), std::regex(R"(\\-)"), "-");
  for (const CommandSyntax *syntax : commandSyntaxes())
    for (const QCommandLineOption &option : syntax->options())
      for (const QString &name : option.names()) {
        const std::string spelled = (name.size() == 1 ? "-" : "--") + name.toStdString();
        EXPECT_TRUE(std::regex_search(page, std::regex("(^|[^-\\w])" + spelled + "($|[^-\\w])")))
            << spelled << " of " << syntax->name().toStdString() << " is not in the manual page";
      }
}

} // namespace
} // namespace quillane::test
