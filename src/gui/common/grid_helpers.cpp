#include "gui/common/grid_helpers.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTableView>

namespace sw::gui {

void fitColumnToContents(QTableView* view, int row, int column, bool doubleClickAutoSize) {
    if (!doubleClickAutoSize || view == nullptr || view->model() == nullptr || row != -1) {
        return;
    }
    if (column < 0 || column >= view->model()->columnCount(view->rootIndex())) {
        return;
    }
    view->resizeColumnToContents(column);
}

bool moveToNextCellOnEnter(QTableView* view, int key, bool enableJumpFieldTables) {
    if (!enableJumpFieldTables || (key != Qt::Key_Return && key != Qt::Key_Enter)) {
        return false;
    }
    if (view == nullptr || view->model() == nullptr) {
        return true;
    }
    const QModelIndex current = view->currentIndex();
    if (!current.isValid()) {
        return true;
    }
    const QAbstractItemModel* model = view->model();
    const QModelIndex parent = current.parent();
    int row = current.row();
    int column = current.column() + 1;
    if (column >= model->columnCount(parent)) {
        column = 0;
        row = row + 1 < model->rowCount(parent) ? row + 1 : 0;
    }
    view->setCurrentIndex(model->index(row, column, parent));
    return true;
}

} // namespace sw::gui
