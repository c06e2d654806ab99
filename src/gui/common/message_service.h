#pragma once

#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace sw::gui {

// Every message box of the program goes through this service, so tests can answer in place of the user.
class MessageService {
public:
    enum class Icon { Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo };
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
void setMessageService(MessageService* service); // nullptr restores the real one

// Runs a command; an error that escapes it is shown in an error box and the window stays usable.
void runGuarded(QWidget* parent, const std::function<void()>& command);

// Opens a dialog modally. Tests install a runner that drives the dialog without a modal loop.
using DialogRunner = std::function<int(QDialog*)>;
int openDialog(QDialog* dialog);
void setDialogRunner(DialogRunner runner); // empty restores QDialog::exec

// Opens a web address in the default browser; tests install a recorder instead.
void openUrl(const QString& address);
void setUrlOpener(std::function<void(const QString&)> opener); // empty restores the browser

// Converts between the core's UTF-8 strings and Qt's.
inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string ss(const QString& text) {
    return text.toStdString();
}

} // namespace sw::gui
