// `quillane treemap` writing its layout. Its refusals are checked with the
// scan command's (ScanCommandTests.cpp), whose root and options it shares.
#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <QImage>

namespace quillane::test {
namespace {

TEST(TreemapCommand, WritesTheSameLayoutAsJsonSvgAndPng) {
  TempTree scratch;
  scratch.writeFile("tree/.Trash/big", 300'000);
  scratch.writeFile("tree/docs/small", 100'000);
  QuillaneRun run = runQuillane(scratch.root(),
                                "treemap tree --size 400x200 --json out.json --svg out.svg --png out.png");
  ASSERT_EQ(run.status, 0) << run.err;

  auto tiles = nlohmann::json::parse(readFile(scratch.path("out.json")));
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(tiles[0]["name"], ".Trash"); // largest first
  EXPECT_DOUBLE_EQ(tiles[0]["frame"]["height"].get<double>(), 200);
  // The folder's own blocks are no tile, so the two share a little less than all.
  const double shared = tiles[0]["fractionOfParent"].get<double>() + tiles[1]["fractionOfParent"].get<double>();
  EXPECT_TRUE(shared < 1.0 && shared > 0.95) << shared;
  // ".Trash" is hinted as the trash; "docs" infers nothing special.
  EXPECT_EQ(tiles[0]["fill"], tarnwick::TreemapPalette::crimsonTrash().name().toStdString());
  EXPECT_EQ(tiles[1]["fill"], tarnwick::TreemapPalette::sapphireBlue().name().toStdString());

  EXPECT_NE(readFile(scratch.path("out.svg")).find("<svg"), std::string::npos);
  QImage png(QString::fromStdString(scratch.path("out.png")));
  ASSERT_EQ(png.size(), QSize(400, 200));
  // Bottom-right of the first tile, away from its labels: its fill over the dark canvas.
  const double x = tiles[0]["frame"]["width"].get<double>() - 10;
  QColor seen = png.pixelColor(static_cast<int>(x), 190);
  QColor fill = tarnwick::TreemapPalette::crimsonTrash();
  EXPECT_NEAR(seen.red(), 0.85 * fill.red() + 0.15 * 0x1c, 4);
  EXPECT_NEAR(seen.green(), 0.85 * fill.green() + 0.15 * 0x1c, 4);
  EXPECT_NEAR(seen.blue(), 0.85 * fill.blue() + 0.15 * 0x1e, 4);
}

TEST(TreemapCommand, SvgIsWellFormedAndInertWhateverTheNames) {
  // The root's path becomes the drawing's title; the names become tile labels.
  TempTree scratch;
  const std::string root = "<a href='javascript:alert(1)' onclick='x'/>";
  scratch.writeFile(root + "/ctl\x01name", 300'000);
  scratch.writeFile(root + "/amp&<\"'\xff\xfe", 200'000);
  scratch.writeFile(root + "/non\xef\xbf\xbe" "character", 100'000);
  QuillaneRun run = runQuillane(scratch.root(), "treemap " + shellQuote(root) + " --svg out.svg --json out.json");
  ASSERT_EQ(run.status, 0) << run.err;

  // A strict parser reads it back: the title is the path, as text, and no
  // element or attribute came from a name.
  int status = -1;
  std::string parsed = runCommand(
      "python3 -c 'import sys, xml.dom.minidom as m\n"
      "d = m.parse(sys.argv[1])\n"
      "print(d.getElementsByTagName(\"title\")[0].firstChild.data)\n"
      "for e in d.getElementsByTagName(\"*\"):\n"
      "    print(e.tagName, *e.attributes.keys())' " +
          shellQuote(scratch.path("out.svg")) + " 2>&1",
      &status);
  ASSERT_EQ(status, 0) << parsed;
  const std::size_t titleEnd = parsed.find('\n');
  EXPECT_EQ(parsed.substr(0, titleEnd), scratch.path(root));
  const std::string elements = parsed.substr(titleEnd);
  for (const char *injected : {"\na ", "script", "onclick", "href"})
    EXPECT_EQ(elements.find(injected), std::string::npos) << injected << " in\n" << elements;
  EXPECT_NE(elements.find("\ntext "), std::string::npos) << "no label was drawn:\n" << elements;

  runCommand("python3 -m json.tool " + shellQuote(scratch.path("out.json")) + " >/dev/null 2>&1", &status);
  EXPECT_EQ(status, 0) << readFile(scratch.path("out.json"));
}

} // namespace
} // namespace quillane::test
