#pragma once

class QDialog;

namespace sw::gui {

// Every window opens its dialogs through this runner, so a test can open a dialog without entering a
// modal loop and drive it through its slots.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Shows the dialog and returns its result once it closes.
    virtual int run(QDialog* dialog) = 0;
};

// Opens a dialog modally through the runner in use: QDialog::exec unless a test installed another.
int openDialog(QDialog* dialog);
void setDialogRunner(DialogRunner* runner); // nullptr restores QDialog::exec

} // namespace sw::gui
