#include "gui/common/wheel_scrolling.h"

#include <QGuiApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleHints>
#include <QWheelEvent>

namespace sw::gui {

namespace {

class WheelToArea : public QObject {
public:
    explicit WheelToArea(QScrollArea* area) : QObject(area), m_area(area) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Wheel && scroll(static_cast<QWheelEvent*>(event))) {
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool scroll(const QWheelEvent* event) {
        const int delta = event->angleDelta().y();
        QWidget* viewport = m_area->viewport();
        if (delta == 0 ||
            !viewport->rect().contains(viewport->mapFromGlobal(event->globalPosition().toPoint()))) {
            return false;
        }
        const int lines = QGuiApplication::styleHints()->wheelScrollLines();
        QScrollBar* bar = m_area->verticalScrollBar();
        for (int i = 0; i < lines; ++i) {
            bar->triggerAction(delta > 0 ? QAbstractSlider::SliderSingleStepSub
                                         : QAbstractSlider::SliderSingleStepAdd);
        }
        return true;
    }

    QScrollArea* m_area;
};

} // namespace

void scrollAreaUnderWheel(QScrollArea* area) {
    auto* filter = new WheelToArea(area);
    area->viewport()->installEventFilter(filter);
    if (QWidget* content = area->widget()) {
        content->installEventFilter(filter);
        for (QWidget* child : content->findChildren<QWidget*>()) {
            child->installEventFilter(filter);
        }
    }
}

} // namespace sw::gui
