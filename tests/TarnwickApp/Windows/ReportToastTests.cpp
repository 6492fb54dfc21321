#include "TarnwickApp/Windows/ReportToast.h"

#include "TarnwickApp/Windows/CleaningReportMessage.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QTest>

namespace quillane {
namespace {

// A name as long as a file system allows, and with no space to wrap at, is
// shortened in the middle: the message fits the toast, its extension and
// closing quote stay, and so does the rest of the sentence.
class ReportToastTest : public ::testing::Test {
protected:
  void SetUp() override {
    host.resize(1024, 640);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  }
  QWidget host;
  ReportToast toast{&host};
};

TEST_F(ReportToastTest, ALongNameIsShortenedInTheMiddleAndKeepsItsQuotes) {
  const std::string name = std::string(251, 'n') + ".mp4";
  tarnwick::SafeCleaningReport report;
  report.cleanedPaths = {"/home/u/" + name};
  report.reclaimed = tarnwick::ReclaimedSpace{tarnwick::DeletionMode::moveToTrash, 1'200'000, 0, {}};
  const QString message = CleaningReportMessage::from(report).text;
  toast.showMessage(message, true, QStringLiteral("Undo"));

  const auto *label = toast.findChild<QLabel *>();
  ASSERT_NE(label, nullptr);
  const QString shown = label->text();
  const qsizetype open = shown.indexOf(QStringLiteral("“")), close = shown.indexOf(QStringLiteral("”"));
  ASSERT_GE(open, 0);
  ASSERT_GT(close, open) << shown.toStdString();
  // The quoted name is one word: it has to fit a line.
  const QString word = shown.mid(open, close - open + 1);
  EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(word), label->contentsRect().width()) << shown.toStdString();
  EXPECT_TRUE(word.startsWith(QStringLiteral("“nnn")));
  EXPECT_TRUE(word.endsWith(QStringLiteral(".mp4”"))) << word.toStdString();
  EXPECT_EQ(shown.mid(close + 1), message.mid(message.indexOf(QStringLiteral("”")) + 1)) << "the rest is whole";
  EXPECT_TRUE(host.rect().contains(toast.geometry()));
}

// A message wraps only where it is wider than the toast: a short one is one
// line, a long one fills the toast's width before it takes another line.
TEST_F(ReportToastTest, AMessageWrapsOnlyWhereItIsWiderThanTheToast) {
  const auto *label = toast.findChild<QLabel *>();
  ASSERT_NE(label, nullptr);
  const QString sentence = QStringLiteral("Moved “big.bin” to the Trash. 5.2 MB is freed when the Trash is emptied.");
  toast.showMessage(sentence, true, QStringLiteral("Undo"));
  const int line = QFontMetrics(label->font()).lineSpacing();
  EXPECT_LT(label->height(), 2 * line) << "one line: " << label->width() << " px wide";
  toast.showMessage(sentence + " " + sentence + " " + sentence, true, QStringLiteral("Undo"));
  EXPECT_EQ(label->width(), label->maximumWidth());
  EXPECT_GE(label->height(), 2 * line);
}

} // namespace
} // namespace quillane
