#pragma once

#include "gui/common/message_service.h"

#include <QStringList>

#include <deque>

namespace sw::test {

// Records every message and answers from a queue (Ok or Yes when the queue is empty); installs itself
// for its lifetime.
class FakeMessageService : public sw::gui::MessageService {
public:
    struct Shown {
        Icon icon;
        QString text;
        Buttons buttons;
    };

    FakeMessageService() { sw::gui::setMessageService(this); }
    ~FakeMessageService() override { sw::gui::setMessageService(nullptr); }

    Answer show(QWidget*, Icon icon, const QString&, const QString& text, Buttons buttons) override {
        shown.push_back({icon, text, buttons});
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }

    QStringList texts() const {
        QStringList all;
        for (const auto& s : shown) {
            all << s.text;
        }
        return all;
    }

    std::vector<Shown> shown;
    std::deque<Answer> answers;
};

// Opens dialogs without a modal loop for its lifetime: each dialog is shown, handed to the script,
// and the dialog's result after the script is returned.
class ScriptedDialogs {
public:
    using Script = std::function<void(QDialog*)>;
    explicit ScriptedDialogs(Script script = {});
    ~ScriptedDialogs();
    std::vector<QDialog*> opened;

private:
    Script m_script;
};

} // namespace sw::test
