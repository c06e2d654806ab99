#pragma once

#include "core/access/data_array_map.h"

#include <QWidget>

#include <map>
#include <optional>
#include <utility>

namespace sw::gui {

// The converter's data array as a grid of 1400 cells, 50 a line, coloured by what uses each position;
// hovering a cell names its rows, clicking it chooses its first entry (a conflicting one first).
class DataArrayMapView : public QWidget {
    Q_OBJECT
public:
    explicit DataArrayMapView(QWidget* parent = nullptr);

    void setMap(access::DataArrayMap map);
    const access::DataArrayMap& map() const { return m_map; }
    // What a live check found, by (data set, row): (0, r) for variables row r, (d, 0) for data set d and
    // so for each of its members. Shown under the hover text of the positions they use.
    using LiveTexts = std::map<std::pair<std::size_t, std::size_t>, QString>;
    void setLiveTexts(LiveTexts texts);
    // The hover text of a position: who uses it, then the live-check findings for them.
    QString hoverText(std::size_t position) const;

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
    LiveTexts m_live;
};

} // namespace sw::gui
