#include "gui/update/update_dialog.h"

#include "core/common/ip_address.h"
#include "core/common/path_text.h"
#include "core/parameters/parameter_file.h"
#include "core/update/job_file.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/error_text.h"
#include "gui/common/message_service.h"
#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"
#include "gui/common/title_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace sw::gui {

namespace {

constexpr int kTextCaption = 1002;
constexpr int kTextDescription = 1003;
constexpr int kTextIpAddress = 1006;
constexpr int kTextUpdateOption = 1014;
constexpr int kTextFirstOption = 1015; // then 1016 and 1017, in list order
constexpr int kTextReadBack = 1018;
constexpr int kTextCancel = 1019;
constexpr int kTextUpdate = 1020;
constexpr int kTextFirstByteHint = 1021; // to 1024 for the fourth byte
constexpr int kTextUpdateOptionHint = 1032;
constexpr int kTextReadBackHint = 1033;
constexpr int kTextCancelHint = 1034;
constexpr int kTextUpdateHint = 1035;
constexpr int kOptionCount = 3;

constexpr int kClientWidth = 449;
constexpr int kTitleHeight = 69;
constexpr int kAddressHeight = 49;
constexpr int kOptionsHeight = 72;
constexpr int kButtonStripHeight = 40;
constexpr int kByteWidth = 40;

QWidget* makePanel(QWidget* parent, const char* name, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFixedHeight(height);
    return panel;
}

template <class Widget> Widget* make(QWidget* parent, const char* name) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

AddressCheckResult checkByEcho(const std::string& host, std::stop_token stop) {
    try {
        const auto echo = makeIcmpEchoService();
        return checkByEchoes(host, *echo, systemTickClock(), stop);
    } catch (const std::exception& error) {
        AddressCheckResult failed;
        failed.error = errorText(error).toStdString();
        return failed;
    }
}

} // namespace

