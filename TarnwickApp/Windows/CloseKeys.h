#pragma once

class QWidget;

namespace quillane {

/// Makes Escape and the platform's Close key (Ctrl+W) close `window`, as
/// they do the secondary windows of desktop applications. The shortcuts are
/// children of `window` and live as long as it does; they act while it is
/// the active window.
///
/// Threads: GUI thread only.
void closeOnEscapeOrCloseKey(QWidget *window);

} // namespace quillane
