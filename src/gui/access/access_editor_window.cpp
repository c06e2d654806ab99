#include "gui/access/access_editor_window.h"

#include "core/access/access_check.h"
#include "core/access/data_array_map.h"
#include "core/access/device_references.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/scl/scl_model.h"
#include "core/scl/scl_search.h"
#include "gui/access/access_table_models.h"
#include "gui/access/access_texts.h"
#include "gui/access/data_array_map_view.h"
#include "gui/access/file_chooser.h"
#include "gui/access/ied_picker_dialog.h"
#include "gui/access/list_cell_delegate.h"
#include "gui/access/live_check_panel.h"
#include "gui/access/scl_tree_model.h"
#include "gui/access/signal_list_page.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/dialog_runner.h"
#include "gui/common/error_text.h"
#include "gui/common/grid_helpers.h"
#include "gui/common/message_service.h"
#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"
#include "gui/common/title_panel.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include <map>
#include <set>

namespace sw::gui {

namespace {

constexpr int kClientWidth = 1200;
constexpr int kClientHeight = 550;
constexpr int kTitleHeight = 60;

QPushButton* makeButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    // No button answers Enter: the tables use it.
    button->setAutoDefault(false);
    return button;
}

std::optional<std::size_t> currentRow(const QTableView* view) {
    const QModelIndex current = view->currentIndex();
    if (!current.isValid()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(current.row()) + 1;
}

} // namespace

AccessEditorWindow::AccessEditorWindow(const ProgramState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("AccessEditorWindow"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_treeModel = new SclTreeModel(this);
    m_variables = new VariablesTableModel(m_editor, m_state.texts, this);
    m_dataSets = new DataSetTableModel(m_editor, this);
    m_members = new MembersTableModel(m_editor, this);

    QWidget* title = makeTitlePanel(this, state.product, softwareCodeLabel, softwareDescriptionLabel);
    title->setFixedHeight(kTitleHeight);

    mainSplitter = new QSplitter(Qt::Horizontal, this);
    mainSplitter->setObjectName(QStringLiteral("SP_Main"));
    leftSplitter = new QSplitter(Qt::Horizontal, mainSplitter);
    leftSplitter->setObjectName(QStringLiteral("SP_Left"));
    leftSplitter->addWidget(buildCatalogColumn());
    leftSplitter->addWidget(buildTreeColumn());
    mainSplitter->addWidget(leftSplitter);
    mainSplitter->addWidget(buildPages());
    for (QSplitter* splitter : {mainSplitter, leftSplitter, dataSetSplitter}) {
        splitter->setChildrenCollapsible(false);
    }
    leftSplitter->setSizes({170, 290});
    mainSplitter->setSizes({460, kClientWidth - 460});
    dataSetSplitter->setSizes({260, 200});

    auto* buttonStrip = new QWidget(this);
    okButton = makeButton(buttonStrip, "Btn_OK");
    cancelButton = makeButton(buttonStrip, "Btn_Cancel");
    addVarButton = makeButton(buttonStrip, "Btn_AddVar");
    removeVarButton = makeButton(buttonStrip, "Btn_RemoveVar");
    fillAddressesButton = makeButton(buttonStrip, "Btn_FillAddresses");
    checkButton = makeButton(buttonStrip, "Btn_Check");
    exportButton = makeButton(buttonStrip, "Btn_Export");
    importButton = makeButton(buttonStrip, "Btn_Import");
    liveCheckPanel = new LiveCheckPanel(
        m_editor, m_variables, m_dataSets, mapPage->mapView(), [this] { return busy(); }, buttonStrip);
    // The progress line sits in the title strip, where it has room: showing it never widens the window.
    auto* header = new QWidget(this);
    progressLabel = new QLabel(header);
    progressLabel->setObjectName(QStringLiteral("L_Progress"));
    takeRoomLeft(progressLabel);
    progressBar = new QProgressBar(header);
    progressBar->setObjectName(QStringLiteral("PB_Progress"));
    progressBar->setRange(0, 0); // how far a load has gone is not known: a busy bar
    progressBar->setFixedWidth(160);
    progressLabel->hide();
    progressBar->hide();
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(0, 0, 8, 0);
    headerRow->addWidget(title, 1);
    headerRow->addWidget(progressLabel, 1);
    headerRow->addWidget(progressBar);
    auto* buttons = new QHBoxLayout(buttonStrip);
    buttons->setContentsMargins(4, 4, 8, 4);
    for (QWidget* widget : {static_cast<QWidget*>(okButton), static_cast<QWidget*>(cancelButton),
                            static_cast<QWidget*>(addVarButton), static_cast<QWidget*>(removeVarButton),
                            static_cast<QWidget*>(fillAddressesButton)}) {
        buttons->addWidget(widget);
    }
    buttons->addSpacing(16);
    for (QPushButton* button : {checkButton, exportButton, importButton}) {
        buttons->addWidget(button);
    }
    buttons->addSpacing(16);
    buttons->addWidget(liveCheckPanel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(mainSplitter, 1);
    layout->addWidget(buttonStrip);

    connect(okButton, &QPushButton::clicked, this, &AccessEditorWindow::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &AccessEditorWindow::onCancelClicked);
    connect(addVarButton, &QPushButton::clicked, this, &AccessEditorWindow::onAddVarClicked);
    connect(removeVarButton, &QPushButton::clicked, this, &AccessEditorWindow::onRemoveVarClicked);
    connect(fillAddressesButton, &QPushButton::clicked, this, &AccessEditorWindow::onFillAddressesClicked);
    connect(checkButton, &QPushButton::clicked, this, [this] {
        pages->setCurrentWidget(mapPage);
        mapPage->check();
    });
    connect(exportButton, &QPushButton::clicked, mapPage, &SignalListPage::exportCsv);
    connect(importButton, &QPushButton::clicked, mapPage, &SignalListPage::importCsv);
    connect(mapPage, &SignalListPage::rowChosen, this,
            [this](std::size_t dataSet, std::size_t row) { showChosenRow(dataSet, row); });
    connect(mapPage, &SignalListPage::workStarted, this, &AccessEditorWindow::showWorking);
    connect(mapPage, &SignalListPage::workEnded, this, [this] { showWorking({}); });
    connect(mapPage, &SignalListPage::variablesReplaced, this, [this] {
        m_variables->refresh();
        pages->setCurrentWidget(variablesPage);
    });
    connect(addIecDeviceButton, &QPushButton::clicked, this, &AccessEditorWindow::onAddIecDeviceClicked);
    connect(removeIecDeviceButton, &QPushButton::clicked, this,
            &AccessEditorWindow::onRemoveIecDeviceClicked);
    connect(deviceList, &QListWidget::currentRowChanged, this, &AccessEditorWindow::onDeviceChosen);
    // Only a click makes a tree node the candidate for Add Var; moving through the tree with the keys
    // only looks.
    connect(deviceTree, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { m_editor.selectTreeNode(SclTreeModel::object(index)); });
    // A double click on a leaf attribute or a data set adds it, as Add Var does.
    connect(deviceTree, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        m_editor.selectTreeNode(SclTreeModel::object(index));
        if (m_editor.selectedAttribute() != nullptr || m_editor.selectedDataSet() != nullptr) {
            onAddVarClicked();
        }
    });
    connect(dataSetsTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                m_editor.showDataSetMembers(
                    current.isValid()
                        ? std::optional<std::size_t>(static_cast<std::size_t>(current.row()) + 1)
                        : std::nullopt);
                m_members->refresh();
            });

    resize(kClientWidth, kClientHeight);
    applyTexts();
}

AccessEditorWindow::~AccessEditorWindow() = default;

QWidget* AccessEditorWindow::buildCatalogColumn() {
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("P_Catalog"));
    addIecDeviceButton = makeButton(column, "Btn_Add_IEC_Device");
    deviceList = new QListWidget(column);
    deviceList->setObjectName(QStringLiteral("LB_IEC_Devices"));
    removeIecDeviceButton = makeButton(column, "Btn_Remove_IEC_Device");
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(addIecDeviceButton);
    layout->addWidget(deviceList, 1);
    layout->addWidget(removeIecDeviceButton);
    return column;
}

