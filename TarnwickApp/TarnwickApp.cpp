#include "TarnwickApp/TarnwickApp.h"

#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/Windows/PreferencesView.h"
#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickUI/AppTranslations.h"
#include "TarnwickUI/AppearanceController.h"
#include "TarnwickUI/ContextMenuKey.h"
#include "TarnwickUI/ReturnKeyPressesButton.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>

#include <malloc.h>

namespace quillane {

struct TarnwickApp::State {
  QApplication application;
  bool themed; // before any widget exists: widgets read the palette when built
  bool translated; // likewise: widgets take their texts when built
  const tarnwick::FullDiskAccessCoordinator access;
  // Shared by the coordinator (single nodes) and the cache window.
  const std::shared_ptr<tarnwick::SafeCleaningEngine> engine;
  tarnwick::TarnwickAppCoordinator coordinator;
  MainWindow window;

  State(int &argc, char **argv, const tarnwick::UserEnvironment &user)
      : application((prepare(), argc), argv), themed(applyTheme(application)),
        translated(tarnwick::AppTranslations::install(QLocale())), access(user),
        engine(tarnwick::SafeCleaningEngine::forUser(user)),
        coordinator(scanWithSavedScope, engine),
        window(coordinator, [this] { return access.check(); }, QString::fromStdString(user.homeDirectory),
               engine) {
    // The Trash as the environment places it ($XDG_DATA_HOME), which the
    // window cannot tell from the home folder alone.
    window.setTrashCatalogue(tarnwick::TrashCatalogue(tarnwick::FreedesktopTrash(user)));
    coordinator.setTrashCatalogue(std::make_shared<const tarnwick::TrashCatalogue>(tarnwick::FreedesktopTrash(user)));
    auto snapshots =
        std::make_shared<const tarnwick::ScanSnapshotStore>(tarnwick::ScanSnapshotStore::defaultFolder(user));
    coordinator.setSnapshotStore(snapshots);
    window.setSnapshotStore(snapshots);
  }

  /// Every scan of the window leaves out what the Settings say, as they
  /// are when it starts.
  static tarnwick::DiskTreeArena scanWithSavedScope(const std::string &root, tarnwick::ProgressHandler progress,
                                                    std::stop_token stop, std::stop_token keep,
                                                    const std::string &scopeRoot) {
    tarnwick::FastBulkScanner scanner;
    scanner.setConcurrencyCeiling(tarnwick::FastBulkScanner::concurrencyCap);
    scanner.setScope(PreferencesView::savedScanScope().forFolder(scopeRoot, root));
    return scanner.scan(root, std::move(progress), std::move(stop), std::move(keep));
  }

  /// Before the QApplication exists.
  static void prepare() {
    configureAllocator();
    QApplication::setApplicationName(QStringLiteral("Quillane"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLANE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quillane"));
    QApplication::setDesktopFileName(QStringLiteral(QUILLANE_DESKTOP_ID));
  }
  static bool applyTheme(QApplication &application) {
    // Made first, while the palette is still the desktop's: System falls
    // back to its lightness where the portal does not say. The keys every
    // widget shares are set up with it, before any widget exists.
    tarnwick::AppearanceController::instance().apply();
    QApplication::setWindowIcon(tarnwick::SymbolIcons::icon("quillane"));
    application.installEventFilter(new tarnwick::ContextMenuKey(&application));
    application.installEventFilter(new tarnwick::ReturnKeyPressesButton(&application));
    return true;
  }
};

TarnwickApp::TarnwickApp(int &argc, char **argv, const tarnwick::UserEnvironment &user)
    : state_(std::make_unique<State>(argc, argv, user)) {}

TarnwickApp::~TarnwickApp() = default;

int TarnwickApp::exec(const std::optional<QString> &initialScan, const std::optional<QString> &openFile) {
  state_->window.show();
  if (initialScan)
    state_->window.startScan(*initialScan); // named in the title while it runs
  else if (openFile)
    state_->window.openScanFile(*openFile);
  return state_->application.exec();
}

void TarnwickApp::configureAllocator() {
  // A fixed threshold also stops glibc from raising it after the first large
  // free, which is what leaves tens of MiB resident after every scan.
  ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

} // namespace quillane