UpdateDialog::UpdateDialog(ProgramState& state, ProgramStarter startProgram, QWidget* parent)
    : QDialog(parent), m_state(state), m_startProgram(std::move(startProgram)), m_checkAddress(checkByEcho) {
    setObjectName(QStringLiteral("UpdateDialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QFont dialogFont(QStringLiteral("Verdana"));
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(248, 247, 237));
    setPalette(background);
    setAutoFillBackground(true);
    layOut();

    connect(updateButton, &QPushButton::clicked, this, &UpdateDialog::onUpdateClicked);
    connect(cancelButton, &QPushButton::clicked, this, &UpdateDialog::onCancelClicked);
    for (QLineEdit* edit : m_addressEdits) {
        edit->setText(QStringLiteral("0"));
        edit->installEventFilter(this);
    }
    applyTexts();
}

void UpdateDialog::layOut() {
    titlePanel = makeTitlePanel(this, m_state.product, softwareCodeLabel, softwareDescriptionLabel);
    titlePanel->setFixedHeight(kTitleHeight);

    ipAddressPanel = makePanel(this, "P_IP_Address", kAddressHeight);
    ipAddressLabel = make<QLabel>(ipAddressPanel, "L_IP_Address");
    ip1Edit = make<QLineEdit>(ipAddressPanel, "E_IP1");
    ip2Edit = make<QLineEdit>(ipAddressPanel, "E_IP2");
    ip3Edit = make<QLineEdit>(ipAddressPanel, "E_IP3");
    ip4Edit = make<QLineEdit>(ipAddressPanel, "E_IP4");
    m_addressEdits = {ip1Edit, ip2Edit, ip3Edit, ip4Edit};
    auto* address = new QVBoxLayout(ipAddressPanel);
    address->setContentsMargins(8, 2, 8, 2);
    address->setSpacing(2);
    address->addWidget(ipAddressLabel);
    auto* bytes = new QHBoxLayout;
    bytes->setSpacing(2);
    for (std::size_t i = 0; i < m_addressEdits.size(); ++i) {
        m_addressEdits[i]->setFixedWidth(kByteWidth);
        bytes->addWidget(m_addressEdits[i]);
        if (i + 1 < m_addressEdits.size()) {
            bytes->addWidget(new QLabel(QStringLiteral("."), ipAddressPanel));
        }
    }
    bytes->addStretch(1);
    address->addLayout(bytes);

    optionsPanel = makePanel(this, "P_Options", kOptionsHeight);
    updateOptionLabel = make<QLabel>(optionsPanel, "L_Update_Option");
    updateOptionsList = make<QComboBox>(optionsPanel, "CB_Update_Options");
    updateOptionsList->setEditable(false);
    readBackBox = make<QCheckBox>(optionsPanel, "CB_Update_Option_Read_Back");
    auto* options = new QGridLayout(optionsPanel);
    options->setContentsMargins(8, 4, 8, 4);
    options->setVerticalSpacing(4);
    options->addWidget(updateOptionLabel, 0, 0, 1, 2);
    options->addWidget(updateOptionsList, 1, 0);
    options->addWidget(readBackBox, 1, 1);
    options->setColumnStretch(2, 1);

    buttonPanel = makePanel(this, "P_Button", kButtonStripHeight);
    cancelButton = make<QPushButton>(buttonPanel, "Btn_Cancel");
    updateButton = make<QPushButton>(buttonPanel, "Btn_Update");
    updateButton->setAutoDefault(false);
    cancelButton->setAutoDefault(false);
    auto* buttons = new QHBoxLayout(buttonPanel);
    buttons->setContentsMargins(8, 4, 8, 4);
    buttons->addWidget(cancelButton, 1);
    buttons->addWidget(updateButton, 2);
    buttons->addStretch(1);
    // What the check or the updater is doing: a line of its own under the title, the dialog's whole width;
    // its text never widens the dialog.
    statusLabel = make<QLabel>(titlePanel, "L_Status");
    takeRoomLeft(statusLabel);
    titlePanel->layout()->addWidget(statusLabel);
    m_outputPoll = new QTimer(this);
    m_outputPoll->setInterval(300);
    connect(m_outputPoll, &QTimer::timeout, this, &UpdateDialog::showUpdaterOutput);

    auto* panels = new QVBoxLayout(this);
    panels->setContentsMargins(0, 0, 0, 0);
    panels->setSpacing(0);
    panels->setSizeConstraint(QLayout::SetFixedSize);
    for (QWidget* panel : {titlePanel, ipAddressPanel, optionsPanel, buttonPanel}) {
        panel->setFixedWidth(kClientWidth);
        panels->addWidget(panel);
    }

    const QWidget* order[] = {ip1Edit,           ip2Edit,     ip3Edit,      ip4Edit,
                              updateOptionsList, readBackBox, cancelButton, updateButton};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    }
}

void UpdateDialog::setAddressChecker(AddressChecker checker) {
    m_checkAddress = std::move(checker);
}

void UpdateDialog::applyTexts() {
    const auto text = [this](int index) { return toQString(m_state.texts.Get(index)); };
    // Updating over Ethernet is the only mode the dialog is opened in.
    setWindowTitle(text(kTextCaption));
    softwareDescriptionLabel->setText(text(kTextDescription));
    ipAddressLabel->setText(text(kTextIpAddress));
    updateOptionLabel->setText(text(kTextUpdateOption));
    updateOptionsList->clear();
    for (int i = 0; i < kOptionCount; ++i) {
        updateOptionsList->addItem(text(kTextFirstOption + i));
    }
    updateOptionsList->setCurrentIndex(0);
    updateOptionsList->setToolTip(text(kTextUpdateOptionHint));
    readBackBox->setText(text(kTextReadBack));
    readBackBox->setToolTip(text(kTextReadBackHint));
    cancelButton->setText(text(kTextCancel));
    cancelButton->setToolTip(text(kTextCancelHint));
    updateButton->setText(text(kTextUpdate));
    updateButton->setToolTip(text(kTextUpdateHint));
    for (int i = 0; i < 4; ++i) {
        m_addressEdits[static_cast<std::size_t>(i)]->setToolTip(text(kTextFirstByteHint + i));
    }
}