QWidget* AccessEditorWindow::buildTreeColumn() {
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("P_Tree"));
    treeSearchEdit = new QLineEdit(column);
    treeSearchEdit->setObjectName(QStringLiteral("E_TreeSearch"));
    treeSearchEdit->installEventFilter(this);
    treeSearchCountLabel = new QLabel(column);
    treeSearchCountLabel->setObjectName(QStringLiteral("L_TreeSearchCount"));
    deviceTree = new QTreeView(column);
    deviceTree->setObjectName(QStringLiteral("TV_IEC_Device"));
    deviceTree->setModel(m_treeModel);
    deviceTree->setHeaderHidden(true);
    deviceTree->setUniformRowHeights(true);
    deviceTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    deviceTree->setDragEnabled(true);
    deviceTree->setDragDropMode(QAbstractItemView::DragOnly);
    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(200);
    connect(m_searchTimer, &QTimer::timeout, this, &AccessEditorWindow::applyTreeSearch);
    connect(treeSearchEdit, &QLineEdit::textChanged, m_searchTimer, qOverload<>(&QTimer::start));

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(treeSearchEdit, 1);
    searchRow->addWidget(treeSearchCountLabel);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(searchRow);
    layout->addWidget(deviceTree, 1);
    return column;
}

QWidget* AccessEditorWindow::buildPages() {
    pages = new QTabWidget;
    pages->setObjectName(QStringLiteral("PC_DA_DataSet"));
    variablesPage = new QWidget;
    variablesPage->setObjectName(QStringLiteral("TS_DA"));
    variablesTable = makeTable("ACG_DA", m_variables);
    auto* variablesLayout = new QVBoxLayout(variablesPage);
    variablesLayout->setContentsMargins(2, 2, 2, 2);
    variablesLayout->addWidget(variablesTable);

    dataSetsPage = new QWidget;
    dataSetsPage->setObjectName(QStringLiteral("TS_DataSet"));
    dataSetSplitter = new QSplitter(Qt::Vertical, dataSetsPage);
    dataSetSplitter->setObjectName(QStringLiteral("SP_DataSet"));
    dataSetsTable = makeTable("ACG_DataSet", m_dataSets);
    membersTable = makeTable("ACG_DS_Vars", m_members);
    dataSetSplitter->addWidget(dataSetsTable);
    dataSetSplitter->addWidget(membersTable);
    auto* dataSetLayout = new QVBoxLayout(dataSetsPage);
    dataSetLayout->setContentsMargins(2, 2, 2, 2);
    dataSetLayout->addWidget(dataSetSplitter);

    pages->addTab(variablesPage, QStringLiteral("Variables"));
    pages->addTab(dataSetsPage, QStringLiteral("DataSet"));
    mapPage = new SignalListPage(m_editor, m_state.texts);
    for (AccessTableModel* model : {m_variables, m_dataSets, m_members}) {
        mapPage->watch(model);
    }
    pages->addTab(mapPage, QString());
    return pages;
}

