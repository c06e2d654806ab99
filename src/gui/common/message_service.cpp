#include "gui/common/message_service.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QUrl>

#include <exception>

namespace sw::gui {

namespace {

class BoxMessageService : public MessageService {
public:
    Answer show(QWidget* parent, Icon icon, const QString& title, const QString& text,
                Buttons buttons) override {
        QMessageBox box(parent);
        box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
        box.setText(text);
        switch (icon) {
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        }
        switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Ok;
        }
    }
};

MessageService* g_service = nullptr;
DialogRunner g_runner;
std::function<void(const QString&)> g_urlOpener;

} // namespace

MessageService& messages() {
    static BoxMessageService real;
    return g_service != nullptr ? *g_service : real;
}

void setMessageService(MessageService* service) {
    g_service = service;
}

void runGuarded(QWidget* parent, const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        messages().showError(parent, QString::fromUtf8(error.what()));
    }
}

int openDialog(QDialog* dialog) {
    if (g_runner) {
        return g_runner(dialog);
    }
    return dialog->exec();
}

void setDialogRunner(DialogRunner runner) {
    g_runner = std::move(runner);
}

void openUrl(const QString& address) {
    if (g_urlOpener) {
        g_urlOpener(address);
        return;
    }
    QDesktopServices::openUrl(QUrl(address));
}

void setUrlOpener(std::function<void(const QString&)> opener) {
    g_urlOpener = std::move(opener);
}

} // namespace sw::gui
