#include "TarnwickCore/Catalogue/ProjectArtefactFinder.h"

#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tarnwick {
namespace {

using quillane::test::ScopedMount;
using quillane::test::TempTree;

// A mounted disk or share below home holds other people's projects, or the
// same ones again: the walk stays on the file system of the roots.
TEST(ProjectArtefactFinderTest, NoOtherFileSystemIsEntered) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting a tmpfs needs root (CI runs as root)";
  TempTree home;
  home.writeFile("code/app/package.json", 10);
  home.writeFile("code/app/node_modules/x/index.js", 100);
  home.makeDirectory("code/mounted");
  const ScopedMount mount = ScopedMount::tmpfs(home.path("code/mounted"));
  if (!mount.mounted())
    GTEST_SKIP() << "this system refuses test mounts";
  home.writeFile("code/mounted/web/package.json", 10);
  home.writeFile("code/mounted/web/node_modules/y/index.js", 100);

  std::vector<std::string> found;
  for (const FoundArtefact &artefact : ProjectArtefactFinder(home.root(), {home.root()}).find())
    found.push_back(artefact.path);
  EXPECT_EQ(found, std::vector<std::string>{home.path("code/app/node_modules")});
}

} // namespace
} // namespace tarnwick