QTableView* AccessEditorWindow::makeTable(const char* name, AccessTableModel* model) {
    auto* view = new QTableView;
    view->setObjectName(QLatin1String(name));
    view->setModel(model);
    view->setItemDelegate(new ListCellDelegate(view));
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    view->setWordWrap(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    view->viewport()->setAcceptDrops(true);
    connect(view->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, [this, view](int section) {
        fitColumnToContents(view, -1, section, m_state.settings.doubleClickAutoSize);
    });
    return view;
}

void AccessEditorWindow::applyTexts() {
    const LangTable& t = m_state.texts;
    setWindowTitle(toQString(t.Get(kTextAccessCaption)));
    softwareDescriptionLabel->setText(toQString(t.Get(kTextAccessDescription)));
    const struct {
        QPushButton* button;
        int caption;
        int hint;
    } buttons[] = {
        {okButton, kTextAccessOk, kTextAccessOkHint},
        {cancelButton, kTextAccessCancel, kTextAccessCancelHint},
        {addVarButton, kTextAccessAddVar, kTextAccessAddVarHint},
        {removeVarButton, kTextAccessRemoveVar, kTextAccessRemoveVarHint},
        {addIecDeviceButton, kTextAccessAddDevice, kTextAccessAddDeviceHint},
        {removeIecDeviceButton, kTextAccessRemoveDevice, kTextAccessRemoveDeviceHint},
    };
    for (const auto& b : buttons) {
        b.button->setText(toQString(t.Get(b.caption)));
        // The button hints are kept but not shown as tool tips: some of the table's texts name another
        // product's list.
        b.button->setStatusTip(toQString(t.Get(b.hint)));
    }
    fillAddressesButton->setText(shownText(t, WindowText::FillAddresses));
    fillAddressesButton->setToolTip(shownText(t, WindowText::FillAddressesHint));
    checkButton->setText(shownText(t, WindowText::Check));
    exportButton->setText(shownText(t, WindowText::ExportCsv));
    importButton->setText(shownText(t, WindowText::ImportCsv));
    treeSearchEdit->setPlaceholderText(shownText(t, WindowText::TreeSearchPlaceholder));
    treeSearchEdit->setToolTip(shownText(t, WindowText::TreeSearchHint));
    pages->setTabText(pages->indexOf(mapPage), shownText(t, WindowText::MapPage));
    mapPage->applyTexts();
    liveCheckPanel->applyTexts();
    m_variables->headersChanged();
}

// --- Opening

void AccessEditorWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_placed) {
        // Placed once, within the screen; afterwards the dialog keeps the size and place the user gave it.
        if (const QScreen* shownOn = screen()) {
            const QRect room = shownOn->availableGeometry();
            const QSize least = minimumSizeHint();
            resize(std::min(width(), std::max(room.width(), least.width())),
                   std::min(height(), std::max(room.height(), least.height())));
            move(room.center() - rect().center());
        }
        m_placed = true;
    } else if (!m_closedGeometry.isEmpty()) {
        restoreGeometry(m_closedGeometry);
    }
    if (!event->spontaneous()) {
        // Each showing starts at the tables' left edge, where Index, bType and Reference are.
        for (QTableView* view : {variablesTable, dataSetsTable, membersTable}) {
            view->horizontalScrollBar()->setValue(0);
        }
    }
    if (!event->spontaneous() && !m_loading) {
        m_loading = true;
        // The loading starts once the dialog is on the screen, so that its progress can be seen.
        QMetaObject::invokeMethod(this, &AccessEditorWindow::prepareShowing, Qt::QueuedConnection);
    }
}

