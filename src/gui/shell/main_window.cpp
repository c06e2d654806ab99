#include "gui/shell/main_window.h"

#include "core/common/atomic_file.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/image/image_builder.h"
#include "core/options/version_check.h"
#include "core/report/commissioning_report.h"
#include "core/shell/projects.h"
#include "core/shell/settings.h"
#include "core/shell/startup.h"
#include "gui/access/access_editor_window.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/dialog_runner.h"
#include "gui/common/error_text.h"
#include "gui/common/link_opener.h"
#include "gui/common/message_service.h"
#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"
#include "gui/options/options_dialog.h"
#include "gui/parameters/parameters_dialog.h"
#include "gui/shell/about_box.h"
#include "gui/shell/project_dialogs.h"
#include "gui/update/update_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace sw::gui {

namespace {

constexpr int kTextBegin = 0;
constexpr int kTextStep1 = 1;
constexpr int kTextNoProject = 9;
constexpr int kTextNoProjectHint = 10;
constexpr int kTextProjectOpened = 11;
constexpr int kTextInfoHint = 12;
constexpr int kTextOptionsHint = 13;
constexpr int kTextCloseHint = 14;
constexpr int kTextNewProject = 15;
constexpr int kTextOpenProject = 16;
constexpr int kTextUpdateDevice = 17;
constexpr int kTextProjectNotValid = 18;
constexpr int kTextNewVersion = 19;
constexpr int kTextSetCommunication = 20;
constexpr int kTextAccess = 21;
constexpr int kTextNewProjectHint = 22;
constexpr int kTextOpenProjectHint = 23;
constexpr int kTextSetCommunicationHint = 24;
constexpr int kTextAccessHint = 25;
constexpr int kTextUpdateDeviceHint = 26;

constexpr int kStepColumnLeft = 80;
constexpr int kStepButtonWidth = 170;
constexpr int kStepButtonGap = 8;
constexpr int kProjectTextIndent = 7;
constexpr int kMakerAddressLeft = 565;
constexpr int kMakerAddressRightMargin = 10;

template <class Widget> Widget* place(QWidget* parent, const char* name, int left, int top) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    widget->move(left, top);
    return widget;
}

QLabel* boldLabel(QWidget* parent, const char* name, int left, int top) {
    auto* label = place<QLabel>(parent, name, left, top);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QPushButton* stepButton(QWidget* parent, const char* name, int left, int top) {
    auto* button = place<QPushButton>(parent, name, left, top);
    button->resize(kStepButtonWidth, 36);
    return button;
}

QToolButton* iconButton(QWidget* parent, const char* name, int left, QStyle::StandardPixmap icon) {
    auto* button = place<QToolButton>(parent, name, left, 8);
    button->resize(50, 50);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setAutoRaise(true);
    return button;
}

} // namespace

QString makerHomePage() {
    return QString::fromUtf8(sw::kMakerHost) + QStringLiteral("/HOME/default.asp?frompg=SW40512");
}

MainWindow::MainWindow(const std::filesystem::path& programFolder, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainWindow"));
    layOut();
    const SettingsSource source = startProgramState(m_state, programFolder);
    setShownTexts(&m_state.texts);
    followUpdateOptions();
    setWindowTitle(toQString(m_state.product.windowTitle));
    setMessageTitle(toQString(m_state.product.softwareCode));
    softwareCodeLabel->setText(toQString(m_state.product.softwareCode));
    softwareDescriptionLabel->setText(toQString(m_state.product.softwareDescription));
    applyTexts();

    m_newProject = new NewProjectDialog(m_state, this);
    m_openConf = new OpenProjectDialog(m_state, this);
    m_about = new AboutDialog(m_state.product, this);
    m_parGen = new ParametersDialog(m_state, this);
    m_boot = new UpdateDialog(
        m_state,
        [this](const std::string& program, const std::string& parameter, std::uint8_t hidden,
               const std::filesystem::path& output,
               ProgramEnded ended) { startProgram(program, parameter, hidden, std::move(ended), output); },
        this);
    m_options = new OptionsDialog(m_state, this);
    m_options->setChangeLanguage([this] { changeLanguage(); });
    m_access = new AccessEditorWindow(m_state, this);

    if (source == SettingsSource::Unreadable) {
        // Shown once the window is up; a readable copy of what was there is kept as Mendral.xml.bad.
        QMetaObject::invokeMethod(
            this,
            [this] {
                auto kept = settingsFile(m_state);
                kept += ".bad";
                std::error_code error;
                QString text = shownText(m_state.texts, WindowText::SettingsUnreadable)
                                   .arg(toQString(utf8Of(settingsFile(m_state))));
                if (std::filesystem::is_regular_file(kept, error)) {
                    text += QLatin1Char(' ') +
                            shownText(m_state.texts, WindowText::SettingsKept).arg(toQString(utf8Of(kept)));
                }
                messages().show(this, MessageService::Icon::Warning, {}, text, MessageService::Buttons::Ok);
            },
            Qt::QueuedConnection);
    }
}

