#include "gui/shell/main_window.h"

#include "core/common/numbers.h"
#include "core/common/process.h"
#include "core/image/image_builder.h"
#include "core/shell/projects.h"
#include "core/shell/settings.h"
#include "core/shell/startup.h"
#include "gui/common/message_service.h"
#include "gui/parameters/tfpargen.h"
#include "gui/shell/about_box.h"
#include "gui/shell/project_dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

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
constexpr int kTextSetCommunication = 20;
constexpr int kTextAccess = 21;
constexpr int kTextNewProjectHint = 22;
constexpr int kTextOpenProjectHint = 23;
constexpr int kTextSetCommunicationHint = 24;
constexpr int kTextAccessHint = 25;
constexpr int kTextUpdateDeviceHint = 26;

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
    button->resize(170, 36);
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

TFMendralFirmWare::TFMendralFirmWare(const std::filesystem::path& programFolder, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("TFMendralFirmWare"));
    layOut();
    const SettingsSource source = startProgramState(m_state, programFolder);
    setWindowTitle(qs(m_state.WindowTitle));
    L_SW_Code->setText(qs(m_state.SoftwareCode));
    L_SW_Desc->setText(qs(m_state.SoftwareDescription));
    Set_Lang();

    m_newProject = new TFNew_Project(m_state, this);
    m_openConf = new TFOpenConf(m_state, this);
    m_about = new TFAbout(m_state, this);
    m_parGen = new TFParGen(m_state, this);

    if (source == SettingsSource::Unreadable) {
        // Shown once the window is up; the unreadable file was kept beside it as Mendral.xml.bad.
        QMetaObject::invokeMethod(
            this,
            [this] {
                messages().show(this, MessageService::Icon::Warning, {},
                                QStringLiteral("The settings file \"%1\" is not well-formed XML. The program "
                                               "started with its default settings; the unreadable file was "
                                               "kept as \"%1.bad\".")
                                    .arg(qs(settingsFile(m_state).string())),
                                MessageService::Buttons::Ok);
            },
            Qt::QueuedConnection);
    }
}

TFMendralFirmWare::~TFMendralFirmWare() = default;

void TFMendralFirmWare::layOut() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    L_SW_Code = place<QLabel>(client, "L_SW_Code", 16, 8);
    QFont codeFont = L_SW_Code->font();
    codeFont.setPointSize(20);
    codeFont.setBold(true);
    L_SW_Code->setFont(codeFont);
    L_SW_Code->setStyleSheet(QStringLiteral("color: grey;"));
    L_SW_Desc = boldLabel(client, "L_SW_Desc", 16, 42);
    L_SW_Desc->setStyleSheet(QStringLiteral("color: grey;"));
    LL_Update = place<QLabel>(client, "LL_Update", 208, 19);
    LL_Update->setTextFormat(Qt::RichText);
    LL_Update->hide();
    connect(LL_Update, &QLabel::linkActivated, this, [](const QString& link) { openUrl(link); });
    Btn_Info = iconButton(client, "Btn_Info", 516, QStyle::SP_MessageBoxInformation);
    Btn_Opz = iconButton(client, "Btn_Opz", 574, QStyle::SP_FileDialogDetailedView);
    Btn_Close = iconButton(client, "Btn_Close", 632, QStyle::SP_DialogCloseButton);
    L_Begin = boldLabel(client, "L_Begin", 16, 84);
    Shape2 = place<QFrame>(client, "Shape2", 80, 70);
    Shape2->setFrameShape(QFrame::Box);
    Shape2->resize(348, 36);
    L_Name_Conf = place<QLabel>(client, "L_Name_Conf", 87, 75);
    L_Name_Conf_L2 = place<QLabel>(client, "L_Name_Conf_L2", 87, 88);
    L_Step_1 = boldLabel(client, "L_Step_1", 16, 128);
    Btn_New = stepButton(client, "Btn_New", 80, 112);
    Btn_Open = stepButton(client, "Btn_Open", 258, 112);
    L_Step_2 = boldLabel(client, "L_Step_2", 16, 172);
    Btn_Prm_Gen = stepButton(client, "Btn_Prm_Gen", 80, 156);
    L_Step_3 = boldLabel(client, "L_Step_3", 16, 216);
    Btn_IEC61850_Client = stepButton(client, "Btn_IEC61850_Client", 80, 200);
    L_Step_4 = boldLabel(client, "L_Step_4", 16, 260);
    Btn_CreateBin = stepButton(client, "Btn_CreateBin", 80, 244);
    L_Brantis = place<QLabel>(client, "L_Brantis", 565, L_Step_4->y());
    L_Brantis->setText(QString::fromUtf8(sw::kMakerHost));
    L_Brantis->setCursor(Qt::PointingHandCursor);
    L_Brantis->setStyleSheet(QStringLiteral("color: blue;"));
    L_Brantis->installEventFilter(this);
    Shape1 = place<QFrame>(client, "Shape1", 10, Btn_CreateBin->y() + 51);
    Shape1->setFrameShape(QFrame::HLine);
    Shape1->resize(674, 1);

    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{Btn_Info, Btn_Opz, Btn_Close, Btn_New, Btn_Open, Btn_Prm_Gen,
                                                 Btn_IEC61850_Client, Btn_CreateBin}) {
        connect(button, &QAbstractButton::clicked, this, &TFMendralFirmWare::Btn_Click);
    }
    setFixedSize(694, Btn_CreateBin->y() + 152);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TFMendralFirmWare::showProjectLabels() {
    const auto& t = m_state.LangTable;
    if (m_state.projectActive()) {
        L_Name_Conf->setText(qs(t.Get(kTextProjectOpened)));
        L_Name_Conf_L2->setText(qs(m_state.ActiveProjectName));
    } else {
        L_Name_Conf->setText(qs(t.Get(kTextNoProject)));
        L_Name_Conf_L2->setText(qs(t.Get(kTextNoProjectHint)));
    }
    L_Name_Conf->adjustSize();
    L_Name_Conf_L2->adjustSize();
}

