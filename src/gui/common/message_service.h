#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace sw::gui {

// Every message box of the program goes through this service, so tests can answer in place of the user.
class MessageService {
public:
    enum class Icon { Information, Warning, Error, Question };
    // SaveDiscardCancel answers Yes for Save and No for Discard.
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, SaveDiscardCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~MessageService() = default;
    virtual Answer show(QWidget* parent, Icon icon, const QString& title, const QString& text,
                        Buttons buttons) = 0;

    void showError(QWidget* parent, const QString& text) { show(parent, Icon::Error, {}, text, Buttons::Ok); }
    void showInformation(QWidget* parent, const QString& text) {
        show(parent, Icon::Information, {}, text, Buttons::Ok);
    }
    bool askYesNo(QWidget* parent, const QString& text) {
        return show(parent, Icon::Question, {}, text, Buttons::YesNo) == Answer::Yes;
    }
};

// The service in use; a real QMessageBox one unless a test installed another.
MessageService& messages();
// The title of a message box that names none: the product's code, which the main window sets.
void setMessageTitle(const QString& title);
const QString& messageTitle();
void setMessageService(MessageService* service); // nullptr restores the real one

// Runs a command; an error that escapes it is shown in an error box and the window stays usable.
void runGuarded(QWidget* parent, const std::function<void()>& command);

} // namespace sw::gui
