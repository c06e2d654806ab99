#pragma once

#include "core/access/data_array_map.h"

#include <QWidget>

#include <optional>

namespace sw::gui {

// The converter's data array as a grid of 1400 cells, 50 a line, coloured by what uses each position;
// hovering a cell names its rows, clicking it chooses its first entry (a conflicting one first).
class DataArrayMapView : public QWidget {
    Q_OBJECT
public:
    explicit DataArrayMapView(QWidget* parent = nullptr);

    void setMap(access::DataArrayMap map);
    const access::DataArrayMap& map() const { return m_map; }

    // The position under a point of the widget, if any.
    std::optional<std::size_t> positionAt(QPoint point) const;
    QRect cellRect(std::size_t position) const;
    static QColor colourOf(access::CellUse use);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void entryChosen(const access::MapEntry& entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int cellSize() const;

    access::DataArrayMap m_map;
};

} // namespace sw::gui