void AccessEditorWindow::prepareShowing() {
    if (!isVisible()) {
        m_loading = false; // closed before its loading began
        return;
    }
    m_loading = true;
    m_openFailed = false;
    for (AccessTableModel* model : {m_variables, m_dataSets, m_members}) {
        model->setHidden(true);
    }
    m_treeModel->setDevice(nullptr);
    deviceList->clear();
    m_editor.open(access::StoredAccess{});

    const ProjectPaths project = m_state.session.project();
    const std::filesystem::path folder = m_state.session.activeProjectFolder;
    mapPage->setExportProposal(folder / std::filesystem::path(folder.filename()).concat(".csv"));
    mapPage->setParameterFile(project.parGenFile());
    mapPage->setAccessFile(project.accessFile());
    liveCheckPanel->setCatalogFolder(project.icdCatalog());
    startWork<access::StoredAccess>(
        loadingText(project.accessFile()),
        [project](const JobContext&) { return access::readStoredAccess(project); },
        [this](access::StoredAccess read) {
            const access::OpenReport report = m_editor.open(std::move(read));
            showOpened();
            if (const std::string dropped = report.message(); !dropped.empty()) {
                messages().show(this, MessageService::Icon::Warning, {}, toQString(dropped),
                                MessageService::Buttons::Ok);
            }
            emit opened();
        },
        [this](const std::exception_ptr& error) {
            // The list is empty now: an OK would overwrite the file that could not be read.
            m_openFailed = true;
            showOpened();
            messages().showError(this, errorText(error));
            emit opened();
        });
}

void AccessEditorWindow::showOpened() {
    m_loading = false;
    for (AccessTableModel* model : {m_variables, m_dataSets, m_members}) {
        model->setHidden(false);
    }
    showDevices();
    showTree();
    showStaleRows();
    showWorking({});
    pages->setCurrentWidget(variablesPage);
}

QString AccessEditorWindow::loadingText(const std::filesystem::path& file) const {
    return shownText(m_state.texts, WindowText::Loading).arg(toQString(utf8Of(file.filename())));
}

void AccessEditorWindow::showWorking(const QString& what) {
    const bool working = !what.isEmpty();
    progressLabel->setText(what);
    progressLabel->setVisible(working);
    progressBar->setVisible(working);
    mainSplitter->setEnabled(!working);
    // Cancel stays: it gives up the work and closes the window.
    for (QPushButton* button :
         {addVarButton, removeVarButton, fillAddressesButton, checkButton, exportButton, importButton}) {
        button->setEnabled(!working);
    }
    okButton->setEnabled(!working && !m_openFailed);
}

bool AccessEditorWindow::busy() const {
    return m_loading || m_job.running() || mapPage->busy();
}

