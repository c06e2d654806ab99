#include "fake_message_service.h"

#include <QDialog>

namespace sw::test {

ScriptedDialogs::ScriptedDialogs(Script script) : m_script(std::move(script)) {
    sw::gui::setDialogRunner([this](QDialog* dialog) {
        opened.push_back(dialog);
        dialog->setResult(QDialog::Rejected);
        dialog->show();
        if (m_script) {
            m_script(dialog);
        }
        const int result = dialog->result();
        dialog->hide();
        return result;
    });
}

ScriptedDialogs::~ScriptedDialogs() {
    sw::gui::setDialogRunner({});
}

} // namespace sw::test
