#include "gui/parameters/parameters_dialog.h"

#include "core/parameters/parameter_check.h"
#include "core/parameters/parameter_file.h"
#include "core/parameters/parameter_input.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/message_service.h"
#include "gui/common/shown_text.h"
#include "gui/common/text_conversion.h"
#include "gui/common/title_panel.h"
#include "gui/common/wheel_scrolling.h"
#include "gui/parameters/collapsible_group.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace sw::gui {

namespace {

constexpr int kTextCaption = 400;
constexpr int kTextDescription = 401;
constexpr int kTextOk = 402;
constexpr int kTextCancel = 403;
constexpr int kTextOkHint = 404;
constexpr int kTextCancelHint = 405;
constexpr int kTextClientGroup = 406;
constexpr int kTextIpAddress = 407;
constexpr int kTextFirstIpByteHint = 408;
constexpr int kTextSubnetMask = 412;
constexpr int kTextFirstMaskByteHint = 413;
constexpr int kTextGateway = 417;
constexpr int kTextGatewayHint = 418;
constexpr int kTextFirstGatewayByteHint = 419;
constexpr int kTextVlan = 423;
constexpr int kTextVlanHint = 424;
constexpr int kTextApplicationId = 425;
constexpr int kTextApplicationIdHint = 426;
constexpr int kTextSerialGroup = 754;
constexpr int kTextSerial = 755;
constexpr int kTextSerialHint = 756;
constexpr int kTextBaudrate = 757;
constexpr int kTextBaudrateHint = 758;
constexpr int kTextParity = 759;
constexpr int kTextParityHint = 760;
constexpr int kTextStopBits = 761;
constexpr int kTextStopBitsHint = 762;

constexpr int kClientWidth = 460;
constexpr int kClientHeight = 700;
constexpr int kTitleHeight = 69;
constexpr int kButtonStripHeight = 40;
constexpr int kLabelColumnWidth = 110;
constexpr int kByteWidth = 40;
constexpr int kDotWidth = 6;
constexpr int kSpacing = 4;
// VLAN, application identifier and the lists span the four byte boxes with their dots.
constexpr int kFieldSpanWidth = 4 * kByteWidth + 3 * kDotWidth + 6 * kSpacing;

QLineEdit* makeEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

template <std::size_t N>
QComboBox* makeList(QWidget* parent, const char* name, const std::array<std::string_view, N>& entries) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    for (std::string_view entry : entries) {
        list->addItem(QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())));
    }
    list->setFixedWidth(kFieldSpanWidth);
    return list;
}

QGridLayout* makeGroupGrid(QWidget* body) {
    auto* grid = new QGridLayout(body);
    // The 12 pixels under the last field keep it clear of the next group's header.
    grid->setContentsMargins(8, 8, 8, 12);
    grid->setHorizontalSpacing(kSpacing);
    grid->setColumnMinimumWidth(0, kLabelColumnWidth);
    return grid;
}

// Four byte boxes side by side with a "." between neighbours, from column 1 of `row`.
void addByteRow(QGridLayout* grid, int row, const std::array<QLineEdit*, 4>& edits) {
    for (int i = 0; i < 4; ++i) {
        edits[static_cast<std::size_t>(i)]->setFixedWidth(kByteWidth);
        grid->addWidget(edits[static_cast<std::size_t>(i)], row, 1 + 2 * i);
        if (i < 3) {
            auto* dot = new QLabel(QStringLiteral("."), grid->parentWidget());
            dot->setFixedWidth(kDotWidth);
            dot->setAlignment(Qt::AlignCenter);
            grid->addWidget(dot, row, 2 + 2 * i);
        }
    }
}

QString text(const ProgramState& state, int index) {
    return toQString(state.texts.Get(index));
}

template <class... Handlers> struct Overloaded : Handlers... { using Handlers::operator()...; };
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

} // namespace