template <class Result>
void AccessEditorWindow::startWork(const QString& what, std::function<Result(const JobContext&)> work,
                                   std::function<void(Result)> done, BackgroundJob::Failed failed) {
    showWorking(what);
    if (!failed) {
        failed = [this](const std::exception_ptr& error) { messages().showError(this, errorText(error)); };
    }
    m_job.start<Result>(
        std::move(work),
        [this, done = std::move(done)](Result result) {
            showWorking({});
            done(std::move(result));
        },
        [this, failed = std::move(failed)](const std::exception_ptr& error) {
            showWorking({});
            failed(error);
        });
}

// --- Catalog and tree

void AccessEditorWindow::showDevices() {
    const QSignalBlocker quiet(deviceList);
    deviceList->clear();
    for (const access::CatalogDevice& device : m_editor.list().devices()) {
        deviceList->addItem(toQString(device.listText()));
    }
    if (const std::optional<std::size_t> chosen = m_editor.chosenDevice()) {
        deviceList->setCurrentRow(static_cast<int>(*chosen));
    }
}

void AccessEditorWindow::showTree() {
    const SclIed* device = m_editor.chosenModel();
    m_treeModel->setDevice(device);
    m_treeMatch = 0;
    treeSearchCountLabel->clear();
    if (device == nullptr) {
        return;
    }
    if (!treeSearchEdit->text().isEmpty()) {
        applyTreeSearch();
        return;
    }
    // The device, its logical devices and their nodes open; everything below opens on demand.
    const QModelIndex root = m_treeModel->index(0, 0);
    deviceTree->expand(root);
    for (int ld = 0; ld < m_treeModel->rowCount(root); ++ld) {
        const QModelIndex ldIndex = m_treeModel->index(ld, 0, root);
        deviceTree->expand(ldIndex);
        for (int ln = 0; ln < m_treeModel->rowCount(ldIndex); ++ln) {
            deviceTree->expand(m_treeModel->index(ln, 0, ldIndex));
        }
    }
}

void AccessEditorWindow::onDeviceChosen() {
    const int row = deviceList->currentRow();
    if (row < 0) {
        return;
    }
    m_editor.chooseDevice(static_cast<std::size_t>(row));
    showTree();
}

void AccessEditorWindow::onAddIecDeviceClicked() {
    const QString chosen = fileChooser().chooseFileToOpen(
        this, addIecDeviceButton->text(),
        {shownText(m_state.texts, WindowText::SclFiles), shownText(m_state.texts, WindowText::AnyFile)});
    if (chosen.isEmpty()) {
        return;
    }
    std::optional<std::filesystem::path> copied;
    runGuarded(this, [&] {
        const auto ask = [this] {
            switch (messages().show(this, MessageService::Icon::Question, {},
                                    QString::fromUtf8(access::kOverwriteQuestion),
                                    MessageService::Buttons::YesNoCancel)) {
            case MessageService::Answer::Yes:
                return access::OverwriteAnswer::Yes;
            case MessageService::Answer::No:
                return access::OverwriteAnswer::No;
            default:
                return access::OverwriteAnswer::Cancel;
            }
        };
        copied = access::copyIntoCatalog(m_state.session.project(), pathFromUtf8(toUtf8String(chosen)), ask);
    });
    if (!copied) {
        return;
    }
    const std::filesystem::path file = *copied;
    startWork<std::vector<SclIedSummary>>(
        loadingText(file), [file](const JobContext&) { return listIeds(file); },
        [this, file](const std::vector<SclIedSummary>& ieds) {
            std::vector<std::string> picked{std::string()};
            const bool named = ieds.size() > 1;
            if (named) {
                IedPickerDialog picker(ieds, toQString(utf8Of(file.filename())), m_state.texts, this);
                if (openDialog(&picker) != QDialog::Accepted || picker.pickedNames().empty()) {
                    return;
                }
                picked = picker.pickedNames();
            }
            addLoadedDevices(file, picked, named);
        });
}

void AccessEditorWindow::addLoadedDevices(const std::filesystem::path& file,
                                          const std::vector<std::string>& names, bool named) {
    startWork<std::vector<std::unique_ptr<SclIed>>>(
        loadingText(file), [file, names](const JobContext&) { return SclIed::loadIeds(file, names); },
        [this, file, names, named](std::vector<std::unique_ptr<SclIed>> devices) {
            runGuarded(this, [&] {
                if (m_editor.appendDevices(file, names, named, std::move(devices))) {
                    showDevices();
                    showTree();
                    showStaleRows();
                }
            });
        });
}

