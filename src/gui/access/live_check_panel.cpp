#include "gui/access/live_check_panel.h"

#include "core/access/access_editor.h"
#include "core/common/path_text.h"
#include "core/live/simulation.h"
#include "gui/access/access_table_models.h"
#include "gui/access/data_array_map_view.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/error_text.h"
#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <mutex>

namespace sw::gui {

struct LiveCheckPanel::Simulation {
    std::mutex mutex;
    std::string catalogKey; // the folder and catalog rows the devices were made from
    std::unique_ptr<live::SimulatedCatalog> devices;
};

using access::DataSetColumn;
using access::tableColumn;
using access::VariableColumn;

namespace {

constexpr int kRepeatMs = 5000;

// The cells a row's check depends on; empty for a row that does not exist.
std::string rowKey(const access::AccessList& list, live::RowKind kind, std::size_t row) {
    std::string key;
    const auto add = [&key](const std::string& cell) {
        key += cell;
        key += '\n';
    };
    if (kind == live::RowKind::Variable) {
        if (row == 0 || row > list.variables().size()) {
            return {};
        }
        const access::VariableCells& cells = list.variables()[row - 1];
        for (std::size_t column : {VariableColumn::IPAddress, VariableColumn::Port, VariableColumn::Reference,
                                   VariableColumn::fc, VariableColumn::bType}) {
            add(cells[tableColumn(column)]);
        }
        return key;
    }
    if (row == 0 || row > list.dataSetRows().size()) {
        return {};
    }
    const access::DataSetCells& cells = list.dataSetRows()[row - 1];
    for (std::size_t column : {DataSetColumn::IPAddress, DataSetColumn::Port, DataSetColumn::Reference,
                               DataSetColumn::GooseName, DataSetColumn::EnGoose}) {
        add(cells[tableColumn(column)]);
    }
    return key;
}

RowStatus statusOf(live::LiveStatus status) {
    switch (status) {
    case live::LiveStatus::Ok:
        return RowStatus::Ok;
    case live::LiveStatus::Unreachable:
        return RowStatus::Unreachable;
    case live::LiveStatus::Stopped:
        return RowStatus::NotChecked;
    case live::LiveStatus::Missing:
    case live::LiveStatus::WrongType:
    case live::LiveStatus::Differs:
    case live::LiveStatus::Error:
    case live::LiveStatus::Invalid:
        break;
    }
    return RowStatus::Failed;
}

// How much a status weighs when a data set and its GOOSE control block share one row mark.
int weight(RowStatus status) {
    switch (status) {
    case RowStatus::None:
        return 0;
    case RowStatus::Ok:
        return 1;
    case RowStatus::NotChecked:
        return 2;
    case RowStatus::Unreachable:
        return 3;
    case RowStatus::Failed:
        return 4;
    }
    return 0;
}

} // namespace

LiveCheckPanel::LiveCheckPanel(access::AccessEditor& editor, AccessTableModel* variables,
                               AccessTableModel* dataSets, DataArrayMapView* map, std::function<bool()> busy,
                               QWidget* parent)
    : QWidget(parent), m_editor(editor), m_variables(variables), m_dataSets(dataSets), m_map(map),
      m_busy(std::move(busy)) {
    setObjectName(QStringLiteral("P_LiveCheck"));
    // A server on site answers within a second; a few seconds tell a slow one from a missing one.
    m_options.timeouts.connect = std::chrono::milliseconds(3000);
    m_options.timeouts.request = std::chrono::milliseconds(3000);
    m_options.timeouts.total = std::chrono::milliseconds(30000);

    liveCheckButton = new QPushButton(this);
    liveCheckButton->setObjectName(QStringLiteral("Btn_LiveCheck"));
    liveCheckButton->setAutoDefault(false);
    liveRepeatBox = new QCheckBox(this);
    liveRepeatBox->setObjectName(QStringLiteral("CB_LiveRepeat"));
    liveSimulateBox = new QCheckBox(this);
    liveSimulateBox->setObjectName(QStringLiteral("CB_LiveSimulate"));
    liveCheckProgress = new QProgressBar(this);
    liveCheckProgress->setObjectName(QStringLiteral("PB_LiveCheck"));
    liveCheckProgress->setFixedWidth(120);
    liveCheckProgress->hide();
    liveCheckLabel = new QLabel(this);
    takeRoomLeft(liveCheckLabel);
    liveCheckLabel->setObjectName(QStringLiteral("L_LiveCheck"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(liveCheckButton);
    layout->addWidget(liveRepeatBox);
    layout->addWidget(liveSimulateBox);
    layout->addWidget(liveCheckProgress);
    layout->addWidget(liveCheckLabel);

    m_repeat = new QTimer(this);
    m_repeat->setSingleShot(true);
    m_repeat->setInterval(kRepeatMs);
    connect(m_repeat, &QTimer::timeout, this, [this] {
        if (m_busy && m_busy()) {
            m_repeat->start();
        } else {
            start();
        }
    });
    connect(liveCheckButton, &QPushButton::clicked, this, [this] {
        if (m_check.running()) {
            liveRepeatBox->setChecked(false);
            stop();
        } else {
            start();
        }
    });
    connect(liveRepeatBox, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) {
            m_repeat->stop();
        } else if (!m_check.running()) {
            start();
        }
    });
    connect(liveSimulateBox, &QCheckBox::toggled, this, [this](bool on) {
        // Findings against the other side no longer hold; a running check is against the other side.
        stop();
        if (!on) {
            m_simulation.reset();
        }
        m_variableMarks.clear();
        m_dataSetMarks.clear();
        showMarks();
        liveCheckLabel->clear();
    });
    watch(m_variables);
    watch(m_dataSets);
}

void LiveCheckPanel::watch(AccessTableModel* model) {
    connect(model, &QAbstractItemModel::dataChanged, this, &LiveCheckPanel::revalidate);
    connect(model, &QAbstractItemModel::modelReset, this, &LiveCheckPanel::revalidate);
    connect(model, &QAbstractItemModel::rowsInserted, this, &LiveCheckPanel::revalidate);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &LiveCheckPanel::revalidate);
}

