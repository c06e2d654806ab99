#include "gui/common/message_service.h"

#include "gui/common/error_text.h"
#include "gui/common/shown_text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <utility>

namespace sw::gui {

namespace {

QMessageBox::Icon boxIcon(MessageService::Icon icon) {
    switch (icon) {
    case MessageService::Icon::Information:
        return QMessageBox::Information;
    case MessageService::Icon::Warning:
        return QMessageBox::Warning;
    case MessageService::Icon::Error:
        return QMessageBox::Critical;
    case MessageService::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MessageService::Buttons buttons) {
    switch (buttons) {
    case MessageService::Buttons::Ok:
        return QMessageBox::Ok;
    case MessageService::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageService::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageService::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageService::Buttons::SaveDiscardCancel:
        return QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

class BoxMessageService : public MessageService {
public:
    Answer show(QWidget* parent, Icon icon, const QString& title, const QString& text,
                Buttons buttons) override {
        QMessageBox box(parent);
        box.setWindowTitle(title.isEmpty() ? messageTitle() : title);
        box.setText(text);
        box.setIcon(boxIcon(icon));
        box.setStandardButtons(boxButtons(buttons));
        // The buttons speak the program's language, not the system's.
        const std::pair<QMessageBox::StandardButton, WindowText> captions[] = {
            {QMessageBox::Ok, WindowText::ButtonOk},     {QMessageBox::Cancel, WindowText::ButtonCancel},
            {QMessageBox::Yes, WindowText::ButtonYes},   {QMessageBox::No, WindowText::ButtonNo},
            {QMessageBox::Save, WindowText::ButtonSave}, {QMessageBox::Discard, WindowText::ButtonDiscard}};
        for (const auto& [standard, caption] : captions) {
            if (QAbstractButton* button = box.button(standard)) {
                button->setText(shownText(caption));
            }
        }
        switch (box.exec()) {
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Yes:
        case QMessageBox::Save:
            return Answer::Yes;
        case QMessageBox::No:
        case QMessageBox::Discard:
            return Answer::No;
        default:
            return Answer::Ok;
        }
    }
};

MessageService* g_service = nullptr;
QString g_title = QStringLiteral("SW40512");

} // namespace

MessageService& messages() {
    static BoxMessageService real;
    return g_service != nullptr ? *g_service : real;
}

void setMessageTitle(const QString& title) {
    g_title = title;
}

const QString& messageTitle() {
    return g_title;
}

void setMessageService(MessageService* service) {
    g_service = service;
}

void runGuarded(QWidget* parent, const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        messages().showError(parent, errorText(error));
    }
}

} // namespace sw::gui