MainWindow::~MainWindow() {
    setShownTexts(nullptr);
}

void MainWindow::layOut() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    softwareCodeLabel = place<QLabel>(client, "L_SW_Code", 16, 8);
    QFont codeFont = softwareCodeLabel->font();
    codeFont.setPointSize(20);
    codeFont.setBold(true);
    softwareCodeLabel->setFont(codeFont);
    softwareCodeLabel->setStyleSheet(QStringLiteral("color: grey;"));
    softwareDescriptionLabel = boldLabel(client, "L_SW_Desc", 16, 42);
    softwareDescriptionLabel->setStyleSheet(QStringLiteral("color: grey;"));
    updateLink = place<QLabel>(client, "LL_Update", 208, 19);
    updateLink->setTextFormat(Qt::RichText);
    updateLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    updateLink->hide();
    connect(updateLink, &QLabel::linkActivated, this, &MainWindow::onUpdateLinkClicked);
    aboutButton = iconButton(client, "Btn_Info", 516, QStyle::SP_MessageBoxInformation);
    optionsButton = iconButton(client, "Btn_Opz", 574, QStyle::SP_FileDialogDetailedView);
    closeButton = iconButton(client, "Btn_Close", 632, QStyle::SP_DialogCloseButton);
    beginLabel = boldLabel(client, "L_Begin", 16, 84);
    projectFrame = place<QFrame>(client, "Shape2", 80, 70);
    projectFrame->setFrameShape(QFrame::Box);
    projectFrame->resize(348, 36);
    projectCaptionLabel = place<QLabel>(client, "L_Name_Conf", 87, 75);
    projectNameLabel = place<QLabel>(client, "L_Name_Conf_L2", 87, 88);
    step1Label = boldLabel(client, "L_Step_1", 16, 128);
    newProjectButton = stepButton(client, "Btn_New", 80, 112);
    openProjectButton = stepButton(client, "Btn_Open", 258, 112);
    step2Label = boldLabel(client, "L_Step_2", 16, 172);
    parametersButton = stepButton(client, "Btn_Prm_Gen", 80, 156);
    step3Label = boldLabel(client, "L_Step_3", 16, 216);
    accessButton = stepButton(client, "Btn_IEC61850_Client", 80, 200);
    step4Label = boldLabel(client, "L_Step_4", 16, 260);
    updateDeviceButton = stepButton(client, "Btn_CreateBin", 80, 244);
    reportButton = stepButton(client, "Btn_Report", 258, 244);
    makerLink = place<QLabel>(client, "L_Brantis", kMakerAddressLeft, step4Label->y());
    makerLink->setText(QString::fromUtf8(sw::kMakerHost));
    makerLink->setCursor(Qt::PointingHandCursor);
    makerLink->setStyleSheet(QStringLiteral("color: blue;"));
    makerLink->installEventFilter(this);
    stepsRule = place<QFrame>(client, "Shape1", 10, updateDeviceButton->y() + 51);
    stepsRule->setFrameShape(QFrame::HLine);
    stepsRule->resize(674, 1);

    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("Timer_Update"));
    updateTimer->setInterval(kFirstUpdateCheck);
    connect(updateTimer, &QTimer::timeout, this, &MainWindow::onUpdateTimer);
    m_updateChecker = new VersionChecker(this);
    connect(m_updateChecker, &VersionChecker::checked, this, &MainWindow::showUpdateCheck);

    connectButtons();
    setFixedSize(694, updateDeviceButton->y() + 152);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    centerOnScreen(this);
}

