#include "gui/options/options_dialog.h"

#include "core/common/path_text.h"
#include "core/language/language_file.h"
#include "core/options/language_list.h"
#include "core/options/version_check.h"
#include "gui/common/dialog_layout.h"
#include "gui/common/link_opener.h"
#include "gui/common/message_service.h"
#include "gui/common/shown_text.h"
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
    QWidget* title = makeTitlePanel(this, state.product, softwareCodeLabel, softwareDescriptionLabel);

    pages = make<QTabWidget>(this, "PC_Options");
    pages->addTab(buildLanguageTab(), QString());
    pages->addTab(buildConnectionTab(), QString());
    pages->addTab(buildSettingsTab(), QString());

    auto* buttonPanel = make<QWidget>(this, "P_Button");
    okButton = make<QPushButton>(buttonPanel, "Btn_OK");
    cancelButton = make<QPushButton>(buttonPanel, "Btn_Cancel");
    alignButtonsRight(buttonPanel, {okButton, cancelButton});
    stackDialogPanels(this, title, pages, buttonPanel);
    fixSizeGrowingToFit(this, QSize(kClientWidth, kClientHeight));

    connect(nextButton, &QPushButton::clicked, this, &OptionsDialog::onNextClicked);
    connect(prevButton, &QPushButton::clicked, this, &OptionsDialog::onPrevClicked);
    for (QCheckBox* box : {enableConnectionBox, updateBox, jumpTableBox, doubleClickAutoSizeBox}) {
        connect(box, &QCheckBox::toggled, this, &OptionsDialog::updateCheckBox);
    }
    connect(checkUpdateButton, &QPushButton::clicked, this, &OptionsDialog::onCheckForUpdateClicked);
    connect(checkUpdateLink, &QLabel::linkActivated, this, &OptionsDialog::onCheckUpdateLinkClicked);
    connect(m_checker, &VersionChecker::checked, this, &OptionsDialog::showCheckResult);
    connect(okButton, &QPushButton::clicked, this, &OptionsDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &OptionsDialog::onCancelClicked);
    applyTexts();
}

QWidget* OptionsDialog::buildLanguageTab() {
    languageTab = make<QWidget>(nullptr, "TS_Language");
    selectedLanguageLabel = make<QLabel>(languageTab, "L_Sel_Lang");
    auto* slotGrid = new QGridLayout;
    slotGrid->setHorizontalSpacing(24);
    for (int k = 0; k < kLanguagesPerPage; ++k) {
        const auto at = static_cast<std::size_t>(k);
        // Each slot keeps its place when its picture or name is hidden, so the page never jumps.
        auto* slot = new QWidget(languageTab);
        slot->setFixedHeight(kFlagSize + 4);
        const QByteArray number = QByteArray::number(k + 1);
        flagLabels[at] = make<QLabel>(slot, ("I_L" + number).constData());
        flagLabels[at]->setFixedSize(kFlagSize, kFlagSize);
        flagLabels[at]->setScaledContents(true);
        languageLabels[at] = make<QLabel>(slot, ("L_L" + number).constData());
        for (QLabel* clickable : {flagLabels[at], languageLabels[at]}) {
            clickable->setCursor(Qt::PointingHandCursor);
            clickable->installEventFilter(this);
        }
        auto* row = new QHBoxLayout(slot);
        row->setContentsMargins(0, 2, 0, 2);
        row->addWidget(flagLabels[at]);
        row->addWidget(languageLabels[at], 1);
        // Slots 1 to 3 fill the left column from the top, 4 to 6 the right one.
        slotGrid->addWidget(slot, k % 3, k / 3);
    }
    languagePageLabel = make<QLabel>(languageTab, "L_Page_Lang");
    prevButton = make<QPushButton>(languageTab, "Btn_Prev");
    nextButton = make<QPushButton>(languageTab, "Btn_Next");
    auto* paging = new QHBoxLayout;
    paging->addWidget(languagePageLabel, 1);
    paging->addWidget(prevButton);
    paging->addWidget(nextButton);
    auto* layout = new QVBoxLayout(languageTab);
    layout->addWidget(selectedLanguageLabel);
    layout->addLayout(slotGrid);
    layout->addStretch(1);
    layout->addLayout(paging);
    return languageTab;
}

