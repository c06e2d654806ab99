#include "gui/common/dialog_layout.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
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

namespace {

// Refits its window whenever the window's layout has been recalculated.
class GrowToFit : public QObject {
public:
    GrowToFit(QWidget* window, const QSize& classic) : QObject(window), m_window(window), m_classic(classic) {
        window->installEventFilter(this);
        fit();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::LayoutRequest) {
            // The layout recalculates first; its new minimum is known after that.
            QMetaObject::invokeMethod(this, &GrowToFit::fit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void fit() {
        const QSize needed = m_window->layout() != nullptr ? m_window->layout()->totalMinimumSize() : QSize();
        m_window->setFixedSize(needed.expandedTo(m_classic));
    }

    QWidget* m_window;
    QSize m_classic;
};

} // namespace

void fixSizeGrowingToFit(QWidget* window, const QSize& classic) {
    new GrowToFit(window, classic);
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

void takeRoomLeft(QLabel* label) {
    label->setSizePolicy(QSizePolicy::Ignored, label->sizePolicy().verticalPolicy());
    label->setMinimumWidth(0);
}

} // namespace sw::gui
