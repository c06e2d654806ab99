#include "gui/shell/project_dialogs.h"

#include "core/shell/projects.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/message_service.h"
#include "gui/common/text_conversion.h"
#include "gui/common/title_panel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace sw::gui {

namespace {

constexpr int kTextNewCaption = 100;
constexpr int kTextNewDescription = 101;
constexpr int kTextNewPrompt = 102;
constexpr int kTextNewOk = 103;
constexpr int kTextNewCancel = 104;
constexpr int kTextNewNameHint = 108;
constexpr int kTextNewOkHint = 109;
constexpr int kTextNewCancelHint = 110;

constexpr int kTextOpenCaption = 200;
constexpr int kTextOpenDescription = 201;
constexpr int kTextOpenListCaption = 202;
constexpr int kTextOpenOk = 203;
constexpr int kTextOpenCancel = 204;
constexpr int kTextOpenListHint = 205;
constexpr int kTextOpenOkHint = 206;
constexpr int kTextOpenCancelHint = 207;

QHBoxLayout* buttonRow(QPushButton* ok, QPushButton* cancel) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace

NewProjectDialog::NewProjectDialog(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("NewProjectDialog"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeTitlePanel(this, state.product, softwareCodeLabel, softwareDescriptionLabel));
    productLabel = new QLabel(this);
    productLabel->setObjectName(QStringLiteral("Label1"));
    projectNameEdit = new QLineEdit(this);
    projectNameEdit->setObjectName(QStringLiteral("E_New_Proj"));
    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("Btn_OK"));
    okButton->setAutoDefault(false);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("Btn_Cancel"));
    cancelButton->setAutoDefault(false);
    layout->addWidget(productLabel);
    layout->addWidget(projectNameEdit);
    layout->addStretch();
    layout->addLayout(buttonRow(okButton, cancelButton));
    fixSizeGrowingToFit(this, QSize(331, 162));
    connect(okButton, &QPushButton::clicked, this, &NewProjectDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in the name field confirms exactly as the OK button does.
    connect(projectNameEdit, &QLineEdit::returnPressed, this, &NewProjectDialog::onOkClicked);
    applyTexts();
}

void NewProjectDialog::applyTexts() {
    const auto& t = m_state.texts;
    setWindowTitle(toQString(t.Get(kTextNewCaption)));
    softwareDescriptionLabel->setText(toQString(t.Get(kTextNewDescription)));
    productLabel->setText(toQString(t.Get(kTextNewPrompt)));
    okButton->setText(toQString(t.Get(kTextNewOk)));
    cancelButton->setText(toQString(t.Get(kTextNewCancel)));
    projectNameEdit->setToolTip(toQString(t.Get(kTextNewNameHint)));
    okButton->setToolTip(toQString(t.Get(kTextNewOkHint)));
    cancelButton->setToolTip(toQString(t.Get(kTextNewCancelHint)));
}

void NewProjectDialog::prepareShowing() {
    projectNameEdit->clear();
    projectNameEdit->setFocus();
}

void NewProjectDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        prepareShowing();
    }
}

void NewProjectDialog::onOkClicked() {
    runGuarded(this, [this] {
        if (const auto refused = createNewProject(m_state, toUtf8String(projectNameEdit->text()))) {
            messages().showError(this, toQString(m_state.texts.Get(*refused)));
            return;
        }
        accept();
    });
}

OpenProjectDialog::OpenProjectDialog(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("OpenProjectDialog"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeTitlePanel(this, state.product, softwareCodeLabel, softwareDescriptionLabel));
    productLabel = new QLabel(this);
    productLabel->setObjectName(QStringLiteral("Label1"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("Btn_OK"));
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("Btn_Cancel"));
    layout->addWidget(productLabel);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(buttonRow(okButton, cancelButton));
    resize(377, 351);
    connect(ListBox1, &QListWidget::currentRowChanged, this, &OpenProjectDialog::ListBox1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    applyTexts();
}

void OpenProjectDialog::applyTexts() {
    const auto& t = m_state.texts;
    setWindowTitle(toQString(t.Get(kTextOpenCaption)));
    softwareDescriptionLabel->setText(toQString(t.Get(kTextOpenDescription)));
    productLabel->setText(toQString(t.Get(kTextOpenListCaption)));
    okButton->setText(toQString(t.Get(kTextOpenOk)));
    cancelButton->setText(toQString(t.Get(kTextOpenCancel)));
    ListBox1->setToolTip(toQString(t.Get(kTextOpenListHint)));
    okButton->setToolTip(toQString(t.Get(kTextOpenOkHint)));
    cancelButton->setToolTip(toQString(t.Get(kTextOpenCancelHint)));
}

void OpenProjectDialog::prepareShowing() {
    const std::vector<std::string> names = projectNames(m_state.session.projectsFolder);
    const QSignalBlocker blocker(ListBox1);
    ListBox1->clear();
    for (const auto& name : names) {
        ListBox1->addItem(toQString(name));
    }
    int row = findProjectName(names, activeProjectFolderName(m_state));
    if (row < 0 && !names.empty()) {
        row = 0;
    }
    if (row >= 0) {
        ListBox1->setCurrentRow(row);
        chosenName = names[static_cast<std::size_t>(row)];
    }
}

void OpenProjectDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        prepareShowing();
    }
}

void OpenProjectDialog::ListBox1Click() {
    if (QListWidgetItem* item = ListBox1->currentItem()) {
        chosenName = toUtf8String(item->text());
    }
}

} // namespace sw::gui
