#pragma once

#include "gui/common/dialog_runner.h"

#include <functional>
#include <vector>

namespace sw::test {

// Opens dialogs without a modal loop for its lifetime: each dialog is shown, handed to the script,
// and the dialog's result after the script is returned.
class ScriptedDialogs : public sw::gui::DialogRunner {
public:
    using Script = std::function<void(QDialog*)>;
    explicit ScriptedDialogs(Script script = {});
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    int run(QDialog* dialog) override;

    std::vector<QDialog*> opened;

private:
    Script m_script;
};

} // namespace sw::test