void UpdateDialog::prepareShowing() {
    applyTexts();
    softwareCodeLabel->setText(toQString(m_state.product.softwareCode));
    // The project's own converter (its Step 2 address) when it has one, else the last address used.
    std::array<std::string, 4> parts;
    const std::optional<std::string> own = m_state.session.projectActive()
                                               ? converterAddress(m_state.session.project().parGenFile())
                                               : std::nullopt;
    if (own && checkIpAddress(*own, parts)) {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            m_addressEdits[i]->setText(toQString(parts[i]));
        }
    } else if (!m_state.settings.lastIpAddress.empty() &&
               checkIpAddress(m_state.settings.lastIpAddress, parts)) {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            m_addressEdits[i]->setText(toQString(parts[i]));
        }
    }
    updateOptionsList->setCurrentIndex(std::clamp(m_state.settings.updateOptionIndex, 0, kOptionCount - 1));
    readBackBox->setChecked(m_state.settings.updateReadBack);
    showBusy();
    ip1Edit->setFocus(Qt::OtherFocusReason);
}

void UpdateDialog::showBusy() {
    updateButton->setEnabled(!busy());
    if (!m_check.running()) {
        statusLabel->clear();
    }
}

void UpdateDialog::onUpdateClicked() {
    if (busy()) {
        return;
    }
    std::array<std::string, 4> typed;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        typed[i] = toUtf8String(m_addressEdits[i]->text());
    }
    replyState = 0;
    const std::optional<std::string> address = canonicalIpAddress(joinAddress(typed));
    if (!address) {
        // No echo can go to what is not an address.
        messages().showError(this,
                             toQString(m_state.texts.Get(addressCheckMessage(AddressCheck::AddressError))));
        return;
    }
    m_request.address = *address;
    m_request.option = updateOptionsList->currentIndex();
    m_request.readBack = readBackBox->isChecked();
    statusLabel->setText(
        shownText(m_state.texts, WindowText::CheckingAddress).arg(toQString(m_request.address)));
    m_check.start<AddressCheckResult>(
        [host = m_request.address, check = m_checkAddress](const JobContext& context) {
            return check(host, context.stopToken());
        },
        [this](const AddressCheckResult& result) { addressChecked(result); },
        [this](const std::exception_ptr& error) {
            showBusy();
            messages().showError(this, errorText(error));
        });
    showBusy();
}

void UpdateDialog::addressChecked(const AddressCheckResult& result) {
    replyState = result.replyState;
    switch (result.outcome) {
    case AddressCheck::Answered:
        m_state.settings.lastIpAddress = m_request.address;
        m_state.settings.updateOptionIndex = m_request.option;
        m_state.settings.updateReadBack = m_request.readBack;
        startUpdater();
        break;
    case AddressCheck::NotFound:
        messages().show(this, MessageService::Icon::Warning, {},
                        toQString(m_state.texts.Get(addressCheckMessage(AddressCheck::NotFound))) +
                            QLatin1Char('\n') +
                            shownText(m_state.texts, WindowText::NoEchoReply)
                                .arg(toQString(m_request.address))
                                .arg(result.answered)
                                .arg(result.requests),
                        MessageService::Buttons::Ok);
        break;
    case AddressCheck::AddressError:
        messages().showError(this,
                             toQString(m_state.texts.Get(addressCheckMessage(AddressCheck::AddressError))));
        break;
    case AddressCheck::Stopped:
        break;
    }
    showBusy();
}