ParametersDialog::ParametersDialog(const ProgramState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("ParametersDialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont dialogFont(QStringLiteral("Verdana"));
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(248, 247, 237));
    setPalette(background);
    setAutoFillBackground(true);

    QWidget* title = makeTitlePanel(this, state.product, softwareCodeLabel, softwareDescriptionLabel);
    title->setFixedHeight(kTitleHeight);

    CPG = new QScrollArea(this);
    CPG->setObjectName(QStringLiteral("CPG"));
    CPG->setWidgetResizable(true);
    CPG->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CPG->setFrameShape(QFrame::NoFrame);
    CPG->setFocusPolicy(Qt::NoFocus);
    auto* stack = new QWidget(CPG);
    stack->setObjectName(QStringLiteral("CPG_Stack"));
    auto* stackLayout = new QVBoxLayout(stack);
    stackLayout->setContentsMargins(2, 2, 2, 2);
    stackLayout->setSpacing(2);
    stackLayout->addWidget(buildClientGroup());
    stackLayout->addWidget(buildSerialGroup());
    stackLayout->addStretch(1);
    CPG->setWidget(stack);

    auto* buttonStrip = new QWidget(this);
    buttonStrip->setFixedHeight(kButtonStripHeight);
    okButton = new QPushButton(buttonStrip);
    okButton->setObjectName(QStringLiteral("Btn_OK"));
    cancelButton = new QPushButton(buttonStrip);
    cancelButton->setObjectName(QStringLiteral("Btn_Cancel"));
    alignButtonsRight(buttonStrip, {okButton, cancelButton});
    stackDialogPanels(this, title, CPG, buttonStrip);

    // The group titles are composed once: a later language switch leaves them as they are.
    clientGroup->setTitle(QStringLiteral("1. ") + text(m_state, kTextClientGroup));
    serialGroup->setTitle(QStringLiteral("2. ") + text(m_state, kTextSerialGroup));
    setTabOrderOfFields();

    scrollAreaUnderWheel(CPG);

    m_fields = {
        TextControl{clientIp1Edit, &ParameterSet::IEC61850_Client_IP1},
        TextControl{clientIp2Edit, &ParameterSet::IEC61850_Client_IP2},
        TextControl{clientIp3Edit, &ParameterSet::IEC61850_Client_IP3},
        TextControl{clientIp4Edit, &ParameterSet::IEC61850_Client_IP4},
        TextControl{clientMask1Edit, &ParameterSet::IEC61850_Client_SM1},
        TextControl{clientMask2Edit, &ParameterSet::IEC61850_Client_SM2},
        TextControl{clientMask3Edit, &ParameterSet::IEC61850_Client_SM3},
        TextControl{clientMask4Edit, &ParameterSet::IEC61850_Client_SM4},
        TextControl{clientGateway1Edit, &ParameterSet::IEC61850_Client_GAT1},
        TextControl{clientGateway2Edit, &ParameterSet::IEC61850_Client_GAT2},
        TextControl{clientGateway3Edit, &ParameterSet::IEC61850_Client_GAT3},
        TextControl{clientGateway4Edit, &ParameterSet::IEC61850_Client_GAT4},
        FlagControl{gatewayEnabledBox, &ParameterSet::IEC61850_Client_En_GAT},
        TextControl{vlanEdit, &ParameterSet::IEC61850_Client_VLAN},
        TextControl{appIdEdit, &ParameterSet::IEC61850_Client_Application_ID},
        ListControl{serialInterfaceList, &ParameterSet::SERIAL_SERIAL},
        ListControl{serialBaudrateList, &ParameterSet::SERIAL_BAUDRATE},
        ListControl{serialParityList, &ParameterSet::SERIAL_PARITY},
        ListControl{serialStopBitsList, &ParameterSet::SERIAL_STOPBITS},
    };

    connect(okButton, &QPushButton::clicked, this, &ParametersDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &ParametersDialog::onCancelClicked);
    connect(vlanEdit, &QLineEdit::textEdited, this, [this](const QString& edited) {
        if (acceptsVlanEdit(toUtf8String(m_acceptedVlan), toUtf8String(edited))) {
            m_acceptedVlan = edited;
            return;
        }
        const int cursor =
            vlanEdit->cursorPosition() - static_cast<int>(edited.size() - m_acceptedVlan.size());
        vlanEdit->setText(m_acceptedVlan);
        vlanEdit->setCursorPosition(std::max(0, cursor));
    });

    // Only the height may change.
    setFixedWidth(kClientWidth);
    resize(kClientWidth, kClientHeight);
    setValues(ParameterSet{});
    applyTexts();
}

