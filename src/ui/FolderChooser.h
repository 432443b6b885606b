// Lets the user pick a folder. The window asks through this interface so the
// tests can answer in place of the folder dialog.
#pragma once

#include <QString>

namespace mdbtokvt::ui {

class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // Opens on path with the given caption. Sets path to the folder the chooser
  // ended on and returns whether the user confirmed it; on false the caller
  // keeps its own value.
  virtual bool Browse(QString& path, const QString& caption) = 0;
};

}  // namespace mdbtokvt::ui