void UpdateDialog::startUpdater() {
    UpdateJob job;
    job.address = m_request.address;
    job.option = static_cast<UpdateOption>(std::clamp(m_request.option, 0, kOptionCount - 1));
    job.readBack = m_request.readBack;
    job.masterFolder = m_state.session.masterFolder;
    job.projectFolder = m_state.session.activeProjectFolder;
    bool written = false;
    runGuarded(this, [&] {
        compileParameters(job, m_state.session.programFolder);
        written = true;
    });
    if (!written || !m_startProgram) {
        return;
    }
    // The updater works on the job file and the images: no second update until it has ended. Its output
    // goes into a file beside the job, which the dialog follows.
    m_updaterRunning = true;
    m_updaterOutput = updaterLog(m_state.session.programFolder);
    statusLabel->setText(shownText(m_state.texts, WindowText::UpdaterRunning).arg(QString()));
    m_outputPoll->start();
    m_startProgram(utf8Of(updaterProgram(m_state.session.programFolder)), "", 0, m_updaterOutput,
                   [this](const platform::StartProgramResult& result) { updaterEnded(result); });
}

QStringList UpdateDialog::updaterLastLines(std::size_t count) const {
    QStringList lines;
    for (const std::string& line : lastLines(m_updaterOutput, count)) {
        lines << toQString(line);
    }
    return lines;
}

void UpdateDialog::showUpdaterOutput() {
    const QStringList last = updaterLastLines(1);
    statusLabel->setText(
        shownText(m_state.texts, WindowText::UpdaterRunning).arg(last.isEmpty() ? QString() : last.front()));
}

void UpdateDialog::updaterEnded(const platform::StartProgramResult& result) {
    m_outputPoll->stop();
    m_updaterRunning = false;
    showBusy();
    statusLabel->clear();
    QString text;
    MessageService::Icon icon = MessageService::Icon::Error;
    if (!result.started) {
        text = shownText(m_state.texts, WindowText::UpdaterNotStarted)
                   .arg(toQString(utf8Of(updaterProgram(m_state.session.programFolder))));
    } else if (!result.ended) {
        text = shownText(m_state.texts, WindowText::UpdaterLeftRunning)
                   .arg(std::chrono::duration_cast<std::chrono::seconds>(result.waited).count());
        icon = MessageService::Icon::Warning;
    } else if (result.exitCode == 0) {
        text = shownText(m_state.texts, WindowText::UpdaterSucceeded);
        icon = MessageService::Icon::Information;
    } else {
        text = shownText(m_state.texts, WindowText::UpdaterFailed).arg(result.exitCode);
    }
    if (const QStringList last = updaterLastLines(8); result.started && !last.isEmpty()) {
        text += QStringLiteral("\n\n") + shownText(m_state.texts, WindowText::UpdaterLastLines) +
                QLatin1Char('\n') + last.join(QLatin1Char('\n'));
    }
    messages().show(this, icon, {}, text, MessageService::Buttons::Ok);
}

void UpdateDialog::onCancelClicked() {
    reject();
}

void UpdateDialog::showEvent(QShowEvent* event) {
    prepareShowing();
    centerOnScreen(this);
    QDialog::showEvent(event);
}

void UpdateDialog::hideEvent(QHideEvent* event) {
    // Closing the dialog abandons a check under way: nothing is remembered or written then.
    m_check.cancel();
    showBusy();
    QDialog::hideEvent(event);
}

bool UpdateDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->text() == QStringLiteral(".")) {
        const auto edit = std::find(m_addressEdits.begin(), m_addressEdits.end(), watched);
        if (edit != m_addressEdits.end()) {
            // "." moves on to the next byte, so an address can be typed in one go; the last byte keeps it.
            if (edit + 1 != m_addressEdits.end() && (*(edit + 1))->isEnabled() &&
                (*(edit + 1))->isVisible()) {
                (*(edit + 1))->setFocus(Qt::TabFocusReason);
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sw::gui
