#include "gui/access/signal_list_page.h"

#include "core/access/access_editor.h"
#include "core/access/lint.h"
#include "core/access/signal_csv.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/language/lang_table.h"
#include "core/parameters/parameter_file.h"
#include "gui/access/data_array_map_view.h"
#include "gui/access/file_chooser.h"
#include "gui/common/error_text.h"
#include "gui/common/message_service.h"
#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace sw::gui {

namespace {

QStringList csvFilters() {
    return {shownText(WindowText::CsvFiles), shownText(WindowText::AnyFile)};
}
constexpr int kDataSetRole = Qt::UserRole;
constexpr int kRowRole = Qt::UserRole + 1;

struct LegendEntry {
    access::CellUse use;
    WindowText name;
};
constexpr LegendEntry kLegend[] = {
    {access::CellUse::Free, WindowText::MapFree},   {access::CellUse::Read, WindowText::MapRead},
    {access::CellUse::Write, WindowText::MapWrite}, {access::CellUse::Member, WindowText::MapMember},
    {access::CellUse::Mixed, WindowText::MapMixed}, {access::CellUse::Conflict, WindowText::MapConflict}};

// The colours of the map and what they mean; the names are set by applyTexts().
QWidget* legend(QWidget* parent, std::vector<QLabel*>& names) {
    auto* strip = new QWidget(parent);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const LegendEntry& u : kLegend) {
        auto* swatch = new QLabel(strip);
        swatch->setFixedSize(12, 12);
        swatch->setStyleSheet(QStringLiteral("background: %1; border: 1px solid grey;")
                                  .arg(DataArrayMapView::colourOf(u.use).name()));
        layout->addWidget(swatch);
        names.push_back(new QLabel(strip));
        layout->addWidget(names.back());
        layout->addSpacing(8);
    }
    layout->addStretch(1);
    return strip;
}

} // namespace

SignalListPage::SignalListPage(access::AccessEditor& editor, const LangTable& texts, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_texts(texts) {
    setObjectName(QStringLiteral("TS_Map"));
    m_map = new DataArrayMapView;
    mapSummaryLabel = new QLabel(this);
    mapSummaryLabel->setWordWrap(true);
    mapSummaryLabel->setObjectName(QStringLiteral("L_MapSummary"));
    warningsList = new QListWidget;
    warningsList->setObjectName(QStringLiteral("LB_Warnings"));

    auto* scroll = new QScrollArea;
    scroll->setWidget(m_map);
    scroll->setWidgetResizable(true);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(scroll);
    splitter->addWidget(warningsList);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({330, 120});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(legend(this, m_legendNames));
    layout->addWidget(mapSummaryLabel);
    layout->addWidget(splitter, 1);

    // Several edits in a row redraw once.
    m_redraw = new QTimer(this);
    m_redraw->setSingleShot(true);
    m_redraw->setInterval(50);
    connect(m_redraw, &QTimer::timeout, this, &SignalListPage::refresh);
    connect(m_map, &DataArrayMapView::entryChosen, this,
            [this](const access::MapEntry& entry) { emit rowChosen(entry.dataSet, entry.row); });
    connect(warningsList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (!item->data(kRowRole).isValid()) {
            return; // a line about no row
        }
        emit rowChosen(item->data(kDataSetRole).value<std::size_t>(),
                       item->data(kRowRole).value<std::size_t>());
    });
    connect(warningsList, &QListWidget::itemClicked, warningsList, &QListWidget::itemActivated);
}

void SignalListPage::watch(QAbstractItemModel* model) {
    const auto changed = [this] {
        m_stale = true;
        if (isVisible()) {
            m_redraw->start();
        }
    };
    connect(model, &QAbstractItemModel::dataChanged, this, changed);
    connect(model, &QAbstractItemModel::modelReset, this, changed);
    connect(model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(model, &QAbstractItemModel::rowsRemoved, this, changed);
}

void SignalListPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale) {
        refresh();
    }
}