QWidget* ParametersDialog::buildClientGroup() {
    clientGroup = new CollapsibleGroup;
    clientGroup->setObjectName(QStringLiteral("CP_IEC61850_Client"));
    QWidget* body = clientGroup->body();
    QGridLayout* grid = makeGroupGrid(body);

    clientIpLabel = makeLabel(body, "L_IEC61850_Client_IP");
    clientIp1Edit = makeEdit(body, "E_IEC61850_Client_IP1");
    clientIp2Edit = makeEdit(body, "E_IEC61850_Client_IP2");
    clientIp3Edit = makeEdit(body, "E_IEC61850_Client_IP3");
    clientIp4Edit = makeEdit(body, "E_IEC61850_Client_IP4");
    clientMaskLabel = makeLabel(body, "L_IEC61850_Client_SM");
    clientMask1Edit = makeEdit(body, "E_IEC61850_Client_SM1");
    clientMask2Edit = makeEdit(body, "E_IEC61850_Client_SM2");
    clientMask3Edit = makeEdit(body, "E_IEC61850_Client_SM3");
    clientMask4Edit = makeEdit(body, "E_IEC61850_Client_SM4");
    gatewayEnabledBox = new QCheckBox(body);
    gatewayEnabledBox->setObjectName(QStringLiteral("CB_IEC61850_Client_En_GAT"));
    clientGateway1Edit = makeEdit(body, "E_IEC61850_Client_GAT1");
    clientGateway2Edit = makeEdit(body, "E_IEC61850_Client_GAT2");
    clientGateway3Edit = makeEdit(body, "E_IEC61850_Client_GAT3");
    clientGateway4Edit = makeEdit(body, "E_IEC61850_Client_GAT4");
    vlanLabel = makeLabel(body, "L_IEC61850_Client_VLAN");
    vlanEdit = makeEdit(body, "E_IEC61850_Client_VLAN");
    appIdLabel = makeLabel(body, "L_IEC61850_Client_AppID");
    appIdEdit = makeEdit(body, "E_IEC61850_Client_AppID");

    m_byteEdits = {clientIp1Edit,      clientIp2Edit,      clientIp3Edit,      clientIp4Edit,
                   clientMask1Edit,    clientMask2Edit,    clientMask3Edit,    clientMask4Edit,
                   clientGateway1Edit, clientGateway2Edit, clientGateway3Edit, clientGateway4Edit};
    static_assert(std::tuple_size_v<decltype(m_byteEdits)> == kByteFieldCount);

    grid->addWidget(clientIpLabel, 0, 0);
    addByteRow(grid, 0, {clientIp1Edit, clientIp2Edit, clientIp3Edit, clientIp4Edit});
    grid->addWidget(clientMaskLabel, 1, 0);
    addByteRow(grid, 1, {clientMask1Edit, clientMask2Edit, clientMask3Edit, clientMask4Edit});
    grid->addWidget(gatewayEnabledBox, 2, 0);
    addByteRow(grid, 2, {clientGateway1Edit, clientGateway2Edit, clientGateway3Edit, clientGateway4Edit});
    grid->addWidget(vlanLabel, 3, 0);
    grid->addWidget(vlanEdit, 3, 1, 1, 7);
    grid->addWidget(appIdLabel, 4, 0);
    grid->addWidget(appIdEdit, 4, 1, 1, 7);
    grid->setColumnStretch(8, 1);

    for (QLineEdit* edit : m_byteEdits) {
        edit->installEventFilter(this);
    }
    return clientGroup;
}

