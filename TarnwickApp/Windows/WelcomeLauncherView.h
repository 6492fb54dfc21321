#pragma once

#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"

#include <QKeySequence>
#include <QWidget>

class QAbstractButton;

namespace quillane {

/// The window's content before any scan: the product header, the Full Disk
/// Access banner while access is missing, three launch cards (home folder,
/// whole disk, a folder of the user's choice) and the footer.
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

  void setAccessStatus(tarnwick::FullDiskAccessStatus status);
  bool isBannerVisible() const;
  /// Card 0 scans home, 1 the whole disk, 2 a chosen folder; 3 opens the
  /// cache review window.
  QAbstractButton *card(int index) const;
  QAbstractButton *grantAccessButton() const { return grantAccess_; }

signals:
  void scanHomeRequested();
  void scanDiskRequested();
  void chooseFolderRequested();
  void cleanCachesRequested();
  void grantAccessRequested();

private:
  QWidget *makeHeader();
  QWidget *makeBanner();
  QWidget *makeFooter();

  QWidget *banner_ = nullptr;
  QAbstractButton *grantAccess_ = nullptr;
  QAbstractButton *cards_[4] = {};
};

} // namespace quillane
