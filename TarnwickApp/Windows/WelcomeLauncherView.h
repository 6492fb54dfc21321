#pragma once

#include <QKeySequence>
#include <QWidget>

#include <cstdint>

class QAbstractButton;
class QLabel;

namespace quillane {
class RecentScansList;
}

namespace quillane {

/// The window's content before any scan: the product header, a banner
/// while some folders cannot be read (how many, and a button that lists
/// them), the launch cards (home folder, whole disk, a folder of the user's
/// choice, cache cleanup), the remembered scans and the footer. A window
/// too short for the page scrolls it.
///
/// Threads: GUI thread only.
class WelcomeLauncherView : public QWidget {
  Q_OBJECT

public:
  /// The cards show the real shortcuts of the Scan menu's items.
  struct Shortcuts {
    QKeySequence scanHome, scanDisk, chooseFolder, cleanCaches;
  };
  WelcomeLauncherView(Shortcuts shortcuts, QWidget *parent = nullptr);

  /// Shows the banner with `count` while it is above 0, hides it at 0.
  void setUnreadableCount(std::int64_t count);
  bool isBannerVisible() const;
  QString bannerText() const;
  /// Card 0 scans home, 1 the whole disk, 2 a chosen folder; 3 opens the
  /// cache review window.
  QAbstractButton *card(int index) const;
  QAbstractButton *showFoldersButton() const { return showFolders_; }
  RecentScansList *recentScans() const { return recentScans_; }

signals:
  void scanHomeRequested();
  void scanDiskRequested();
  void chooseFolderRequested();
  void cleanCachesRequested();
  void unreadableFoldersRequested();

private:
  QWidget *makeHeader();
  QWidget *makeBanner();
  QWidget *makeFooter();

  QWidget *banner_ = nullptr;
  QLabel *bannerTitle_ = nullptr;
  QAbstractButton *showFolders_ = nullptr;
  QAbstractButton *cards_[4] = {};
  RecentScansList *recentScans_ = nullptr;
};

} // namespace quillane
