#pragma once

#include <QString>

class QWidget;

namespace orvik::platform::qt {

// The file choosers of every window: Qt's own dialog, the same on every desktop, which asks before it
// replaces a file. A kind of file is its extension in the filter ("CSV files (*.csv)": csv). The first
// question of a kind opens in the user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents, else
// the home folder), later ones in the folder last chosen for that kind: never in the working directory,
// which for the menu's monitor is its settings folder. Each returns the file chosen, empty on Cancel.
QString askSaveFile(QWidget* parent, const QString& title, const QString& suggestedName,
                    const QString& filter);
QString askOpenFile(QWidget* parent, const QString& title, const QString& filter);

// The folder a question with this filter opens in.
QString startFolder(const QString& filter);

// The file in the per-user settings folder that keeps the folders chosen.
inline constexpr const char* kChosenFoldersFile = "save-folders.cfg";

// Keeps the folders chosen in `file` as well, so that they hold across runs, and takes those it holds.
void rememberFoldersIn(const QString& file);

}  // namespace orvik::platform::qt
