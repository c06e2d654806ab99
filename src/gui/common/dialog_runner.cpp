#include "gui/common/dialog_runner.h"

#include <QDialog>

namespace sw::gui {

namespace {

class ModalDialogRunner : public DialogRunner {
public:
    int run(QDialog* dialog) override { return dialog->exec(); }
};

DialogRunner* g_runner = nullptr;

} // namespace

int openDialog(QDialog* dialog) {
    static ModalDialogRunner modal;
    return (g_runner != nullptr ? *g_runner : modal).run(dialog);
}

void setDialogRunner(DialogRunner* runner) {
    g_runner = runner;
}

} // namespace sw::gui
