#pragma once

#include "TarnwickCore/Support/Failure.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QLabel;
class QTreeWidget;

namespace quillane {

/// Lists the folders Quillane could not read, each with why: those the
/// access probes could not open and those the last scan could not read.
/// "Copy" puts the list on the clipboard as text, one "path<TAB>reason" a
/// line. Escape and Ctrl+W close it.
///
/// Threads: GUI thread only.
class UnreadableFoldersDialog : public QDialog {
  Q_OBJECT

public:
  explicit UnreadableFoldersDialog(QWidget *parent = nullptr);

  /// `total` may exceed folders.size() when a scan listed only the first of
  /// them; the dialog then says how many more there are.
  void setFolders(std::vector<tarnwick::Failure> folders, std::int64_t total);
  QTreeWidget *list() const { return list_; }
  /// The list as the Copy button puts it on the clipboard.
  QString text() const;

private:
  QTreeWidget *list_;
  QLabel *summary_;
};

} // namespace quillane