void MainWindow::showProjectLabels() {
    const auto& t = m_state.texts;
    if (m_state.session.projectActive()) {
        projectCaptionLabel->setText(toQString(t.Get(kTextProjectOpened)));
        projectNameLabel->setText(toQString(m_state.session.activeProjectName));
    } else {
        projectCaptionLabel->setText(toQString(t.Get(kTextNoProject)));
        projectNameLabel->setText(toQString(t.Get(kTextNoProjectHint)));
    }
    projectCaptionLabel->adjustSize();
    projectNameLabel->adjustSize();
    // The two lines are stacked in the middle of their frame, so that a font taller than the frame's
    // classic one never lets them run into each other.
    const int lines = projectCaptionLabel->height() + projectNameLabel->height();
    const int top = projectFrame->y() + std::max(0, (projectFrame->height() - lines) / 2);
    projectCaptionLabel->move(projectCaptionLabel->x(), top);
    projectNameLabel->move(projectNameLabel->x(), top + projectCaptionLabel->height());
}

void MainWindow::applyTexts() {
    const auto& t = m_state.texts;
    reportButton->setText(shownText(t, WindowText::CommissioningReport));
    beginLabel->setText(toQString(t.Get(kTextBegin)));
    QLabel* steps[] = {step1Label, step2Label, step3Label, step4Label};
    for (int i = 0; i < 4; ++i) {
        steps[i]->setText(toQString(t.Get(kTextStep1 + i)));
        steps[i]->adjustSize();
    }
    beginLabel->adjustSize();
    aboutButton->setToolTip(toQString(t.Get(kTextInfoHint)));
    optionsButton->setToolTip(toQString(t.Get(kTextOptionsHint)));
    closeButton->setToolTip(toQString(t.Get(kTextCloseHint)));
    newProjectButton->setText(toQString(t.Get(kTextNewProject)));
    newProjectButton->setToolTip(toQString(t.Get(kTextNewProjectHint)));
    openProjectButton->setText(toQString(t.Get(kTextOpenProject)));
    openProjectButton->setToolTip(toQString(t.Get(kTextOpenProjectHint)));
    parametersButton->setText(toQString(t.Get(kTextSetCommunication)));
    parametersButton->setToolTip(toQString(t.Get(kTextSetCommunicationHint)));
    accessButton->setText(toQString(t.Get(kTextAccess)));
    accessButton->setToolTip(toQString(t.Get(kTextAccessHint)));
    updateDeviceButton->setText(toQString(t.Get(kTextUpdateDevice)));
    updateDeviceButton->setToolTip(toQString(t.Get(kTextUpdateDeviceHint)));
    placeStepColumn();
    softwareCodeLabel->adjustSize();
    softwareDescriptionLabel->adjustSize();
    makerLink->adjustSize();
    // A long web address moves left rather than running past the fixed window's edge.
    makerLink->move(std::min(kMakerAddressLeft, width() - kMakerAddressRightMargin - makerLink->width()),
                    makerLink->y());
    showProjectLabels();
}