void TFMendralFirmWare::Set_Lang() {
    const auto& t = m_state.LangTable;
    L_Begin->setText(qs(t.Get(kTextBegin)));
    QLabel* steps[] = {L_Step_1, L_Step_2, L_Step_3, L_Step_4};
    for (int i = 0; i < 4; ++i) {
        steps[i]->setText(qs(t.Get(kTextStep1 + i)));
        steps[i]->adjustSize();
    }
    L_Begin->adjustSize();
    Btn_Info->setToolTip(qs(t.Get(kTextInfoHint)));
    Btn_Opz->setToolTip(qs(t.Get(kTextOptionsHint)));
    Btn_Close->setToolTip(qs(t.Get(kTextCloseHint)));
    Btn_New->setText(qs(t.Get(kTextNewProject)));
    Btn_New->setToolTip(qs(t.Get(kTextNewProjectHint)));
    Btn_Open->setText(qs(t.Get(kTextOpenProject)));
    Btn_Open->setToolTip(qs(t.Get(kTextOpenProjectHint)));
    Btn_Prm_Gen->setText(qs(t.Get(kTextSetCommunication)));
    Btn_Prm_Gen->setToolTip(qs(t.Get(kTextSetCommunicationHint)));
    Btn_IEC61850_Client->setText(qs(t.Get(kTextAccess)));
    Btn_IEC61850_Client->setToolTip(qs(t.Get(kTextAccessHint)));
    Btn_CreateBin->setText(qs(t.Get(kTextUpdateDevice)));
    Btn_CreateBin->setToolTip(qs(t.Get(kTextUpdateDeviceHint)));
    L_SW_Code->adjustSize();
    L_SW_Desc->adjustSize();
    L_Brantis->adjustSize();
    showProjectLabels();
}

void TFMendralFirmWare::Change_Language() {
    Set_Lang();
    m_newProject->Set_Lang();
    m_openConf->Set_Lang();
    m_parGen->Set_Lang();
}

void TFMendralFirmWare::Btn_Click() {
    QObject* button = sender();
    runGuarded(this, [this, button] {
        if (button == Btn_New) {
            Create_New_Project();
        } else if (button == Btn_Open) {
            Open_Project();
        } else if (button == Btn_Close) {
            close();
        } else if (button == Btn_Info) {
            gui::openDialog(m_about);
        } else if (button == Btn_Opz) {
            // The options dialog joins here with its own issue.
        } else if (!m_state.projectActive()) {
            messages().showError(this, qs(m_state.LangTable.Get(kTextProjectNotValid)));
        } else if (button == Btn_Prm_Gen) {
            gui::openDialog(m_parGen);
        } else if (button == Btn_IEC61850_Client) {
            // Step 3 editor is attached here.
        } else if (button == Btn_CreateBin) {
            Update_Device();
        }
    });
}

void TFMendralFirmWare::Create_New_Project() {
    if (gui::openDialog(m_newProject) == QDialog::Accepted) {
        showProjectLabels();
    }
}

void TFMendralFirmWare::Open_Project() {
    if (gui::openDialog(m_openConf) == QDialog::Accepted) {
        openProject(m_state, m_openConf->Name_Conf);
        showProjectLabels();
    }
}

void TFMendralFirmWare::Update_Device() {
    const auto binFolder = m_state.ActiveProjectFolder / "bin";
    {
        // Building a large access list takes a moment; nothing is written unless both images are whole.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct RestoreCursor {
            ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
        } restore;
        const BuildResult images =
            Build_Images(m_state.ParGenFile, m_state.AccessFile, Get_Decimal_Separator());
        Save_Bin_Files(images, binFolder);
    }
    // The device update dialog takes over from here once it exists; until then the user is told where
    // the images are.
    messages().showInformation(this, QStringLiteral("The device images %1 and %2 were written to \"%3\".")
                                         .arg(QLatin1String(kParameterImageName),
                                              QLatin1String(kVariableImageName), qs(binFolder.string())));
}

void TFMendralFirmWare::L_BrantisClick() {
    openUrl(makerHomePage());
}

void TFMendralFirmWare::Start_Program(const std::string& NomeSW, const std::string& Parameter,
                                      std::uint8_t tipo) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    sw::Start_Program(NomeSW, Parameter, tipo);
    QApplication::restoreOverrideCursor();
}

bool TFMendralFirmWare::eventFilter(QObject* watched, QEvent* event) {
    if (watched == L_Brantis && event->type() == QEvent::MouseButtonRelease) {
        L_BrantisClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFMendralFirmWare::closeEvent(QCloseEvent* event) {
    runGuarded(this, [this] { Save_Setting(m_state); });
    event->accept();
}

} // namespace sw::gui
