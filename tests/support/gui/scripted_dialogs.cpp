#include "scripted_dialogs.h"

#include <QDialog>

namespace sw::test {

ScriptedDialogs::ScriptedDialogs(Script script) : m_script(std::move(script)) {
    sw::gui::setDialogRunner(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    sw::gui::setDialogRunner(nullptr);
}

int ScriptedDialogs::run(QDialog* dialog) {
    opened.push_back(dialog);
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    if (m_script) {
        m_script(dialog);
    }
    const int result = dialog->result();
    dialog->hide();
    return result;
}

} // namespace sw::test
