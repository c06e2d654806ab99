#include "gui/parameters/parameters_dialog.h"

#include "core/parameters/parameter_check.h"
#include "core/parameters/parameter_file.h"
#include "core/parameters/parameter_input.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/message_service.h"
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

    QWidget* title = makeTitlePanel(this, state, L_SW_Code, L_SW_Desc);
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
    Btn_OK = new QPushButton(buttonStrip);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_Cancel = new QPushButton(buttonStrip);
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    alignButtonsRight(buttonStrip, {Btn_OK, Btn_Cancel});
    stackDialogPanels(this, title, CPG, buttonStrip);

    // The group titles are composed once: a later language switch leaves them as they are.
    CP_IEC61850_Client->setTitle(QStringLiteral("1. ") + text(m_state, kTextClientGroup));
    CP_Serial->setTitle(QStringLiteral("2. ") + text(m_state, kTextSerialGroup));
    setTabOrderOfFields();

    scrollAreaUnderWheel(CPG);

    m_fields = {
        TextControl{E_IEC61850_Client_IP1, &ParameterSet::IEC61850_Client_IP1},
        TextControl{E_IEC61850_Client_IP2, &ParameterSet::IEC61850_Client_IP2},
        TextControl{E_IEC61850_Client_IP3, &ParameterSet::IEC61850_Client_IP3},
        TextControl{E_IEC61850_Client_IP4, &ParameterSet::IEC61850_Client_IP4},
        TextControl{E_IEC61850_Client_SM1, &ParameterSet::IEC61850_Client_SM1},
        TextControl{E_IEC61850_Client_SM2, &ParameterSet::IEC61850_Client_SM2},
        TextControl{E_IEC61850_Client_SM3, &ParameterSet::IEC61850_Client_SM3},
        TextControl{E_IEC61850_Client_SM4, &ParameterSet::IEC61850_Client_SM4},
        TextControl{E_IEC61850_Client_GAT1, &ParameterSet::IEC61850_Client_GAT1},
        TextControl{E_IEC61850_Client_GAT2, &ParameterSet::IEC61850_Client_GAT2},
        TextControl{E_IEC61850_Client_GAT3, &ParameterSet::IEC61850_Client_GAT3},
        TextControl{E_IEC61850_Client_GAT4, &ParameterSet::IEC61850_Client_GAT4},
        FlagControl{CB_IEC61850_Client_En_GAT, &ParameterSet::IEC61850_Client_En_GAT},
        TextControl{E_IEC61850_Client_VLAN, &ParameterSet::IEC61850_Client_VLAN},
        TextControl{E_IEC61850_Client_AppID, &ParameterSet::IEC61850_Client_Application_ID},
        ListControl{CB_Serial_Serial, &ParameterSet::SERIAL_SERIAL},
        ListControl{CB_Serial_Baudrate, &ParameterSet::SERIAL_BAUDRATE},
        ListControl{Cb_Serial_Parity, &ParameterSet::SERIAL_PARITY},
        ListControl{CB_Serial_StopBits, &ParameterSet::SERIAL_STOPBITS},
    };

    connect(Btn_OK, &QPushButton::clicked, this, &ParametersDialog::onOkClicked);
    connect(Btn_Cancel, &QPushButton::clicked, this, &ParametersDialog::onCancelClicked);
    connect(E_IEC61850_Client_VLAN, &QLineEdit::textEdited, this, [this](const QString& edited) {
        if (acceptsVlanEdit(toUtf8String(m_acceptedVlan), toUtf8String(edited))) {
            m_acceptedVlan = edited;
            return;
        }
        const int cursor = E_IEC61850_Client_VLAN->cursorPosition() -
                           static_cast<int>(edited.size() - m_acceptedVlan.size());
        E_IEC61850_Client_VLAN->setText(m_acceptedVlan);
        E_IEC61850_Client_VLAN->setCursorPosition(std::max(0, cursor));
    });

    // Only the height may change.
    setFixedWidth(kClientWidth);
    resize(kClientWidth, kClientHeight);
    setValues(ParameterSet{});
    applyTexts();
}

