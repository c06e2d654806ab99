#include "gui/access/signal_list_page.h"

#include "core/access/access_editor.h"
#include "core/access/lint.h"
#include "core/access/signal_csv.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/shell/program_state.h"
#include "gui/access/data_array_map_view.h"
#include "gui/access/file_chooser.h"
#include "gui/common/error_text.h"
#include "gui/common/message_service.h"
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

const QStringList kCsvFilters = {QStringLiteral("CSV Files (*.csv)"), QStringLiteral("Any File (*)")};
constexpr int kDataSetRole = Qt::UserRole;
constexpr int kRowRole = Qt::UserRole + 1;

QWidget* legend(QWidget* parent) {
    auto* strip = new QWidget(parent);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    const struct {
        access::CellUse use;
        const char* name;
    } uses[] = {{access::CellUse::Free, "free"},   {access::CellUse::Read, "read"},
                {access::CellUse::Write, "write"}, {access::CellUse::Member, "data-set member"},
                {access::CellUse::Mixed, "mixed"}, {access::CellUse::Conflict, "conflict"}};
    for (const auto& u : uses) {
        auto* swatch = new QLabel(strip);
        swatch->setFixedSize(12, 12);
        swatch->setStyleSheet(QStringLiteral("background: %1; border: 1px solid grey;")
                                  .arg(DataArrayMapView::colourOf(u.use).name()));
        layout->addWidget(swatch);
        layout->addWidget(new QLabel(QLatin1String(u.name), strip));
        layout->addSpacing(8);
    }
    layout->addStretch(1);
    return strip;
}

} // namespace

SignalListPage::SignalListPage(access::AccessEditor& editor, const ProgramState& state, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_state(state) {
    setObjectName(QStringLiteral("TS_Map"));
    m_map = new DataArrayMapView;
    L_MapSummary = new QLabel(this);
    L_MapSummary->setObjectName(QStringLiteral("L_MapSummary"));
    LB_Warnings = new QListWidget;
    LB_Warnings->setObjectName(QStringLiteral("LB_Warnings"));

    auto* scroll = new QScrollArea;
    scroll->setWidget(m_map);
    scroll->setWidgetResizable(true);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(scroll);
    splitter->addWidget(LB_Warnings);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({330, 120});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(legend(this));
    layout->addWidget(L_MapSummary);
    layout->addWidget(splitter, 1);

    // Several edits in a row redraw once.
    m_redraw = new QTimer(this);
    m_redraw->setSingleShot(true);
    m_redraw->setInterval(50);
    connect(m_redraw, &QTimer::timeout, this, &SignalListPage::refresh);
    connect(m_map, &DataArrayMapView::entryChosen, this,
            [this](const access::MapEntry& entry) { emit rowChosen(entry.dataSet, entry.row); });
    connect(LB_Warnings, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        emit rowChosen(item->data(kDataSetRole).value<std::size_t>(),
                       item->data(kRowRole).value<std::size_t>());
    });
    connect(LB_Warnings, &QListWidget::itemClicked, LB_Warnings, &QListWidget::itemActivated);
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
    L_MapSummary->setText(
        QStringLiteral("%1 of %2 positions used, %3 with a conflict. Hover a cell to see its "
                       "rows, click it to show the row.")
            .arg(used)
            .arg(access::kDataArraySize)
            .arg(m_map->map().conflictCount()));
}

void SignalListPage::check() {
    runGuarded(this, [this] {
        const access::AccessFile list = m_editor.list().toAccessFile();
        // Quick even for long lists, and it reads the catalog the user may change: on this thread.
        const std::vector<access::LintWarning> found = access::lintAccessList(list, m_editor.list().devices());
        LB_Warnings->clear();
        if (found.empty()) {
            LB_Warnings->addItem(QStringLiteral("No warnings."));
        }
        for (const access::LintWarning& warning : found) {
            auto* item = new QListWidgetItem(toQString(warning.line()), LB_Warnings);
            item->setData(kDataSetRole, QVariant::fromValue(warning.dataSet));
            item->setData(kRowRole, QVariant::fromValue(warning.row));
        }
        refresh();
    });
}

void SignalListPage::exportCsv() {
    const QString chosen = fileChooser().chooseFileToSave(this, QStringLiteral("Export CSV"), kCsvFilters);
    if (chosen.isEmpty()) {
        return;
    }
    runGuarded(this, [&] {
        const std::filesystem::path file = pathFromUtf8(toUtf8String(chosen));
        access::writeSignalListCsv(m_editor.list().toAccessFile(), file);
        messages().showInformation(this,
                                   QStringLiteral("The variables were written to %1 and the data sets to %2.")
                                       .arg(chosen, toQString(utf8Of(access::dataSetsCsvPath(file)))));
    });
}

void SignalListPage::importCsv() {
    const QString chosen = fileChooser().chooseFileToOpen(this, QStringLiteral("Import CSV"), kCsvFilters);
    if (chosen.isEmpty()) {
        return;
    }
    const std::filesystem::path file = pathFromUtf8(toUtf8String(chosen));
    emit workStarted(QStringLiteral("Importing %1 ...").arg(toQString(utf8Of(file.filename()))));
    m_import.start<std::vector<access::VariableRow>>(
        [file, catalogSize = m_editor.list().devices().size(), separator = userDecimalSeparator(),
         texts = m_state.texts](const JobContext&) {
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