void SignalListPage::refresh() {
    m_map->setMap(access::buildDataArrayMap(m_editor.list().toAccessFile()));
    m_stale = false;
    std::size_t used = 0;
    for (std::size_t p = 0; p < access::kDataArraySize; ++p) {
        used += m_map->map().at(p).empty() ? 0U : 1U;
    }
    mapSummaryLabel->setText(shownText(WindowText::MapSummary)
                                 .arg(used)
                                 .arg(access::kDataArraySize)
                                 .arg(m_map->map().conflictCount()));
}

void SignalListPage::check() {
    runGuarded(this, [this] {
        const access::AccessFile list = m_editor.list().toAccessFile();
        std::vector<std::string> parameterLines;
        try {
            parameterLines = parameterFileWarnings(m_parameterFile);
        } catch (const std::exception&) {
            // Step 2 reports an unreadable file; the list's own lines still come.
        }
        // Quick even for long lists, and it reads the catalog the user may change: on this thread.
        const std::vector<access::ReviewLine> found = access::reviewAccessList(
            list, m_editor.list().devices(), parameterLines, userDecimalSeparator(), m_texts);
        warningsList->clear();
        if (found.empty()) {
            warningsList->addItem(shownText(WindowText::NoWarnings));
        }
        for (const access::ReviewLine& line : found) {
            auto* item = new QListWidgetItem(toQString(line.text), warningsList);
            if (line.aboutRow) {
                item->setData(kDataSetRole, QVariant::fromValue(line.dataSet));
                item->setData(kRowRole, QVariant::fromValue(line.row));
            }
            if (line.error) {
                item->setForeground(QColor(170, 0, 0));
            }
        }
        refresh();
    });
}

void SignalListPage::setExportProposal(const std::filesystem::path& file) {
    m_exportProposal = file;
}

void SignalListPage::setParameterFile(const std::filesystem::path& file) {
    m_parameterFile = file;
}

void SignalListPage::setAccessFile(const std::filesystem::path& file) {
    m_accessFile = file;
}

void SignalListPage::exportCsv() {
    const QString chosen = fileChooser().chooseFileToSave(this, shownText(WindowText::ExportCsv),
                                                          csvFilters(), toQString(utf8Of(m_exportProposal)));
    if (chosen.isEmpty()) {
        return;
    }
    runGuarded(this, [&] {
        std::filesystem::path file = pathFromUtf8(toUtf8String(chosen));
        if (!file.has_extension()) {
            file += ".csv"; // as the file type chosen says; the data sets' file is named after it
        }
        access::writeSignalListCsv(m_editor.list().toAccessFile(), file, m_accessFile);
        messages().showInformation(
            this, shownText(WindowText::CsvWritten)
                      .arg(toQString(utf8Of(file)), toQString(utf8Of(access::dataSetsCsvPath(file)))));
    });
}

void SignalListPage::importCsv() {
    const QString chosen =
        fileChooser().chooseFileToOpen(this, shownText(WindowText::ImportCsv), csvFilters());
    if (chosen.isEmpty()) {
        return;
    }
    const std::filesystem::path file = pathFromUtf8(toUtf8String(chosen));
    emit workStarted(shownText(WindowText::Importing).arg(toQString(utf8Of(file.filename()))));
    m_import.start<std::vector<access::VariableRow>>(
        [file, catalogSize = m_editor.list().devices().size(), separator = userDecimalSeparator(),
         texts = m_texts](const JobContext&) {
            return access::readVariablesCsvFile(file, catalogSize, separator, texts);
        },
        [this](const std::vector<access::VariableRow>& rows) {
            emit workEnded();
            runGuarded(this, [&] {
                access::replaceVariables(m_editor.list(), rows);
                emit variablesReplaced();
            });
        },
        [this](const std::exception_ptr& error) {
            emit workEnded();
            messages().showError(this, errorText(error));
        });
}

void SignalListPage::applyTexts() {
    for (std::size_t k = 0; k < m_legendNames.size(); ++k) {
        m_legendNames[k]->setText(shownText(kLegend[k].name));
    }
    if (!m_stale) {
        refresh();
    }
}

bool SignalListPage::busy() const {
    return m_import.running();
}

void SignalListPage::cancelWork() {
    if (m_import.running()) {
        m_import.cancel();
        emit workEnded();
    }
}

} // namespace sw::gui