QWidget* ParametersDialog::buildSerialGroup() {
    serialGroup = new CollapsibleGroup;
    serialGroup->setObjectName(QStringLiteral("CP_Serial"));
    QWidget* body = serialGroup->body();
    QGridLayout* grid = makeGroupGrid(body);

    serialInterfaceLabel = makeLabel(body, "L_Serial_Serial");
    serialInterfaceList = makeList(body, "CB_Serial_Serial", kSerialInterfaceNames);
    serialBaudrateLabel = makeLabel(body, "L_Serial_Baudrate");
    serialBaudrateList = makeList(body, "CB_Serial_Baudrate", kSerialBaudrateNames);
    serialParityLabel = makeLabel(body, "L_Serial_Parity");
    serialParityList = makeList(body, "Cb_Serial_Parity", kSerialParityNames);
    serialStopBitsLabel = makeLabel(body, "L_Serial_StopBits");
    serialStopBitsList = makeList(body, "CB_Serial_StopBits", kSerialStopBitsNames);

    int row = 0;
    for (auto [label, list] :
         {std::pair{serialInterfaceLabel, serialInterfaceList},
          std::pair{serialBaudrateLabel, serialBaudrateList}, std::pair{serialParityLabel, serialParityList},
          std::pair{serialStopBitsLabel, serialStopBitsList}}) {
        grid->addWidget(label, row, 0);
        grid->addWidget(list, row, 1);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    return serialGroup;
}

void ParametersDialog::setTabOrderOfFields() {
    const QWidget* order[] = {
        okButton,           cancelButton,       clientIp1Edit,       clientIp2Edit,      clientIp3Edit,
        clientIp4Edit,      clientMask1Edit,    clientMask2Edit,     clientMask3Edit,    clientMask4Edit,
        gatewayEnabledBox,  clientGateway1Edit, clientGateway2Edit,  clientGateway3Edit, clientGateway4Edit,
        vlanEdit,           appIdEdit,          serialInterfaceList, serialBaudrateList, serialParityList,
        serialStopBitsList,
    };
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    }
}

void ParametersDialog::applyTexts() {
    setWindowTitle(text(m_state, kTextCaption));
    softwareDescriptionLabel->setText(text(m_state, kTextDescription));
    okButton->setText(text(m_state, kTextOk));
    cancelButton->setText(text(m_state, kTextCancel));
    okButton->setToolTip(text(m_state, kTextOkHint));
    cancelButton->setToolTip(text(m_state, kTextCancelHint));
    clientIpLabel->setText(text(m_state, kTextIpAddress));
    clientMaskLabel->setText(text(m_state, kTextSubnetMask));
    gatewayEnabledBox->setText(text(m_state, kTextGateway));
    gatewayEnabledBox->setToolTip(text(m_state, kTextGatewayHint));
    for (int i = 0; i < 4; ++i) {
        const auto at = static_cast<std::size_t>(i);
        m_byteEdits[at]->setToolTip(text(m_state, kTextFirstIpByteHint + i));
        m_byteEdits[4 + at]->setToolTip(text(m_state, kTextFirstMaskByteHint + i));
        m_byteEdits[8 + at]->setToolTip(text(m_state, kTextFirstGatewayByteHint + i));
    }
    vlanLabel->setText(text(m_state, kTextVlan));
    vlanEdit->setToolTip(text(m_state, kTextVlanHint));
    appIdLabel->setText(text(m_state, kTextApplicationId));
    appIdEdit->setToolTip(text(m_state, kTextApplicationIdHint));
    serialInterfaceLabel->setText(text(m_state, kTextSerial));
    serialInterfaceList->setToolTip(text(m_state, kTextSerialHint));
    serialBaudrateLabel->setText(text(m_state, kTextBaudrate));
    serialBaudrateList->setToolTip(text(m_state, kTextBaudrateHint));
    serialParityLabel->setText(text(m_state, kTextParity));
    serialParityList->setToolTip(text(m_state, kTextParityHint));
    serialStopBitsLabel->setText(text(m_state, kTextStopBits));
    serialStopBitsList->setToolTip(text(m_state, kTextStopBitsHint));
}