QWidget* ParametersDialog::buildClientGroup() {
    CP_IEC61850_Client = new CollapsibleGroup;
    CP_IEC61850_Client->setObjectName(QStringLiteral("CP_IEC61850_Client"));
    QWidget* body = CP_IEC61850_Client->body();
    QGridLayout* grid = makeGroupGrid(body);

    L_IEC61850_Client_IP = makeLabel(body, "L_IEC61850_Client_IP");
    E_IEC61850_Client_IP1 = makeEdit(body, "E_IEC61850_Client_IP1");
    E_IEC61850_Client_IP2 = makeEdit(body, "E_IEC61850_Client_IP2");
    E_IEC61850_Client_IP3 = makeEdit(body, "E_IEC61850_Client_IP3");
    E_IEC61850_Client_IP4 = makeEdit(body, "E_IEC61850_Client_IP4");
    L_IEC61850_Client_SM = makeLabel(body, "L_IEC61850_Client_SM");
    E_IEC61850_Client_SM1 = makeEdit(body, "E_IEC61850_Client_SM1");
    E_IEC61850_Client_SM2 = makeEdit(body, "E_IEC61850_Client_SM2");
    E_IEC61850_Client_SM3 = makeEdit(body, "E_IEC61850_Client_SM3");
    E_IEC61850_Client_SM4 = makeEdit(body, "E_IEC61850_Client_SM4");
    CB_IEC61850_Client_En_GAT = new QCheckBox(body);
    CB_IEC61850_Client_En_GAT->setObjectName(QStringLiteral("CB_IEC61850_Client_En_GAT"));
    E_IEC61850_Client_GAT1 = makeEdit(body, "E_IEC61850_Client_GAT1");
    E_IEC61850_Client_GAT2 = makeEdit(body, "E_IEC61850_Client_GAT2");
    E_IEC61850_Client_GAT3 = makeEdit(body, "E_IEC61850_Client_GAT3");
    E_IEC61850_Client_GAT4 = makeEdit(body, "E_IEC61850_Client_GAT4");
    L_IEC61850_Client_VLAN = makeLabel(body, "L_IEC61850_Client_VLAN");
    E_IEC61850_Client_VLAN = makeEdit(body, "E_IEC61850_Client_VLAN");
    L_IEC61850_Client_AppID = makeLabel(body, "L_IEC61850_Client_AppID");
    E_IEC61850_Client_AppID = makeEdit(body, "E_IEC61850_Client_AppID");

    m_byteEdits = {E_IEC61850_Client_IP1,  E_IEC61850_Client_IP2,  E_IEC61850_Client_IP3,
                   E_IEC61850_Client_IP4,  E_IEC61850_Client_SM1,  E_IEC61850_Client_SM2,
                   E_IEC61850_Client_SM3,  E_IEC61850_Client_SM4,  E_IEC61850_Client_GAT1,
                   E_IEC61850_Client_GAT2, E_IEC61850_Client_GAT3, E_IEC61850_Client_GAT4};
    static_assert(std::tuple_size_v<decltype(m_byteEdits)> == kByteFieldCount);

    grid->addWidget(L_IEC61850_Client_IP, 0, 0);
    addByteRow(grid, 0,
               {E_IEC61850_Client_IP1, E_IEC61850_Client_IP2, E_IEC61850_Client_IP3, E_IEC61850_Client_IP4});
    grid->addWidget(L_IEC61850_Client_SM, 1, 0);
    addByteRow(grid, 1,
               {E_IEC61850_Client_SM1, E_IEC61850_Client_SM2, E_IEC61850_Client_SM3, E_IEC61850_Client_SM4});
    grid->addWidget(CB_IEC61850_Client_En_GAT, 2, 0);
    addByteRow(
        grid, 2,
        {E_IEC61850_Client_GAT1, E_IEC61850_Client_GAT2, E_IEC61850_Client_GAT3, E_IEC61850_Client_GAT4});
    grid->addWidget(L_IEC61850_Client_VLAN, 3, 0);
    grid->addWidget(E_IEC61850_Client_VLAN, 3, 1, 1, 7);
    grid->addWidget(L_IEC61850_Client_AppID, 4, 0);
    grid->addWidget(E_IEC61850_Client_AppID, 4, 1, 1, 7);
    grid->setColumnStretch(8, 1);

    for (QLineEdit* edit : m_byteEdits) {
        edit->installEventFilter(this);
    }
    return CP_IEC61850_Client;
}

