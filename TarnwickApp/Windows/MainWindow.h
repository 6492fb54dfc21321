#pragma once

#include "TarnwickApp/Windows/AppRootView.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Tree/DiskNode.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QDialog;
class QMenu;
class QMessageBox;

namespace tarnwick {
class ScanSnapshotStore;
class TarnwickAppCoordinator;
class TreemapCanvasView;
} // namespace tarnwick

namespace quillane {

class CacheCleanupWindow;
class ChangesPanel;
class PreferencesView;
class FindWindow;
class TrashWindow;
class UnreadableFoldersDialog;

/// The main window: the root view (launcher, scanning display or explorer)
/// under the menus "Quillane", "Scan", "View" and "Help", plus the About box
/// and the Settings window it opens.
///
/// Threads: GUI thread only. The coordinator must outlive the window.
/// `homeFolder` is what "Scan User Home Folder" scans and where choosing a
/// folder starts; `engine` is what the cache window cleans with (the
/// coordinator's own, in the application).
class MainWindow : public QMainWindow {
  Q_OBJECT

public:
  using StatusProbe = AppRootView::StatusProbe;
  /// Returns the folder the user chose, or nothing when they cancelled.
  using FolderChooser = std::function<std::optional<QString>(QWidget *parent)>;
  /// Returns the export file the user chose, or nothing when they cancelled.
  using FileChooser = FolderChooser;

  MainWindow(tarnwick::TarnwickAppCoordinator &coordinator, StatusProbe probe, QString homeFolder,
             std::shared_ptr<tarnwick::SafeCleaningEngine> engine, QWidget *parent = nullptr);

  AppRootView *rootView() const { return root_; }
  /// The default asks with a folder dialog whose button reads "Scan Folder".
  void setFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }
  /// The default asks with a file dialog for JSON exports, plain or compressed.
  void setExportChooser(FileChooser chooser) { exportChooser_ = std::move(chooser); }
  /// The default asks with a file dialog for snapshots and exports, starting
  /// in the remembered scans' folder.
  void setComparisonChooser(FileChooser chooser) { comparisonChooser_ = std::move(chooser); }

  QAction *scanHomeAction() const { return scanHome_; }
  QAction *scanDiskAction() const { return scanDisk_; }
  QAction *chooseFolderAction() const { return chooseFolder_; }
  /// Scan ▸ Open Scan File…
  QAction *openScanFileAction() const { return openScanFile_; }
  /// Scan ▸ Compare With…: enabled while the explorer shows a tree.
  QAction *compareWithAction() const { return compareWith_; }
  /// Scan ▸ Compare With Previous Scan: enabled while the explorer shows a
  /// tree of which a scan made before it is remembered.
  QAction *compareWithPreviousAction() const { return compareWithPrevious_; }
  /// The dock listing what changed since the older scan compared with.
  ChangesPanel *changesPanel() const { return changes_; }
  QAction *cancelScanAction() const { return cancelScan_; }
  QAction *settingsAction() const { return settings_; }
  QAction *aboutAction() const { return about_; }
  QAction *helpAction() const { return help_; }
  QAction *unreadableFoldersAction() const { return unreadableFolders_; }
  QAction *cleanCachesAction() const { return cleanCaches_; }
  QAction *showTrashAction() const { return showTrash_; }
  QAction *backAction() const { return back_; }
  QAction *findAction() const { return find_; }
  QAction *summaryAction() const { return summary_; }
  /// View ▸ Show List: the tree list beside the treemap.
  QAction *showListAction() const { return showList_; }
  /// View ▸ Nested Contents: folder tiles show what they hold.
  QAction *nestedContentsAction() const { return nestedContents_; }
  /// View ▸ Appearance: System, Light and Dark, in that order.
  const std::vector<QAction *> &appearanceActions() const { return appearanceActions_; }
  /// Keeps the window's geometry and toolbar state in the settings (closing does it too).
  void saveLayout() const;

  /// Opens (or raises) the cache review window, showing one category or all.
  CacheCleanupWindow *showCacheCleanup(std::optional<tarnwick::CleanableCategory> category);
  /// Opens (or raises) the Trash view, listing the Trash again.
  TrashWindow *showTrash();
  /// The Find window (made on first use), following the explorer's tree and
  /// folder; the caller opens it on a tab.
  FindWindow *findWindow();
  /// The Trash the Trash view shows; by default the home folder's default
  /// one ($HOME/.local/share/Trash) and those of mounted file systems.
  /// Takes effect when the view is next created.
  void setTrashCatalogue(tarnwick::TrashCatalogue catalogue) { trash_ = std::move(catalogue); }
  /// Where the launcher's "Recent Scans" come from.
  void setSnapshotStore(std::shared_ptr<const tarnwick::ScanSnapshotStore> store);

