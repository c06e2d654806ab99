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
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace sw::gui {

IedPickerDialog::IedPickerDialog(const std::vector<SclIedSummary>& ieds, const QString& fileName,
                                 const LangTable& texts, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("IedPickerDialog"));
    setWindowTitle(shownText(texts, WindowText::IedPickerTitle).arg(fileName));
    auto* hint = new QLabel(
        shownText(texts, WindowText::IedPickerHint).arg(static_cast<qsizetype>(ieds.size())), this);
    iedTable = new QTableWidget(static_cast<int>(ieds.size()), 5, this);
    iedTable->setObjectName(QStringLiteral("TW_IEDs"));
    iedTable->setHorizontalHeaderLabels(
        {shownText(texts, WindowText::IedName), shownText(texts, WindowText::IedDescription),
         shownText(texts, WindowText::IedManufacturer), shownText(texts, WindowText::IedType),
         shownText(texts, WindowText::IedAddress)});
    iedTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    iedTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    iedTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    iedTable->verticalHeader()->hide();
    iedTable->horizontalHeader()->setStretchLastSection(true);
    bool sharedNames = false;
    for (std::size_t r = 0; r < ieds.size(); ++r) {
        const SclIedSummary& ied = ieds[r];
        m_names.push_back(ied.name);
        int column = 0;
        for (const std::string* text : {&ied.name, &ied.desc, &ied.manufacturer, &ied.type, &ied.ipAddress}) {
            iedTable->setItem(static_cast<int>(r), column++, new QTableWidgetItem(toQString(*text)));
        }
        // IEDs of one name would look alike: each shows its place among them.
        if (ied.sameNameCount > 1) {
            sharedNames = true;
            iedTable->item(static_cast<int>(r), 0)
                ->setText(shownText(texts, WindowText::IedNameShared)
                              .arg(toQString(ied.name), QString::number(ied.sameNamePosition),
                                   QString::number(ied.sameNameCount)));
        }
    }
    iedTable->resizeColumnsToContents();
    if (!ieds.empty()) {
        iedTable->selectRow(0);
    }

    okButton = new QPushButton(toQString(texts.Get(kTextAccessOk)), this);
    okButton->setObjectName(QStringLiteral("Btn_OK"));
    cancelButton = new QPushButton(toQString(texts.Get(kTextAccessCancel)), this);
    cancelButton->setObjectName(QStringLiteral("Btn_Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    if (sharedNames) {
        auto* sharedHint = new QLabel(shownText(texts, WindowText::IedNamesSharedHint), this);
        sharedHint->setObjectName(QStringLiteral("L_SharedNames"));
        sharedHint->setWordWrap(true);
        layout->addWidget(sharedHint);
    }
    layout->addWidget(iedTable, 1);
    layout->addLayout(buttons);
    // Large enough to show every column and a dozen IEDs without scrolling, as far as the screen allows.
    const int tableWidth = iedTable->horizontalHeader()->length() + 2 * iedTable->frameWidth() + 24;
    const int tableHeight =
        iedTable->horizontalHeader()->height() + 2 * iedTable->frameWidth() +
        std::min(iedTable->rowCount(), 12) * iedTable->verticalHeader()->defaultSectionSize();
    // Around the table: the hint above it, the buttons below and the margins, as the layout wants them.
    const QSize around = sizeHint() - iedTable->sizeHint();
    QSize wanted(std::max(tableWidth + around.width(), 420), tableHeight + around.height() + 4);
    if (const QScreen* shownOn = screen()) {
        const QSize room = shownOn->availableGeometry().size() * 9 / 10;
        wanted = wanted.boundedTo(room);
    }
    resize(wanted);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(iedTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { okButton->setEnabled(iedTable->selectionModel()->hasSelection()); });
    connect(iedTable, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
}

std::vector<std::string> IedPickerDialog::pickedNames() const {
    std::set<int> rows;
    for (const QModelIndex& index : iedTable->selectionModel()->selectedRows()) {
        rows.insert(index.row());
    }
    std::vector<std::string> picked;
    for (const int row : rows) {
        picked.push_back(m_names[static_cast<std::size_t>(row)]);
    }
    return picked;
}

} // namespace sw::gui
