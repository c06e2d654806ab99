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
    layout->addWidget(makeTitlePanel(this, state, L_SW_Code, L_SW_Desc));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    E_New_Proj = new QLineEdit(this);
    E_New_Proj->setObjectName(QStringLiteral("E_New_Proj"));
    Btn_OK = new QPushButton(this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_OK->setAutoDefault(false);
    Btn_Cancel = new QPushButton(this);
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    Btn_Cancel->setAutoDefault(false);
    layout->addWidget(Label1);
    layout->addWidget(E_New_Proj);
    layout->addStretch();
    layout->addLayout(buttonRow(Btn_OK, Btn_Cancel));
    fixSizeGrowingToFit(this, QSize(331, 162));
    connect(Btn_OK, &QPushButton::clicked, this, &NewProjectDialog::onOkClicked);
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in the name field confirms exactly as the OK button does.
    connect(E_New_Proj, &QLineEdit::returnPressed, this, &NewProjectDialog::onOkClicked);
    applyTexts();
}

void NewProjectDialog::applyTexts() {
    const auto& t = m_state.texts;
    setWindowTitle(toQString(t.Get(kTextNewCaption)));
    L_SW_Desc->setText(toQString(t.Get(kTextNewDescription)));
    Label1->setText(toQString(t.Get(kTextNewPrompt)));
    Btn_OK->setText(toQString(t.Get(kTextNewOk)));
    Btn_Cancel->setText(toQString(t.Get(kTextNewCancel)));
    E_New_Proj->setToolTip(toQString(t.Get(kTextNewNameHint)));
    Btn_OK->setToolTip(toQString(t.Get(kTextNewOkHint)));
    Btn_Cancel->setToolTip(toQString(t.Get(kTextNewCancelHint)));
}

void NewProjectDialog::FormShow() {
    E_New_Proj->clear();
    E_New_Proj->setFocus();
}

void NewProjectDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void NewProjectDialog::onOkClicked() {
    runGuarded(this, [this] {
        if (const auto refused = createNewProject(m_state, toUtf8String(E_New_Proj->text()))) {
            messages().showError(this, toQString(m_state.texts.Get(*refused)));
            return;
        }
        accept();
    });
}

OpenProjectDialog::OpenProjectDialog(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("OpenProjectDialog"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeTitlePanel(this, state, L_SW_Code, L_SW_Desc));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    Btn_OK = new QPushButton(this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_Cancel = new QPushButton(this);
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    layout->addWidget(Label1);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(buttonRow(Btn_OK, Btn_Cancel));
    resize(377, 351);
    connect(ListBox1, &QListWidget::currentRowChanged, this, &OpenProjectDialog::ListBox1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(Btn_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    applyTexts();
}

void OpenProjectDialog::applyTexts() {
    const auto& t = m_state.texts;
    setWindowTitle(toQString(t.Get(kTextOpenCaption)));
    L_SW_Desc->setText(toQString(t.Get(kTextOpenDescription)));
    Label1->setText(toQString(t.Get(kTextOpenListCaption)));
    Btn_OK->setText(toQString(t.Get(kTextOpenOk)));
    Btn_Cancel->setText(toQString(t.Get(kTextOpenCancel)));
    ListBox1->setToolTip(toQString(t.Get(kTextOpenListHint)));
    Btn_OK->setToolTip(toQString(t.Get(kTextOpenOkHint)));
    Btn_Cancel->setToolTip(toQString(t.Get(kTextOpenCancelHint)));
}

void OpenProjectDialog::FormShow() {
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
        Name_Conf = names[static_cast<std::size_t>(row)];
    }
}

void OpenProjectDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void OpenProjectDialog::ListBox1Click() {
    if (QListWidgetItem* item = ListBox1->currentItem()) {
        Name_Conf = toUtf8String(item->text());
    }
}

} // namespace sw::gui
