#pragma once

#include "core/options/version_check.h"

#include "core/shell/program_state.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace sw::gui {

class VersionChecker;

// The program's options: the language of the windows, the internet functions and two table-editing
// preferences. Each showing loads the controls from the program state; only OK writes them back.
// A language picked here changes every window's texts at once, while the stored language follows
// only on OK.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(ProgramState& state, QWidget* parent = nullptr);

    void applyTexts();
    // What re-applies the texts of every window after a language was picked (the main window's
    // changeLanguage); without one only this dialog follows.
    void setChangeLanguage(std::function<void()> changeLanguage) {
        m_changeLanguage = std::move(changeLanguage);
    }
    VersionChecker* versionChecker() const { return m_checker; }

    void languageNames();
    void updateLanguagePage(int pageNumber);
    void updateCheckBox();
    // Picks the language of slot 1 to 6 of the page shown, after the user confirms.
    void onLanguageClicked(int slot);

    // The language files found at the last showing, and the page shown.
    std::vector<std::string> shownLanguageFiles;
    int shownPage = 1;
    // The language chosen in this showing; the stored one until another is picked.
    std::string chosenLanguage;

    QLabel* softwareCodeLabel;
    QLabel* softwareDescriptionLabel;
    QTabWidget* pages;
    QWidget* languageTab;
    QLabel* selectedLanguageLabel;
    std::array<QLabel*, 6> flagLabels{};
    std::array<QLabel*, 6> languageLabels{};
    QLabel* languagePageLabel;
    QPushButton* prevButton;
    QPushButton* nextButton;
    QWidget* connectionTab;
    QCheckBox* enableConnectionBox;
    QCheckBox* updateBox;
    QPushButton* checkUpdateButton;
    QLabel* checkUpdateLink;
    QWidget* settingsTab;
    QCheckBox* jumpTableBox;
    QCheckBox* doubleClickAutoSizeBox;
    QPushButton* okButton;
    QPushButton* cancelButton;

public slots:
    void prepareShowing();
    void onNextClicked();
    void onPrevClicked();
    void onCheckForUpdateClicked();
    void onCheckUpdateLinkClicked(const QString& address);
    void onOkClicked();
    void onCancelClicked();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildLanguageTab();
    QWidget* buildConnectionTab();
    QWidget* buildSettingsTab();
    void showCheckResult(const sw::VersionCheckResult& result);

    ProgramState& m_state;
    std::function<void()> m_changeLanguage;
    VersionChecker* m_checker;
};

} // namespace sw::gui