void MainWindow::placeStepColumn() {
    // The step buttons keep their classic place and width unless a longer text or a larger font needs
    // more: the column then starts right of the widest caption, each button grows to its text, Open stays
    // right of New and the project frame spans the two.
    int captionsRight = 0;
    for (const QLabel* caption : {beginLabel, step1Label, step2Label, step3Label, step4Label}) {
        captionsRight = std::max(captionsRight, caption->x() + caption->width());
    }
    const int column = std::max(kStepColumnLeft, captionsRight + kStepButtonGap);
    for (QPushButton* button : {newProjectButton, parametersButton, accessButton, updateDeviceButton,
                                openProjectButton, reportButton}) {
        // Open stays right of New, and the report right of the step it belongs to.
        const QPushButton* leftNeighbour = button == openProjectButton
                                               ? newProjectButton
                                               : (button == reportButton ? updateDeviceButton : nullptr);
        const int left =
            leftNeighbour != nullptr ? leftNeighbour->x() + leftNeighbour->width() + kStepButtonGap : column;
        button->setGeometry(left, button->y(), std::max(kStepButtonWidth, button->sizeHint().width()),
                            button->height());
    }
    projectFrame->setGeometry(column, projectFrame->y(),
                              openProjectButton->x() + openProjectButton->width() - column,
                              projectFrame->height());
    projectCaptionLabel->move(column + kProjectTextIndent, projectCaptionLabel->y());
    projectNameLabel->move(column + kProjectTextIndent, projectNameLabel->y());
}

void MainWindow::changeLanguage() {
    applyTexts();
    m_newProject->applyTexts();
    m_openConf->applyTexts();
    m_options->applyTexts();
    m_parGen->applyTexts();
    m_boot->applyTexts();
    m_access->applyTexts();
}

void MainWindow::connectButtons() {
    connect(newProjectButton, &QPushButton::clicked, this, &MainWindow::onNewClicked);
    connect(openProjectButton, &QPushButton::clicked, this, &MainWindow::onOpenClicked);
    connect(closeButton, &QToolButton::clicked, this, &MainWindow::onCloseClicked);
    connect(aboutButton, &QToolButton::clicked, this, &MainWindow::onAboutClicked);
    connect(optionsButton, &QToolButton::clicked, this, &MainWindow::onOptionsClicked);
    connect(parametersButton, &QPushButton::clicked, this, &MainWindow::onParametersClicked);
    connect(accessButton, &QPushButton::clicked, this, &MainWindow::onAccessEditorClicked);
    connect(updateDeviceButton, &QPushButton::clicked, this, &MainWindow::onCreateBinClicked);
    connect(reportButton, &QPushButton::clicked, this, &MainWindow::onReportClicked);
}

bool MainWindow::projectReady() {
    if (m_state.session.projectActive()) {
        return true;
    }
    messages().showError(this, toQString(m_state.texts.Get(kTextProjectNotValid)));
    return false;
}

void MainWindow::onNewClicked() {
    runGuarded(this, [this] { createProject(); });
}

void MainWindow::onOpenClicked() {
    runGuarded(this, [this] { chooseAndOpenProject(); });
}

void MainWindow::onCloseClicked() {
    close();
}

void MainWindow::onAboutClicked() {
    gui::openDialog(m_about);
}

void MainWindow::onOptionsClicked() {
    if (gui::openDialog(m_options) != QDialog::Accepted) {
        return;
    }
    runGuarded(this, [this] { saveSettings(m_state); });
    followUpdateOptions();
}

void MainWindow::followUpdateOptions() {
    if (!m_state.settings.enableInternet || !m_state.settings.enableUpdateCheck) {
        updateTimer->stop();
    } else if (!updateTimer->isActive() && !m_updateChecker->running()) {
        // A running check restarts the timer itself once its answer is in.
        updateTimer->start();
    }
}

void MainWindow::setUpdateIntervals(std::chrono::milliseconds first, std::chrono::milliseconds later) {
    m_laterUpdateChecks = later;
    // A running timer restarts with the new interval, a stopped one stays stopped.
    updateTimer->setInterval(m_updateChecked ? later : first);
}

void MainWindow::setVersionCheck(const VersionChecker::Check& check) {
    m_updateChecker->setCheck(check);
    m_options->versionChecker()->setCheck(check);
}

void MainWindow::onUpdateTimer() {
    updateTimer->stop();
    m_updateChecker->start();
}

void MainWindow::showUpdateCheck(const VersionCheckResult& result) {
    // The periodic check says nothing of a failure: no link, as when nothing newer was found.
    if (result.newer()) {
        updateLink->setText(
            QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(toQString(downloadPageAddress()), toQString(m_state.texts.Get(kTextNewVersion))));
        updateLink->adjustSize();
        updateLink->show();
    } else {
        updateLink->hide();
    }
    m_updateChecked = true;
    updateTimer->setInterval(m_laterUpdateChecks);
    // The options may have been turned off while the answer was on its way.
    followUpdateOptions();
}

