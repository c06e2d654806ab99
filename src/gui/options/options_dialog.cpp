#include "gui/options/options_dialog.h"

#include "core/common/path_text.h"
#include "core/language/language_file.h"
#include "core/options/language_list.h"
#include "core/options/version_check.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/link_opener.h"
#include "gui/common/message_service.h"
#include "gui/common/text_conversion.h"
#include "gui/common/title_panel.h"
#include "gui/options/version_checker.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sw::gui {

namespace {

constexpr int kTextCaption = 300;
constexpr int kTextDescription = 301;
constexpr int kTextLanguageTab = 302;
constexpr int kTextConnectionTab = 303;
constexpr int kTextSelectedLanguage = 304;
constexpr int kTextPage = 305;
constexpr int kTextPageOf = 306;
constexpr int kTextPrevious = 307;
constexpr int kTextNext = 308;
constexpr int kTextEnableInternet = 309;
constexpr int kTextCheckAtStart = 310;
constexpr int kTextCheckNow = 311;
constexpr int kTextOk = 312;
constexpr int kTextCancel = 313;
constexpr int kTextNewVersion = 314;
constexpr int kTextNoUpdate = 315;
constexpr int kTextChangeLanguageFrom = 316;
constexpr int kTextChangeLanguageTo = 317;
constexpr int kTextChangeLanguageEnd = 318;
constexpr int kTextSettingsTab = 319;
constexpr int kTextJumpField = 320;
constexpr int kTextAutoSize = 321;

constexpr int kClientWidth = 509;
constexpr int kClientHeight = 373;
constexpr int kFlagSize = 48;

template <class Widget> Widget* make(QWidget* parent, const char* name) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

OptionsDialog::OptionsDialog(ProgramState& state, QWidget* parent)
    : QDialog(parent), m_state(state), m_checker(new VersionChecker(this)) {
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QWidget* title = makeTitlePanel(this, state, L_SW_Code, L_SW_Desc);

    PC_Options = make<QTabWidget>(this, "PC_Options");
    PC_Options->addTab(buildLanguageTab(), QString());
    PC_Options->addTab(buildConnectionTab(), QString());
    PC_Options->addTab(buildSettingsTab(), QString());

    auto* buttonPanel = make<QWidget>(this, "P_Button");
    Btn_OK = make<QPushButton>(buttonPanel, "Btn_OK");
    Btn_Cancel = make<QPushButton>(buttonPanel, "Btn_Cancel");
    alignButtonsRight(buttonPanel, {Btn_OK, Btn_Cancel});
    stackDialogPanels(this, title, PC_Options, buttonPanel);
    fixSizeGrowingToFit(this, QSize(kClientWidth, kClientHeight));

    connect(Btn_Next, &QPushButton::clicked, this, &OptionsDialog::onNextClicked);
    connect(Btn_Prev, &QPushButton::clicked, this, &OptionsDialog::onPrevClicked);
    for (QCheckBox* box : {CB_En_Con, CB_Update, CB_Soft_Set_Jump_Table, CB_DoubleClick_Auto_Size}) {
        connect(box, &QCheckBox::toggled, this, &OptionsDialog::updateCheckBox);
    }
    connect(Btn_Check_Update, &QPushButton::clicked, this, &OptionsDialog::onCheckForUpdateClicked);
    connect(LL_Check_Update, &QLabel::linkActivated, this, &OptionsDialog::LL_Check_UpdateLinkClick);
    connect(m_checker, &VersionChecker::checked, this, &OptionsDialog::showCheckResult);
    connect(Btn_OK, &QPushButton::clicked, this, &OptionsDialog::onOkClicked);
    connect(Btn_Cancel, &QPushButton::clicked, this, &OptionsDialog::onCancelClicked);
    applyTexts();
}

QWidget* OptionsDialog::buildLanguageTab() {
    TS_Language = make<QWidget>(nullptr, "TS_Language");
    L_Sel_Lang = make<QLabel>(TS_Language, "L_Sel_Lang");
    auto* slotGrid = new QGridLayout;
    slotGrid->setHorizontalSpacing(24);
    for (int k = 0; k < kLanguagesPerPage; ++k) {
        const auto at = static_cast<std::size_t>(k);
        // Each slot keeps its place when its picture or name is hidden, so the page never jumps.
        auto* slot = new QWidget(TS_Language);
        slot->setFixedHeight(kFlagSize + 4);
        const QByteArray number = QByteArray::number(k + 1);
        I_L[at] = make<QLabel>(slot, ("I_L" + number).constData());
        I_L[at]->setFixedSize(kFlagSize, kFlagSize);
        I_L[at]->setScaledContents(true);
        L_L[at] = make<QLabel>(slot, ("L_L" + number).constData());
        for (QLabel* clickable : {I_L[at], L_L[at]}) {
            clickable->setCursor(Qt::PointingHandCursor);
            clickable->installEventFilter(this);
        }
        auto* row = new QHBoxLayout(slot);
        row->setContentsMargins(0, 2, 0, 2);
        row->addWidget(I_L[at]);
        row->addWidget(L_L[at], 1);
        // Slots 1 to 3 fill the left column from the top, 4 to 6 the right one.
        slotGrid->addWidget(slot, k % 3, k / 3);
    }
    L_Page_Lang = make<QLabel>(TS_Language, "L_Page_Lang");
    Btn_Prev = make<QPushButton>(TS_Language, "Btn_Prev");
    Btn_Next = make<QPushButton>(TS_Language, "Btn_Next");
    auto* paging = new QHBoxLayout;
    paging->addWidget(L_Page_Lang, 1);
    paging->addWidget(Btn_Prev);
    paging->addWidget(Btn_Next);
    auto* layout = new QVBoxLayout(TS_Language);
    layout->addWidget(L_Sel_Lang);
    layout->addLayout(slotGrid);
    layout->addStretch(1);
    layout->addLayout(paging);
    return TS_Language;
}

QWidget* OptionsDialog::buildConnectionTab() {
    TS_Con_Options = make<QWidget>(nullptr, "TS_Con_Options");
    CB_En_Con = make<QCheckBox>(TS_Con_Options, "CB_En_Con");
    CB_Update = make<QCheckBox>(TS_Con_Options, "CB_Update");
    Btn_Check_Update = make<QPushButton>(TS_Con_Options, "Btn_Check_Update");
    LL_Check_Update = make<QLabel>(TS_Con_Options, "LL_Check_Update");
    LL_Check_Update->setTextFormat(Qt::RichText);
    LL_Check_Update->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    auto* layout = new QVBoxLayout(TS_Con_Options);
    layout->addWidget(CB_En_Con);
    auto* indented = new QHBoxLayout;
    indented->addSpacing(20);
    indented->addWidget(CB_Update, 1);
    layout->addLayout(indented);
    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(Btn_Check_Update);
    checkRow->addStretch(1);
    layout->addLayout(checkRow);
    layout->addWidget(LL_Check_Update);
    layout->addStretch(1);
    return TS_Con_Options;
}

QWidget* OptionsDialog::buildSettingsTab() {
    TS_Soft_Settings = make<QWidget>(nullptr, "TS_Soft_Settings");
    CB_Soft_Set_Jump_Table = make<QCheckBox>(TS_Soft_Settings, "CB_Soft_Set_Jump_Table");
    CB_DoubleClick_Auto_Size = make<QCheckBox>(TS_Soft_Settings, "CB_DoubleClick_Auto_Size");
    auto* layout = new QVBoxLayout(TS_Soft_Settings);
    layout->addWidget(CB_Soft_Set_Jump_Table);
    layout->addWidget(CB_DoubleClick_Auto_Size);
    layout->addStretch(1);
    return TS_Soft_Settings;
}

void OptionsDialog::applyTexts() {
    const auto text = [this](int index) { return toQString(m_state.texts.Get(index)); };
    setWindowTitle(text(kTextCaption));
    L_SW_Desc->setText(text(kTextDescription));
    PC_Options->setTabText(PC_Options->indexOf(TS_Language), text(kTextLanguageTab));
    PC_Options->setTabText(PC_Options->indexOf(TS_Con_Options), text(kTextConnectionTab));
    PC_Options->setTabText(PC_Options->indexOf(TS_Soft_Settings), text(kTextSettingsTab));
    L_Sel_Lang->setText(text(kTextSelectedLanguage));
    L_Page_Lang->setText(text(kTextPage) + QStringLiteral("1") + text(kTextPageOf) + QStringLiteral("1"));
    Btn_Prev->setText(text(kTextPrevious));
    Btn_Next->setText(text(kTextNext));
    CB_En_Con->setText(text(kTextEnableInternet));
    CB_Update->setText(text(kTextCheckAtStart));
    Btn_Check_Update->setText(text(kTextCheckNow));
    CB_Soft_Set_Jump_Table->setText(text(kTextJumpField));
    CB_DoubleClick_Auto_Size->setText(text(kTextAutoSize));
    Btn_OK->setText(text(kTextOk));
    Btn_Cancel->setText(text(kTextCancel));
}

void OptionsDialog::FormShow() {
    Language_In_Use = m_state.settings.languageName;
    languageNames();
    updateCheckBox();
    LL_Check_Update->hide();
    PC_Options->setCurrentWidget(TS_Language);
    CB_En_Con->setChecked(m_state.settings.enableInternet);
    CB_Update->setChecked(m_state.settings.enableUpdateCheck);
    CB_Soft_Set_Jump_Table->setChecked(m_state.settings.enableJumpFieldTables);
    CB_DoubleClick_Auto_Size->setChecked(m_state.settings.doubleClickAutoSize);
    // A box whose state did not change sends no signal.
    updateCheckBox();
}

void OptionsDialog::languageNames() {
    SL_Languages = languageFiles(m_state.session.languageFolder);
    showPage = 1;
    updateLanguagePage(showPage);
}

void OptionsDialog::updateLanguagePage(int Num_Page) {
    const auto& t = m_state.texts;
    const LanguagePage page = languagePage(SL_Languages, Num_Page);
    L_Sel_Lang->setText(toQString(t.Get(kTextSelectedLanguage) + Language_In_Use));
    L_Page_Lang->setText(toQString(t.Get(kTextPage) + std::to_string(Num_Page) + t.Get(kTextPageOf) +
                                   std::to_string(page.pageCount)));
    Btn_Prev->setVisible(page.previousVisible);
    Btn_Next->setVisible(page.nextVisible);
    for (std::size_t k = 0; k < page.slotFiles.size(); ++k) {
        const std::string& file = page.slotFiles[k];
        L_L[k]->setVisible(!file.empty());
        I_L[k]->setVisible(!file.empty());
        if (file.empty()) {
            continue;
        }
        const std::string name = languageNameOf(file);
        L_L[k]->setText(toQString(name));
        const auto flag = flagPicture(m_state.session.languageFolder, name);
        const QPixmap picture = flag ? QPixmap(toQString(utf8Of(*flag))) : QPixmap();
        // A picture that cannot be read counts as a missing one; the name can still be clicked.
        I_L[k]->setPixmap(picture);
        I_L[k]->setVisible(!picture.isNull());
    }
}

void OptionsDialog::onNextClicked() {
    if (languagePageCount(SL_Languages.size()) >= showPage + 1) {
        ++showPage;
    }
    updateLanguagePage(showPage);
}

void OptionsDialog::onPrevClicked() {
    if (showPage - 1 > 0) {
        --showPage;
    }
    updateLanguagePage(showPage);
}

void OptionsDialog::LangClick(int slot) {
    const auto index = languageIndexOfSlot(SL_Languages, showPage, slot);
    if (!index) {
        return;
    }
    const std::string name = languageNameOf(SL_Languages[*index]);
    const auto& t = m_state.texts;
    const std::string question = t.Get(kTextChangeLanguageFrom) + Language_In_Use +
                                 t.Get(kTextChangeLanguageTo) + name + t.Get(kTextChangeLanguageEnd);
    if (!messages().askYesNo(this, toQString(question))) {
        return;
    }
    // The table takes the new language now; the stored setting changes only with OK. A file that went
    // away since the list was made falls back to English, and the dialog then says so.
    std::string loaded = name;
    LoadLanguage(m_state.texts, m_state.session.languageFolder, loaded);
    Language_In_Use = loaded;
    if (m_changeLanguage) {
        m_changeLanguage();
    } else {
        applyTexts();
    }
    updateLanguagePage(showPage);
}

void OptionsDialog::updateCheckBox() {
    CB_Update->setEnabled(CB_En_Con->isChecked());
    Btn_Check_Update->setEnabled(CB_Update->isEnabled() && CB_Update->isChecked());
}

void OptionsDialog::onCheckForUpdateClicked() {
    m_checker->start();
}

void OptionsDialog::showCheckResult(bool newer) {
    const auto& t = m_state.texts;
    if (newer) {
        LL_Check_Update->setText(
            QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(toQString(downloadPageAddress()), toQString(t.Get(kTextNewVersion))));
    } else {
        LL_Check_Update->setText(toQString(t.Get(kTextNoUpdate)).toHtmlEscaped());
    }
    LL_Check_Update->show();
}

void OptionsDialog::LL_Check_UpdateLinkClick(const QString& address) {
    openLink(address);
}

void OptionsDialog::onOkClicked() {
    m_state.settings.languageName = Language_In_Use;
    m_state.settings.enableInternet = CB_En_Con->isChecked();
    m_state.settings.enableUpdateCheck = CB_Update->isChecked();
    m_state.settings.enableJumpFieldTables = CB_Soft_Set_Jump_Table->isChecked();
    m_state.settings.doubleClickAutoSize = CB_DoubleClick_Auto_Size->isChecked();
    accept();
}

void OptionsDialog::onCancelClicked() {
    reject();
}

void OptionsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        centerOnScreen(this);
    }
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (std::size_t k = 0; k < I_L.size(); ++k) {
            if (watched == I_L[k] || watched == L_L[k]) {
                LangClick(static_cast<int>(k) + 1);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sw::gui