ParameterSet ParametersDialog::values() const {
    ParameterSet set;
    for (const FieldControl& field : m_fields) {
        std::visit(Overloaded{
                       [&set](const TextControl& c) { set.*c.member = toUtf8String(c.edit->text()); },
                       [&set](const FlagControl& c) { set.*c.member = c.box->isChecked(); },
                       [&set](const ListControl& c) { set.*c.member = c.list->currentIndex(); },
                   },
                   field);
    }
    return set;
}

void ParametersDialog::setValues(const ParameterSet& set) {
    const ParameterSet shown = asShownInDialog(set);
    for (const FieldControl& field : m_fields) {
        std::visit(Overloaded{
                       [&shown](const TextControl& c) { c.edit->setText(toQString(shown.*c.member)); },
                       [&shown](const FlagControl& c) { c.box->setChecked(shown.*c.member); },
                       [&shown](const ListControl& c) { c.list->setCurrentIndex(shown.*c.member); },
                   },
                   field);
    }
    m_acceptedVlan = vlanEdit->text();
}

void ParametersDialog::prepareShowing() {
    runGuarded(this, [this] { setValues(readParameterFile(m_state.session.project().parGenFile())); });
}

void ParametersDialog::onOkClicked() {
    const ParameterSet set = values();
    if (const std::optional<int> failed = checkParameters(set)) {
        // The message names the field; the field itself is shown with what was typed, ready to retype.
        constexpr int kFirstByteError = 649; // address, mask, then gateway bytes, in field order
        constexpr int kTwoStopBitsError = 763;
        QWidget* field = nullptr;
        QString message = text(m_state, *failed);
        if (*failed >= kFirstByteError && *failed < kFirstByteError + static_cast<int>(m_byteEdits.size())) {
            QLineEdit* edit = m_byteEdits[static_cast<std::size_t>(*failed - kFirstByteError)];
            message += QLatin1Char('\n') + shownText(m_state.texts, WindowText::TypedValue).arg(edit->text());
            field = edit;
        } else if (*failed == kTwoStopBitsError) {
            field = serialStopBitsList;
        }
        messages().showError(this, message);
        if (field != nullptr) {
            field->setFocus(Qt::OtherFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(field)) {
                edit->selectAll();
            }
        }
        return;
    }
    bool saved = false;
    runGuarded(this, [&] {
        writeParameterFile(m_state.session.project().parGenFile(), set);
        saved = true;
    });
    if (saved) {
        accept();
    }
}

void ParametersDialog::onCancelClicked() {
    reject();
}

void ParametersDialog::showEvent(QShowEvent* event) {
    prepareShowing();
    centerOnScreen(this);
    QDialog::showEvent(event);
}

bool ParametersDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* edit = std::find(m_byteEdits.begin(), m_byteEdits.end(), watched);
        if (edit != m_byteEdits.end() && static_cast<QKeyEvent*>(event)->text() == QStringLiteral(".")) {
            const auto position = static_cast<std::size_t>(edit - m_byteEdits.begin());
            if (const std::optional<std::size_t> next = nextByteField(position)) {
                QLineEdit* target = m_byteEdits[*next];
                if (target->isEnabled() && target->isVisible()) {
                    target->setFocus(Qt::TabFocusReason);
                }
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sw::gui
