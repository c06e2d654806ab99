#pragma once

#include "gui/common/message_service.h"

#include <QStringList>

#include <deque>
#include <vector>

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
    FakeMessageService(const FakeMessageService&) = delete;
    FakeMessageService& operator=(const FakeMessageService&) = delete;

    Answer show(QWidget*, Icon icon, const QString&, const QString& text, Buttons buttons) override {
        shown.push_back({icon, text, buttons});
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
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

} // namespace sw::test
