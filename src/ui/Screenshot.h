// Pictures of the windows for checking their look without a screen session:
// each renders one window to a PNG file.
#pragma once

#include <QString>

namespace mdbtokvt::ui {

class MainWindow;
class DirBrowser;

// Shows the window, renders it to file and hides it again.
bool SaveMainWindowPicture(MainWindow& window, const QString& file);
// Opens the folder dialog on folder, renders it to file and cancels it.
bool SaveDirBrowserPicture(DirBrowser& browser, const QString& folder, const QString& file);

}  // namespace mdbtokvt::ui
