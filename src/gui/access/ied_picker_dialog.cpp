#include "gui/access/ied_picker_dialog.h"

#include "core/language/lang_table.h"
#include "gui/access/access_texts.h"
#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace sw::gui {

IedPickerDialog::IedPickerDialog(const std::vector<SclIedSummary>& ieds, const QString& fileName,
                                 const LangTable& texts, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("IedPickerDialog"));
    setWindowTitle(shownText(texts, WindowText::IedPickerTitle).arg(fileName));
    auto* hint = new QLabel(
        shownText(texts, WindowText::IedPickerHint).arg(static_cast<qsizetype>(ieds.size())), this);
    TW_IEDs = new QTableWidget(static_cast<int>(ieds.size()), 5, this);
    TW_IEDs->setObjectName(QStringLiteral("TW_IEDs"));
    TW_IEDs->setHorizontalHeaderLabels(
        {shownText(texts, WindowText::IedName), shownText(texts, WindowText::IedDescription),
         shownText(texts, WindowText::IedManufacturer), shownText(texts, WindowText::IedType),
         shownText(texts, WindowText::IedAddress)});
    TW_IEDs->setSelectionBehavior(QAbstractItemView::SelectRows);
    TW_IEDs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TW_IEDs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TW_IEDs->verticalHeader()->hide();
    TW_IEDs->horizontalHeader()->setStretchLastSection(true);
    for (std::size_t r = 0; r < ieds.size(); ++r) {
        const SclIedSummary& ied = ieds[r];
        m_names.push_back(ied.name);
        int column = 0;
        for (const std::string* text : {&ied.name, &ied.desc, &ied.manufacturer, &ied.type, &ied.ipAddress}) {
            TW_IEDs->setItem(static_cast<int>(r), column++, new QTableWidgetItem(toQString(*text)));
        }
    }
    TW_IEDs->resizeColumnsToContents();
    if (!ieds.empty()) {
        TW_IEDs->selectRow(0);
    }

    Btn_OK = new QPushButton(toQString(texts.Get(kTextAccessOk)), this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_Cancel = new QPushButton(toQString(texts.Get(kTextAccessCancel)), this);
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(TW_IEDs, 1);
    layout->addLayout(buttons);
    resize(640, 320);

    connect(Btn_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(TW_IEDs->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { Btn_OK->setEnabled(TW_IEDs->selectionModel()->hasSelection()); });
    connect(TW_IEDs, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
}

std::vector<std::string> IedPickerDialog::pickedNames() const {
    std::set<int> rows;
    for (const QModelIndex& index : TW_IEDs->selectionModel()->selectedRows()) {
        rows.insert(index.row());
    }
    std::vector<std::string> picked;
    for (const int row : rows) {
        picked.push_back(m_names[static_cast<std::size_t>(row)]);
    }
    return picked;
}

} // namespace sw::gui
