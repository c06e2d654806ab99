#include "gui/access/data_array_map_view.h"

#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QToolTip>

#include <algorithm>

namespace sw::gui {

namespace {

constexpr int kColumns = 50;
constexpr int kLines = static_cast<int>((access::kDataArraySize + kColumns - 1) / kColumns);
constexpr int kLabelWidth = 40;
constexpr int kMinCell = 14; // big enough to point at; the page scrolls when the map needs more room

} // namespace

DataArrayMapView::DataArrayMapView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DataArrayMap"));
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DataArrayMapView::setMap(access::DataArrayMap map) {
    m_map = std::move(map);
    update();
}

void DataArrayMapView::setLiveTexts(LiveTexts texts) {
    m_live = std::move(texts);
}

QString DataArrayMapView::hoverText(std::size_t position) const {
    QString text = toQString(access::describePosition(m_map, position));
    if (m_live.empty()) {
        return text;
    }
    QStringList found;
    for (const access::MapEntry& entry : m_map.at(position)) {
        const auto live = m_live.find(entry.isMember() ? std::pair<std::size_t, std::size_t>{entry.dataSet, 0}
                                                       : std::pair<std::size_t, std::size_t>{0, entry.row});
        if (live != m_live.end() && !found.contains(live->second)) {
            found.push_back(live->second);
        }
    }
    if (!found.isEmpty()) {
        text += QLatin1Char('\n') + shownText(WindowText::LiveCheckHover) + QLatin1Char('\n') +
                found.join(QLatin1Char('\n'));
    }
    return text;
}

QColor DataArrayMapView::colourOf(access::CellUse use) {
    switch (use) {
    case access::CellUse::Free:
        return QColor(0xee, 0xee, 0xee);
    case access::CellUse::Read:
        return QColor(0x4a, 0x86, 0xc5);
    case access::CellUse::Write:
        return QColor(0x6a, 0xa8, 0x4f);
    case access::CellUse::Member:
        return QColor(0xe6, 0x91, 0x38);
    case access::CellUse::Mixed:
        return QColor(0x8e, 0x7c, 0xc3);
    case access::CellUse::Conflict:
        return QColor(0xcc, 0x00, 0x00);
    }
    return Qt::white;
}

int DataArrayMapView::cellSize() const {
    return std::max(kMinCell, std::min((width() - kLabelWidth) / kColumns, height() / kLines));
}

QRect DataArrayMapView::cellRect(std::size_t position) const {
    const int size = cellSize();
    const int line = static_cast<int>(position) / kColumns;
    const int column = static_cast<int>(position) % kColumns;
    return {kLabelWidth + column * size, line * size, size - 1, size - 1};
}

std::optional<std::size_t> DataArrayMapView::positionAt(QPoint point) const {
    const int size = cellSize();
    if (point.x() < kLabelWidth || point.y() < 0) {
        return std::nullopt;
    }
    const int column = (point.x() - kLabelWidth) / size;
    const int line = point.y() / size;
    const auto position = static_cast<std::size_t>(line * kColumns + column);
    if (column >= kColumns || position >= access::kDataArraySize) {
        return std::nullopt;
    }
    return position;
}

QSize DataArrayMapView::sizeHint() const {
    return {kLabelWidth + kColumns * 14, kLines * 14};
}

QSize DataArrayMapView::minimumSizeHint() const {
    return {kLabelWidth + kColumns * kMinCell, kLines * kMinCell};
}

void DataArrayMapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int size = cellSize();
    // Free cells are light grey: they stand out on the base colour, not on a grey window.
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    // Labels on every line that has room for one.
    const int step = (fontMetrics().height() + size - 1) / size;
    for (int line = 0; line < kLines; line += step) {
        painter.drawText(QRect(0, line * size, kLabelWidth - 4, size), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(line * kColumns));
    }
    for (std::size_t p = 0; p < access::kDataArraySize; ++p) {
        painter.fillRect(cellRect(p), colourOf(m_map.use(p)));
    }
}

bool DataArrayMapView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const auto position = positionAt(help->pos())) {
            QToolTip::showText(help->globalPos(), hoverText(*position), this, cellRect(*position));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

void DataArrayMapView::mousePressEvent(QMouseEvent* event) {
    const auto position = positionAt(event->position().toPoint());
    if (!position || m_map.at(*position).empty()) {
        return;
    }
    const auto entries = m_map.at(*position);
    const auto conflicting =
        std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.conflict; });
    emit entryChosen(conflicting != entries.end() ? *conflicting : entries.front());
}

} // namespace sw::gui
