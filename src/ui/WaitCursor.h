// Shows the wait cursor over the whole application for as long as it lives,
// so every way out of a long operation puts the previous cursor back.
#pragma once

#include <QApplication>

namespace mdbtokvt::ui {

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace mdbtokvt::ui
