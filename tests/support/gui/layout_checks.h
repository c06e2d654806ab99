#pragma once

#include <QString>
#include <QWidget>

#include <vector>

namespace sw::test {

// What is wrong with a laid-out window: a control that is hidden, has no size, reaches outside its
// window, or overlaps another of the given controls (compared in window coordinates). Empty when all is
// well.
inline QString layoutProblem(const std::vector<QWidget*>& controls) {
    std::vector<QRect> placed;
    for (QWidget* control : controls) {
        const QRect inWindow(control->mapTo(control->window(), QPoint(0, 0)), control->size());
        if (!control->isVisible() || inWindow.isEmpty()) {
            return control->objectName() + QStringLiteral(" is not shown");
        }
        if (!control->window()->rect().contains(inWindow)) {
            return control->objectName() + QStringLiteral(" reaches outside its window");
        }
        for (std::size_t i = 0; i < placed.size(); ++i) {
            if (placed[i].intersects(inWindow)) {
                return control->objectName() + QStringLiteral(" overlaps ") + controls[i]->objectName();
            }
        }
        placed.push_back(inWindow);
    }
    return {};
}

} // namespace sw::test