void MainWindow::onUpdateLinkClicked(const QString& address) {
    openLink(address);
}

void MainWindow::onParametersClicked() {
    if (projectReady()) {
        gui::openDialog(m_parGen);
    }
}

void MainWindow::onAccessEditorClicked() {
    if (projectReady()) {
        gui::openDialog(m_access);
    }
}

void MainWindow::onCreateBinClicked() {
    if (projectReady()) {
        runGuarded(this, [this] { runDeviceUpdate(); });
    }
}

void MainWindow::createProject() {
    if (gui::openDialog(m_newProject) == QDialog::Accepted) {
        showProjectLabels();
    }
}

void MainWindow::chooseAndOpenProject() {
    if (gui::openDialog(m_openConf) == QDialog::Accepted) {
        sw::openProject(m_state, m_openConf->chosenName);
        showProjectLabels();
    }
}

void MainWindow::runDeviceUpdate() {
    const ProjectPaths paths = m_state.session.project();
    {
        // Building a large access list takes a moment; nothing is written unless both images are whole.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct RestoreCursor {
            ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
        } restore;
        const BuildResult images =
            buildImages(m_state.session.project().parGenFile(), m_state.session.project().accessFile(),
                        userDecimalSeparator());
        saveImageFiles(images, paths.binFolder());
    }
    m_boot->connectionMode = 1;
    gui::openDialog(m_boot);
}

void MainWindow::onReportClicked() {
    if (!projectReady()) {
        return;
    }
    if (m_report.running()) {
        return;
    }
    // The report loads the catalog and builds the images: seconds for a big project.
    const ProjectPaths project = m_state.session.project();
    const std::filesystem::path file = report::reportFile(project);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_report.start<bool>(
        [project, file, separator = userDecimalSeparator()](const JobContext&) {
            writeFileAtomically(file, report::commissioningReport(project, separator));
            return true;
        },
        [this, file](bool) {
            QApplication::restoreOverrideCursor();
            openLink(QUrl::fromLocalFile(toQString(utf8Of(file))).toString());
        },
        [this](const std::exception_ptr& error) {
            QApplication::restoreOverrideCursor();
            messages().showError(this, errorText(error));
        });
}

void MainWindow::onMakerLinkClicked() {
    openLink(makerHomePage());
}

void MainWindow::startProgram(const std::string& program, const std::string& parameter, std::uint8_t hidden,
                              ProgramEnded ended, const std::filesystem::path& output) {
    const int wait = m_nextProgramWait++;
    // The result is posted back, so `ended` always runs on the interface thread; the entry is added
    // before that post can be delivered, since delivery needs this thread's event loop.
    BackgroundJob& job = *m_programWaits.emplace(wait, std::make_unique<BackgroundJob>()).first->second;
    job.start<platform::StartProgramResult>(
        [program, parameter, hidden, output](const JobContext& context) {
            return platform::startProgram(program, parameter, hidden, platform::kStartProgramLimit,
                                          context.stopToken(), output);
        },
        [this, wait, ended = std::move(ended)](const platform::StartProgramResult& result) {
            m_programWaits.erase(wait);
            if (ended) {
                ended(result);
            }
        });
}

void MainWindow::closeOnSignal() {
    m_closeAskedBySignal = true;
    // A modal dialog or message box would wait for an answer that never comes.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* editor = qobject_cast<AccessEditorWindow*>(window);
            editor != nullptr && editor->isVisible()) {
            editor->closeWithoutAsking();
        } else if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
    close();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == makerLink && event->type() == QEvent::MouseButtonRelease) {
        onMakerLinkClicked();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    try {
        saveSettings(m_state);
    } catch (const std::exception& error) {
        m_exitStatus = 1;
        if (m_closeAskedBySignal) {
            std::fprintf(stderr, "sw40512: %s\n", error.what());
        } else {
            messages().showError(this, errorText(error));
        }
    }
    event->accept();
}

} // namespace sw::gui