void AccessEditorWindow::onRemoveIecDeviceClicked() {
    if (const std::optional<std::size_t> chosen = m_editor.chosenDevice()) {
        const access::AccessList::DeviceUsers users = m_editor.list().usersOfDevice(*chosen);
        if (!users.empty()) {
            const auto rowList = [](const std::vector<std::size_t>& rows) {
                QStringList numbers;
                for (const std::size_t row : rows) {
                    numbers << QString::number(row);
                }
                return numbers.join(QStringLiteral(", "));
            };
            QString text = shownText(m_state.texts, WindowText::DeviceInUse)
                               .arg(deviceList->currentItem() != nullptr ? deviceList->currentItem()->text()
                                                                         : QString::number(*chosen));
            if (!users.variables.empty()) {
                text += QLatin1Char('\n') +
                        shownText(m_state.texts, WindowText::VariablesRows).arg(rowList(users.variables));
            }
            if (!users.dataSets.empty()) {
                text += QLatin1Char('\n') +
                        shownText(m_state.texts, WindowText::DataSetRows).arg(rowList(users.dataSets));
            }
            messages().show(this, MessageService::Icon::Warning, {}, text, MessageService::Buttons::Ok);
            return;
        }
    }
    if (!m_editor.removeChosenDevice()) {
        return;
    }
    showDevices();
    showTree();
    refreshTables();
}

void AccessEditorWindow::applyTreeSearch() {
    m_searchTimer->stop();
    m_treeMatch = 0;
    const SclIed* device = m_treeModel->device();
    const QString text = treeSearchEdit->text();
    if (device == nullptr || text.isEmpty()) {
        treeSearchCountLabel->clear();
        if (m_treeModel->search() != nullptr) {
            showTree();
        }
        return;
    }
    auto search = std::make_shared<const SclSearch>(*device, text.toStdString());
    const std::size_t matches = search->matches().size();
    m_treeModel->setSearch(search);
    treeSearchCountLabel->setText(matches == 1 ? shownText(m_state.texts, WindowText::OneMatch)
                                               : shownText(m_state.texts, WindowText::Matches).arg(matches));
    // The matches are shown open; past a few thousand only the first ones, and the rest as Enter reaches
    // them.
    constexpr std::size_t kOpenedMatches = 2000;
    for (std::size_t k = 0; k < matches && k < kOpenedMatches; ++k) {
        for (const SclObject* above = search->matches()[k]->parent(); above != nullptr;
             above = above->parent()) {
            const QModelIndex index = m_treeModel->indexOf(above);
            if (deviceTree->isExpanded(index)) {
                break;
            }
            deviceTree->expand(index);
        }
    }
}

void AccessEditorWindow::goToTreeMatch(bool backwards) {
    if (m_searchTimer->isActive()) {
        applyTreeSearch();
    }
    const SclSearch* search = m_treeModel->search();
    if (search == nullptr || search->matches().empty()) {
        return;
    }
    const std::size_t count = search->matches().size();
    if (m_treeMatch == 0) {
        m_treeMatch = backwards ? count : 1;
    } else if (backwards) {
        m_treeMatch = m_treeMatch == 1 ? count : m_treeMatch - 1;
    } else {
        m_treeMatch = m_treeMatch == count ? 1 : m_treeMatch + 1;
    }
    const SclObject* match = search->matches()[m_treeMatch - 1];
    for (const SclObject* above = match->parent(); above != nullptr; above = above->parent()) {
        deviceTree->expand(m_treeModel->indexOf(above));
    }
    const QModelIndex index = m_treeModel->indexOf(match);
    deviceTree->setCurrentIndex(index);
    deviceTree->scrollTo(index);
    treeSearchCountLabel->setText(shownText(m_state.texts, WindowText::MatchOf).arg(m_treeMatch).arg(count));
}

void AccessEditorWindow::showStaleRows() {
    std::map<std::size_t, QString> variables;
    std::map<std::size_t, QString> dataSets;
    for (const access::StaleRow& stale : access::staleRows(m_editor.list())) {
        (stale.page == access::Page::Variables ? variables : dataSets)[stale.row] = toQString(stale.problem);
    }
    m_variables->setStaleRows(std::move(variables));
    m_dataSets->setStaleRows(std::move(dataSets));
}

