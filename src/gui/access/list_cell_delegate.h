#pragma once

#include <QStyledItemDelegate>

namespace sw::gui {

// Cells whose model gives kChoicesRole are edited with a drop-down list of exactly those values, and
// every pick is stored at once; other cells are edited as usual.
class ListCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

} // namespace sw::gui
