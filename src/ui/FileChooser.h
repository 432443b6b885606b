// Lets the user pick an existing file. The window asks through this interface
// so the tests can answer in place of the file dialog.
#pragma once

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

namespace mdbtokvt::ui {

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The full path of the file chosen, or nothing when the user cancelled.
  // initialPath preselects a file (and its folder); filter is a Qt name filter.
  virtual std::optional<QString> ChooseExistingFile(const QString& initialPath,
                                                    const QString& filter) = 0;
};

// Picks the file with a modal QFileDialog over the active window.
class FileDialogChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseExistingFile(const QString& initialPath,
                                            const QString& filter) override;
};

// Sets a file dialog up for opening one existing file: the filter (shown by
// its name only, so a name may carry its own pattern text), and the initial
// file with its folder when that folder exists.
void ConfigureOpenDialog(QFileDialog& dialog, const QString& initialPath, const QString& filter);

}  // namespace mdbtokvt::ui