  /// Opens (or raises) the Settings window on its Access tab.
  PreferencesView *showSettings();
  /// Opens (or raises) the list of folders that cannot be read, asking the
  /// probes again.
  UnreadableFoldersDialog *showUnreadableFolders();
  QMessageBox *showAbout();
  void chooseFolderAndScan();
  void chooseExportAndOpen();
  /// Asks for an older scan of the tree on show and compares the tree with it.
  void chooseAndCompare();
  /// Compares the tree on show with the newest remembered scan of its root
  /// made before it.
  void compareWithPrevious();
  /// Reads the export at `file` (relative to the current folder) off the
  /// GUI thread and explores it as a finished scan; the scanning display
  /// shows meanwhile, the title names the file, and a file that cannot be
  /// read is reported in a message over this window.
  void openScanFile(const QString &file);
  /// Opens a remembered scan (a snapshot file), as openScanFile an export.
  void openRememberedScan(const QString &file);
  /// Scans `root`, naming it in the title until the scan ends.
  void startScan(const QString &root);
  /// The user guide installed with the application, or the source tree's.
  static QString helpDocumentPath();

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  /// The comparison's menu items, dock and treemap colours, kept in step
  /// with the tree on show.
  void connectComparison();
  /// Enables the comparison's menu items for the tree on show.
  void refreshComparing();
  void buildMenus();
  /// The keys of the scan actions, which the start page shows too.
  static WelcomeLauncherView::Shortcuts launcherShortcuts();
  void buildAppearanceMenu(QMenu *menu);
  /// The saved geometry and state; one off every screen, or unreadable, is ignored.
  void restoreLayout();
  /// The window frame a saved geometry holds; nothing when it is not whole.
  static std::optional<QRect> savedFrame(const QByteArray &saved);
  static bool isOnScreen(const QRect &frame);
  void openHelp();
  /// A warning over this window, not waited for.
  void showFailure(const QString &title, const QString &text);
  void refreshTitle();
  /// Tells the Find window the explorer's tree and folder.
  void syncFindWindow();
  /// Shows node `id` of the explorer's tree: a folder is entered, anything
  /// else selected in its folder.
  void revealNode(tarnwick::NodeID id);

  tarnwick::TarnwickAppCoordinator &coordinator_;
  StatusProbe probe_;
  const QString homeFolder_;
  const std::shared_ptr<tarnwick::SafeCleaningEngine> engine_;
  AppRootView *root_;
  FolderChooser chooser_;
  FileChooser exportChooser_;
  FileChooser comparisonChooser_;
  std::shared_ptr<const tarnwick::ScanSnapshotStore> snapshots_;
  ChangesPanel *changes_;
  QPointer<QDialog> settingsWindow_;
  QPointer<PreferencesView> preferences_;
  QPointer<QMessageBox> aboutBox_;
  QPointer<UnreadableFoldersDialog> unreadableDialog_;
  QPointer<CacheCleanupWindow> cacheWindow_;
  QPointer<TrashWindow> trashWindow_;
  QPointer<FindWindow> findWindow_;
  QPointer<tarnwick::TreemapCanvasView> followedCanvas_; // the Find window follows its folder
  tarnwick::TrashCatalogue trash_;
  std::optional<QString> scanningRoot_; // a scan started here, while it runs
  std::optional<QString> openingFile_;  // an export being read, likewise

  QAction *scanHome_ = nullptr;
  QAction *scanDisk_ = nullptr;
  QAction *chooseFolder_ = nullptr;
  QAction *openScanFile_ = nullptr;
  QAction *compareWith_ = nullptr;
  QAction *compareWithPrevious_ = nullptr;
  QAction *cancelScan_ = nullptr;
  QAction *settings_ = nullptr;
  QAction *about_ = nullptr;
  QAction *help_ = nullptr;
  QAction *unreadableFolders_ = nullptr;
  QAction *cleanCaches_ = nullptr;
  QAction *showTrash_ = nullptr;
  QAction *back_ = nullptr;
  QAction *showList_ = nullptr;
  QAction *nestedContents_ = nullptr;
  QAction *find_ = nullptr;
  QAction *summary_ = nullptr;
  std::vector<QAction *> appearanceActions_;
};

} // namespace quillane