QWidget* ParametersDialog::buildSerialGroup() {
    CP_Serial = new CollapsibleGroup;
    CP_Serial->setObjectName(QStringLiteral("CP_Serial"));
    QWidget* body = CP_Serial->body();
    QGridLayout* grid = makeGroupGrid(body);

    L_Serial_Serial = makeLabel(body, "L_Serial_Serial");
    CB_Serial_Serial = makeList(body, "CB_Serial_Serial", kSerialInterfaceNames);
    L_Serial_Baudrate = makeLabel(body, "L_Serial_Baudrate");
    CB_Serial_Baudrate = makeList(body, "CB_Serial_Baudrate", kSerialBaudrateNames);
    L_Serial_Parity = makeLabel(body, "L_Serial_Parity");
    Cb_Serial_Parity = makeList(body, "Cb_Serial_Parity", kSerialParityNames);
    L_Serial_StopBits = makeLabel(body, "L_Serial_StopBits");
    CB_Serial_StopBits = makeList(body, "CB_Serial_StopBits", kSerialStopBitsNames);

    int row = 0;
    for (auto [label, list] :
         {std::pair{L_Serial_Serial, CB_Serial_Serial}, std::pair{L_Serial_Baudrate, CB_Serial_Baudrate},
          std::pair{L_Serial_Parity, Cb_Serial_Parity}, std::pair{L_Serial_StopBits, CB_Serial_StopBits}}) {
        grid->addWidget(label, row, 0);
        grid->addWidget(list, row, 1);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    return CP_Serial;
}

void ParametersDialog::setTabOrderOfFields() {
    const QWidget* order[] = {
        Btn_OK,
        Btn_Cancel,
        E_IEC61850_Client_IP1,
        E_IEC61850_Client_IP2,
        E_IEC61850_Client_IP3,
        E_IEC61850_Client_IP4,
        E_IEC61850_Client_SM1,
        E_IEC61850_Client_SM2,
        E_IEC61850_Client_SM3,
        E_IEC61850_Client_SM4,
        CB_IEC61850_Client_En_GAT,
        E_IEC61850_Client_GAT1,
        E_IEC61850_Client_GAT2,
        E_IEC61850_Client_GAT3,
        E_IEC61850_Client_GAT4,
        E_IEC61850_Client_VLAN,
        E_IEC61850_Client_AppID,
        CB_Serial_Serial,
        CB_Serial_Baudrate,
        Cb_Serial_Parity,
        CB_Serial_StopBits,
    };
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    }
}

void ParametersDialog::applyTexts() {
    setWindowTitle(text(m_state, kTextCaption));
    L_SW_Desc->setText(text(m_state, kTextDescription));
    Btn_OK->setText(text(m_state, kTextOk));
    Btn_Cancel->setText(text(m_state, kTextCancel));
    Btn_OK->setToolTip(text(m_state, kTextOkHint));
    Btn_Cancel->setToolTip(text(m_state, kTextCancelHint));
    L_IEC61850_Client_IP->setText(text(m_state, kTextIpAddress));
    L_IEC61850_Client_SM->setText(text(m_state, kTextSubnetMask));
    CB_IEC61850_Client_En_GAT->setText(text(m_state, kTextGateway));
    CB_IEC61850_Client_En_GAT->setToolTip(text(m_state, kTextGatewayHint));
    for (int i = 0; i < 4; ++i) {
        const auto at = static_cast<std::size_t>(i);
        m_byteEdits[at]->setToolTip(text(m_state, kTextFirstIpByteHint + i));
        m_byteEdits[4 + at]->setToolTip(text(m_state, kTextFirstMaskByteHint + i));
        m_byteEdits[8 + at]->setToolTip(text(m_state, kTextFirstGatewayByteHint + i));
    }
    L_IEC61850_Client_VLAN->setText(text(m_state, kTextVlan));
    E_IEC61850_Client_VLAN->setToolTip(text(m_state, kTextVlanHint));
    L_IEC61850_Client_AppID->setText(text(m_state, kTextApplicationId));
    E_IEC61850_Client_AppID->setToolTip(text(m_state, kTextApplicationIdHint));
    L_Serial_Serial->setText(text(m_state, kTextSerial));
    CB_Serial_Serial->setToolTip(text(m_state, kTextSerialHint));
    L_Serial_Baudrate->setText(text(m_state, kTextBaudrate));
    CB_Serial_Baudrate->setToolTip(text(m_state, kTextBaudrateHint));
    L_Serial_Parity->setText(text(m_state, kTextParity));
    Cb_Serial_Parity->setToolTip(text(m_state, kTextParityHint));
    L_Serial_StopBits->setText(text(m_state, kTextStopBits));
    CB_Serial_StopBits->setToolTip(text(m_state, kTextStopBitsHint));
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
    m_acceptedVlan = E_IEC61850_Client_VLAN->text();
}

void ParametersDialog::FormShow() {
    runGuarded(this, [this] { setValues(readParameterFile(m_state.session.project().parGenFile())); });
}

void ParametersDialog::onOkClicked() {
    const ParameterSet set = values();
    if (const std::optional<int> failed = checkParameters(set)) {
        messages().showError(this, text(m_state, *failed));
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
    FormShow();
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