QWidget* OptionsDialog::buildConnectionTab() {
    connectionTab = make<QWidget>(nullptr, "TS_Con_Options");
    enableConnectionBox = make<QCheckBox>(connectionTab, "CB_En_Con");
    updateBox = make<QCheckBox>(connectionTab, "CB_Update");
    checkUpdateButton = make<QPushButton>(connectionTab, "Btn_Check_Update");
    checkUpdateLink = make<QLabel>(connectionTab, "LL_Check_Update");
    checkUpdateLink->setTextFormat(Qt::RichText);
    checkUpdateLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    checkUpdateLink->setWordWrap(true);
    auto* layout = new QVBoxLayout(connectionTab);
    layout->addWidget(enableConnectionBox);
    auto* indented = new QHBoxLayout;
    indented->addSpacing(20);
    indented->addWidget(updateBox, 1);
    layout->addLayout(indented);
    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(checkUpdateButton);
    checkRow->addStretch(1);
    layout->addLayout(checkRow);
    layout->addWidget(checkUpdateLink);
    layout->addStretch(1);
    return connectionTab;
}

QWidget* OptionsDialog::buildSettingsTab() {
    settingsTab = make<QWidget>(nullptr, "TS_Soft_Settings");
    jumpTableBox = make<QCheckBox>(settingsTab, "CB_Soft_Set_Jump_Table");
    doubleClickAutoSizeBox = make<QCheckBox>(settingsTab, "CB_DoubleClick_Auto_Size");
    auto* layout = new QVBoxLayout(settingsTab);
    layout->addWidget(jumpTableBox);
    layout->addWidget(doubleClickAutoSizeBox);
    layout->addStretch(1);
    return settingsTab;
}

void OptionsDialog::applyTexts() {
    const auto text = [this](int index) { return toQString(m_state.texts.Get(index)); };
    setWindowTitle(text(kTextCaption));
    softwareDescriptionLabel->setText(text(kTextDescription));
    pages->setTabText(pages->indexOf(languageTab), text(kTextLanguageTab));
    pages->setTabText(pages->indexOf(connectionTab), text(kTextConnectionTab));
    pages->setTabText(pages->indexOf(settingsTab), text(kTextSettingsTab));
    selectedLanguageLabel->setText(text(kTextSelectedLanguage));
    languagePageLabel->setText(text(kTextPage) + QStringLiteral("1") + text(kTextPageOf) +
                               QStringLiteral("1"));
    prevButton->setText(text(kTextPrevious));
    nextButton->setText(text(kTextNext));
    enableConnectionBox->setText(text(kTextEnableInternet));
    updateBox->setText(text(kTextCheckAtStart));
    checkUpdateButton->setText(text(kTextCheckNow));
    jumpTableBox->setText(text(kTextJumpField));
    doubleClickAutoSizeBox->setText(text(kTextAutoSize));
    okButton->setText(text(kTextOk));
    cancelButton->setText(text(kTextCancel));
}

void OptionsDialog::prepareShowing() {
    chosenLanguage = m_state.settings.languageName;
    languageNames();
    updateCheckBox();
    checkUpdateLink->hide();
    pages->setCurrentWidget(languageTab);
    enableConnectionBox->setChecked(m_state.settings.enableInternet);
    updateBox->setChecked(m_state.settings.enableUpdateCheck);
    jumpTableBox->setChecked(m_state.settings.enableJumpFieldTables);
    doubleClickAutoSizeBox->setChecked(m_state.settings.doubleClickAutoSize);
    // A box whose state did not change sends no signal.
    updateCheckBox();
}

void OptionsDialog::languageNames() {
    shownLanguageFiles = languageFiles(m_state.session.languageFolder);
    shownPage = 1;
    updateLanguagePage(shownPage);
}