void LiveCheckPanel::start() {
    if (m_check.running() || (m_busy && m_busy())) {
        return;
    }
    m_repeat->stop();
    // The worker gets a copy: the user goes on editing the list meanwhile.
    const access::AccessList& list = m_editor.list();
    const access::AccessFile file = list.toAccessFile();
    std::vector<live::LiveRow> rows = live::liveRows(file);
    std::shared_ptr<Simulation> simulation;
    std::string catalogKey;
    if (liveSimulateBox->isChecked()) {
        if (!m_simulation) {
            m_simulation = std::make_shared<Simulation>();
        }
        simulation = m_simulation;
        catalogKey = utf8Of(m_catalogFolder);
        for (const access::CatalogRow& row : file.catalog) {
            for (const std::string& cell : row.cells) {
                catalogKey += '\n' + cell;
            }
        }
    }
    m_variableKeys.clear();
    m_dataSetKeys.clear();
    for (std::size_t row = 1; row <= list.variables().size(); ++row) {
        m_variableKeys.push_back(rowKey(list, live::RowKind::Variable, row));
    }
    for (std::size_t row = 1; row <= list.dataSetRows().size(); ++row) {
        m_dataSetKeys.push_back(rowKey(list, live::RowKind::DataSet, row));
    }

    liveCheckButton->setText(shownText(WindowText::StopCheck));
    liveCheckProgress->setRange(0, static_cast<int>(std::min<std::size_t>(rows.size(), 1'000'000)));
    liveCheckProgress->setValue(0);
    liveCheckProgress->show();
    liveCheckLabel->setText(shownText(WindowText::CheckingRows).arg(rows.size()));

    m_check.setProgress([this](std::size_t done, std::size_t total) { progress(done, total); });
    m_check.start<std::vector<live::LiveResult>>(
        [rows = std::move(rows), options = m_options, simulation, catalogKey, folder = m_catalogFolder,
         catalog = file.catalog](const JobContext& context) mutable {
            std::unique_lock<std::mutex> lock;
            if (simulation) {
                lock = std::unique_lock(simulation->mutex);
                if (!simulation->devices || simulation->catalogKey != catalogKey) {
                    simulation->devices.reset();
                    simulation->devices = std::make_unique<live::SimulatedCatalog>(folder, catalog);
                    simulation->catalogKey = catalogKey;
                }
                options.simulatedPort = [devices = simulation->devices.get()](const live::LiveRow& row) {
                    return devices->portFor(row);
                };
            }
            return live::runLiveCheck(
                rows, options,
                // Called from the check's threads one at a time with growing counts; the job posts
                // each call to the interface thread in that order.
                [&context](const live::LiveCount& count) { context.progress(count.rowsDone, count.rows); },
                context.stopToken());
        },
        [this](std::vector<live::LiveResult> results) { deliver(std::move(results)); },
        [this](const std::exception_ptr& error) {
            showIdle();
            liveCheckLabel->setText(shownText(WindowText::LiveCheckFailed).arg(errorText(error)));
            emit finished();
        });
}

void LiveCheckPanel::stop() {
    m_repeat->stop();
    if (!m_check.running()) {
        return;
    }
    // Not waited for: the window goes on while the check's thread leaves its socket.
    m_check.cancel();
    liveCheckLabel->setText(shownText(WindowText::LiveCheckStopped));
    showIdle();
}

void LiveCheckPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        // A closed dialog checks nothing: neither now nor when it opens again until asked.
        const QSignalBlocker quiet(liveRepeatBox);
        liveRepeatBox->setChecked(false);
        stop();
        m_simulation.reset(); // a closed dialog serves nothing
        // Findings of an earlier showing would pass for the server's state now.
        m_variableMarks.clear();
        m_dataSetMarks.clear();
        showMarks();
        liveCheckLabel->clear();
    }
}

void LiveCheckPanel::applyTexts() {
    liveCheckButton->setText(shownText(isRunning() ? WindowText::StopCheck : WindowText::LiveCheck));
    liveCheckButton->setToolTip(shownText(WindowText::LiveCheckHint));
    liveRepeatBox->setText(shownText(WindowText::LiveRepeat));
    liveSimulateBox->setText(shownText(WindowText::SimulateDevices));
    liveSimulateBox->setToolTip(shownText(WindowText::SimulateDevicesHint));
    liveCheckProgress->setFormat(shownText(WindowText::LiveProgress));
}

void LiveCheckPanel::showIdle() {
    liveCheckButton->setText(shownText(WindowText::LiveCheck));
    liveCheckProgress->hide();
}

void LiveCheckPanel::progress(std::size_t done, std::size_t total) {
    liveCheckProgress->setValue(static_cast<int>(std::min({done, total, std::size_t{1'000'000}})));
    liveCheckLabel->setText(shownText(WindowText::CheckingProgress).arg(done).arg(total));
}

void LiveCheckPanel::deliver(std::vector<live::LiveResult> results) {
    showIdle();
    const access::AccessList& list = m_editor.list();
    m_variableMarks.clear();
    m_dataSetMarks.clear();
    for (const live::LiveResult& result : results) {
        const bool variable = result.kind == live::RowKind::Variable;
        const std::vector<std::string>& keys = variable ? m_variableKeys : m_dataSetKeys;
        if (result.row == 0 || result.row > keys.size() ||
            rowKey(list, variable ? live::RowKind::Variable : live::RowKind::DataSet, result.row) !=
                keys[result.row - 1]) {
            continue; // the row is gone or names something else now
        }
        std::vector<Mark>& marks = variable ? m_variableMarks : m_dataSetMarks;
        const RowStatus status = statusOf(result.status);
        const QString line = toQString(live::resultLine(result));
        // A data set and its GOOSE control block come one after the other and share the row's mark.
        if (!marks.empty() && marks.back().row == result.row) {
            Mark& mark = marks.back();
            if (weight(status) > weight(mark.status)) {
                mark.status = status;
            }
            mark.text += QLatin1Char('\n') + line;
            continue;
        }
        marks.push_back({result.row, keys[result.row - 1], status, line});
    }
    showMarks();

    std::array<int, 5> counts{};
    for (const auto* marks : {&m_variableMarks, &m_dataSetMarks}) {
        for (const Mark& mark : *marks) {
            ++counts[static_cast<std::size_t>(mark.status)];
        }
    }
    liveCheckLabel->setText(shownText(WindowText::LiveCheckSummary)
                                .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")))
                                .arg(counts[static_cast<std::size_t>(RowStatus::Ok)])
                                .arg(counts[static_cast<std::size_t>(RowStatus::Failed)])
                                .arg(counts[static_cast<std::size_t>(RowStatus::Unreachable)]));
    if (liveRepeatBox->isChecked() && isVisible()) {
        m_repeat->start();
    }
    emit finished();
}

void LiveCheckPanel::revalidate() {
    if (m_variableMarks.empty() && m_dataSetMarks.empty()) {
        return;
    }
    const access::AccessList& list = m_editor.list();
    const auto keep = [&list](std::vector<Mark>& marks, live::RowKind kind) {
        return std::erase_if(marks,
                             [&](const Mark& mark) { return rowKey(list, kind, mark.row) != mark.key; });
    };
    const std::size_t dropped =
        keep(m_variableMarks, live::RowKind::Variable) + keep(m_dataSetMarks, live::RowKind::DataSet);
    // The tables keep the marks that still hold; only the dropped ones need taking off.
    if (dropped > 0) {
        showMarks();
    }
}

void LiveCheckPanel::showMarks() {
    DataArrayMapView::LiveTexts texts;
    m_variables->clearRowStatuses();
    for (const Mark& mark : m_variableMarks) {
        m_variables->setRowStatus(mark.row, mark.status, mark.text);
        texts[{0, mark.row}] = mark.text;
    }
    m_dataSets->clearRowStatuses();
    for (const Mark& mark : m_dataSetMarks) {
        m_dataSets->setRowStatus(mark.row, mark.status, mark.text);
        texts[{mark.row, 0}] = mark.text;
    }
    m_map->setLiveTexts(std::move(texts));
}

} // namespace sw::gui
