#include "gui/access/list_cell_delegate.h"

#include "gui/access/access_table_models.h"

#include <QComboBox>

namespace sw::gui {

QWidget* ListCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    const QStringList choices = index.data(kChoicesRole).toStringList();
    if (choices.isEmpty()) {
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    auto* list = new QComboBox(parent);
    list->setObjectName(QStringLiteral("CellList"));
    list->addItems(choices);
    connect(list, &QComboBox::activated, this,
            [this, list] { emit const_cast<ListCellDelegate*>(this)->commitData(list); });
    return list;
}

void ListCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        // An empty cell shows no value until one is picked.
        list->setCurrentIndex(list->findText(index.data(Qt::EditRole).toString()));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void ListCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        if (list->currentIndex() >= 0) {
            model->setData(index, list->currentText(), Qt::EditRole);
        }
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace sw::gui
