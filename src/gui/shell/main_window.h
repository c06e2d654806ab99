#pragma once

#include "core/common/process.h"
#include "core/shell/program_state.h"
#include "gui/options/version_checker.h"

#include <QMainWindow>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <thread>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace sw::gui {

class TFNew_Project;
class TFOpenConf;
class TFAbout;
class TFParGen;
class TFBoot;
class TFSoftOptions;
class TFIEC_61850_Access;

// The user's home: which project is open, and the work as numbered steps.
class TFMendralFirmWare : public QMainWindow {
    Q_OBJECT
public:
    // Runs the start-up sequence in the given program folder and creates every dialog.
    explicit TFMendralFirmWare(const std::filesystem::path& programFolder, QWidget* parent = nullptr);
    ~TFMendralFirmWare() override;

    ProgramState& state() { return m_state; }

    void Set_Lang();
    void Change_Language();
    void Create_New_Project();
    void Open_Project();
    void Update_Device();
    void L_BrantisClick();

    // Starts an external program and waits for it (at most 150 s) on a thread of its own, so the windows
    // stay painted meanwhile; `ended` then runs on the interface thread with the outcome. A wait still
    // running when the window goes is given up and the program left running.
    using ProgramEnded = std::function<void(const StartProgramResult&)>;
    void Start_Program(const std::string& NomeSW, const std::string& Parameter, std::uint8_t tipo,
                       ProgramEnded ended = {});

    // Closes as the close button does, for a close that nobody watches (a termination signal): open
    // dialogs are cancelled and an error goes to standard error instead of a message box.
    void closeOnSignal();
    // The program's exit status: not zero when the settings could not be saved at the close.
    int exitStatus() const { return m_exitStatus; }

    TFNew_Project* newProjectDialog() const { return m_newProject; }
    TFOpenConf* openDialog() const { return m_openConf; }
    TFAbout* aboutBox() const { return m_about; }
    TFParGen* parametersDialog() const { return m_parGen; }
    TFBoot* updateDialog() const { return m_boot; }
    TFSoftOptions* optionsDialog() const { return m_options; }

    // The periodic version check runs while both internet options are on: first after `first` once it
    // is enabled in a run, then every `later`.
    static constexpr std::chrono::milliseconds kFirstUpdateCheck{60000};
    static constexpr std::chrono::milliseconds kLaterUpdateChecks{7200000};
    void setUpdateIntervals(std::chrono::milliseconds first, std::chrono::milliseconds later);
    // Replaces the maker's version service for the timer and the Options dialog alike.
    void setVersionCheck(const VersionChecker::Check& check);
    // Runs the update timer exactly when both internet options are on.
    void followUpdateOptions();
    TFIEC_61850_Access* accessDialog() const { return m_access; }

    QLabel* L_SW_Code;
    QLabel* L_SW_Desc;
    QLabel* LL_Update;
    QToolButton* Btn_Info;
    QToolButton* Btn_Opz;
    QToolButton* Btn_Close;
    QLabel* L_Begin;
    QFrame* Shape2;
    QLabel* L_Name_Conf;
    QLabel* L_Name_Conf_L2;
    QLabel* L_Step_1;
    QPushButton* Btn_New;
    QPushButton* Btn_Open;
    QLabel* L_Step_2;
    QPushButton* Btn_Prm_Gen;
    QLabel* L_Step_3;
    QPushButton* Btn_IEC61850_Client;
    QLabel* L_Step_4;
    QPushButton* Btn_CreateBin;
    QPushButton* Btn_Report;
    QLabel* L_Brantis;
    QFrame* Shape1;
    QTimer* Timer_Update;

public slots:
    void Btn_NewClick();
    void Btn_OpenClick();
    void Btn_CloseClick();
    void Btn_InfoClick();
    void Btn_OpzClick();
    void Btn_Prm_GenClick();
    void Btn_IEC61850_ClientClick();
    void Btn_CreateBinClick();
    // Writes the active project's commissioning report into its folder and opens it in the browser.
    void Btn_ReportClick();
    void Timer_UpdateTimer();
    void LL_UpdateLinkClick(const QString& address);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    void connectButtons();
    void showProjectLabels();
    // A project command needs an open project; without one the user is told so and it does nothing.
    bool projectReady();
    void showUpdateCheck(bool newer);

    ProgramState m_state;
    bool m_closeAskedBySignal = false;
    int m_exitStatus = 0;
    std::map<int, std::jthread> m_programWaits;
    int m_nextProgramWait = 0;
    TFNew_Project* m_newProject = nullptr;
    TFOpenConf* m_openConf = nullptr;
    TFAbout* m_about = nullptr;
    TFParGen* m_parGen = nullptr;
    TFBoot* m_boot = nullptr;
    TFSoftOptions* m_options = nullptr;
    VersionChecker* m_updateChecker = nullptr;
    std::chrono::milliseconds m_laterUpdateChecks = kLaterUpdateChecks;
    bool m_updateChecked = false;
    TFIEC_61850_Access* m_access = nullptr;
};

// The maker's home page, opened by the web-address labels and the logo.
QString makerHomePage();

} // namespace sw::gui
