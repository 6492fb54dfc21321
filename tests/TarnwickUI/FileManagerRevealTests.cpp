#include "TarnwickUI/FileManagerReveal.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusServer>
#include <QGuiApplication>
#include <QTest>

namespace tarnwick {
namespace {

TEST(FileManagerRevealTest, UrlsAndCopiedPathsKeepEveryByte) {
  struct Case {
    std::string path;
    const char *file;
    const char *parent;
  };
  const Case cases[] = {
      {"/home/a b/c#d%e?.txt", "file:///home/a%20b/c%23d%25e%3F.txt", "file:///home/a%20b"},
      {"/tmp/caf\xc3\xa9/\xff.bin", "file:///tmp/caf%C3%A9/%FF.bin", "file:///tmp/caf%C3%A9"},
      {"/dir/sub//", "file:///dir/sub//", "file:///dir"},
      {"/top", "file:///top", "file:///"},
      {"/", "file:///", "file:///"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileManagerReveal::fileUrl(c.path).toEncoded(), c.file);
    EXPECT_EQ(FileManagerReveal::parentFolderUrl(c.path).toEncoded(), c.parent);
  }
  EXPECT_EQ(FileManagerReveal::fileUrl("/home/a b/caf\xc3\xa9").toLocalFile(), QString::fromUtf8("/home/a b/café"));

  // Copied as text.
  const std::pair<std::string, QString> copies[] = {
      {"/home/me/My Files/caf\xc3\xa9.txt", QString::fromUtf8("/home/me/My Files/café.txt")},
      // Not UTF-8: the byte alone is replaced, its neighbours stay.
      {"/home/me/odd \xff name", QString::fromUtf8("/home/me/odd \uFFFD name")},
      {"", QString::fromUtf8("/home/me/odd \uFFFD name")}, // nothing copied: the previous text stays
  };
  for (const auto &[path, expected] : copies) {
    FileManagerReveal::copyPath(path);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected) << path;
  }
}

class FileManagerRevealBusTest : public ::testing::Test {
protected:
  void SetUp() override {
    FileManagerReveal::setUrlOpenerForTesting([this](const QUrl &url) {
      opened.push_back(url);
      return true;
    });
  }
  void TearDown() override { FileManagerReveal::setUrlOpenerForTesting({}); }
  std::vector<QUrl> opened;
};

// Without a bus the parent folder opens at once; when the call fails (a
// peer connection with nothing registered stands in for a bus without a
// file manager), once the failure comes, never waiting for it.
TEST_F(FileManagerRevealBusTest, OpensTheParentFolderWhenNoFileManagerAnswers) {
  QDBusConnection none = QDBusConnection::connectToBus("unix:path=/nonexistent/quillane-bus", "quillane-no-bus");
  ASSERT_FALSE(none.isConnected());
  FileManagerReveal::reveal("", none);
  FileManagerReveal::reveal("/home/me/a b.txt", none);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].toEncoded(), "file:///home/me");

  QDBusServer server;
  QDBusConnection peer = QDBusConnection::connectToPeer(server.address(), "quillane-peer");
  ASSERT_TRUE(peer.isConnected());
  FileManagerReveal::reveal("/srv/x y/\xff", peer);
  EXPECT_EQ(opened.size(), 1u) << "the call does not wait for its reply";
  ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() == 2; }));
  EXPECT_EQ(opened[1].toEncoded(), "file:///srv/x%20y");
  QDBusConnection::disconnectFromPeer("quillane-peer");
}

} // namespace
} // namespace tarnwick