void AccessEditorWindow::onFillAddressesClicked() {
    const auto selectedRows = [](const QTableView* view) {
        std::set<std::size_t> rows;
        for (const QModelIndex& index : view->selectionModel()->selectedIndexes()) {
            rows.insert(static_cast<std::size_t>(index.row()) + 1);
        }
        return rows;
    };
    // Nothing selected: every row of both tables, as the button says nothing of a selection.
    const bool everyRow = selectedRows(variablesTable).empty() && selectedRows(dataSetsTable).empty();
    std::size_t filled = 0;
    for (const auto& [view, page] : {std::pair{variablesTable, access::Page::Variables},
                                     std::pair{dataSetsTable, access::Page::DataSet}}) {
        std::set<std::size_t> rows = selectedRows(view);
        if (everyRow) {
            for (int row = 1; row <= view->model()->rowCount(); ++row) {
                rows.insert(static_cast<std::size_t>(row));
            }
        }
        filled +=
            m_editor.list().fillAddressesFromScl(page, std::vector<std::size_t>(rows.begin(), rows.end()));
    }
    m_variables->refresh();
    m_dataSets->refresh();
    messages().showInformation(this, shownText(m_state.texts, WindowText::AddressesFilled).arg(filled));
}

// --- Rows

void AccessEditorWindow::refreshTables() {
    m_variables->refresh();
    m_dataSets->refresh();
    m_members->refresh();
    showStaleRows();
}

void AccessEditorWindow::selectRow(QTableView* view, std::size_t row, int column) {
    const int last = view->model()->rowCount() - 1;
    const int at = std::min(static_cast<int>(row) - 1, last);
    if (at < 0) {
        return;
    }
    const QModelIndex index = view->model()->index(at, column);
    view->setCurrentIndex(index);
    view->scrollTo(index);
}

void AccessEditorWindow::showChosenRow(std::size_t dataSet, std::size_t row, int column) {
    if (dataSet == 0) {
        pages->setCurrentWidget(variablesPage);
        selectRow(variablesTable, row, column);
        return;
    }
    pages->setCurrentWidget(dataSetsPage);
    selectRow(dataSetsTable, dataSet, row > 0 ? 0 : column);
    if (row > 0) {
        selectRow(membersTable, row, column);
    }
}

void AccessEditorWindow::onAddVarClicked() {
    switch (m_editor.addVar()) {
    case access::AddVarResult::Variable:
        pages->setCurrentWidget(variablesPage);
        m_variables->refresh();
        selectRow(variablesTable, m_editor.list().variables().size());
        break;
    case access::AddVarResult::DataSet:
        pages->setCurrentWidget(dataSetsPage);
        m_dataSets->refresh();
        selectRow(dataSetsTable, m_editor.list().dataSetRows().size());
        if (const std::string incomplete = access::incompleteDataSetText(*m_editor.selectedDataSet());
            !incomplete.empty()) {
            messages().show(this, MessageService::Icon::Warning, {},
                            toQString(m_editor.selectedDataSet()->fReference() + ": " + incomplete),
                            MessageService::Buttons::Ok);
        }
        break;
    case access::AddVarResult::Nothing:
        break;
    }
    showStaleRows();
}

void AccessEditorWindow::onRemoveVarClicked() {
    if (pages->currentWidget() == dataSetsPage) {
        const std::optional<std::size_t> row = currentRow(dataSetsTable);
        m_editor.removeVar(access::Page::DataSet, row);
        m_dataSets->refresh();
        m_members->refresh();
        if (row) {
            selectRow(dataSetsTable, *row);
        }
        showStaleRows();
        return;
    }
    const std::optional<std::size_t> row = currentRow(variablesTable);
    m_editor.removeVar(access::Page::Variables, row);
    m_variables->refresh();
    if (row) {
        selectRow(variablesTable, *row);
    }
    showStaleRows();
}

// --- Closing

void AccessEditorWindow::onOkClicked() {
    if (busy() || m_openFailed) {
        return;
    }
    if (const auto faults = access::checkAccessList(m_editor.list(), userDecimalSeparator());
        !faults.empty()) {
        // The first fault, with its cell shown; the Check button lists them all.
        const access::CellFault& fault = faults.front();
        if (fault.row > 0) {
            const bool variables = fault.table == access::Table::Variables;
            showChosenRow(variables ? 0 : fault.row, variables ? fault.row : fault.member,
                          static_cast<int>(fault.column));
        }
        messages().showError(this, toQString(fault.message(m_state.texts)));
        return;
    }
    if (!confirmConflicts()) {
        return;
    }
    bool saved = false;
    runGuarded(this, [&] {
        m_editor.save(m_state.session.project().accessFile());
        saved = true;
    });
    if (saved) {
        accept();
    }
}

