#include "gui/access/row_status.h"

#include <QPainter>
#include <QPixmap>

#include <array>

namespace sw::gui {

QColor rowStatusColour(RowStatus status) {
    switch (status) {
    case RowStatus::Ok:
        return QColor(0x3c, 0xa0, 0x3c);
    case RowStatus::Failed:
        return QColor(0xcc, 0x22, 0x22);
    case RowStatus::Unreachable:
        return QColor(0xe6, 0x8a, 0x00);
    case RowStatus::NotChecked:
        return QColor(0x9a, 0x9a, 0x9a);
    case RowStatus::None:
        break;
    }
    return {};
}

QIcon rowStatusIcon(RowStatus status) {
    if (status == RowStatus::None) {
        return {};
    }
    // An icon rather than a header background: not every style paints a header cell's background.
    static std::array<QIcon, 5> icons;
    QIcon& icon = icons[static_cast<std::size_t>(status)];
    if (icon.isNull()) {
        QPixmap disc(10, 10);
        disc.fill(Qt::transparent);
        QPainter painter(&disc);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(rowStatusColour(status));
        painter.drawEllipse(1, 1, 8, 8);
        painter.end();
        icon = QIcon(disc);
    }
    return icon;
}

} // namespace sw::gui
