#pragma once

#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickUI/SizeloomDashboardView.h"

#include <memory>
#include <stdexcept>

namespace quillane {

// The main window over a scratch home of a few folders and files.
class MainWindowTest : public test::ScratchHomeWindow {
protected:
  MainWindowTest() {
    tree.writeFile("home/Projects/app/build/output.o", 900'000);
    tree.writeFile("home/Projects/app/main.cpp", 40'000);
    tree.writeFile("home/Movies/holiday.mp4", 2'400'000);
    tree.writeFile("home/.cache/thumbnails/a.png", 300'000);
    tree.writeFile("home/notes.txt", 12'000);
  }

  // Shows the scanned home folder in `window`; returns its explorer.
  tarnwick::SizeloomDashboardView &explore() {
    window = makeWindow();
    scanHome(*window);
    if (!root().dashboard())
      throw std::runtime_error("the scanned home is not on show");
    return *root().dashboard();
  }
  AppRootView &root() { return *window->rootView(); }

  std::unique_ptr<MainWindow> window;
};

} // namespace quillane