bool AccessEditorWindow::confirmConflicts() {
    const std::vector<std::string> conflicts =
        access::describeConflicts(access::buildDataArrayMap(m_editor.list().toAccessFile()));
    if (conflicts.empty()) {
        return true;
    }
    constexpr std::size_t kShown = 15;
    QString text = shownText(m_state.texts, WindowText::ConflictsIntro) + QLatin1Char('\n');
    for (std::size_t k = 0; k < conflicts.size() && k < kShown; ++k) {
        text += QLatin1Char('\n') + toQString(conflicts[k]);
    }
    if (conflicts.size() > kShown) {
        text += QLatin1Char('\n') +
                shownText(m_state.texts, WindowText::ConflictsMore).arg(conflicts.size() - kShown);
    }
    text += QStringLiteral("\n\n") + shownText(m_state.texts, WindowText::ConflictsQuestion);
    return messages().show(this, MessageService::Icon::Warning, {}, text, MessageService::Buttons::YesNo) ==
           MessageService::Answer::Yes;
}

void AccessEditorWindow::onCancelClicked() {
    reject();
}

void AccessEditorWindow::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        m_closedGeometry = saveGeometry(); // the next showing comes back as the user left it
    }
    QDialog::hideEvent(event);
}

bool AccessEditorWindow::hasChanges() const {
    return !m_loading && !m_openFailed && m_editor.hasChanges();
}

void AccessEditorWindow::closeWithoutAsking() {
    m_closingUnasked = true;
    reject();
}

void AccessEditorWindow::reject() {
    if (m_asking) {
        return; // the question is open; its answer decides
    }
    if (!m_closingUnasked && hasChanges()) {
        // Esc, Cancel and the close button all come here: changes are never dropped without a word.
        m_asking = true;
        const MessageService::Answer answer =
            messages().show(this, MessageService::Icon::Question, {},
                            shownText(m_state.texts, WindowText::UnsavedAccessChanges),
                            MessageService::Buttons::SaveDiscardCancel);
        m_asking = false;
        if (!m_closingUnasked) {
            if (answer == MessageService::Answer::Yes) {
                onOkClicked(); // closes only when the list passes OK's checks and is saved
                return;
            }
            if (answer != MessageService::Answer::No) {
                return;
            }
        }
    }
    if (m_closingUnasked && hasChanges()) {
        std::fputs("sw40512: the access list's unsaved changes were discarded\n", stderr);
    }
    m_closingUnasked = false;
    // Work under way is given up: what it would bring is of no use to a closed window.
    m_job.cancel();
    mapPage->cancelWork();
    m_loading = false;
    showWorking({});
    QDialog::reject();
}

bool AccessEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool dropEvent = event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
                           event->type() == QEvent::Drop;
    if (dropEvent && (watched == variablesTable->viewport() || watched == dataSetsTable->viewport())) {
        // A leaf attribute or a data set dragged from the tree is added where it is dropped, as Add Var.
        auto* drop = static_cast<QDropEvent*>(event);
        const SclObject* node = m_treeModel->droppedNode(drop->mimeData());
        if (node == nullptr || busy()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop) {
            m_editor.selectTreeNode(node);
            onAddVarClicked();
        }
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched == treeSearchEdit) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        // Enter moves between matches and Escape clears the search; neither reaches the dialog.
        if (keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter) {
            goToTreeMatch(keyEvent->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        if (keyEvent->key() == Qt::Key_Escape) {
            treeSearchEdit->clear();
            applyTreeSearch();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (QTableView* view : {variablesTable, dataSetsTable, membersTable}) {
            if (watched != view) {
                continue;
            }
            if (moveToNextCellOnEnter(view, key, m_state.settings.enableJumpFieldTables)) {
                return true;
            }
            // Enter stays with the table, where it opens the cell, and never reaches a button of the
            // dialog: it would add a device or save the list while the user only meant to type.
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                const QModelIndex current = view->currentIndex();
                // From a cell editor Enter comes here after the editor has taken the text; the cell
                // is being closed then, not opened.
                if (view->hasFocus() && current.isValid() && (current.flags() & Qt::ItemIsEditable)) {
                    view->edit(current);
                }
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sw::gui
