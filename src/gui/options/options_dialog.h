#pragma once

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
    void updateLanguagePage(int Num_Page);
    void updateCheckBox();
    // Picks the language of slot 1 to 6 of the page shown, after the user confirms.
    void LangClick(int slot);

    // The language files found at the last showing, and the page shown.
    std::vector<std::string> SL_Languages;
    int showPage = 1;
    // The language chosen in this showing; the stored one until another is picked.
    std::string Language_In_Use;

    QLabel* L_SW_Code;
    QLabel* L_SW_Desc;
    QTabWidget* PC_Options;
    QWidget* TS_Language;
    QLabel* L_Sel_Lang;
    std::array<QLabel*, 6> I_L{};
    std::array<QLabel*, 6> L_L{};
    QLabel* L_Page_Lang;
    QPushButton* Btn_Prev;
    QPushButton* Btn_Next;
    QWidget* TS_Con_Options;
    QCheckBox* CB_En_Con;
    QCheckBox* CB_Update;
    QPushButton* Btn_Check_Update;
    QLabel* LL_Check_Update;
    QWidget* TS_Soft_Settings;
    QCheckBox* CB_Soft_Set_Jump_Table;
    QCheckBox* CB_DoubleClick_Auto_Size;
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;

public slots:
    void FormShow();
    void onNextClicked();
    void onPrevClicked();
    void onCheckForUpdateClicked();
    void LL_Check_UpdateLinkClick(const QString& address);
    void onOkClicked();
    void onCancelClicked();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildLanguageTab();
    QWidget* buildConnectionTab();
    QWidget* buildSettingsTab();
    void showCheckResult(bool newer);

    ProgramState& m_state;
    std::function<void()> m_changeLanguage;
    VersionChecker* m_checker;
};

} // namespace sw::gui
