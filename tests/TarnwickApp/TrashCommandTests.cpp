#include "TarnwickApp/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quillane::test {
namespace {

QuillaneRun trash(const TempTree &home, const std::string &arguments) {
  return runQuillaneAtHome(home, "trash " + arguments);
}

TEST(TrashCommand, ReportsEachPathAndFailsUnlessAllWereCleaned) {
  TempTree home;
  home.writeFile(".cache/junk", 5000);
  home.writeFile("notes.txt", 10);
  QuillaneRun run = trash(home, shellQuote(home.path(".cache/junk")) + " " + shellQuote(home.path("notes.txt")));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(std::filesystem::exists(home.path(".local/share/Trash/files/junk")));
  EXPECT_TRUE(std::filesystem::exists(home.path(".local/share/Trash/files/notes.txt"))); // confirmed by naming it
  EXPECT_NE(run.out.find("2 of 2 cleaned"), std::string::npos) << run.out;

  home.writeFile(".ssh/id_rsa", 10);
  run = trash(home, shellQuote(home.path(".ssh/id_rsa")) + " --permanent");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("blocked  " + home.path(".ssh/id_rsa") + ": Deletion rejected: Path '" +
                         home.path(".ssh/id_rsa") + "' is a protected system or user crown-jewel directory."),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(std::filesystem::exists(home.path(".ssh/id_rsa")));
  EXPECT_EQ(trash(home, "").status, 2);
}

} // namespace
} // namespace quillane::test