void OptionsDialog::updateLanguagePage(int pageNumber) {
    const auto& t = m_state.texts;
    const LanguagePage page = languagePage(shownLanguageFiles, pageNumber);
    selectedLanguageLabel->setText(toQString(t.Get(kTextSelectedLanguage) + chosenLanguage));
    languagePageLabel->setText(toQString(t.Get(kTextPage) + std::to_string(pageNumber) + t.Get(kTextPageOf) +
                                         std::to_string(page.pageCount)));
    prevButton->setVisible(page.previousVisible);
    nextButton->setVisible(page.nextVisible);
    for (std::size_t k = 0; k < page.slotFiles.size(); ++k) {
        const std::string& file = page.slotFiles[k];
        languageLabels[k]->setVisible(!file.empty());
        flagLabels[k]->setVisible(!file.empty());
        if (file.empty()) {
            continue;
        }
        const std::string name = languageNameOf(file);
        languageLabels[k]->setText(toQString(name));
        const auto flag = flagPicture(m_state.session.languageFolder, name);
        const QPixmap picture = flag ? QPixmap(toQString(utf8Of(*flag))) : QPixmap();
        // A picture that cannot be read counts as a missing one; the name can still be clicked.
        flagLabels[k]->setPixmap(picture);
        flagLabels[k]->setVisible(!picture.isNull());
    }
}

void OptionsDialog::onNextClicked() {
    if (languagePageCount(shownLanguageFiles.size()) >= shownPage + 1) {
        ++shownPage;
    }
    updateLanguagePage(shownPage);
}

void OptionsDialog::onPrevClicked() {
    if (shownPage - 1 > 0) {
        --shownPage;
    }
    updateLanguagePage(shownPage);
}

void OptionsDialog::onLanguageClicked(int slot) {
    const auto index = languageIndexOfSlot(shownLanguageFiles, shownPage, slot);
    if (!index) {
        return;
    }
    const std::string name = languageNameOf(shownLanguageFiles[*index]);
    const auto& t = m_state.texts;
    const std::string question = t.Get(kTextChangeLanguageFrom) + chosenLanguage +
                                 t.Get(kTextChangeLanguageTo) + name + t.Get(kTextChangeLanguageEnd);
    if (!messages().askYesNo(this, toQString(question))) {
        return;
    }
    // The table takes the new language now; the stored setting changes only with OK. A file that went
    // away since the list was made falls back to English, and the dialog then says so.
    std::string loaded = name;
    LoadLanguage(m_state.texts, m_state.session.languageFolder, loaded);
    chosenLanguage = loaded;
    if (m_changeLanguage) {
        m_changeLanguage();
    } else {
        applyTexts();
    }
    updateLanguagePage(shownPage);
}

void OptionsDialog::updateCheckBox() {
    updateBox->setEnabled(enableConnectionBox->isChecked());
    checkUpdateButton->setEnabled(updateBox->isEnabled() && updateBox->isChecked());
}

void OptionsDialog::onCheckForUpdateClicked() {
    m_checker->start();
}

void OptionsDialog::showCheckResult(const VersionCheckResult& result) {
    const auto& t = m_state.texts;
    switch (result.outcome) {
    case VersionCheckResult::Outcome::Newer:
        checkUpdateLink->setText(
            QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(toQString(downloadPageAddress()), toQString(t.Get(kTextNewVersion))));
        break;
    case VersionCheckResult::Outcome::NotNewer:
        checkUpdateLink->setText(toQString(t.Get(kTextNoUpdate)).toHtmlEscaped());
        break;
    case VersionCheckResult::Outcome::Failed:
        // Asked for by hand, a failure is said as one: never as "no update".
        checkUpdateLink->setText(shownText(t, WindowText::VersionCheckFailed)
                                     .arg(toQString(t.Get(versionFailureText(result.failure)))
                                              .replace(QStringLiteral("%1"), toQString(result.detail)))
                                     .toHtmlEscaped());
        break;
    }
    checkUpdateLink->show();
}

void OptionsDialog::onCheckUpdateLinkClicked(const QString& address) {
    openLink(address);
}

void OptionsDialog::onOkClicked() {
    m_state.settings.languageName = chosenLanguage;
    m_state.settings.enableInternet = enableConnectionBox->isChecked();
    m_state.settings.enableUpdateCheck = updateBox->isChecked();
    m_state.settings.enableJumpFieldTables = jumpTableBox->isChecked();
    m_state.settings.doubleClickAutoSize = doubleClickAutoSizeBox->isChecked();
    accept();
}

void OptionsDialog::onCancelClicked() {
    reject();
}

void OptionsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        prepareShowing();
        centerOnScreen(this);
    }
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (std::size_t k = 0; k < flagLabels.size(); ++k) {
            if (watched == flagLabels[k] || watched == languageLabels[k]) {
                onLanguageClicked(static_cast<int>(k) + 1);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sw::gui
