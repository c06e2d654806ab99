#include "gui/common/dialog_layout.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace sw::gui {

void stackDialogPanels(QWidget* dialog, QWidget* title, QWidget* content, QWidget* buttonStrip) {
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title);
    layout->addWidget(content, 1);
    layout->addWidget(buttonStrip);
}

void alignButtonsRight(QWidget* strip, std::initializer_list<QPushButton*> buttons) {
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(4, 4, 8, 4);
    layout->addStretch(1);
    for (QPushButton* button : buttons) {
        layout->addWidget(button);
    }
}

void centerOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        window->move(screen->availableGeometry().center() - window->rect().center());
    }
}

} // namespace sw::gui
