#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace sw::gui {

// Every file-open dialog of the program goes through this chooser, so tests can pick a file in place of
// the user.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The file the user picked, or an empty text when the dialog was cancelled. `filters` are Qt name
    // filters ("SCL Files (*.icd *.scd)"), the first one chosen at the start.
    virtual QString chooseFileToOpen(QWidget* parent, const QString& title, const QStringList& filters) = 0;
    // The file to write, or an empty text when cancelled; `proposed` is the file offered at the start (its
    // folder is where the dialog opens). A chooser that offers no saving cancels.
    virtual QString chooseFileToSave(QWidget* parent, const QString& title, const QStringList& filters,
                                     const QString& proposed = {});
};

// The chooser in use; a real QFileDialog one unless a test installed another.
FileChooser& fileChooser();
void setFileChooser(FileChooser* chooser); // nullptr restores the real one

} // namespace sw::gui
